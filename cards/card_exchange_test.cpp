#include "cards/card_exchange.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

namespace {

TEST(CardExchange, AReplyIdStillWaitingIsDrawnAgain) {
  PendingCardRequests pending;
  CardResponse first, second;
  std::future<void> first_done, second_done;
  std::vector<std::string> draws = {"http_100000", "http_100000", "http_100000", "http_200000"};
  size_t next = 0;
  auto draw = [&] { return draws.at(next++); };
  EXPECT_EQ(file_card_exchange(pending, first, &first_done, draw), "http_100000");
  EXPECT_EQ(file_card_exchange(pending, second, &second_done, draw), "http_200000");
  EXPECT_EQ(next, 4u);

  // Each result reaches its own exchange only.
  complete_card_request(pending, "http_200000", "two");
  EXPECT_EQ(second_done.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_EQ(second.body, "two");
  EXPECT_EQ(first_done.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  EXPECT_EQ(first.status, 0);
  drop_card_exchange(pending, "http_100000");
  EXPECT_TRUE(pending.exchanges.empty());
}

// The queue's requests answered by hand, as the worker would.
TEST(CardExchange, AnswersResultTimeoutAndBrokenExchange) {
  RequestQueue queue;
  PendingCardRequests pending;
  std::thread answerer([&] {
    for (int handled = 0; handled < 3;) {
      QueuedRequest request;
      bool taken = false;
      {
        std::lock_guard<std::mutex> lock(queue.queue_mutex);
        if (!queue.requests.empty()) {
          request = queue.requests.front();
          queue.requests.pop_front();
          taken = true;
        }
      }
      if (!taken) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      ++handled;
      EXPECT_TRUE(request.from_card);
      if (request.payload == "save_card_placing:1\x1f" "2\x1f" "0")
        complete_card_request(pending, request.reply_id, "true");
      else if (request.payload == "fetch_card_names:broken") {
        std::lock_guard<std::mutex> lock(pending.pending_mutex);
        pending.exchanges.erase(request.reply_id);
      }  // anything else is left unanswered
    }
  });
  struct Case {
    const char* command;
    const char* body;
    int wait_ms;  // long where an answer comes, so a busy machine cannot fake a time-out
    CardResponse expected;
  } cases[] = {
      {"save_card_placing", "1\x1f" "2\x1f" "0", 20000, {200, "true", "text/plain"}},
      {"save_card_reasons", "", 300, {408, R"({"error":"Request timeout"})", "application/json"}},
      {"fetch_card_names", "broken", 20000,
       {500, R"({"error":"Internal server error"})", "application/json"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    CardResponse answer = run_card_exchange(queue, pending, c.command, c.body,
                                            std::chrono::milliseconds(c.wait_ms));
    EXPECT_EQ(answer.status, c.expected.status);
    EXPECT_EQ(answer.body, c.expected.body);
    EXPECT_EQ(answer.content_type, c.expected.content_type);
    // The worker fulfils the promise before it removes the entry, both under
    // the lock: look once it has let go.
    std::lock_guard<std::mutex> lock(pending.pending_mutex);
    EXPECT_TRUE(pending.exchanges.empty());
  }
  answerer.join();
}

// What the worker hands over reaches the exchange filed under its id; a
// result nobody waits for any more is dropped.
TEST(CardExchange, TheWorkersResultReachesItsExchange) {
  PendingCardRequests pending;
  CardResponse response;
  std::future<void> done;
  std::string id = file_card_exchange(pending, response, &done);
  CardResultSink& sink = pending;
  sink.deliver_card_result("http_000000", "stray");
  EXPECT_EQ(done.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  sink.deliver_card_result(id, "true");
  ASSERT_EQ(done.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.body, "true");
  EXPECT_EQ(response.content_type, "text/plain");
  EXPECT_TRUE(pending.exchanges.empty());
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
