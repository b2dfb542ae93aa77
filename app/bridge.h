// The request bridge: one queue that the page and the card server feed, one
// worker thread that runs every command in arrival order, and the two sinks a
// result is handed to (page replies, card results). The bridge knows neither
// the commands nor where card results go: the command table and the card
// exchange supply both.
#pragma once
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// Messages: page -> host "reply id:command:argument"; host -> page
// "reply id:result". A result beginning "ERROR:" is a failure whose remainder
// is shown to the user.

struct QueuedRequest {
  std::string reply_id;  // the page's own id, or the card exchange's
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
// Runs one command for several arguments at once and answers each exactly as
// the command alone would have, run on them one after another: one result
// per argument, in their order.
using BatchHandler = std::function<std::vector<std::string>(const std::vector<std::string>&)>;

// The most card requests of one command the worker runs as one batch.
constexpr size_t kMaxCardBatch = 32;

// Filled once before the worker starts, then only read (without a lock).
struct CommandTable {
  std::unordered_map<std::string, CommandHandler> commands;
  // Commands that may also run as a batch: card requests of one of these
  // that wait one behind the other are taken from the queue together (up to
  // kMaxCardBatch), so one commit serves every phone waiting.
  std::unordered_map<std::string, BatchHandler> batches;
  // Called inside a catch block: the sentence (without "ERROR:") for the
  // exception being handled. May rethrow; unset or rethrowing, the reply is
  // "ERROR:This request could not be carried out."
  std::function<std::string()> describe_failure;
};

// Where page replies go: the window, or the windowless host's stdout. Called
// on the worker thread; must not block on the window thread.
class ReplySink {
 public:
  virtual ~ReplySink() = default;
  virtual void deliver_reply(std::string reply) = 0;
};

// Where card results go: the card exchange waiting under `reply_id`. Called
// on the worker thread once for every card request taken from the queue;
// must not block.
class CardResultSink {
 public:
  virtual ~CardResultSink() = default;
  virtual void deliver_card_result(const std::string& reply_id, std::string result) = 0;
};

// The shared state of one running application.
struct Core {
  RequestQueue queue;
  CommandTable table;
};

void push_request(RequestQueue& queue, std::string reply_id, std::string payload, bool from_card);

// A message from the page: "reply id:payload".
void on_web_message(Core& core, const std::string& message_utf8);
void on_web_message(Core& core, const std::u16string& message);

// Runs one request and returns its result; every exception a handler raises
// becomes an "ERROR:" sentence, so every request is answered.
std::string run_command(const CommandTable& table, const std::string& payload);

// Runs card requests of the one command `name` as a batch: one result per
// argument. When the batch handler raises, or answers a different number of
// results, each argument runs on its own through run_command instead.
std::vector<std::string> run_batch(const CommandTable& table, const std::string& name,
                                   const std::vector<std::string>& arguments);

// The worker thread's body; returns once `worker_stop` is set. Requests left
// in the queue then are never run.
void worker_func(Core& core, ReplySink& page_sink, CardResultSink& card_sink);

// Sets `worker_stop` and wakes the worker.
void stop_worker(RequestQueue& queue);
