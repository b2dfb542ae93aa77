// Thousands of random page messages against the real host: every request is
// answered, the host stays up, and the contest file stays sound.
#include <gtest/gtest.h>

#include <random>

#include "store/database.h"
#include "tests/test_support.h"

namespace {

const char* const kCommands[] = {
    "create_contest", "open_contest", "save_division", "fetch_divisions", "delete_division",
    "save_team", "fetch_teams", "delete_team", "call_save_contestant", "fetch_contestants",
    "fetch_contestant_counts", "delete_contestant", "save_class_type", "fetch_class_types",
    "delete_class_type", "save_class", "fetch_classes", "delete_class", "fetch_wifi_addresses",
    "save_placing", "fetch_placings", "fetch_placing_counts", "delete_placing",
    "fetch_indiv_scores", "fetch_indiv_rankings", "fetch_team_rankings", "fetch_card_names",
    "fetch_card_names_and_placing", "save_card_placing", "save_card_reasons", "fetch_card_log", "no_such", ""};

const char* const kFields[] = {
    "none", "1000", "1010", "1011", "1", "2", "0", "-1", "1234", "4321", "253", "50", "51",
    "Team", "Indiv", "3", "x", "", "2147483648", "99999999999999999999999999999999999999",
    "<img src=x onerror=alert(1)>", "\"quoted\"", "O'Brien", "a:b", "\xff\xfe", "\xf0\x9f\x90\x84",
    "None", "Junior", "Senior", " 7", "12x"};

std::string random_message(std::mt19937& rng, int id) {
  std::string message = std::to_string(id) + ":";
  message += kCommands[rng() % (sizeof kCommands / sizeof *kCommands)];
  message += ":";
  int count = rng() % 7;
  for (int i = 0; i < count; ++i) {
    if (i) message += '\x1f';
    if (rng() % 10 == 0) {
      for (int k = rng() % 20; k > 0; --k) message += static_cast<char>(1 + rng() % 255);
    } else {
      message += kFields[rng() % (sizeof kFields / sizeof *kFields)];
    }
  }
  return message;
}

TEST(Robustness, RandomPageMessagesAreAllAnswered) {
  TempDir desktop;
  HostProcess host({"--desktop", desktop.path(), "--card-port", "0"});
  ASSERT_EQ(host.call("0:create_contest:Fuzz"), "0:");
  std::mt19937 rng(4242);
  const int kMessages = 3000;
  for (int id = 1; id <= kMessages; ++id) {
    host.send(random_message(rng, id));
    if (id % 200 == 0) {
      // Read as we go so neither pipe fills up.
      for (int k = id - 199; k <= id; ++k) {
        bool ok = false;
        std::string reply = host.receive(20000, &ok);
        ASSERT_TRUE(ok) << "no answer to request " << k;
        ASSERT_EQ(reply.substr(0, reply.find(':')), std::to_string(k));
      }
    }
  }
  // The host still works after the storm.
  EXPECT_EQ(host.call("x:no_such:"), "x:ERROR:Unknown function.");
  host.close_input();
  EXPECT_EQ(host.wait(), 0);

  EXPECT_EQ(check_integrity(desktop.path() + "/Fuzz/contest.db"), "ok");
}

}  // namespace
