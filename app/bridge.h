// The request bridge: one queue that the page and the card server feed, one
// worker thread that runs every command in arrival order, and the routes a
// result takes back (to the page, or to a waiting card exchange).
#pragma once
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

// Messages: page -> host "reply id:command:argument"; host -> page
// "reply id:result". A result beginning "ERROR:" is a failure whose remainder
// is shown to the user.

struct QueuedRequest {
  std::string reply_id;  // page's decimal id, or "http_" and six digits
  std::string payload;   // command name, ":", argument
  bool from_card;
};

// FIFO of requests; `queue_mutex` guards `requests` and is never held while a
// command runs. `worker_stop` is set once, at shutdown.
struct RequestQueue {
  std::mutex queue_mutex;
  std::condition_variable queue_cond;
  std::deque<QueuedRequest> requests;
  std::atomic<bool> worker_stop{false};
};

using CommandHandler = std::function<std::string(const std::string&)>;
// Filled once before the worker starts, then only read (without a lock).
using CommandTable = std::unordered_map<std::string, CommandHandler>;

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
// only to insert, remove or complete one entry.
struct PendingCardRequests {
  std::mutex pending_mutex;
  std::unordered_map<std::string, std::unique_ptr<CardExchange>> exchanges;
};

// Where page replies go: the window, or the windowless host's stdout. Called
// on the worker thread; must not block on the window thread.
class ReplySink {
 public:
  virtual ~ReplySink() = default;
  virtual void deliver_reply(std::string reply) = 0;
};

// The shared state of one running application.
struct Core {
  RequestQueue queue;
  PendingCardRequests pending;
  CommandTable table;
};

void push_request(RequestQueue& queue, std::string reply_id, std::string payload, bool from_card);

// A message from the page: "reply id:payload".
void on_web_message(Core& core, const std::string& message_utf8);
void on_web_message(Core& core, const std::u16string& message);

// Runs one request and returns its result; every exception a handler raises
// becomes an "ERROR:" sentence, so every request is answered.
std::string run_command(const CommandTable& table, const std::string& payload);

// The worker thread's body; returns once `worker_stop` is set. Requests left
// in the queue then are never run.
void worker_func(Core& core, ReplySink& sink);

// Sets `worker_stop` and wakes the worker.
void stop_worker(RequestQueue& queue);

// Hands a card result to its waiting exchange; dropped when none waits.
void complete_card_request(PendingCardRequests& pending, const std::string& reply_id,
                           const std::string& result);

// "http_" and six digits, the first 1..9. Safe from several threads.
std::string make_card_request_id();
