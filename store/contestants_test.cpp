#include "store/contestants.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/database.h"
#include "store/divisions.h"
#include "tests/store_test_helpers.h"
#include "tests/test_support.h"

namespace {

const char kLimitReached[] = "ERROR:The contestant limit has been reached.";

// Junior 1000 with teams Red 1010 and Gold 1020; Senior 2000 with team Blue 2010.
class ContestantsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(save_division(fields({"none", "Junior", ""})), "");
    ASSERT_EQ(save_division(fields({"none", "Senior", ""})), "");
    ASSERT_EQ(save_team(fields({"none", "1000", "Red", "Indiv"})), "");
    ASSERT_EQ(save_team(fields({"none", "1000", "Gold", "Indiv"})), "");
    ASSERT_EQ(save_team(fields({"none", "2000", "Blue", "Indiv"})), "");
  }
  // Adds `count` contestants named prefix1, prefix2, ... to `team`.
  void add(const std::string& team, const std::string& prefix, int count) {
    for (int i = 1; i <= count; ++i)
      ASSERT_EQ(call_save_contestant(fields({"none", team, prefix + std::to_string(i)})), "");
  }
  OpenContest contest;
};

TEST_F(ContestantsTest, EmptyListingsAndCounts) {
  EXPECT_EQ(fetch_contestants(""), "");
  EXPECT_EQ(count_contestants(), 0);
  // Every team is counted, also without contestants (in no fixed order).
  std::vector<std::string> counts = split_fields(fetch_contestant_counts(""));
  ASSERT_EQ(counts.size(), 9u);
  for (size_t i = 2; i < counts.size(); i += 3) EXPECT_EQ(counts[i], "0");
}

TEST_F(ContestantsTest, ContestantsAreNumberedWithinTheirTeamAndListedNewestFirst) {
  EXPECT_EQ(call_save_contestant(fields({"none", "1010", "Ann"})), "");
  EXPECT_EQ(call_save_contestant(fields({"none", "2010", "Bo"})), "");
  EXPECT_EQ(call_save_contestant(fields({"none", "1010", "Cy"})), "");
  EXPECT_EQ(fetch_contestants("ignored"), fields({"Junior", "Red", "Cy", "1012",  //
                                                  "Senior", "Blue", "Bo", "2011",  //
                                                  "Junior", "Red", "Ann", "1011"}));
  EXPECT_EQ(count_contestants(), 3);
}

TEST_F(ContestantsTest, CountsListEveryTeamNewestContestantFirstEmptyTeamsLast) {
  add("2010", "Blue", 2);
  add("1010", "Red", 1);
  EXPECT_EQ(fetch_contestant_counts(""), fields({"Junior", "Red", "1",  //
                                                 "Senior", "Blue", "2",  //
                                                 "Junior", "Gold", "0"}));
}

TEST_F(ContestantsTest, NumbersAreReusedOnlyWhenTheLargestIsDeleted) {
  add("1010", "Red", 3);  // 1011..1013
  ASSERT_EQ(delete_contestant("1013"), "");
  ASSERT_EQ(call_save_contestant(fields({"none", "1010", "Again"})), "");
  EXPECT_EQ(query_text("SELECT number FROM contestants WHERE name = 'Again';"), "1013");
  ASSERT_EQ(delete_contestant("1012"), "");
  ASSERT_EQ(call_save_contestant(fields({"none", "1010", "Gap"})), "");
  EXPECT_EQ(query_text("SELECT number FROM contestants WHERE name = 'Gap';"), "1014");
}

TEST_F(ContestantsTest, RenameKeepsTeamAndNumber) {
  add("1010", "Red", 1);
  // Field 1 names another team; the contestant stays in Red.
  EXPECT_EQ(call_save_contestant(fields({"1011", "2010", "Ann"})), "");
  EXPECT_EQ(fetch_contestants(""), fields({"Junior", "Red", "Ann", "1011"}));
  std::string before = contest_snapshot();
  EXPECT_EQ(call_save_contestant(fields({"1019", "1010", "Nobody"})), "");
  EXPECT_EQ(contest_snapshot(), before);
}

TEST_F(ContestantsTest, TwelveContestantsRefuseInsertsAndRenamesUntilOneIsDeleted) {
  add("1010", "Red", 8);
  add("2010", "Blue", 3);
  ASSERT_EQ(count_contestants(), 11);
  EXPECT_EQ(call_save_contestant(fields({"none", "1020", "Twelfth"})), "");
  std::string before = contest_snapshot();
  EXPECT_EQ(call_save_contestant(fields({"none", "1020", "Thirteenth"})), kLimitReached);
  EXPECT_EQ(call_save_contestant(fields({"1011", "1010", "Renamed"})), kLimitReached);
  // The limit is checked before the argument is read.
  EXPECT_EQ(call_save_contestant("not even fields"), kLimitReached);
  EXPECT_EQ(contest_snapshot(), before);
  ASSERT_EQ(delete_contestant("1021"), "");
  EXPECT_EQ(call_save_contestant(fields({"1011", "1010", "Renamed"})), "");
  EXPECT_EQ(call_save_contestant(fields({"none", "1020", "Thirteenth"})), "");
}

TEST_F(ContestantsTest, RefusalsAnswerTheConsistencyErrorAndChangeNothing) {
  add("1010", "Red", 1);                                 // Red1 is 1011
  exec_sql("INSERT INTO contestants (team_no, name) VALUES (1020, 'Gold9');");
  exec_sql("UPDATE contestants SET number = 1029 WHERE name = 'Gold9';");  // Gold is full
  exec_sql("INSERT INTO class_types (name) VALUES ('Cattle');");
  exec_sql("INSERT INTO classes (type_id, name, timestamp) VALUES (1, 'Heifers', '2024-01-01 00:00:00');");
  exec_sql("INSERT INTO placings (class_id, contestant_no, placing, timestamp) "
           "VALUES (1, 1011, 1234, '2024-01-01 00:00:00');");
  const struct {
    const char* why;
    std::string (*command)(const std::string&);
    std::string argument;
  } refusals[] = {
      {"name used in another team", call_save_contestant, fields({"none", "2010", "Red1"})},
      {"rename onto a used name", call_save_contestant, fields({"1029", "1020", "Red1"})},
      {"unknown team", call_save_contestant, fields({"none", "1030", "New"})},
      {"team is full", call_save_contestant, fields({"none", "1020", "New"})},
      {"contestant with placings", delete_contestant, "1011"},
  };
  std::string before = contest_snapshot();
  for (const auto& refusal : refusals) {
    SCOPED_TRACE(refusal.why);
    EXPECT_EQ(refusal.command(refusal.argument), kConsistencyError);
    EXPECT_EQ(contest_snapshot(), before);
  }
}

TEST_F(ContestantsTest, MalformedArgumentsAreRejectedAndChangeNothing) {
  add("1010", "Red", 1);
  std::string before = contest_snapshot();
  const std::string malformed[] = {
      "",
      fields({"none", "1010"}),
      fields({"none", "1010", ""}),  // an empty last field is dropped: no name at all
      fields({"none", "team", "New"}),
      fields({"none", huge_number(), "New"}),
      fields({"x", "1010", "New"}),
  };
  for (const std::string& argument : malformed) {
    SCOPED_TRACE(argument);
    EXPECT_TRUE(rejects_argument(call_save_contestant, argument));
  }
  EXPECT_TRUE(rejects_argument(delete_contestant, "abc"));
  EXPECT_TRUE(rejects_argument(delete_contestant, huge_number()));
  EXPECT_EQ(contest_snapshot(), before);
}

TEST(ContestantsClosedTest, WithoutAContestTheCountRaises) {
  EXPECT_EQ(delete_contestant("none"), "");
  EXPECT_THROW(call_save_contestant(fields({"none", "1010", "Ann"})), DatabaseNotOpen);
  EXPECT_THROW(fetch_contestants(""), DatabaseNotOpen);
}

}  // namespace
