#include "app/bridge.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "app/command_table.h"
#include "store/database.h"
#include "tests/test_support.h"

namespace {

// Card results as the worker hands them over.
class CollectingCardSink : public CardResultSink {
 public:
  void deliver_card_result(const std::string& reply_id, std::string result) override {
    std::lock_guard<std::mutex> lock(mutex);
    results.push_back(reply_id + "=" + result);
  }
  std::vector<std::string> taken() {
    std::lock_guard<std::mutex> lock(mutex);
    return results;
  }
  std::mutex mutex;
  std::vector<std::string> results;
};

// A worker running over a table of test commands.
class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    core.table.commands["echo"] = [](const std::string& a) { return "[" + a + "]"; };
    core.table.commands["fail"] = [](const std::string&) -> std::string {
      throw std::runtime_error("x");
    };
    core.table.commands["other"] = [](const std::string&) -> std::string { throw 42; };
    core.table.commands["log"] = [this](const std::string& a) {
      order.push_back(a);
      return std::string();
    };
    core.table.describe_failure = [] {
      try {
        throw;
      } catch (const std::runtime_error& e) {
        return std::string("described ") + e.what();
      }
    };
  }
  void start() {
    worker = std::thread(worker_func, std::ref(core), std::ref(sink), std::ref(card_sink));
  }
  void TearDown() override {
    stop_worker(core.queue);
    if (worker.joinable()) worker.join();
  }
  Core core;
  CollectingSink sink;
  CollectingCardSink card_sink;
  std::thread worker;
  std::vector<std::string> order;
};

TEST_F(BridgeTest, PageMessagesAreAnsweredInOrder) {
  start();
  const char* messages[] = {
      "1:echo:a:b",          // colons stay in the argument
      "2:echo:",             // empty argument
      "3:echo",              // no second colon: empty argument
      "5:no_such_command:x", "hello",
      "6:fail:",             // described by the table
      "11:other:",           // the table's description rethrows
      "12:ECHO:x",
  };
  for (const char* m : messages) on_web_message(core, std::string(m));
  std::vector<std::string> expected = {
      "1:[a:b]",
      "2:[]",
      "3:[]",
      "5:ERROR:Unknown function.",
      "hello:ERROR:Unknown function.",
      "6:ERROR:described x",
      "11:ERROR:This request could not be carried out.",
      "12:ERROR:Unknown function.",
  };
  EXPECT_EQ(sink.wait_for(expected.size()), expected);
}

TEST_F(BridgeTest, WithoutADescriptionEveryFailureIsTheGenericSentence) {
  core.table.describe_failure = nullptr;
  EXPECT_EQ(run_command(core.table, "fail:"), "ERROR:This request could not be carried out.");
  EXPECT_EQ(run_command(core.table, "other:"), "ERROR:This request could not be carried out.");
}

TEST_F(BridgeTest, CardRequestQueuedBetweenPageRequestsRunsBetweenThem) {
  push_request(core.queue, "1", "log:page one", false);
  push_request(core.queue, "card_1", "log:card", true);
  push_request(core.queue, "card_2", "echo:x", true);
  push_request(core.queue, "2", "log:page two", false);
  start();
  EXPECT_EQ(sink.wait_for(2), (std::vector<std::string>{"1:", "2:"}));
  EXPECT_EQ(order, (std::vector<std::string>{"page one", "card", "page two"}));
  // Card results never reach the page; each goes to the card sink once.
  EXPECT_EQ(card_sink.taken(), (std::vector<std::string>{"card_1=", "card_2=[x]"}));
}

TEST_F(BridgeTest, StoppedWorkerNeverRunsWaitingRequests) {
  stop_worker(core.queue);
  push_request(core.queue, "1", "log:never", false);
  push_request(core.queue, "c", "log:never", true);
  start();
  worker.join();
  EXPECT_TRUE(order.empty());
  EXPECT_TRUE(sink.replies.empty());
  EXPECT_TRUE(card_sink.taken().empty());
}

// Card requests of a batchable command that wait one behind the other run
// as one batch; anything else in the queue, or a full batch, ends it.
TEST_F(BridgeTest, CardRequestsWaitingInARowRunAsOneBatch) {
  std::vector<size_t> batch_sizes;
  core.table.batches["echo"] = [&](const std::vector<std::string>& arguments) {
    batch_sizes.push_back(arguments.size());
    std::vector<std::string> results;
    for (const std::string& a : arguments) results.push_back("{" + a + "}");
    return results;
  };
  std::vector<std::string> expected;
  auto card = [&](const std::string& id, const std::string& payload, const std::string& result) {
    push_request(core.queue, id, payload, true);
    expected.push_back(id + "=" + result);
  };
  card("a1", "echo:1", "{1}");
  card("a2", "echo:2", "{2}");
  card("a3", "echo:3", "{3}");
  push_request(core.queue, "p", "echo:page", false);  // a page request ends the batch
  card("b1", "echo:4", "[4]");
  card("b2", "log:x", "");  // so does another command
  card("c1", "echo:5", "[5]");  // alone: the single command
  push_request(core.queue, "q", "echo:page", false);
  push_request(core.queue, "e1", "echo:page", false);  // page requests never batch
  push_request(core.queue, "e2", "echo:page", false);
  for (size_t i = 0; i < kMaxCardBatch + 3; ++i)
    card("d" + std::to_string(i), "echo:d", "{d}");
  push_request(core.queue, "z", "echo:page", false);  // answered once every card request is
  start();
  EXPECT_EQ(sink.wait_for(5),
            (std::vector<std::string>{"p:[page]", "q:[page]", "e1:[page]", "e2:[page]", "z:[page]"}));
  EXPECT_EQ(card_sink.taken(), expected);
  EXPECT_EQ(batch_sizes, (std::vector<size_t>{3, kMaxCardBatch, 3}));
}

// A batch that raises or miscounts its results must still answer every
// request, each as the single command would.
TEST_F(BridgeTest, ABatchThatFailsRunsEachRequestOnItsOwn) {
  core.table.batches["echo"] = [](const std::vector<std::string>&) -> std::vector<std::string> {
    throw std::runtime_error("batch");
  };
  core.table.batches["log"] = [](const std::vector<std::string>&) {
    return std::vector<std::string>{"only one"};
  };
  EXPECT_EQ(run_batch(core.table, "echo", {"1", "2"}), (std::vector<std::string>{"[1]", "[2]"}));
  EXPECT_EQ(run_batch(core.table, "log", {"1", "2"}), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(order, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(run_batch(core.table, "fail", {"1"}), (std::vector<std::string>{"ERROR:described x"}));
}

TEST(CommandTable, HoldsEveryCommand) {
  CommandTable table;
  initialize_functions(table);
  EXPECT_EQ(table.commands.size(), 35u);
  for (const char* name : {"create_contest", "open_contest", "call_save_contestant",
                           "fetch_wifi_addresses", "fetch_team_rankings", "save_card_reasons",
                           "fetch_class_key", "fetch_score_sheets", "export_results",
                           "open_results_folder", "fetch_card_log"})
    EXPECT_EQ(table.commands.count(name), 1u) << name;
  EXPECT_EQ(table.batches.size(), 2u);
  for (const auto& [name, batch] : table.batches) EXPECT_EQ(table.commands.count(name), 1u) << name;
  EXPECT_TRUE(table.describe_failure);
}

// The store's and the standard library's failures, as a command raises them,
// become the user's sentences.
TEST(CommandTable, FailuresBecomeTheirSentences) {
  CommandTable table;
  initialize_functions(table);
  struct Case {
    const char* name;
    CommandHandler handler;
    const char* reply;
  } cases[] = {
      {"closed", [](const std::string&) -> std::string { throw DatabaseNotOpen(); },
       "ERROR:A contest is not open."},
      {"bad_number", [](const std::string& a) { return std::to_string(read_int(a)); },
       "ERROR:A number in this request is not valid."},
      {"too_big", [](const std::string&) { return std::to_string(read_int("99999999999")); },
       "ERROR:A number in this request is not valid."},
      {"missing", [](const std::string& a) { return field_at(split_fields(a), 3); },
       "ERROR:A number in this request is not valid."},
      {"folder",
       [](const std::string&) -> std::string {
         throw std::filesystem::filesystem_error("x", std::make_error_code(std::errc::io_error));
       },
       "ERROR:The contest folder could not be created."},
      {"prepare",
       [](const std::string&) -> std::string {
         throw DatabaseFailure("Failed to prepare statement: x");
       },
       "ERROR:The contest database could not carry out this request."},
      {"other", [](const std::string&) -> std::string { throw 42; },
       "ERROR:This request could not be carried out."},
      {"other_standard",
       [](const std::string&) -> std::string { throw std::logic_error("x"); },
       "ERROR:This request could not be carried out."},
  };
  for (const Case& c : cases) {
    table.commands[c.name] = c.handler;
    EXPECT_EQ(run_command(table, std::string(c.name) + ":x"), c.reply) << c.name;
  }
}

}  // namespace
