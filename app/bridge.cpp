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

void worker_func(Core& core, ReplySink& page_sink, CardResultSink& card_sink) {
  RequestQueue& queue = core.queue;
  for (;;) {
    if (queue.worker_stop) return;
    QueuedRequest request;
    {
      std::unique_lock<std::mutex> lock(queue.queue_mutex);
      queue.queue_cond.wait(lock, [&] { return !queue.requests.empty() || queue.worker_stop; });
      if (queue.worker_stop) return;
      request = std::move(queue.requests.front());
      queue.requests.pop_front();
    }
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
