#include "cards/card_exchange.h"

#include <random>

const char kCardTimeoutBody[] = R"({"error":"Request timeout"})";
const char kCardInternalErrorBody[] = R"({"error":"Internal server error"})";

void PendingCardRequests::deliver_card_result(const std::string& reply_id, std::string result) {
  complete_card_request(*this, reply_id, result);
}

std::string make_card_request_id() {
  static std::mutex generator_mutex;
  static std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<int> six_digits(100000, 999999);
  std::lock_guard<std::mutex> lock(generator_mutex);
  return "http_" + std::to_string(six_digits(generator));
}

std::string file_card_exchange(PendingCardRequests& pending, CardResponse& response,
                               std::future<void>* done,
                               const std::function<std::string()>& draw_id) {
  std::lock_guard<std::mutex> lock(pending.pending_mutex);
  std::string reply_id;
  do reply_id = draw_id();
  while (pending.exchanges.count(reply_id));
  auto exchange = std::unique_ptr<CardExchange>(new CardExchange{reply_id, response, {}});
  *done = exchange->done.get_future();
  pending.exchanges.emplace(reply_id, std::move(exchange));
  return reply_id;
}

void drop_card_exchange(PendingCardRequests& pending, const std::string& reply_id) {
  std::lock_guard<std::mutex> lock(pending.pending_mutex);
  pending.exchanges.erase(reply_id);
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

CardResponse run_card_exchange(RequestQueue& queue, PendingCardRequests& pending,
                               const std::string& command, const std::string& body,
                               std::chrono::milliseconds wait) {
  // The worker writes into `response` only while the entry is filed, and
  // this function removes the entry, or finds it removed, before returning.
  CardResponse response;
  std::string reply_id;
  try {
    std::string payload = command + ":" + body;
    std::future<void> done;
    reply_id = file_card_exchange(pending, response, &done);
    push_request(queue, reply_id, std::move(payload), true);
    if (done.wait_for(wait) == std::future_status::ready) {
      done.get();  // a broken promise raises here
      return response;
    }
    drop_card_exchange(pending, reply_id);
    return {408, kCardTimeoutBody, "application/json"};
  } catch (const std::exception&) {
    if (!reply_id.empty()) drop_card_exchange(pending, reply_id);
    return {500, kCardInternalErrorBody, "application/json"};
  }
}
