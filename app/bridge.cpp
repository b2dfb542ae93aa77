#include "app/bridge.h"

#include "app/text.h"

void push_request(RequestQueue& queue, std::string reply_id, std::string payload, bool from_card) {
  {
    std::lock_guard<std::mutex> lock(queue.queue_mutex);
    queue.requests.push_back({std::move(reply_id), std::move(payload), from_card});
  }
  queue.queue_cond.notify_one();
}

void on_web_message(Core& core, const std::string& message_utf8) {
  auto [reply_id, payload] = split_at_first_colon(message_utf8);
  push_request(core.queue, std::move(reply_id), std::move(payload), false);
}

void on_web_message(Core& core, const std::u16string& message) {
  on_web_message(core, utf16_to_utf8(message));
}

namespace {

const char kGenericFailure[] = "ERROR:This request could not be carried out.";

// Called inside a catch block.
std::string failure_reply(const CommandTable& table) {
  if (!table.describe_failure) return kGenericFailure;
  try {
    return "ERROR:" + table.describe_failure();
  } catch (...) {
    return kGenericFailure;
  }
}

}  // namespace

std::string run_command(const CommandTable& table, const std::string& payload) {
  auto [name, argument] = split_at_first_colon(payload);
  auto entry = table.commands.find(name);
  if (entry == table.commands.end()) return "ERROR:Unknown function.";
  try {
    return entry->second(argument);
  } catch (...) {
    return failure_reply(table);
  }
}

std::vector<std::string> run_batch(const CommandTable& table, const std::string& name,
                                   const std::vector<std::string>& arguments) {
  auto batch = table.batches.find(name);
  if (batch != table.batches.end()) {
    try {
      std::vector<std::string> results = batch->second(arguments);
      if (results.size() == arguments.size()) return results;
    } catch (...) {
      // Each on its own below: every request is still answered.
    }
  }
  std::vector<std::string> results;
  for (const std::string& argument : arguments) results.push_back(run_command(table, name + ":" + argument));
  return results;
}

namespace {

// Takes the front request and, when it is a card request of a batchable
// command, every card request of the same command that waits right behind
// it (up to kMaxCardBatch). Called with the queue's lock held and the queue
// not empty. `batch` becomes the batch's command name, "" otherwise.
std::vector<QueuedRequest> take_requests(RequestQueue& queue, const CommandTable& table,
                                         std::string* batch) {
  std::vector<QueuedRequest> taken;
  taken.push_back(std::move(queue.requests.front()));
  queue.requests.pop_front();
  batch->clear();
  if (!taken.front().from_card) return taken;
  std::string name = split_at_first_colon(taken.front().payload).first;
  if (!table.batches.count(name)) return taken;
  const std::string prefix = name + ":";
  auto same_command = [&](const QueuedRequest& request) {
    return request.from_card && request.payload.compare(0, prefix.size(), prefix) == 0;
  };
  while (taken.size() < kMaxCardBatch && !queue.requests.empty() &&
         same_command(queue.requests.front())) {
    taken.push_back(std::move(queue.requests.front()));
    queue.requests.pop_front();
  }
  *batch = std::move(name);
  return taken;
}

// Runs card requests that are all "name:argument" of the command `name` as
// one batch.
void run_card_batch(const CommandTable& table, const std::string& name,
                    std::vector<QueuedRequest>& requests, CardResultSink& card_sink) {
  std::vector<std::string> arguments;
  for (const QueuedRequest& request : requests) arguments.push_back(request.payload.substr(name.size() + 1));
  std::vector<std::string> results = run_batch(table, name, arguments);
  for (size_t i = 0; i < requests.size(); ++i)
    card_sink.deliver_card_result(requests[i].reply_id, std::move(results[i]));
}

}  // namespace

void worker_func(Core& core, ReplySink& page_sink, CardResultSink& card_sink) {
  RequestQueue& queue = core.queue;
  for (;;) {
    if (queue.worker_stop) return;
    std::vector<QueuedRequest> requests;
    std::string batch;
    {
      std::unique_lock<std::mutex> lock(queue.queue_mutex);
      queue.queue_cond.wait(lock, [&] { return !queue.requests.empty() || queue.worker_stop; });
      if (queue.worker_stop) return;
      requests = take_requests(queue, core.table, &batch);
    }
    if (requests.size() > 1) {
      run_card_batch(core.table, batch, requests, card_sink);
      continue;
    }
    QueuedRequest& request = requests.front();
    std::string result = run_command(core.table, request.payload);
    if (request.from_card)
      card_sink.deliver_card_result(request.reply_id, std::move(result));
    else
      page_sink.deliver_reply(request.reply_id + ":" + result);
  }
}

void stop_worker(RequestQueue& queue) {
  {
    std::lock_guard<std::mutex> lock(queue.queue_mutex);
    queue.worker_stop = true;
  }
  queue.queue_cond.notify_all();
}
