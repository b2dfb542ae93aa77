#include "cards/card_connection.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// One connection served on a socket pair with short limits; the runner
// records every request it is handed and answers "ok".
class CardConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    limits.idle = milliseconds(200);
    limits.whole_request = milliseconds(400);
    limits.write = milliseconds(400);
    limits.max_requests = 3;
  }
  void TearDown() override {
    if (server.joinable()) server.join();
    close(fds[0]);
  }
  void serve() {
    server = std::thread([this] {
      serve_card_connection(fds[1], limits, stop, [this](httplib::Stream& stream, bool last,
                                                         bool&) {
        std::string request;
        char chunk[256];
        ssize_t n;
        while (stream.is_readable() && (n = stream.read(chunk, sizeof chunk)) > 0)
          request.append(chunk, static_cast<size_t>(n));
        requests.push_back(request);
        lasts.push_back(last);
        stream.write("ok\n");
        return true;
      });
      ended = Clock::now();
    });
  }
  void send_text(const std::string& text) {
    ASSERT_EQ(send(fds[0], text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
  }
  // Everything the server writes until it closes (or 5 s pass).
  std::string read_to_end() {
    std::string all;
    char chunk[4096];
    Clock::time_point until = Clock::now() + std::chrono::seconds(5);
    for (;;) {
      pollfd fd = {fds[0], POLLIN, 0};
      if (poll(&fd, 1, 50) <= 0) {
        if (Clock::now() > until) return all + "[still open]";
        continue;
      }
      ssize_t n = recv(fds[0], chunk, sizeof chunk, 0);
      if (n <= 0) return all;
      all.append(chunk, static_cast<size_t>(n));
    }
  }

  int fds[2] = {-1, -1};
  ConnectionLimits limits;
  StopSignal stop;
  std::thread server;
  std::vector<std::string> requests;
  std::vector<bool> lasts;
  Clock::time_point ended;
};

const char kGet[] = "GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
const char kPost[] = "POST /api/x HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 5\r\n\r\nhello";

TEST_F(CardConnectionTest, PipelinedRequestsArriveOneByOneAndTheLastAllowedEndsIt) {
  serve();
  send_text(std::string(kPost) + kGet + kGet + kGet);
  EXPECT_EQ(read_to_end(), "ok\nok\nok\n");
  EXPECT_EQ(requests, (std::vector<std::string>{kPost, kGet, kGet}));
  EXPECT_EQ(lasts, (std::vector<bool>{false, false, true}));
}

TEST_F(CardConnectionTest, ARequestInPiecesWithinTheDeadlineIsServedWhole) {
  serve();
  std::string post = kPost;
  for (size_t i = 0; i < post.size(); i += 7) {
    send_text(post.substr(i, 7));
    std::this_thread::sleep_for(milliseconds(5));
  }
  shutdown(fds[0], SHUT_WR);
  EXPECT_EQ(read_to_end(), "ok\n");
  EXPECT_EQ(requests, std::vector<std::string>{kPost});
}

// A request trickling in byte by byte is cut off at its deadline however
// often bytes come; idle and stopped connections close too.
TEST_F(CardConnectionTest, TrickleIdleAndStopEndTheConnection) {
  serve();
  Clock::time_point started = Clock::now();
  std::string head = "POST /api/x HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
  for (int i = 0; i < 100 && send(fds[0], &head[i % head.size()], 1, MSG_NOSIGNAL) == 1; ++i)
    std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(read_to_end(), "");
  server.join();
  EXPECT_LT(ended - started, milliseconds(1500));
  EXPECT_GE(ended - started, limits.whole_request);
  EXPECT_TRUE(requests.empty());
}

TEST_F(CardConnectionTest, AnIdleConnectionClosesAfterTheIdleLimit) {
  serve();
  send_text(kGet);
  Clock::time_point answered = Clock::now();
  EXPECT_EQ(read_to_end(), "ok\n");
  server.join();
  EXPECT_GE(ended - answered, milliseconds(150));
  EXPECT_LT(ended - answered, milliseconds(1500));
}

TEST_F(CardConnectionTest, TheStopEndsAWaitAtOnce) {
  limits.idle = limits.whole_request = std::chrono::seconds(30);
  serve();
  send_text("GET /health HTTP/1.1\r\n");
  std::this_thread::sleep_for(milliseconds(50));
  Clock::time_point stopped = Clock::now();
  stop.raise();
  EXPECT_EQ(read_to_end(), "");
  server.join();
  EXPECT_LT(ended - stopped, milliseconds(1000));
  EXPECT_TRUE(stop.raised());
}

// Heads that break a limit are answered with their refusal and closed; the
// runner never sees them.
TEST_F(CardConnectionTest, RefusedHeadsAreAnsweredAndClosed) {
  serve();
  std::string endless = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  while (endless.size() < 9000) endless += "X-Filler: " + std::string(100, 'a') + "\r\n";
  send_text(endless);
  std::string answer = read_to_end();
  EXPECT_EQ(answer.rfind("HTTP/1.1 431 Request Header Fields Too Large\r\n", 0), 0u) << answer;
  EXPECT_NE(answer.find("Connection: close\r\n"), std::string::npos);
  EXPECT_EQ(answer.substr(answer.find("\r\n\r\n") + 4), R"({"error":"Request Header Fields Too Large"})");
  EXPECT_TRUE(requests.empty());
}

TEST_F(CardConnectionTest, TheRefusalReachesAPeerStillSending) {
  serve();
  send_text("POST /api/x HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n");
  // The peer goes on sending its body meanwhile.
  std::thread sender([this] {
    std::string chunk = "1000\r\n" + std::string(4096, 'x') + "\r\n";
    for (int i = 0; i < 64; ++i)
      if (send(fds[0], chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0) break;
  });
  std::string answer = read_to_end();
  sender.join();
  EXPECT_EQ(answer.rfind("HTTP/1.1 400 Bad Request\r\n", 0), 0u) << answer;
  EXPECT_TRUE(requests.empty());
}

TEST(ConnectionCounter, EachSourceHasItsOwnLimit) {
  ConnectionCounter counter(2);
  EXPECT_TRUE(counter.enter("127.0.0.2"));
  EXPECT_TRUE(counter.enter("127.0.0.2"));
  EXPECT_FALSE(counter.enter("127.0.0.2"));
  EXPECT_TRUE(counter.enter("127.0.0.3"));
  counter.leave("127.0.0.2");
  EXPECT_TRUE(counter.enter("127.0.0.2"));
  EXPECT_FALSE(counter.enter("127.0.0.2"));
}

}  // namespace
