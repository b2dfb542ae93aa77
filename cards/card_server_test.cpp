#include "cards/card_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <future>
#include <memory>
#include <thread>

#include "app/bridge.h"
#include "cards/card_exchange.h"
#include "tests/test_support.h"
#include "ui/pages.h"

namespace {

const char kNotFound[] = R"({"error":"Not Found"})";

// A worker whose table records what each card command received; the page
// command "hold" keeps the worker busy until release() is called.
class CardServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"fetch_card_names", "fetch_card_names_and_placing",
                             "save_card_placing", "save_card_reasons"}) {
      std::string command = name;
      core.table.commands[command] = [this, command](const std::string& argument) {
        std::lock_guard<std::mutex> lock(record_mutex);
        received.push_back(command + ":" + argument);
        return results.count(command) ? results[command] : "result of " + command;
      };
    }
    core.table.commands["hold"] = [this](const std::string&) {
      std::unique_lock<std::mutex> lock(hold_mutex);
      hold_cond.wait(lock, [this] { return released; });
      return std::string();
    };
    core.table.commands["ping"] = [](const std::string&) { return std::string("pong"); };
    worker = std::thread(worker_func, std::ref(core), std::ref(sink), std::ref(pending));
  }
  void TearDown() override {
    release();
    if (server) {
      server->stop();
      server->join();
    }
    stop_worker(core.queue);
    worker.join();
  }
  // The test ports lie in the system's range for outgoing connections, so a
  // client elsewhere may hold one for a moment: try again a few times.
  void start_server(int port) {
    for (int attempt = 0; attempt < 10; ++attempt) {
      server = std::make_unique<CardServer>(core.queue, pending);
      server->start(port);
      for (int i = 0; i < 300 && !server->is_listening(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (server->is_listening()) return;
      server.reset();
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    FAIL() << "port " << port << " stayed taken";
  }
  void hold_worker() { on_web_message(core, "h:hold:"); }
  void release() {
    std::lock_guard<std::mutex> lock(hold_mutex);
    released = true;
    hold_cond.notify_all();
  }
  // Waits until every request queued so far has run.
  void drain_worker(const std::string& id) {
    on_web_message(core, id + ":ping:");
    ASSERT_TRUE(sink.wait_for(id + ":pong"));
  }
  size_t pending_count() {
    std::lock_guard<std::mutex> lock(pending.pending_mutex);
    return pending.exchanges.size();
  }
  std::vector<std::string> received_now() {
    std::lock_guard<std::mutex> lock(record_mutex);
    return received;
  }
  static std::unique_ptr<httplib::Client> client(int port) {
    auto c = std::make_unique<httplib::Client>("127.0.0.1", port);
    c->set_read_timeout(30, 0);
    return c;
  }

  Core core;
  PendingCardRequests pending;
  CollectingSink sink;
  std::thread worker;
  std::unique_ptr<CardServer> server;
  std::mutex record_mutex;
  std::vector<std::string> received;
  std::map<std::string, std::string> results;
  std::mutex hold_mutex;
  std::condition_variable hold_cond;
  bool released = false;
};

void expect_answer(const httplib::Result& res, int status, const std::string& body,
                   const std::string& content_type) {
  ASSERT_TRUE(res) << httplib::to_string(res.error());
  EXPECT_EQ(res->status, status);
  EXPECT_EQ(res->body, body);
  EXPECT_EQ(res->get_header_value("Content-Type"), content_type);
}

TEST_F(CardServerTest, PagesAndHealthAreServedAsStored) {
  start_server(57100);
  struct Case {
    const char* path;
    std::string body;
    const char* content_type;
  } cases[] = {{"/placing", std::string(ui::placing_page), "text/html"},
               {"/reasons", std::string(ui::reasons_page), "text/html"},
               {"/health", R"({"status":"ok"})", "application/json"},
               {"/health?probe=1", R"({"status":"ok"})", "application/json"}};
  auto http = client(57100);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    expect_answer(http->Get(c.path), 200, c.body, c.content_type);
  }
}

TEST_F(CardServerTest, RequestsWithoutARouteAnswerNotFound) {
  start_server(57101);
  auto http = client(57101);
  expect_answer(http->Get("/nothing"), 404, kNotFound, "application/json");
  expect_answer(http->Get("/placing/"), 404, kNotFound, "application/json");
  expect_answer(http->Get("/api/save_card_placing"), 404, kNotFound, "application/json");
  expect_answer(http->Post("/placing", "", "text/plain"), 404, kNotFound, "application/json");
  expect_answer(http->Post("/health", "x", "text/plain"), 404, kNotFound, "application/json");
  expect_answer(http->Post("/api/no_such_command", "x", "text/plain"), 404, kNotFound,
                "application/json");
  // A body far beyond any card's is refused before the route runs.
  expect_answer(http->Post("/api/save_card_placing", std::string(100000, '1'), "text/plain"), 413,
                R"({"error":"Payload Too Large"})", "application/json");
  drain_worker("1");
  EXPECT_TRUE(received_now().empty());
}

TEST_F(CardServerTest, HealthAnswersWhileTheWorkerIsBusy) {
  start_server(57102);
  hold_worker();
  expect_answer(client(57102)->Get("/health"), 200, R"({"status":"ok"})", "application/json");
}

TEST_F(CardServerTest, ApiRoutesQueueTheBodyAndAnswerTheResultUnchanged) {
  start_server(57103);
  results["fetch_card_names"] = "ERROR:A contest is not open.";
  results["save_card_placing"] = "true";
  struct Case {
    const char* command;
    std::string body;
    std::string answer;
  } cases[] = {
      {"fetch_card_names", "1011\x1f" "1", "ERROR:A contest is not open."},
      {"fetch_card_names_and_placing", "1011\x1f" "2", "result of fetch_card_names_and_placing"},
      {"save_card_placing", "1011\x1f" "1\x1f" "1234", "true"},
      {"save_card_reasons", "a:b:c\x1f", "result of save_card_reasons"},
      {"fetch_card_names", "", "ERROR:A contest is not open."},  // empty body, empty argument
  };
  auto http = client(57103);
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    expect_answer(http->Post((std::string("/api/") + c.command).c_str(), c.body, "text/plain"), 200,
                  c.answer, "text/plain");
    // The writes get the phone's address first.
    bool write = std::string(c.command).rfind("save_", 0) == 0;
    expected.push_back(std::string(c.command) + ":" + (write ? "127.0.0.1\x1f" : "") + c.body);
  }
  EXPECT_EQ(received_now(), expected);
  EXPECT_EQ(pending_count(), 0u);
}

TEST_F(CardServerTest, WorkerHeldPastTheWaitGivesTimeoutAndTheLateResultIsDropped) {
  start_server(57104);
  hold_worker();
  expect_answer(client(57104)->Post("/api/save_card_placing", "1011\x1f" "1\x1f" "1234",
                                    "text/plain"),
                408, R"({"error":"Request timeout"})", "application/json");
  // Still queued, so its reply id stays taken.
  EXPECT_EQ(pending_count(), 1u);
  EXPECT_TRUE(received_now().empty());
  release();
  drain_worker("2");
  // The command still ran after the time-out; its result was dropped.
  EXPECT_EQ(received_now(),
            std::vector<std::string>{"save_card_placing:127.0.0.1\x1f" "1011\x1f" "1\x1f" "1234"});
  EXPECT_EQ(pending_count(), 0u);
}

TEST_F(CardServerTest, ABrokenExchangeAnswersInternalError) {
  start_server(57105);
  hold_worker();
  auto answer = std::async(std::launch::async, [&] {
    return client(57105)->Post("/api/fetch_card_names", "1\x1f" "1", "text/plain");
  });
  while (pending_count() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  {
    // Dropping the entry without a result breaks the exchange's promise.
    std::lock_guard<std::mutex> lock(pending.pending_mutex);
    pending.exchanges.clear();
  }
  expect_answer(answer.get(), 500, R"({"error":"Internal server error"})", "application/json");
  EXPECT_EQ(pending_count(), 0u);
}

// Listens on 0.0.0.0:`port` without SO_REUSEPORT, like any other program
// (retrying while an outgoing connection elsewhere holds the port).
int take_port(int port) {
  int sock = socket(AF_INET, SOCK_STREAM, 0);
  int yes = 1;
  setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  int bound = -1;
  for (int attempt = 0; attempt < 30 && bound != 0; ++attempt) {
    if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    bound = bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address);
  }
  EXPECT_EQ(bound, 0);
  EXPECT_EQ(listen(sock, 4), 0);
  return sock;
}

TEST_F(CardServerTest, APortAlreadyTakenLeavesTheRestWorking) {
  // Taken by another program, and by a second card server.
  int sock = take_port(57106);
  CardServer refused(core.queue, pending);
  refused.start(57106);
  refused.join();  // the thread ends at once
  EXPECT_FALSE(refused.is_listening());
  close(sock);

  start_server(57107);
  CardServer second(core.queue, pending);
  second.start(57107);
  second.join();
  EXPECT_FALSE(second.is_listening());
  for (int i = 0; i < 4; ++i)  // every connection reaches the first server
    expect_answer(client(57107)->Get("/health"), 200, R"({"status":"ok"})", "application/json");
  drain_worker("3");
}

TEST_F(CardServerTest, SixtyFourIdlePhonesDoNotStopANewPhone) {
  start_server(57108);
  std::vector<std::unique_ptr<httplib::Client>> phones;
  for (int i = 0; i < 64; ++i) {
    phones.push_back(client(57108));
    // Sixteen phones to an address, as sixteen is what one address may hold.
    phones.back()->set_interface("127.0.0." + std::to_string(2 + i / 16));
    phones.back()->set_keep_alive(true);
    ASSERT_TRUE(phones.back()->Post("/api/save_card_placing", "1\x1f" "1\x1f" "1234", "text/plain"));
  }
  auto newcomer = client(57108);
  expect_answer(newcomer->Post("/api/fetch_card_names", "1\x1f" "1", "text/plain"), 200,
                "result of fetch_card_names", "text/plain");
  for (auto& phone : phones)
    expect_answer(phone->Get("/health"), 200, R"({"status":"ok"})", "application/json");
}

TEST_F(CardServerTest, StoppingWaitsForTheRequestInFlight) {
  start_server(57109);
  hold_worker();
  auto answer = std::async(std::launch::async, [&] {
    return client(57109)->Post("/api/save_card_reasons", "1\x1f" "1\x1f" "40", "text/plain");
  });
  while (pending_count() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  server->stop();
  EXPECT_FALSE(client(57109)->Get("/health"));  // no new connection is accepted
  release();
  server->join();
  expect_answer(answer.get(), 200, "result of save_card_reasons", "text/plain");
}

TEST_F(CardServerTest, StopAtAnyMomentEndsTheServerThread) {
  for (int delay_us : {0, 0, 50, 200, 1000, 5000}) {
    CardServer quick(core.queue, pending);
    quick.start(57110);
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us));
    quick.stop();
    quick.join();
    EXPECT_FALSE(quick.is_listening());
  }
  CardServer never_started(core.queue, pending);
  never_started.stop();
  never_started.join();
}

TEST_F(CardServerTest, PagesAndAnswersCarryTheirSafetyHeaders) {
  start_server(57111);
  auto http = client(57111);
  for (const char* path : {"/placing", "/reasons", "/health"}) {
    auto res = http->Get(path);
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->get_header_value("X-Content-Type-Options"), "nosniff") << path;
    EXPECT_EQ(res->get_header_value("Content-Security-Policy"), "frame-ancestors 'none'") << path;
  }
  for (const char* path : {"/api/fetch_card_names", "/api/save_card_reasons"}) {
    auto res = http->Post(path, "1\x1f" "1", "text/plain");
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->get_header_value("Cache-Control"), "no-store") << path;
  }
}

// Look-ups are limited per source address, 30 a minute; beyond that the
// worker is not asked. Writes and other addresses are not held back.
TEST_F(CardServerTest, LookUpsBeyondThirtyAMinuteAreRefused) {
  start_server(57112);
  auto walker = client(57112);
  walker->set_interface("127.0.0.2");
  int answered = 0, refused = 0;
  const char* routes[] = {"/api/fetch_card_names", "/api/fetch_card_names_and_placing"};
  for (int i = 0; i < 40; ++i) {
    auto res = walker->Post(routes[i % 2], std::to_string(1000 + i) + "\x1f" "1", "text/plain");
    ASSERT_TRUE(res);
    answered += res->status == 200;
    if (res->status == 429) {
      ++refused;
      EXPECT_EQ(res->body, R"({"error":"Too Many Requests"})");
      EXPECT_EQ(res->get_header_value("Content-Type"), "application/json");
    }
  }
  EXPECT_EQ(answered, 30);
  EXPECT_EQ(refused, 10);
  EXPECT_EQ(received_now().size(), 30u);
  expect_answer(walker->Post("/api/save_card_placing", "1\x1f" "1\x1f" "1234", "text/plain"), 200,
                "result of save_card_placing", "text/plain");
  auto other = client(57112);
  other->set_interface("127.0.0.3");
  expect_answer(other->Post("/api/fetch_card_names", "1\x1f" "1", "text/plain"), 200,
                "result of fetch_card_names", "text/plain");
}

// One address holds at most 16 connections; the next is closed at once,
// while another address is served.
TEST_F(CardServerTest, OneAddressHoldsAtMostSixteenConnections) {
  start_server(57113);
  std::vector<int> held;
  for (int i = 0; i < 16; ++i) {
    int sock = connect_from("127.0.0.2", 57113);
    ASSERT_GE(sock, 0);
    ASSERT_GT(send(sock, "GET /health HTTP/1.1\r\n", 22, MSG_NOSIGNAL), 0);  // never finished
    held.push_back(sock);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  int extra = connect_from("127.0.0.2", 57113);
  ASSERT_GE(extra, 0);
  auto started = std::chrono::steady_clock::now();
  std::string answer = send_and_read(extra, "GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 5000);
  EXPECT_EQ(answer, "");  // closed without an answer
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
  close(extra);
  auto other = client(57113);
  other->set_interface("127.0.0.3");
  expect_answer(other->Get("/health"), 200, R"({"status":"ok"})", "application/json");
  // A held connection still gets its answer once it finishes its request.
  EXPECT_EQ(status_of(send_and_read(held[0], "Host: 127.0.0.1\r\nConnection: close\r\n\r\n", 5000)),
            200);
  for (int sock : held) close(sock);
}

}  // namespace
