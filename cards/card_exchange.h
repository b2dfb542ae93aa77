// One card API request's wait for the worker: filed in PendingCardRequests
// under a fresh reply id, queued, and answered with the result, a time-out,
// a refusal when too many wait, or an internal error.
//
// An entry stays filed until the worker has handed over its result (or the
// queue is closed), even when its request stopped waiting: so a reply id is
// never drawn again while a request with that id may still be queued, and
// the entries count every card request in the queue.
#pragma once
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "app/bridge.h"

// Card requests that may wait in the queue at once; beyond them 503.
constexpr size_t kMaxQueuedCardRequests = 256;

// What a card API request answers.
struct CardResponse {
  int status = 0;
  std::string body;
  std::string content_type;
};

// The worker's result for one card request; empty when none will come (the
// queue was closed).
using CardResult = std::optional<std::string>;

// One filed card request. `waiting` is false once its request stopped
// waiting; the result is then dropped.
struct CardExchange {
  std::promise<CardResult> result;
  bool waiting = true;
};

// The worker hands every card result here. `pending_mutex` guards the rest
// and is held only to file, complete, abandon or close.
struct PendingCardRequests : CardResultSink {
  std::mutex pending_mutex;
  std::unordered_map<std::string, std::unique_ptr<CardExchange>> exchanges;
  bool closed = false;

  // Completes the entry of `reply_id` (if its request still waits) and
  // removes it; does nothing for an id that is not filed.
  void deliver_card_result(const std::string& reply_id, std::string result) override;
};

// "http_" and six digits, the first 1..9. Safe from several threads.
std::string make_card_request_id();

// Files an exchange under a reply id that no filed exchange holds
// (`draw_id` is asked again while the id is taken) and sets `result` to its
// future. Empty, filing nothing, when kMaxQueuedCardRequests are filed or
// the requests are closed.
std::string file_card_exchange(PendingCardRequests& pending, std::future<CardResult>* result,
                               const std::function<std::string()>& draw_id = make_card_request_id);

// The request of `reply_id` stops waiting; its entry stays until the worker
// hands over the result.
void abandon_card_exchange(PendingCardRequests& pending, const std::string& reply_id);

// At shutdown, once the worker has stopped: every waiting request is
// answered "no result" at once, every entry removed, and nothing is filed
// any more.
void close_card_exchanges(PendingCardRequests& pending);

// Queues `command` with `argument` as a card request and waits up to
// `wait`: status 200 with the worker's text/plain result; 408 with
// {"error":"Request timeout"} after the wait or when the queue closes; 503
// with {"error":"Busy"} without queuing when kMaxQueuedCardRequests wait
// already (or the queue is closed); 500 with {"error":"Internal server
// error"} on any standard exception (a broken exchange included). JSON
// answers carry "application/json".
CardResponse run_card_exchange(RequestQueue& queue, PendingCardRequests& pending,
                               const std::string& command, const std::string& argument,
                               std::chrono::milliseconds wait = std::chrono::seconds(10));

extern const char kCardTimeoutBody[];        // {"error":"Request timeout"}
extern const char kCardInternalErrorBody[];  // {"error":"Internal server error"}
extern const char kCardBusyBody[];           // {"error":"Busy"}
