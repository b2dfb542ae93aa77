#include "cards/card_exchange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <thread>

#include "tests/test_support.h"

namespace {

// Takes card requests from the queue by hand, as the worker would.
bool take_request(RequestQueue& queue, QueuedRequest* request) {
  std::lock_guard<std::mutex> lock(queue.queue_mutex);
  if (queue.requests.empty()) return false;
  *request = queue.requests.front();
  queue.requests.pop_front();
  return true;
}

size_t filed(PendingCardRequests& pending) {
  std::lock_guard<std::mutex> lock(pending.pending_mutex);
  return pending.exchanges.size();
}

TEST(CardExchange, AReplyIdStillFiledIsDrawnAgain) {
  PendingCardRequests pending;
  std::future<CardResult> first, second, third;
  std::vector<std::string> draws = {"http_100000", "http_100000", "http_100000", "http_200000",
                                    "http_100000", "http_300000"};
  size_t next = 0;
  auto draw = [&] { return draws.at(next++); };
  EXPECT_EQ(file_card_exchange(pending, &first, draw), "http_100000");
  EXPECT_EQ(file_card_exchange(pending, &second, draw), "http_200000");
  EXPECT_EQ(next, 4u);
  // A request that stopped waiting keeps its id until the worker is done
  // with it: it may still be in the queue.
  abandon_card_exchange(pending, "http_100000");
  EXPECT_EQ(file_card_exchange(pending, &third, draw), "http_300000");
  EXPECT_EQ(next, 6u);

  // Each result reaches its own exchange only; an abandoned one's is dropped.
  pending.deliver_card_result("http_200000", "two");
  ASSERT_EQ(second.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_EQ(second.get(), CardResult("two"));
  EXPECT_EQ(filed(pending), 2u);
  pending.deliver_card_result("http_100000", "late");  // frees its id
  EXPECT_EQ(filed(pending), 1u);
  pending.deliver_card_result("http_000000", "stray");
  EXPECT_EQ(third.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  EXPECT_EQ(filed(pending), 1u);  // the third still waits
}

TEST(CardExchange, AnswersResultTimeoutAndBrokenExchange) {
  RequestQueue queue;
  PendingCardRequests pending;
  std::thread answerer([&] {
    for (int handled = 0; handled < 3;) {
      QueuedRequest request;
      if (!take_request(queue, &request)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      ++handled;
      EXPECT_TRUE(request.from_card);
      if (request.payload == "save_card_placing:1\x1f" "2\x1f" "0") {
        pending.deliver_card_result(request.reply_id, "true");
      } else if (request.payload == "fetch_card_names:broken") {
        std::lock_guard<std::mutex> lock(pending.pending_mutex);
        pending.exchanges.erase(request.reply_id);
      }  // anything else is left unanswered
    }
  });
  struct Case {
    const char* command;
    const char* argument;
    int wait_ms;  // long where an answer comes, so a busy machine cannot fake a time-out
    CardResponse expected;
    size_t filed_after;
  } cases[] = {
      {"save_card_placing", "1\x1f" "2\x1f" "0", 20000, {200, "true", "text/plain"}, 0},
      // Unanswered: its entry stays filed, as its request was taken but not answered.
      {"save_card_reasons", "", 300, {408, R"({"error":"Request timeout"})", "application/json"}, 1},
      {"fetch_card_names", "broken", 20000,
       {500, R"({"error":"Internal server error"})", "application/json"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    CardResponse answer = run_card_exchange(queue, pending, c.command, c.argument,
                                            std::chrono::milliseconds(c.wait_ms));
    EXPECT_EQ(answer.status, c.expected.status);
    EXPECT_EQ(answer.body, c.expected.body);
    EXPECT_EQ(answer.content_type, c.expected.content_type);
    EXPECT_EQ(filed(pending), c.filed_after);
  }
  answerer.join();
}

// At most kMaxQueuedCardRequests wait in the queue; beyond them the answer
// is 503 at once and nothing is queued. A closed exchange answers at once.
TEST(CardExchange, AFullQueueAnswersBusyAndClosingAnswersEveryWaiter) {
  RequestQueue queue;
  PendingCardRequests pending;
  std::vector<std::future<CardResponse>> waiting;
  for (size_t i = 0; i < kMaxQueuedCardRequests; ++i)
    waiting.push_back(std::async(std::launch::async, [&] {
      return run_card_exchange(queue, pending, "fetch_card_names", "1", std::chrono::seconds(60));
    }));
  while (filed(pending) < kMaxQueuedCardRequests)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  CardResponse busy = run_card_exchange(queue, pending, "fetch_card_names", "1");
  EXPECT_EQ(busy.status, 503);
  EXPECT_EQ(busy.body, R"({"error":"Busy"})");
  {
    std::lock_guard<std::mutex> lock(queue.queue_mutex);
    EXPECT_EQ(queue.requests.size(), kMaxQueuedCardRequests);
  }
  // One answered frees one place.
  QueuedRequest request;
  ASSERT_TRUE(take_request(queue, &request));
  pending.deliver_card_result(request.reply_id, "ok");
  std::future<CardResult> one_more;
  EXPECT_FALSE(file_card_exchange(pending, &one_more).empty());

  auto started = std::chrono::steady_clock::now();
  close_card_exchanges(pending);
  int answered = 0, timed_out = 0;
  for (auto& answer : waiting) {
    CardResponse response = answer.get();
    answered += response.status == 200;
    timed_out += response.status == 408 && response.body == R"({"error":"Request timeout"})";
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  EXPECT_EQ(answered, 1);
  EXPECT_EQ(timed_out, static_cast<int>(kMaxQueuedCardRequests) - 1);
  EXPECT_EQ(one_more.get(), CardResult());
  EXPECT_EQ(filed(pending), 0u);
  EXPECT_EQ(run_card_exchange(queue, pending, "fetch_card_names", "1").status, 503);
}

// A flood of card requests cannot bury the organiser: a page command queued
// behind it runs after at most kMaxQueuedCardRequests card commands.
TEST(CardExchange, APageCommandOvertakesAFloodBeyondTheCap) {
  Core core;
  PendingCardRequests pending;
  std::mutex order_mutex;
  std::vector<std::string> order;
  core.table.commands["card"] = [&](const std::string&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::lock_guard<std::mutex> lock(order_mutex);
    order.push_back("card");
    return std::string("true");
  };
  core.table.commands["page"] = [&](const std::string&) {
    std::lock_guard<std::mutex> lock(order_mutex);
    order.push_back("page");
    return std::string("done");
  };
  CollectingSink sink;
  // 1,000 card requests arrive before the page's, filed as the card server
  // files them.
  std::vector<std::future<CardResult>> results;
  int busy = 0;
  for (int i = 0; i < 1000; ++i) {
    std::future<CardResult> result;
    std::string reply_id = file_card_exchange(pending, &result);
    if (reply_id.empty()) {
      ++busy;
      continue;
    }
    push_request(core.queue, reply_id, "card:", true);
    results.push_back(std::move(result));
  }
  on_web_message(core, "7:page:");
  auto queued = std::chrono::steady_clock::now();
  std::thread worker(worker_func, std::ref(core), std::ref(sink), std::ref(pending));
  ASSERT_TRUE(sink.wait_for("7:done"));
  auto waited = std::chrono::steady_clock::now() - queued;
  stop_worker(core.queue);
  worker.join();
  EXPECT_EQ(busy, 1000 - static_cast<int>(kMaxQueuedCardRequests));
  EXPECT_EQ(results.size(), kMaxQueuedCardRequests);
  size_t page_at = std::find(order.begin(), order.end(), "page") - order.begin();
  EXPECT_EQ(page_at, kMaxQueuedCardRequests);
  for (auto& result : results) EXPECT_EQ(result.get(), CardResult("true"));
  // Bounded generously for a loaded machine; card_bench measures it.
  EXPECT_LT(waited, std::chrono::seconds(5));
}

TEST(CardRequestId, IsHttpAndSixDigits) {
  std::regex shape("http_[1-9][0-9]{5}");
  for (int i = 0; i < 2000; ++i) {
    std::string id = make_card_request_id();
    ASSERT_EQ(id.size(), 11u);
    ASSERT_TRUE(std::regex_match(id, shape)) << id;
  }
}

}  // namespace
