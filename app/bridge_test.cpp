#include "app/bridge.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "app/command_table.h"
#include "store/database.h"
#include "tests/test_support.h"

namespace {

// A worker running over a table of test commands.
class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    core.table["echo"] = [](const std::string& a) { return "[" + a + "]"; };
    core.table["fail"] = [](const std::string&) -> std::string { throw DatabaseNotOpen(); };
    core.table["bad_number"] = [](const std::string& a) { return std::to_string(read_int(a)); };
    core.table["missing"] = [](const std::string& a) { return field_at(split_fields(a), 3); };
    core.table["prepare"] = [](const std::string&) -> std::string {
      throw DatabaseFailure("Failed to prepare statement: x");
    };
    core.table["other"] = [](const std::string&) -> std::string { throw 42; };
    core.table["log"] = [this](const std::string& a) {
      order.push_back(a);
      return std::string();
    };
  }
  void start() { worker = std::thread(worker_func, std::ref(core), std::ref(sink)); }
  void TearDown() override {
    stop_worker(core.queue);
    if (worker.joinable()) worker.join();
  }
  Core core;
  CollectingSink sink;
  std::thread worker;
  std::vector<std::string> order;
};

TEST_F(BridgeTest, PageMessagesAreAnsweredInOrder) {
  start();
  const char* messages[] = {
      "1:echo:a:b",          // colons stay in the argument
      "2:echo:",             // empty argument
      "3:echo",              // no second colon: empty argument
      "5:no_such_command:x", "hello", "6:fail:", "7:bad_number:x", "8:bad_number:99999999999",
      "9:missing:a\x1f" "b", "10:prepare:", "11:other:", "12:ECHO:x",
  };
  for (const char* m : messages) on_web_message(core, std::string(m));
  std::vector<std::string> expected = {
      "1:[a:b]",
      "2:[]",
      "3:[]",
      "5:ERROR:Unknown function.",
      "hello:ERROR:Unknown function.",
      "6:ERROR:A contest is not open.",
      "7:ERROR:A number in this request is not valid.",
      "8:ERROR:A number in this request is not valid.",
      "9:ERROR:A number in this request is not valid.",
      "10:ERROR:The contest database could not carry out this request.",
      "11:ERROR:This request could not be carried out.",
      "12:ERROR:Unknown function.",
  };
  EXPECT_EQ(sink.wait_for(expected.size()), expected);
}

TEST_F(BridgeTest, CardRequestQueuedBetweenPageRequestsRunsBetweenThem) {
  CardResponse response;
  auto exchange = std::make_unique<CardExchange>(CardExchange{"http_123456", response, {}});
  std::future<void> done = exchange->done.get_future();
  core.pending.exchanges["http_123456"] = std::move(exchange);
  push_request(core.queue, "1", "log:page one", false);
  push_request(core.queue, "http_123456", "log:card", true);
  push_request(core.queue, "2", "log:page two", false);
  start();
  ASSERT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  sink.wait_for(2);
  EXPECT_EQ(order, (std::vector<std::string>{"page one", "card", "page two"}));
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.content_type, "text/plain");
  EXPECT_EQ(response.body, "");
  EXPECT_TRUE(core.pending.exchanges.empty());
}

TEST_F(BridgeTest, LateCardResultIsDropped) {
  start();
  push_request(core.queue, "http_999999", "echo:x", true);
  push_request(core.queue, "1", "echo:after", false);
  EXPECT_EQ(sink.wait_for(1), std::vector<std::string>{"1:[after]"});
  EXPECT_TRUE(core.pending.exchanges.empty());
}

TEST_F(BridgeTest, StoppedWorkerNeverRunsWaitingRequests) {
  stop_worker(core.queue);
  push_request(core.queue, "1", "log:never", false);
  start();
  worker.join();
  EXPECT_TRUE(order.empty());
  EXPECT_TRUE(sink.replies.empty());
}

TEST(CommandTable, HoldsTheThirtyOneCommands) {
  CommandTable table;
  initialize_functions(table);
  EXPECT_EQ(table.size(), 31u);
  for (const char* name : {"create_contest", "open_contest", "call_save_contestant",
                           "fetch_wifi_addresses", "fetch_team_rankings", "save_card_reasons",
                           "fetch_card_log"})
    EXPECT_EQ(table.count(name), 1u) << name;
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
