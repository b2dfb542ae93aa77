// The card server against a hostile phone, through the real ringtally-host:
// each attack at its full size, from addresses of 127.0.0.0/8, gets its
// refusal, stores nothing, and leaves the host's memory and its answers to
// honest phones as they were.
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "store/database.h"
#include "tests/test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A host with a contest of one contestant (1011) and one class (1).
class CardAttackTest : public ::testing::Test {
 protected:
  void start(int port) {
    port_ = port;
    host_ = std::make_unique<HostProcess>(
        std::vector<std::string>{"--desktop", desktop_.path(), "--card-port", std::to_string(port)});
    ASSERT_TRUE(wait_for_card_server(port));
    for (const std::string& payload :
         {std::string("create_contest:Day"), "save_division:" + fields({"none", "Junior", "3"}),
          "save_team:" + fields({"none", "1000", "Reds", "Team"}),
          "call_save_contestant:" + fields({"none", "1010", "Ann Lee"}),
          "save_class_type:" + fields({"none", "Cattle"}),
          "save_class:" + fields({"none", "1", "Steers", "1234", "253"})})
      ASSERT_EQ(host_->result_of(payload), "") << payload;
  }
  std::string stored_placings() { return host_->result_of("fetch_placings:"); }
  std::string db_path() const { return desktop_.path() + "/Day/contest.db"; }

  // Sends `head`, then up to `body_bytes` of filler as fast as the server
  // takes it, while reading the answer; what came back before the close.
  std::string attack(const std::string& source, const std::string& head, size_t body_bytes,
                     const std::string& filler = std::string(65536, '1')) {
    int sock = connect_from(source, port_);
    EXPECT_GE(sock, 0);
    std::atomic<bool> done{false};
    std::thread sender([&] {
      if (send(sock, head.data(), head.size(), MSG_NOSIGNAL) < 0) return;
      Clock::time_point until = Clock::now() + std::chrono::seconds(20);
      for (size_t sent = 0; sent < body_bytes && !done && Clock::now() < until;) {
        pollfd fd = {sock, POLLOUT, 0};
        if (poll(&fd, 1, 100) <= 0) continue;
        ssize_t n = send(sock, filler.data(), std::min(filler.size(), body_bytes - sent),
                         MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno != EAGAIN) return;
        if (n > 0) sent += static_cast<size_t>(n);
      }
    });
    std::string answer = send_and_read(sock, "", 20000);
    done = true;
    sender.join();
    close(sock);
    return answer;
  }

  TempDir desktop_;
  std::unique_ptr<HostProcess> host_;
  int port_ = 0;
};

std::string post_head(const std::vector<std::string>& headers) {
  std::string head = "POST /api/save_card_placing HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  for (const std::string& header : headers) head += header + "\r\n";
  return head + "\r\n";
}

TEST_F(CardAttackTest, OversizedAndEncodedRequestsAreRefusedBeforeTheirBody) {
  start(57201);
  httplib::Client honest("127.0.0.1", port_);
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(honest.Get("/placing"));  // the host at rest
  long before = resident_kib(host_->pid());

  std::string big_headers = "GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  std::string filler_line = "X-Filler: " + std::string(8180, 'a') + "\r\n";
  std::string header_filler;
  while (header_filler.size() < 65536) header_filler += filler_line;
  std::string gzip_body(3072, '\0');
  for (size_t i = 0; i < gzip_body.size(); ++i) gzip_body[i] = static_cast<char>(i * 31);
  struct Case {
    const char* what;
    const char* source;
    std::string head;
    size_t body_bytes;
    std::string filler;
    int status;
    const char* body;
  } cases[] = {
      {"chunked, 64 MiB", "127.0.0.2", post_head({"Transfer-Encoding: chunked"}), 64u << 20,
       "10000\r\n" + std::string(65536, '1') + "\r\n", 400, R"({"error":"Bad Request"})"},
      {"gzip, 3 KiB", "127.0.0.3",
       post_head({"Content-Length: 3072", "Content-Encoding: gzip"}), 3072, gzip_body, 415,
       R"({"error":"Unsupported Media Type"})"},
      {"4,096 header lines of 8 KB", "127.0.0.4", big_headers, 4096 * filler_line.size(),
       header_filler, 431, R"({"error":"Request Header Fields Too Large"})"},
      {"no length", "127.0.0.5", post_head({}), 1u << 20, std::string(65536, '1'), 411,
       R"({"error":"Length Required"})"},
      {"body over 4 KiB", "127.0.0.6", post_head({"Content-Length: 4097"}), 4097,
       std::string(4097, '1'), 413, R"({"error":"Payload Too Large"})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string answer = attack(c.source, c.head, c.body_bytes, c.filler);
    EXPECT_EQ(status_of(answer), c.status) << answer.substr(0, 200);
    EXPECT_EQ(body_of(answer), c.body);
    EXPECT_NE(answer.find("Connection: close\r\n"), std::string::npos);
  }
  long after = resident_kib(host_->pid());
  EXPECT_LT(after - before, 16 * 1024) << before << " KiB before, " << after << " KiB after";
  EXPECT_EQ(stored_placings(), "");
  auto res = honest.Post("/api/save_card_placing", fields({"1011", "1", "1234"}), "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, "true");
}

TEST_F(CardAttackTest, ForgedHostsAndOriginsAreForbidden) {
  start(57202);
  struct Case {
    const char* what;
    std::vector<std::string> headers;
    int status;
  } cases[] = {
      {"rebound name", {"Host: evil.example"}, 403},
      {"rebound name with port", {"Host: evil.example:57202"}, 403},
      {"foreign page", {"Origin: http://evil.example"}, 403},
      {"foreign page with rebound name", {"Host: evil.example", "Origin: http://evil.example"}, 403},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string head = "POST /api/save_card_placing HTTP/1.1\r\n";
    bool own_host = c.headers[0].rfind("Host:", 0) != 0;
    if (own_host) head += "Host: 127.0.0.1:57202\r\n";
    for (const std::string& header : c.headers) head += header + "\r\n";
    std::string body = fields({"1011", "1", "1234"});
    head += "Content-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    int sock = connect_from("127.0.0.2", port_);
    std::string answer = send_and_read(sock, head + body);
    close(sock);
    EXPECT_EQ(status_of(answer), c.status);
    EXPECT_EQ(body_of(answer), R"({"error":"Forbidden"})");
  }
  EXPECT_EQ(stored_placings(), "");
  // The card page's own origin passes.
  httplib::Client phone("127.0.0.1", port_);
  auto res = phone.Post("/api/save_card_placing", {{"Origin", "http://127.0.0.1:57202"}},
                        fields({"1011", "1", "1234"}), "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, "true");
}

TEST_F(CardAttackTest, WalkingTheNumbersMeetsTheLookUpLimit) {
  start(57203);
  httplib::Client walker("127.0.0.1", port_);
  walker.set_interface("127.0.0.2");
  walker.set_keep_alive(true);
  walker.set_tcp_nodelay(true);  // as a browser does; else each request waits on Nagle
  int named = 0, refused = 0;
  Clock::time_point until = Clock::now() + std::chrono::seconds(60);
  for (int i = 0; i < 2000 && Clock::now() < until; ++i) {
    auto res = walker.Post("/api/fetch_card_names", fields({std::to_string(1000 + i), "1"}),
                           "text/plain");
    ASSERT_TRUE(res) << i;
    if (res->status == 200) ++named;
    if (res->status == 429) ++refused;
  }
  EXPECT_EQ(named, 30);
  EXPECT_EQ(refused, 1970);
  // A phone elsewhere in the room still looks its numbers up.
  httplib::Client phone("127.0.0.1", port_);
  auto res = phone.Post("/api/fetch_card_names", fields({"1011", "1"}), "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, fields({"Ann Lee", "Steers"}));
}

// Connections that trickle their head a byte every 3 s: one address holds
// 16 of them and each is cut off 10 s after its first byte; a phone
// elsewhere is answered at once; SIGTERM still ends the host within 3 s
// with the contest closed.
TEST_F(CardAttackTest, TricklingConnectionsHoldUpNeitherAPhoneNorShutdown) {
  start(57204);
  std::vector<int> trickling;
  for (int i = 0; i < 260; ++i) {
    int sock = connect_from("127.0.0.2", port_);
    ASSERT_GE(sock, 0);
    trickling.push_back(sock);
  }
  std::string head = "GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
  auto trickle_once = [&](size_t k) {
    for (int sock : trickling) send(sock, &head[k % head.size()], 1, MSG_NOSIGNAL | MSG_DONTWAIT);
  };
  Clock::time_point first_byte = Clock::now();
  trickle_once(0);
  std::this_thread::sleep_for(milliseconds(500));

  httplib::Client phone("127.0.0.1", port_);
  phone.set_connection_timeout(5);
  phone.set_read_timeout(5);
  // The fastest of three tries is the figure; a loaded machine may stall one.
  Clock::duration fastest = std::chrono::hours(1);
  for (int attempt = 0; attempt < 3; ++attempt) {
    Clock::time_point asked = Clock::now();
    auto res = phone.Get("/health");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    fastest = std::min(fastest, Clock::now() - asked);
  }
  EXPECT_LT(fastest, std::chrono::seconds(1));

  // Every 3 s a byte, for 12 s: by then the server has closed them all.
  for (size_t k = 1; Clock::now() - first_byte < std::chrono::seconds(12); ++k) {
    std::this_thread::sleep_for(std::chrono::seconds(3));
    trickle_once(k);
  }
  std::this_thread::sleep_for(milliseconds(500));
  int open = 0;
  for (int sock : trickling) {
    char byte;
    open += recv(sock, &byte, 1, MSG_PEEK | MSG_DONTWAIT) < 0 && errno == EAGAIN;
  }
  EXPECT_EQ(open, 0);
  for (int sock : trickling) close(sock);

  // Stuck again, then SIGTERM.
  trickling.clear();
  for (int i = 0; i < 16; ++i) {
    int sock = connect_from("127.0.0.3", port_);
    send(sock, head.data(), head.size(), MSG_NOSIGNAL);
    trickling.push_back(sock);
  }
  int stuck_body = connect_from("127.0.0.4", port_);
  std::string half = post_head({"Content-Length: 40"}) + "10";
  send(stuck_body, half.data(), half.size(), MSG_NOSIGNAL);
  std::this_thread::sleep_for(milliseconds(300));
  Clock::time_point signalled = Clock::now();
  host_->signal(SIGTERM);
  EXPECT_EQ(host_->wait(3000), 0);
  EXPECT_LT(Clock::now() - signalled, std::chrono::seconds(3));
  for (int sock : trickling) close(sock);
  close(stuck_body);
  // Closed cleanly: the write-ahead log is checkpointed away.
  EXPECT_FALSE(std::filesystem::exists(db_path() + "-wal") &&
               std::filesystem::file_size(db_path() + "-wal") > 0);
  EXPECT_EQ(check_integrity(db_path()), "ok");
}

// SIGINT while a phone's request waits for a busy worker and another phone
// has sent half its body: exit code 0 within 3 s.
TEST_F(CardAttackTest, SigintEndsTheHostWhilePhonesWait) {
  start(57205);
  int stuck = connect_from("127.0.0.2", port_);
  std::string half = post_head({"Content-Length: 40"}) + "10";
  send(stuck, half.data(), half.size(), MSG_NOSIGNAL);
  std::vector<std::thread> phones;
  std::atomic<int> answered{0};
  for (int i = 0; i < 8; ++i)
    phones.emplace_back([&, i] {
      httplib::Client phone("127.0.0.1", port_);
      phone.set_interface("127.0.0." + std::to_string(10 + i));
      phone.set_read_timeout(10);
      for (int k = 0; k < 50; ++k)
        if (phone.Post("/api/save_card_placing", fields({"1011", "1", "1234"}), "text/plain"))
          ++answered;
        else
          return;
    });
  while (answered < 8) std::this_thread::sleep_for(milliseconds(5));
  Clock::time_point signalled = Clock::now();
  host_->signal(SIGINT);
  EXPECT_EQ(host_->wait(3000), 0);
  EXPECT_LT(Clock::now() - signalled, std::chrono::seconds(3));
  for (auto& phone : phones) phone.join();
  close(stuck);
  EXPECT_EQ(check_integrity(db_path()), "ok");
}

}  // namespace
