#include "app/bridge.h"

#include <filesystem>
#include <random>
#include <stdexcept>

#include "app/text.h"
#include "store/database.h"

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

// The sentence the user sees for an error a command raised.
std::string error_reply() {
  try {
    throw;
  } catch (const DatabaseNotOpen&) {
    return "ERROR:A contest is not open.";
  } catch (const std::invalid_argument&) {
    return "ERROR:A number in this request is not valid.";
  } catch (const std::out_of_range&) {
    return "ERROR:A number in this request is not valid.";
  } catch (const std::filesystem::filesystem_error&) {
    return "ERROR:The contest folder could not be created.";
  } catch (const DatabaseFailure&) {
    return "ERROR:The contest database could not carry out this request.";
  } catch (...) {
    return "ERROR:This request could not be carried out.";
  }
}

}  // namespace

std::string run_command(const CommandTable& table, const std::string& payload) {
  auto [name, argument] = split_at_first_colon(payload);
  auto entry = table.find(name);
  if (entry == table.end()) return "ERROR:Unknown function.";
  try {
    return entry->second(argument);
  } catch (...) {
    return error_reply();
  }
}

void worker_func(Core& core, ReplySink& sink) {
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
      complete_card_request(core.pending, request.reply_id, result);
    else
      sink.deliver_reply(request.reply_id + ":" + result);
  }
}

void stop_worker(RequestQueue& queue) {
  {
    std::lock_guard<std::mutex> lock(queue.queue_mutex);
    queue.worker_stop = true;
  }
  queue.queue_cond.notify_all();
}

void complete_card_request(PendingCardRequests& pending, const std::string& reply_id,
                           const std::string& result) {
  std::lock_guard<std::mutex> lock(pending.pending_mutex);
  auto entry = pending.exchanges.find(reply_id);
  if (entry == pending.exchanges.end()) return;
  CardExchange& exchange = *entry->second;
  exchange.response.status = 200;
  exchange.response.body = result;
  exchange.response.content_type = "text/plain";
  exchange.done.set_value();
  pending.exchanges.erase(entry);
}

std::string make_card_request_id() {
  static std::mutex generator_mutex;
  static std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<int> six_digits(100000, 999999);
  std::lock_guard<std::mutex> lock(generator_mutex);
  return "http_" + std::to_string(six_digits(generator));
}
