#include "cards/card_exchange.h"

#include <random>

const char kCardTimeoutBody[] = R"({"error":"Request timeout"})";
const char kCardInternalErrorBody[] = R"({"error":"Internal server error"})";
const char kCardBusyBody[] = R"({"error":"Busy"})";

namespace {

const char kJson[] = "application/json";

}  // namespace

void PendingCardRequests::deliver_card_result(const std::string& reply_id, std::string result) {
  std::lock_guard<std::mutex> lock(pending_mutex);
  auto entry = exchanges.find(reply_id);
  if (entry == exchanges.end()) return;
  if (entry->second->waiting) entry->second->result.set_value(std::move(result));
  exchanges.erase(entry);
}

std::string make_card_request_id() {
  static std::mutex generator_mutex;
  static std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<int> six_digits(100000, 999999);
  std::lock_guard<std::mutex> lock(generator_mutex);
  return "http_" + std::to_string(six_digits(generator));
}

std::string file_card_exchange(PendingCardRequests& pending, std::future<CardResult>* result,
                               const std::function<std::string()>& draw_id) {
  std::lock_guard<std::mutex> lock(pending.pending_mutex);
  if (pending.closed || pending.exchanges.size() >= kMaxQueuedCardRequests) return std::string();
  std::string reply_id;
  do reply_id = draw_id();
  while (pending.exchanges.count(reply_id));
  auto exchange = std::make_unique<CardExchange>();
  *result = exchange->result.get_future();
  pending.exchanges.emplace(reply_id, std::move(exchange));
  return reply_id;
}

void abandon_card_exchange(PendingCardRequests& pending, const std::string& reply_id) {
  std::lock_guard<std::mutex> lock(pending.pending_mutex);
  auto entry = pending.exchanges.find(reply_id);
  if (entry != pending.exchanges.end()) entry->second->waiting = false;
}

void close_card_exchanges(PendingCardRequests& pending) {
  std::lock_guard<std::mutex> lock(pending.pending_mutex);
  pending.closed = true;
  for (auto& [reply_id, exchange] : pending.exchanges)
    if (exchange->waiting) exchange->result.set_value(std::nullopt);
  pending.exchanges.clear();
}

CardResponse run_card_exchange(RequestQueue& queue, PendingCardRequests& pending,
                               const std::string& command, const std::string& argument,
                               std::chrono::milliseconds wait) {
  std::string reply_id;
  bool queued = false;
  try {
    std::future<CardResult> result;
    reply_id = file_card_exchange(pending, &result);
    if (reply_id.empty()) return {503, kCardBusyBody, kJson};
    push_request(queue, reply_id, command + ":" + argument, true);
    queued = true;
    if (result.wait_for(wait) == std::future_status::ready) {
      CardResult text = result.get();  // a broken promise raises here
      if (text) return {200, std::move(*text), "text/plain"};
      return {408, kCardTimeoutBody, kJson};
    }
    abandon_card_exchange(pending, reply_id);
    return {408, kCardTimeoutBody, kJson};
  } catch (const std::exception&) {
    if (queued) {
      abandon_card_exchange(pending, reply_id);
    } else if (!reply_id.empty()) {  // never queued, so the worker will never hand it back
      std::lock_guard<std::mutex> lock(pending.pending_mutex);
      pending.exchanges.erase(reply_id);
    }
    return {500, kCardInternalErrorBody, kJson};
  }
}
