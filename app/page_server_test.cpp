#include "app/page_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <future>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/bridge.h"

namespace {

const char kPage[] = "<!DOCTYPE html><html><head><title>T</title></head><body>main page</body></html>";

// One server event: its name ("" for a reply), its id and its data.
struct StreamEvent {
  std::string name;
  std::string id;
  std::string data;
};

std::vector<StreamEvent> parse_events(const std::string& text) {
  std::vector<StreamEvent> events;
  size_t start = 0, end;
  while ((end = text.find("\n\n", start)) != std::string::npos) {
    StreamEvent event;
    bool has_data = false;
    size_t line_start = start;
    while (line_start < end) {
      size_t line_end = text.find('\n', line_start);
      if (line_end > end) line_end = end;
      std::string line = text.substr(line_start, line_end - line_start);
      auto value = [&](const char* field) { return line.substr(std::string(field).size()); };
      if (line.rfind("event: ", 0) == 0) event.name = value("event: ");
      if (line.rfind("id: ", 0) == 0) event.id = value("id: ");
      if (line.rfind("data:", 0) == 0) {
        has_data = true;
        event.data = line.size() > 5 ? value("data: ") : "";
      }
      line_start = line_end + 1;
    }
    if (has_data) events.push_back(event);
    start = end + 2;
  }
  return events;
}

// A worker whose "echo" command answers its argument, with a page server as
// the reply sink, as the host runs them.
class PageServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    core.table.commands["echo"] = [](const std::string& argument) { return argument; };
    worker = std::thread(worker_func, std::ref(core), std::ref(server), std::ref(no_cards));
    ASSERT_TRUE(server.start(0));
    std::smatch match;
    url = server.url();
    ASSERT_TRUE(std::regex_match(url, match, std::regex(R"(http://127\.0\.0\.1:(\d+)(/[0-9a-f]{32}/))")));
    port = std::stoi(match[1]);
    base = match[2];
  }
  void TearDown() override {
    server.stop();
    server.join();
    stop_worker(core.queue);
    worker.join();
  }

  httplib::Client client() {
    httplib::Client c("127.0.0.1", port);
    c.set_read_timeout(5, 0);
    return c;
  }
  // Loads the page; returns the status.
  int load_page() {
    auto res = client().Get(base.c_str());
    return res ? res->status : 0;
  }
  int post(int page_load, const std::string& message, const httplib::Headers& headers = {}) {
    auto res = client().Post((base + "message?page=" + std::to_string(page_load)).c_str(), headers,
                             message, "text/plain;charset=UTF-8");
    return res ? res->status : 0;
  }
  // Reads the reply stream of `page_load` until `enough` holds for its
  // events or the stream ends; returns the events read.
  std::vector<StreamEvent> read_stream(int page_load, const std::function<bool(const std::vector<StreamEvent>&)>& enough,
                                       const httplib::Headers& headers = {}, int* status = nullptr) {
    std::string text;
    int answered = 0;
    auto c = client();
    c.Get((base + "replies?page=" + std::to_string(page_load)).c_str(), headers,
          [&](const httplib::Response& response) {
            answered = response.status;
            return true;
          },
          [&](const char* data, size_t length) {
            text.append(data, length);
            return !enough(parse_events(text));
          });
    if (status) *status = answered;
    return parse_events(text);
  }

  // No card requests here; their results would have nowhere to go.
  struct NoCards : CardResultSink {
    void deliver_card_result(const std::string&, std::string) override {}
  } no_cards;
  Core core;
  PageServer server{core, kPage};
  std::thread worker;
  std::string url, base;
  int port = 0;
};

TEST_F(PageServerTest, ServesThePageWithItsMessagingOnlyUnderTheSecretPath) {
  auto res = client().Get(base.c_str());
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_EQ(res->get_header_value("Cache-Control"), "no-store");
  EXPECT_NE(res->body.find("<head><script>"), std::string::npos);
  EXPECT_NE(res->body.find("chrome, 'webview'"), std::string::npos);
  EXPECT_NE(res->body.find("</script><title>T</title></head><body>main page</body>"), std::string::npos);
}

TEST_F(PageServerTest, AnswersForbiddenToOtherPathsHostsAndOrigins) {
  const std::string host = "127.0.0.1:" + std::to_string(port);
  const std::string other_secret = "/" + std::string(32, 'a') + "/";
  struct Case {
    const char* what;
    std::string method, path, host, origin;
    int status;
  };
  const std::vector<Case> cases = {
      {"the page (load 1, which the posts below name)", "GET", base, host, "", 200},
      {"the root", "GET", "/", host, "", 403},
      {"the secret without its slash", "GET", base.substr(0, base.size() - 1), host, "", 403},
      {"another secret", "GET", other_secret, host, "", 403},
      {"a path below the secret", "GET", base + "main.html", host, "", 403},
      {"a path that climbs out", "GET", base + "../", host, "", 403},
      {"localhost as host", "GET", base, "localhost:" + std::to_string(port), "", 403},
      {"another port in the host", "GET", base, "127.0.0.1:" + std::to_string(port + 1), "", 403},
      {"a foreign host", "GET", base, "example.com", "", 403},
      {"a foreign origin", "POST", base + "message?page=1", host, "http://example.com", 403},
      {"a look-alike origin", "POST", base + "message?page=1", host, "http://127.0.0.1:" + std::to_string(port) + ".example.com", 403},
      {"the page's own origin", "POST", base + "message?page=1", host, "http://" + host, 204},
      {"a post to the page", "POST", base, host, "", 403},
      {"a get of the message route", "GET", base + "message", host, "", 403},
      {"another method", "PUT", base + "message?page=1", host, "", 403},
  };
  for (const Case& c : cases) {
    httplib::Headers headers = {{"Host", c.host}};
    if (!c.origin.empty()) headers.emplace("Origin", c.origin);
    httplib::Request req;
    req.method = c.method;
    req.path = c.path;
    req.headers = headers;
    if (c.method != "GET") req.body = "1:echo:x";
    auto res = client().send(req);
    ASSERT_TRUE(res) << c.what;
    EXPECT_EQ(res->status, c.status) << c.what;
  }
}

TEST_F(PageServerTest, RepliesComeBackInOrderAsEvents) {
  ASSERT_EQ(load_page(), 200);
  const int count = 40;
  for (int i = 1; i <= count; ++i)
    ASSERT_EQ(post(1, std::to_string(i) + ":echo:line " + std::to_string(i) + "\n\"quoted\" <b>\r"), 204);
  auto events = read_stream(1, [&](const std::vector<StreamEvent>& e) { return e.size() >= count; });
  ASSERT_EQ(events.size(), static_cast<size_t>(count));
  for (int i = 1; i <= count; ++i) {
    const StreamEvent& event = events[i - 1];
    EXPECT_EQ(event.name, "");
    EXPECT_EQ(event.id, std::to_string(i));
    // Each reply is one JSON string literal: line ends and '<' escaped.
    EXPECT_EQ(event.data, "\"" + std::to_string(i) + ":line " + std::to_string(i) +
                              "\\n\\\"quoted\\\" \\u003cb>\\r\"");
  }
}

TEST_F(PageServerTest, AReconnectedStreamResumesAfterTheLastEventItSaw) {
  ASSERT_EQ(load_page(), 200);
  for (int i = 1; i <= 5; ++i) ASSERT_EQ(post(1, std::to_string(i) + ":echo:r" + std::to_string(i)), 204);
  auto first = read_stream(1, [](const std::vector<StreamEvent>& e) { return e.size() >= 5; });
  ASSERT_EQ(first.size(), 5u);
  ASSERT_EQ(post(1, "6:echo:r6"), 204);
  auto resumed = read_stream(1, [](const std::vector<StreamEvent>& e) { return e.size() >= 3; },
                             {{"Last-Event-ID", "3"}});
  ASSERT_EQ(resumed.size(), 3u);
  EXPECT_EQ(resumed[0].data, "\"4:r4\"");
  EXPECT_EQ(resumed[2].data, "\"6:r6\"");
}

TEST_F(PageServerTest, ASecondPageSupersedesTheFirst) {
  ASSERT_EQ(load_page(), 200);
  std::vector<StreamEvent> first_stream;
  std::promise<void> first_reply;
  std::thread reader([&] {
    bool told = false;
    first_stream = read_stream(1, [&](const std::vector<StreamEvent>& e) {
      if (!e.empty() && !told) {
        told = true;
        first_reply.set_value();
      }
      return !e.empty() && e.back().name == "superseded";
    });
  });
  ASSERT_EQ(post(1, "1:echo:first"), 204);
  ASSERT_EQ(first_reply.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  ASSERT_EQ(load_page(), 200);
  reader.join();
  ASSERT_EQ(first_stream.size(), 2u);
  EXPECT_EQ(first_stream[0].data, "\"1:first\"");
  EXPECT_EQ(first_stream[1].name, "superseded");

  EXPECT_EQ(post(1, "2:echo:late"), 409);
  int status = 0;
  read_stream(1, [](const std::vector<StreamEvent>&) { return true; }, {}, &status);
  EXPECT_EQ(status, 409);
  ASSERT_EQ(post(2, "1:echo:second"), 204);
  auto second = read_stream(2, [](const std::vector<StreamEvent>& e) { return !e.empty(); });
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0].data, "\"1:second\"");
}

TEST_F(PageServerTest, AnOversizedMessageIsRefusedAndNeverRun) {
  ASSERT_EQ(load_page(), 200);
  std::string big = "1:echo:" + std::string(1 << 20, 'x');
  EXPECT_EQ(post(1, big), 413);
  ASSERT_EQ(post(1, "2:echo:small"), 204);
  auto events = read_stream(1, [](const std::vector<StreamEvent>& e) { return !e.empty(); });
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].data, "\"2:small\"");
}

TEST_F(PageServerTest, StopEndsAnOpenStreamAtOnce) {
  ASSERT_EQ(load_page(), 200);
  auto started = std::chrono::steady_clock::now();
  std::thread reader([&] { read_stream(1, [](const std::vector<StreamEvent>&) { return false; }); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  server.stop();
  reader.join();
  server.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
}

TEST(PageServer, EachServerHasItsOwnSecretAndRefusesABusyPort) {
  Core core;
  PageServer first(core, kPage), second(core, kPage);
  ASSERT_TRUE(first.start(0));
  ASSERT_TRUE(second.start(0));
  EXPECT_NE(first.url().substr(first.url().find('/', 7)), second.url().substr(second.url().find('/', 7)));
  int busy = std::stoi(first.url().substr(17));
  PageServer third(core, kPage);
  EXPECT_FALSE(third.start(busy));
  EXPECT_EQ(third.url(), "");
  EXPECT_FALSE(first.start(0));  // started once only
}

TEST(PageWithMessaging, PutsTheScriptFirstInTheHead) {
  EXPECT_EQ(page_with_messaging("<html><head><title>x</title>", 7).find("<html><head><script>"), 0u);
  EXPECT_NE(page_with_messaging("<html><head>", 7).find("\n(7);</script>"), std::string::npos);
  EXPECT_EQ(page_with_messaging("<p>no head</p>", 1).find("<script>"), 0u);
}

}  // namespace
