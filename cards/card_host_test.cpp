// The card service through the windowless host: a real contest file, the
// host's own card server on a real socket, a plain HTTP client.
#include <gtest/gtest.h>
#include <httplib.h>

#include <csignal>
#include <memory>
#include <regex>
#include <thread>

#include "cards/lan_address.h"
#include "cards/qr_scan_for_tests.h"
#include "store/database.h"
#include "tests/test_support.h"

namespace {

// Contestant 1011 "Ann", class 1 "Steers", written through a second
// connection while the host holds the contest open.
void add_fixtures(const std::string& contest_file) {
  ASSERT_TRUE(open_database(contest_file));
  exec_sql("INSERT INTO divisions (id, name, team_size) VALUES (1, 'Senior', 4)");
  exec_sql("INSERT INTO teams (division_no, name, type) VALUES (1000, 'Reds', 'Team')");
  exec_sql("INSERT INTO contestants (team_no, name) VALUES (1010, 'Ann')");
  exec_sql("INSERT INTO class_types (name) VALUES ('Beef')");
  exec_sql("INSERT INTO classes (type_id, name, placing, cuts, timestamp) "
           "VALUES (1, 'Steers', 1234, 323, '2000-01-01 00:00:00')");
  close_database();
}


// A host whose card server listens on `port`. The test ports lie in the
// system's range for outgoing connections, so a client elsewhere may hold
// one for a moment: start again a few times.
std::unique_ptr<HostProcess> start_card_host(const std::string& desktop, int port) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    auto host = std::make_unique<HostProcess>(
        std::vector<std::string>{"--desktop", desktop, "--card-port", std::to_string(port)});
    if (wait_for_card_server(port)) return host;
  }
  ADD_FAILURE() << "no card server on port " << port;
  return nullptr;
}

TEST(CardHost, ServesTheCardApiForTheOpenContest) {
  TempDir desktop;
  auto started = start_card_host(desktop.path(), 57120);
  ASSERT_TRUE(started);
  HostProcess& host = *started;
  httplib::Client phone("127.0.0.1", 57120);
  phone.set_read_timeout(30, 0);
  auto post = [&](const std::string& command, const std::string& body) {
    auto res = phone.Post(("/api/" + command).c_str(), body, "text/plain");
    EXPECT_TRUE(res) << command;
    if (!res) return std::string("(no answer)");
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain");
    return res->body;
  };
  EXPECT_EQ(post("fetch_card_names", fields({"1011", "1"})), "ERROR:A contest is not open.");
  EXPECT_EQ(post("save_card_placing", fields({"1011", "1", "4321"})), "false");

  EXPECT_EQ(host.call("1:create_contest:Cards"), "1:");
  add_fixtures(desktop.path() + "/Cards/contest.db");
  struct Step {
    const char* command;
    std::string body, answer;
  } steps[] = {
      {"fetch_card_names", fields({"1011", "1"}), fields({"Ann", "Steers"})},
      {"fetch_card_names", fields({"1019", "1"}), fields({"", "Steers"})},
      {"fetch_card_names_and_placing", fields({"1011", "1"}), fields({"Ann", "Steers", ""})},
      {"save_card_reasons", fields({"1011", "1", "45"}), "false"},
      {"save_card_placing", fields({"1011", "1", "1123"}), "false"},
      {"save_card_placing", fields({"1011", "1", "4321"}), "true"},
      {"save_card_placing", fields({"1011", "1", "1234"}), "false"},
      {"fetch_card_names_and_placing", fields({"1011", "1"}), fields({"Ann", "Steers", "4321"})},
      {"save_card_reasons", fields({"1011", "1", "051"}), "false"},
      {"save_card_reasons", fields({"1011", "1", "45"}), "true"},
      {"save_card_reasons", fields({"1011", "1", "30"}), "false"},
      {"fetch_card_names", fields({"Ann", "1"}), "ERROR:A number in this request is not valid."},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.command) + " " + step.body);
    EXPECT_EQ(post(step.command, step.body), step.answer);
  }
  // The organiser's log names the phone by the address its socket came from.
  std::vector<std::string> log = split_listing(host.result_of("fetch_card_log:"));
  ASSERT_EQ(log.size(), 7u * 7u);
  EXPECT_EQ(std::vector<std::string>(log.begin() + 1, log.begin() + 7),
            (std::vector<std::string>{"127.0.0.1", "reasons", "1011", "1", "30", "refused"}));
  EXPECT_EQ(std::vector<std::string>(log.end() - 6, log.end()),
            (std::vector<std::string>{"127.0.0.1", "reasons", "1011", "1", "45", "refused"}));
  ASSERT_TRUE(open_database(desktop.path() + "/Cards/contest.db"));
  EXPECT_EQ(query_text("SELECT placing || '/' || reasons_score FROM placings"), "4321/45");
  close_database();

  host.close_input();
  EXPECT_EQ(host.wait(), 0);
}

TEST(CardHost, WifiAddressesNameThisComputerAndTheirCodesScan) {
  TempDir desktop;
  HostProcess host({"--desktop", desktop.path(), "--card-port", "0"});
  std::string reply = host.call("7:fetch_wifi_addresses:ignored");
  ASSERT_EQ(reply.rfind("7:", 0), 0u);
  std::string result = reply.substr(2);
  LanLookup lookup = find_lan_address();
  if (lookup.status != LanStatus::kFound) {
    EXPECT_EQ(result, "");
    GTEST_SKIP() << "this computer has no LAN address; the empty answer was checked";
  }
  std::vector<std::string> parts = split_fields(result);
  ASSERT_EQ(parts.size(), 4u);
  EXPECT_EQ(parts[0], "Placing Card: http://" + lookup.address + ":56780/placing");
  EXPECT_EQ(parts[2], "Reasons Card: http://" + lookup.address + ":56780/reasons");
  EXPECT_EQ(parts[1].rfind("<?xml", 0), 0u);
  if (!qr_scan_tools_present()) GTEST_SKIP() << "rsvg-convert and zbarimg are needed to scan codes";
  EXPECT_EQ(scan_qr_svg(parts[1]), parts[0]);
  EXPECT_EQ(scan_qr_svg(parts[3]), parts[2]);
}

TEST(CardHost, APortAlreadyTakenLeavesTheHostWorking) {
  TempDir first_desktop, second_desktop;
  auto started = start_card_host(first_desktop.path(), 57121);
  ASSERT_TRUE(started);
  HostProcess& first = *started;
  HostProcess second({"--desktop", second_desktop.path(), "--card-port", "57121"});
  EXPECT_EQ(second.call("1:create_contest:Second"), "1:");
  EXPECT_EQ(second.call("2:fetch_card_names:x"), "2:ERROR:A number in this request is not valid.");
  // The phones still reach the first host, which has no contest open.
  httplib::Client phone("127.0.0.1", 57121);
  for (int i = 0; i < 3; ++i) {
    auto res = phone.Post("/api/fetch_card_names", fields({"1011", "1"}), "text/plain");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body, "ERROR:A contest is not open.");
  }
  second.close_input();
  EXPECT_EQ(second.wait(), 0);
  first.signal(SIGTERM);
  EXPECT_EQ(first.wait(), 0);
}

}  // namespace

namespace {

// ringtally-slow-host is built beside ringtally-host.
std::string slow_host_binary() {
  std::string host = host_binary();
  return host.substr(0, host.rfind('/') + 1) + "ringtally-slow-host";
}

TEST(CardHost, ASlowLookUpOfTheSlowHostTimesOutAndTheNextRequestGetsItsOwnResult) {
  TempDir desktop;
  std::string host = host_binary();
  setenv("RINGTALLY_HOST", slow_host_binary().c_str(), 1);
  auto started = start_card_host(desktop.path(), 57122);
  setenv("RINGTALLY_HOST", host.c_str(), 1);
  ASSERT_TRUE(started);
  HostProcess& slow = *started;
  EXPECT_EQ(slow.call("1:create_contest:Slow"), "1:");
  httplib::Client phone("127.0.0.1", 57122);
  phone.set_read_timeout(30, 0);
  auto late = phone.Post("/api/fetch_card_names", fields({"9999", "1"}), "text/plain");
  ASSERT_TRUE(late);
  EXPECT_EQ(late->status, 408);
  EXPECT_EQ(late->body, R"({"error":"Request timeout"})");
  auto next = phone.Post("/api/fetch_card_names", fields({"1011", "1"}), "text/plain");
  ASSERT_TRUE(next);
  EXPECT_EQ(next->status, 200);
  EXPECT_EQ(next->body, fields({"", ""}));
  slow.close_input();
  EXPECT_EQ(slow.wait(), 0);
}

}  // namespace
