// The card server on a contest day's bad moments: the host killed while
// phones submit, random requests from anything on the network, connections
// that send half a request and go silent, and phones racing for one card.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "store/database.h"
#include "tests/test_support.h"

namespace {

// A contest with 12 contestants (1011..1016, 2011..2016) and 8 classes.
std::vector<std::string> set_up_contest(HostProcess& host) {
  auto call = [&host](const std::string& payload) { EXPECT_EQ(host.result_of(payload), "") << payload; };
  call("create_contest:Day");
  call("save_division:" + fields({"none", "Junior", "3"}));
  call("save_division:" + fields({"none", "Senior", "3"}));
  call("save_team:" + fields({"none", "1000", "Reds", "Team"}));
  call("save_team:" + fields({"none", "2000", "Blues", "Team"}));
  std::vector<std::string> contestants;
  for (int team : {1010, 2010})
    for (int k = 1; k <= 6; ++k) {
      call("call_save_contestant:" +
           fields({"none", std::to_string(team), "Name " + std::to_string(team + k)}));
      contestants.push_back(std::to_string(team + k));
    }
  call("save_class_type:" + fields({"none", "Cattle"}));
  for (int c = 1; c <= 8; ++c)
    call("save_class:" + fields({"none", "1", "Class " + std::to_string(c), "1234", "253"}));
  return contestants;
}

TEST(CardFaults, KilledHostKeepsEveryAcknowledgedSubmission) {
  const int port = 57401;
  TempDir desktop;
  std::string db = desktop.path() + "/Day/contest.db";
  std::set<std::pair<std::string, int>> acknowledged;
  {
    HostProcess host({"--desktop", desktop.path(), "--card-port", std::to_string(port)});
    ASSERT_TRUE(wait_for_card_server(port));
    std::vector<std::string> contestants = set_up_contest(host);
    std::mutex mutex;
    std::atomic<int> answered{0};
    std::vector<std::thread> phones;
    for (const std::string& contestant : contestants) {
      phones.emplace_back([&, contestant] {
        httplib::Client http("127.0.0.1", port);
        http.set_connection_timeout(2);
        http.set_read_timeout(12);
        for (int c = 1; c <= 8; ++c) {
          auto res = http.Post("/api/save_card_placing",
                               fields({contestant, std::to_string(c), "2134"}), "text/plain");
          if (!res) return;  // the host is gone
          if (res->status == 200 && res->body == "true") {
            std::lock_guard<std::mutex> lock(mutex);
            acknowledged.insert({contestant, c});
          }
          ++answered;
          usleep(2000);
        }
      });
    }
    while (answered < 30) usleep(1000);
    kill(host.pid(), SIGKILL);
    for (auto& phone : phones) phone.join();
  }
  ASSERT_FALSE(acknowledged.empty());
  EXPECT_EQ(check_integrity(db), "ok");
  HostProcess host({"--desktop", desktop.path(), "--open-file", db, "--card-port", "0"});
  ASSERT_EQ(host.call("1:open_contest:"), "1:Day");
  std::string placings = host.call("2:fetch_placings:").substr(2);
  std::set<std::pair<std::string, int>> stored;
  std::vector<std::string> parts = split_listing(placings);
  for (size_t i = 0; i + 4 < parts.size(); i += 5) stored.insert({parts[i + 2], std::stoi(parts[i + 1])});
  for (const auto& entry : acknowledged)
    EXPECT_TRUE(stored.count(entry)) << entry.first << " class " << entry.second;
}

TEST(CardFaults, RandomRequestsAreAllAnswered) {
  const int port = 57402;
  TempDir desktop;
  HostProcess host({"--desktop", desktop.path(), "--card-port", std::to_string(port)});
  ASSERT_TRUE(wait_for_card_server(port));
  set_up_contest(host);
  std::mt19937 rng(77);
  const char* paths[] = {"/api/fetch_card_names", "/api/fetch_card_names_and_placing",
                         "/api/save_card_placing", "/api/save_card_reasons", "/placing",
                         "/health", "/api/nothing", "/", "/api/save_card_placing?x=1"};
  const char* pieces[] = {"1011", "2016", "1", "8", "0", "1234", "4321", "50", "51", "-3", "x",
                          "99999999999999999999", "<script>", "\x1f", "\xff", "'", "\"", ""};
  httplib::Client http("127.0.0.1", port);
  http.set_read_timeout(12);
  for (int i = 0; i < 1500; ++i) {
    std::string body;
    if (rng() % 8 == 0) {
      for (int k = rng() % 300; k > 0; --k) body += static_cast<char>(rng() % 256);
    } else {
      for (int k = rng() % 5; k > 0; --k) body += pieces[rng() % (sizeof pieces / sizeof *pieces)];
    }
    const char* path = paths[rng() % (sizeof paths / sizeof *paths)];
    auto res = rng() % 5 == 0 ? http.Get(path) : http.Post(path, body, "text/plain");
    ASSERT_TRUE(res) << "no answer to request " << i << " " << path;
    // So many look-ups from one address soon meet their limit.
    bool lookup = std::string(path).find("/api/fetch_card_names") == 0;
    ASSERT_TRUE(res->status == 200 || res->status == 404 || (lookup && res->status == 429))
        << res->status << " " << path;
  }
  // Oversized bodies are refused, and the server still answers afterwards.
  auto big = http.Post("/api/save_card_placing", std::string(1 << 20, '1'), "text/plain");
  ASSERT_TRUE(big);
  EXPECT_EQ(big->status, 413);
  httplib::Client phone("127.0.0.1", port);
  phone.set_interface("127.0.0.2");
  auto res = phone.Post("/api/fetch_card_names", fields({"1011", "1"}), "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, fields({"Name 1011", "Class 1"}));
  host.close_input();
  EXPECT_EQ(host.wait(), 0);
  EXPECT_EQ(check_integrity(desktop.path() + "/Day/contest.db"), "ok");
}

// True while the server has not yet closed the connection.
bool still_open(int sock) {
  char byte;
  return recv(sock, &byte, 1, MSG_PEEK | MSG_DONTWAIT) < 0 && errno == EAGAIN;
}

TEST(CardFaults, StalledConnectionsDoNotHoldUpAPhone) {
  const int port = 57403;
  TempDir desktop;
  HostProcess host({"--desktop", desktop.path(), "--card-port", std::to_string(port)});
  ASSERT_TRUE(wait_for_card_server(port));
  set_up_contest(host);
  std::vector<int> stalled;
  for (int i = 0; i < 100; ++i) {
    int sock = connect_from("127.0.0.2", port);
    ASSERT_GE(sock, 0);
    const char half[] =
        "POST /api/save_card_placing HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 40\r\n\r\n10";
    send(sock, half, sizeof half - 1, MSG_NOSIGNAL);
    stalled.push_back(sock);
  }
  usleep(300000);  // let the server take them all up
  httplib::Client http("127.0.0.1", port);
  auto res = http.Post("/api/save_card_placing", fields({"1011", "1", "1234"}), "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, "true");
  // Answered while the stalled connections the server keeps (16 from one
  // address; it closes the rest at once) were still being waited on.
  int open = 0;
  for (int sock : stalled) open += still_open(sock);
  EXPECT_EQ(open, 16);
  for (int sock : stalled) close(sock);
}

// Two phones send every card of one contestant at the same moment, with
// different placings: whichever way the worker groups the writes, each card
// is stored once, from the phone that heard "true", and every write is in
// the card log with the outcome its phone was told.
TEST(CardFaults, PhonesRacingForTheSameCardsHearOneTrueEach) {
  const int port = 57404;
  TempDir desktop;
  HostProcess host({"--desktop", desktop.path(), "--card-port", std::to_string(port)});
  ASSERT_TRUE(wait_for_card_server(port));
  std::vector<std::string> contestants = set_up_contest(host);
  const char* placing_of[] = {"1234", "4321"};
  struct Answer {
    std::string address, contestant, placing;
    int class_id;
    bool stored;
  };
  std::mutex mutex;
  std::vector<Answer> answers;
  std::atomic<int> ready{0};
  std::vector<std::thread> phones;
  const int phone_count = static_cast<int>(contestants.size()) * 2;
  for (int p = 0; p < phone_count; ++p) {
    phones.emplace_back([&, p] {
      const std::string address = "127.0.0." + std::to_string(2 + p);
      const std::string& contestant = contestants[p / 2];
      httplib::Client http("127.0.0.1", port);
      http.set_interface(address);
      http.set_read_timeout(12);
      ++ready;
      while (ready < phone_count) std::this_thread::yield();
      for (int c = 1; c <= 8; ++c) {
        auto res = http.Post("/api/save_card_placing",
                             fields({contestant, std::to_string(c), placing_of[p % 2]}), "text/plain");
        ASSERT_TRUE(res && res->status == 200) << address << " class " << c;
        std::lock_guard<std::mutex> lock(mutex);
        answers.push_back({address, contestant, placing_of[p % 2], c, res->body == "true"});
      }
    });
  }
  for (auto& phone : phones) phone.join();
  ASSERT_EQ(answers.size(), static_cast<size_t>(phone_count) * 8);

  std::map<std::pair<std::string, int>, std::string> stored;  // card -> placing
  std::vector<std::string> placings = split_listing(host.result_of("fetch_placings:"));
  for (size_t i = 0; i + 4 < placings.size(); i += 5)
    stored[{placings[i + 2], std::stoi(placings[i + 1])}] = placings[i + 3];
  EXPECT_EQ(stored.size(), contestants.size() * 8);
  std::map<std::pair<std::string, int>, int> trues;
  std::multiset<std::string> told;  // "address contestant/class=placing outcome"
  for (const Answer& a : answers) {
    if (a.stored) {
      const std::pair<std::string, int> card{a.contestant, a.class_id};
      ++trues[card];
      EXPECT_EQ(stored[card], a.placing) << a.address;
    }
    told.insert(a.address + " " + a.contestant + "/" + std::to_string(a.class_id) + "=" + a.placing +
                (a.stored ? " stored" : " refused"));
  }
  EXPECT_EQ(trues.size(), contestants.size() * 8);
  for (const auto& [card, count] : trues) EXPECT_EQ(count, 1) << card.first << " class " << card.second;
  std::multiset<std::string> logged;
  std::vector<std::string> log = split_listing(host.result_of("fetch_card_log:"));
  for (size_t i = 0; i + 6 < log.size(); i += 7) {
    EXPECT_EQ(log[i + 2], "placing");
    logged.insert(log[i + 1] + " " + log[i + 3] + "/" + log[i + 4] + "=" + log[i + 5] + " " + log[i + 6]);
  }
  EXPECT_EQ(logged, told);
}

}  // namespace
