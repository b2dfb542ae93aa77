#include "store/card_log.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "store/contest.h"
#include "store/database.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

CardLogEntry entry(const std::string& address, const char* kind, std::optional<int> contestant,
                   std::optional<int> class_id, const std::string& value, bool stored) {
  return {address, kind, contestant, class_id, value, stored};
}

class CardLogTest : public ::testing::Test {
 protected:
  OpenContest contest;
};

TEST_F(CardLogTest, ListsSevenFieldsARowNewestFirst) {
  EXPECT_EQ(fetch_card_log(""), "");
  add_card_log_entry(entry("127.0.0.2", "placing", 1011, 3, "2143", true));
  add_card_log_entry(entry("127.0.0.3", "placing", 1011, 3, "3412", false));
  add_card_log_entry(entry("127.0.0.3", "reasons", 1011, 3, "45", true));
  std::vector<std::string> listing = split_listing(fetch_card_log(""));
  ASSERT_EQ(listing.size(), 21u);
  std::string now = query_text("SELECT datetime('now', 'localtime');");
  // The time is the usual local timestamp text; the three rows were written
  // within a second or two of `now`.
  for (size_t row = 0; row < 3; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(listing[row * 7].size(), 19u);
    EXPECT_LE(listing[row * 7], now);
    EXPECT_EQ(listing[row * 7].substr(0, 10), now.substr(0, 10));
  }
  auto fields_of = [&](size_t row) {
    return std::vector<std::string>(listing.begin() + row * 7 + 1, listing.begin() + row * 7 + 7);
  };
  EXPECT_EQ(fields_of(0), (std::vector<std::string>{"127.0.0.3", "reasons", "1011", "3", "45", "stored"}));
  EXPECT_EQ(fields_of(1), (std::vector<std::string>{"127.0.0.3", "placing", "1011", "3", "3412", "refused"}));
  EXPECT_EQ(fields_of(2), (std::vector<std::string>{"127.0.0.2", "placing", "1011", "3", "2143", "stored"}));
}

TEST_F(CardLogTest, WhatAPhoneSentIsKeptShortAndPrintable) {
  const struct {
    std::string sent, kept;
  } cases[] = {
      {"1123", "1123"},
      {"", ""},
      {"<b>x</b>", "<b>x</b>"},
      {std::string("a\x1f" "b\nc\0d", 7), "a?b?c?d"},
      {"\xf0\x9f\x90\x84", "????"},
      {std::string(500, '7'), std::string(kCardLogTextLimit, '7')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kept);
    exec_sql("DELETE FROM card_log");
    add_card_log_entry(entry(c.sent, "placing", std::nullopt, std::nullopt, c.sent, false));
    std::vector<std::string> row = split_listing(fetch_card_log(""));
    ASSERT_EQ(row.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(row.begin() + 1, row.end()),
              (std::vector<std::string>{c.kept, "placing", "", "", c.kept, "refused"}));
  }
}

TEST_F(CardLogTest, TheTableTakesOnlyTheTwoKindsAndOutcomes) {
  EXPECT_THROW(add_card_log_entry(entry("127.0.0.2", "delete", 1011, 3, "1234", true)),
               DatabaseFailure);
  EXPECT_EQ(query_text("SELECT COUNT(*) FROM card_log;"), "0");
}

TEST_F(CardLogTest, KeepsOnlyTheNewestRows) {
  {
    Transaction batch;
    for (int i = 0; i < kCardLogRowLimit + 5; ++i)
      add_card_log_entry(entry("127.0.0.2", "placing", 1011, 1, std::to_string(i), false));
    batch.commit();
  }
  EXPECT_EQ(query_text("SELECT COUNT(*) FROM card_log;"), std::to_string(kCardLogRowLimit));
  EXPECT_EQ(query_text("SELECT MIN(value + 0) FROM card_log;"), "5");
  EXPECT_EQ(split_listing(fetch_card_log(""))[5], std::to_string(kCardLogRowLimit + 4));
}

TEST(CardLogFile, AContestFileWithoutTheLogGetsItWhenOpened) {
  TempDir desktop;
  std::string folder = desktop.path();
  std::string file = folder + "/Old Show/contest.db";
  set_contest_platform({[folder] { return folder; }, [file](const std::string&) { return file; }});
  // A file as made before the log existed: the contest's tables only.
  ASSERT_EQ(create_contest("Old Show"), "");
  exec_sql("DROP TABLE card_log;");
  close_database();

  ASSERT_EQ(open_contest(""), "Old Show");
  EXPECT_EQ(query_text("SELECT strict FROM pragma_table_list WHERE name = 'card_log';"), "1");
  add_card_log_entry(entry("127.0.0.2", "reasons", 1011, 2, "50", false));
  close_database();
  // Opening again keeps the rows already logged.
  ASSERT_EQ(open_contest(""), "Old Show");
  EXPECT_EQ(query_text("SELECT COUNT(*) FROM card_log;"), "1");
  close_database();
}

}  // namespace
