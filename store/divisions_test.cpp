#include "store/divisions.h"

#include <gtest/gtest.h>

#include "store/contestants.h"
#include "store/database.h"
#include "tests/store_test_helpers.h"
#include "tests/test_support.h"

namespace {

class DivisionsTest : public ::testing::Test {
 protected:
  OpenContest contest;
};

TEST_F(DivisionsTest, EmptyContestListsNothing) {
  EXPECT_EQ(fetch_divisions(""), "");
  EXPECT_EQ(fetch_teams(""), "");
}

TEST_F(DivisionsTest, DivisionsAreNumberedAndListedInOrderAdded) {
  EXPECT_EQ(save_division(fields({"none", "Junior", "3"})), "");
  // The page sends a blank team size as an empty last field.
  EXPECT_EQ(save_division(fields({"none", "Open", ""})), "");
  EXPECT_EQ(save_division(fields({"none", "Senior"})), "");
  EXPECT_EQ(fetch_divisions("ignored"), fields({"1", "Junior", "3", "1000",  //
                                                "2", "Open", "", "2000",   //
                                                "3", "Senior", "", "3000"}));
  EXPECT_EQ(query_text("SELECT team_size IS NULL FROM divisions WHERE number = 2000;"), "1");
}

TEST_F(DivisionsTest, UpdateRenamesAndSetsOrClearsTeamSize) {
  ASSERT_EQ(save_division(fields({"none", "Junior", "3"})), "");
  EXPECT_EQ(save_division(fields({"1000", "Juniors", "5"})), "");
  EXPECT_EQ(fetch_divisions(""), fields({"1", "Juniors", "5", "1000"}));
  EXPECT_EQ(save_division(fields({"1000", "Juniors", ""})), "");
  EXPECT_EQ(fetch_divisions(""), fields({"1", "Juniors", "", "1000"}));
  // A number no division has changes nothing.
  std::string before = contest_snapshot();
  EXPECT_EQ(save_division(fields({"4000", "Nobody", "3"})), "");
  EXPECT_EQ(contest_snapshot(), before);
}

TEST_F(DivisionsTest, TeamsAreNumberedByTensWithinTheirDivision) {
  ASSERT_EQ(save_division(fields({"none", "Junior", "3"})), "");
  ASSERT_EQ(save_division(fields({"none", "Senior", ""})), "");
  EXPECT_EQ(save_team(fields({"none", "1000", "Red", "Team", "Coach Ann"})), "");
  EXPECT_EQ(save_team(fields({"none", "1000", "Gold", "Indiv", ""})), "");
  EXPECT_EQ(save_team(fields({"none", "2000", "Red", "Indiv"})), "");  // same name, other division
  // Newest first; an empty coach comes back as an empty field.
  EXPECT_EQ(fetch_teams(""), fields({"3", "Senior", "Red", "Indiv", "", "2010",  //
                                     "2", "Junior", "Gold", "Indiv", "", "1020",  //
                                     "1", "Junior", "Red", "Team", "Coach Ann", "1010"}));
  EXPECT_EQ(query_text("SELECT COUNT(*) FROM teams WHERE coach IS NULL;"), "2");
}

TEST_F(DivisionsTest, TeamNumbersAreReusedOnlyWhenTheLargestIsDeleted) {
  ASSERT_EQ(save_division(fields({"none", "Junior", ""})), "");
  for (const char* name : {"A", "B", "C"})
    ASSERT_EQ(save_team(fields({"none", "1000", name, "Indiv"})), "");
  ASSERT_EQ(delete_team("1020"), "");
  ASSERT_EQ(save_team(fields({"none", "1000", "D", "Indiv"})), "");
  EXPECT_EQ(query_text("SELECT number FROM teams WHERE name = 'D';"), "1040");
  ASSERT_EQ(delete_team("1040"), "");
  ASSERT_EQ(save_team(fields({"none", "1000", "E", "Indiv"})), "");
  EXPECT_EQ(query_text("SELECT number FROM teams WHERE name = 'E';"), "1040");
}

TEST_F(DivisionsTest, TeamUpdateKeepsDivisionAndNumber) {
  ASSERT_EQ(save_division(fields({"none", "Junior", "4"})), "");
  ASSERT_EQ(save_division(fields({"none", "Senior", "4"})), "");
  ASSERT_EQ(save_team(fields({"none", "1000", "Red", "Indiv", "Bo"})), "");
  // Field 1 names another division; the team stays where it is.
  EXPECT_EQ(save_team(fields({"1010", "2000", "Crimson", "Team"})), "");
  EXPECT_EQ(fetch_teams(""), fields({"1", "Junior", "Crimson", "Team", "", "1010"}));
}

TEST_F(DivisionsTest, TeamOfTypeTeamNeedsATeamSize) {
  ASSERT_EQ(save_division(fields({"none", "Junior", "3"})), "");
  ASSERT_EQ(save_division(fields({"none", "Open", ""})), "");
  EXPECT_EQ(save_team(fields({"none", "1000", "Red", "Team"})), "");
  EXPECT_EQ(save_team(fields({"none", "2000", "Blue", "Indiv"})), "");
  EXPECT_EQ(save_team(fields({"none", "2000", "Green", "Team"})), kConsistencyError);
  // Once the Team is gone the size may be cleared.
  EXPECT_EQ(save_division(fields({"1000", "Junior", ""})), kConsistencyError);
  ASSERT_EQ(save_team(fields({"1010", "1000", "Red", "Indiv"})), "");
  EXPECT_EQ(save_division(fields({"1000", "Junior", ""})), "");
}

TEST_F(DivisionsTest, DeletesWorkFromTheBottomUp) {
  ASSERT_EQ(save_division(fields({"none", "Junior", ""})), "");
  ASSERT_EQ(save_team(fields({"none", "1000", "Red", "Indiv"})), "");
  ASSERT_EQ(call_save_contestant(fields({"none", "1010", "Ann"})), "");
  EXPECT_EQ(delete_division("1000"), kConsistencyError);
  EXPECT_EQ(delete_team("1010"), kConsistencyError);
  EXPECT_EQ(delete_contestant("1011"), "");
  EXPECT_EQ(delete_team("1010"), "");
  EXPECT_EQ(delete_division("1000"), "");
  EXPECT_EQ(fetch_divisions(""), "");
  // Deleting what does not exist is no error.
  EXPECT_EQ(delete_team("1010"), "");
  EXPECT_EQ(delete_division("5000"), "");
}

// Junior 1000 (size 3) with team Red 1010 (Team, contestant Ann) and Gold
// 1020; Open 2000 (no size) with team Blue 2010 (Indiv).
void make_divisions_and_teams() {
  ASSERT_EQ(save_division(fields({"none", "Junior", "3"})), "");
  ASSERT_EQ(save_division(fields({"none", "Open"})), "");
  ASSERT_EQ(save_team(fields({"none", "1000", "Red", "Team"})), "");
  ASSERT_EQ(save_team(fields({"none", "1000", "Gold", "Indiv"})), "");
  ASSERT_EQ(save_team(fields({"none", "2000", "Blue", "Indiv"})), "");
  ASSERT_EQ(call_save_contestant(fields({"none", "1010", "Ann"})), "");
}

struct Refusal {
  const char* why;
  std::string (*command)(const std::string&);
  std::string argument;
  const char* setup_sql;  // run after the common fixture, before the snapshot
};

TEST(DivisionsRefusalTest, EveryRefusalAnswersTheConsistencyErrorAndChangesNothing) {
  const Refusal refusals[] = {
      {"empty division name", save_division, fields({"none", "", "3"}), nullptr},
      {"division name in use", save_division, fields({"none", "Junior"}), nullptr},
      {"rename onto a used name", save_division, fields({"2000", "Junior"}), nullptr},
      {"clear size under a Team", save_division, fields({"1000", "Junior"}), nullptr},
      {"tenth division", save_division, fields({"none", "Ten", "3"}),
       "INSERT INTO divisions (id, name) VALUES (9, 'Nine');"},
      {"empty team name", save_team, fields({"none", "1000", "", "Indiv"}), nullptr},
      {"team name in use in division", save_team, fields({"none", "1000", "Red", "Indiv"}),
       nullptr},
      {"rename team onto a used name", save_team, fields({"1020", "1000", "Red", "Indiv"}),
       nullptr},
      {"unknown division", save_team, fields({"none", "3000", "Green", "Indiv"}), nullptr},
      {"Team without team size", save_team, fields({"none", "2000", "Green", "Team"}), nullptr},
      {"update to Team without size", save_team, fields({"2010", "2000", "Blue", "Team"}),
       nullptr},
      {"99 teams in division", save_team, fields({"none", "1000", "Green", "Indiv"}),
       "UPDATE teams SET number = 1990 WHERE number = 1020;"},
      {"division with teams", delete_division, "1000", nullptr},
      {"team with contestants", delete_team, "1010", nullptr},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.why);
    OpenContest contest;
    make_divisions_and_teams();
    if (refusal.setup_sql) exec_sql(refusal.setup_sql);
    std::string before = contest_snapshot();
    EXPECT_EQ(refusal.command(refusal.argument), kConsistencyError);
    EXPECT_EQ(contest_snapshot(), before);
  }
}

TEST_F(DivisionsTest, MalformedArgumentsAreRejectedAndChangeNothing) {
  make_divisions_and_teams();
  std::string before = contest_snapshot();
  const struct {
    std::string (*command)(const std::string&);
    std::string argument;
  } cases[] = {
      {save_division, ""},
      {save_division, "none"},
      {save_division, fields({"x1000", "Junior"})},
      {save_division, fields({"none", "Teens", "three"})},
      {save_division, fields({"none", "Teens", huge_number()})},
      {save_division, fields({huge_number(), "Junior"})},
      {delete_division, "x"},
      {delete_division, huge_number()},
      {save_team, fields({"none", "1000", "Green"})},
      {save_team, fields({"none", "one", "Green", "Indiv"})},
      {save_team, fields({"ten", "1000", "Green", "Indiv"})},
      {delete_team, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    EXPECT_TRUE(rejects_argument(c.command, c.argument));
  }
  EXPECT_EQ(contest_snapshot(), before);
}

TEST(DivisionsClosedTest, NoneDeletesNeedNoContestOtherCommandsDo) {
  EXPECT_EQ(delete_division("none"), "");
  EXPECT_EQ(delete_team("none"), "");
  EXPECT_THROW(fetch_divisions(""), DatabaseNotOpen);
  EXPECT_THROW(save_team(fields({"none", "1000", "Red", "Indiv"})), DatabaseNotOpen);
  EXPECT_THROW(delete_division("1000"), DatabaseNotOpen);
}

}  // namespace
