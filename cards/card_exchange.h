// One card API request's wait for the worker: filed in PendingCardRequests
// under a fresh reply id, queued, and answered with the result, a time-out
// or an internal error. No entry outlives its request.
#pragma once
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "app/bridge.h"

// What the worker writes for a card request; copied into the HTTP response by
// the exchange that waits for it.
struct CardResponse {
  int status = 0;
  std::string body;
  std::string content_type;
};

// One HTTP exchange waiting for its result. `response` belongs to the waiting
// exchange, which removes this entry (or finds it removed) before returning.
struct CardExchange {
  std::string reply_id;
  CardResponse& response;
  std::promise<void> done;
};

// Entries exist exactly while their exchange waits; `pending_mutex` is held
// only to insert, remove or complete one entry. The worker hands every card
// result here.
struct PendingCardRequests : CardResultSink {
  std::mutex pending_mutex;
  std::unordered_map<std::string, std::unique_ptr<CardExchange>> exchanges;

  void deliver_card_result(const std::string& reply_id, std::string result) override;
};

// "http_" and six digits, the first 1..9. Safe from several threads.
std::string make_card_request_id();

// Files an exchange that points at `response` under a reply id that no
// waiting exchange holds (`draw_id` is asked again while the id is taken);
// returns the id and sets `done` to the exchange's future.
std::string file_card_exchange(PendingCardRequests& pending, CardResponse& response,
                               std::future<void>* done,
                               const std::function<std::string()>& draw_id = make_card_request_id);

// Removes the entry of `reply_id` if it is still there.
void drop_card_exchange(PendingCardRequests& pending, const std::string& reply_id);

// Hands a card result to its waiting exchange (status 200, text/plain);
// dropped when none waits.
void complete_card_request(PendingCardRequests& pending, const std::string& reply_id,
                           const std::string& result);

// Queues `command` with `body` as a card request and waits up to `wait`:
// status 200 with the worker's text/plain result; 408 with
// {"error":"Request timeout"} after the wait; 500 with
// {"error":"Internal server error"} on any standard exception (a broken
// exchange included). JSON answers carry "application/json".
CardResponse run_card_exchange(RequestQueue& queue, PendingCardRequests& pending,
                               const std::string& command, const std::string& body,
                               std::chrono::milliseconds wait = std::chrono::seconds(10));

extern const char kCardTimeoutBody[];        // {"error":"Request timeout"}
extern const char kCardInternalErrorBody[];  // {"error":"Internal server error"}
