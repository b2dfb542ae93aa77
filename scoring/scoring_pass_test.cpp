#include "scoring/scoring_pass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scoring/test_contest.h"
#include "store/database.h"
#include "tests/test_support.h"

namespace {

using namespace test_contest;

const char kOld[] = "2024-03-01 09:00:00";  // before any pass of these tests

std::vector<std::vector<std::string>> rows_of(const std::string& listing, size_t width) {
  std::vector<std::string> all = split_fields(listing);
  // A trailing empty field is dropped by split_fields; a row ending in NULL
  // loses it, so pad back to whole rows.
  while (all.size() % width) all.push_back("");
  std::vector<std::vector<std::string>> rows;
  for (size_t i = 0; i < all.size(); i += width)
    rows.emplace_back(all.begin() + i, all.begin() + i + width);
  return rows;
}

std::string scored_at() { return query_text("SELECT scored_at FROM contest;"); }

std::string placing_score(int placing_id) {
  return query_text("SELECT placing_score FROM placings WHERE id = " +
                    std::to_string(placing_id) + ";");
}

// Stamps a score by hand without touching the timestamp, so a later pass
// that rewrites it is visible.
void stamp_score(int placing_id, int score) {
  exec_sql("UPDATE placings SET placing_score = " + std::to_string(score) +
           " WHERE id = " + std::to_string(placing_id) + ";");
}

class ScoringPass : public ::testing::Test {
 protected:
  void SetUp() override {
    const int division = add_division("Senior", 2);
    const int team = add_team(division, "Alpha", "Team", "Coach");
    ann = add_contestant(team, "Ann");
    ben = add_contestant(team, "Ben");
    type = add_class_type("Beef");
  }

  OpenContest contest;
  int ann = 0, ben = 0, type = 0;
};

TEST_F(ScoringPass, WorkedExamplesThroughSavedClassesAndPlacings) {
  struct Case {
    int official, cuts, contestant;
    const char* score;
  };
  const Case cases[] = {
      {1234, 253, 1234, "50"}, {1234, 253, 2134, "48"}, {1234, 253, 1324, "45"},
      {1234, 253, 1243, "47"}, {1234, 253, 2143, "45"}, {1234, 253, 4321, "15"},
      {3142, 412, 1342, "46"}, {4123, 321, 1234, "36"}, {1234, 999, 4321, "0"},
  };
  std::vector<int> class_ids;
  for (const Case& c : cases) {
    const int id = add_class(type, "Class " + std::to_string(class_ids.size() + 1), c.official,
                             c.cuts);
    add_placing(id, ann, c.contestant);
    class_ids.push_back(id);
  }
  const auto rows = rows_of(fetch_indiv_scores(""), 8);
  ASSERT_EQ(rows.size(), std::size(cases));
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::vector<std::string> expected = {
        "Ann", std::to_string(ann), "Class " + std::to_string(i + 1),
        std::to_string(class_ids[i]), std::to_string(cases[i].contestant), cases[i].score, "",
        cases[i].score};
    EXPECT_EQ(rows[i], expected);
  }
}

TEST_F(ScoringPass, ListsByContestantNameThenClassWithTotals) {
  const int second = add_class(type, "Second", 1234, 253);
  const int first = add_class(type, "First", 1234, 253);
  const int unofficial = add_class(type, "Unofficial", std::nullopt, std::nullopt);
  add_placing(first, ben, 2134, 40);
  add_placing(second, ben, 0);
  add_placing(second, ann, 1234, 35);
  add_placing(unofficial, ann, 1234, 20);
  const std::string a = std::to_string(ann), b = std::to_string(ben);
  const std::string s = std::to_string(second), f = std::to_string(first),
                    u = std::to_string(unofficial);
  EXPECT_EQ(fetch_indiv_scores("ignored"),
            fields({"Ann", a, "Second", s, "1234", "50", "35", "85",        //
                    "Ann", a, "Unofficial", u, "1234", "", "20", "",        //
                    "Ben", b, "Second", s, "0", "0", "", "0",               //
                    "Ben", b, "First", f, "2134", "48", "40", "88"}));
}

TEST_F(ScoringPass, NothingToScoreLeavesEverythingAlone) {
  EXPECT_FALSE(has_unscored_changes("2020-01-01 00:00:00"));
  EXPECT_FALSE(has_unscored_changes(""));
  EXPECT_EQ(fetch_indiv_scores(""), "");
  EXPECT_EQ(scored_at(), "2020-01-01 00:00:00");
}

TEST_F(ScoringPass, ChangeCheckCountsTheSecondOfTheLastPass) {
  add_class(type, "Class", 1234, 253, "2024-03-01 09:00:00");
  add_placing(1, ann, 1234, std::nullopt, "2024-03-01 10:00:00");
  struct Case {
    const char* scored_at;
    bool changed;
  } cases[] = {
      {"2024-03-01 09:59:59", true},
      {"2024-03-01 10:00:00", true},  // written in the same second
      {"2024-03-01 10:00:01", false},
      {"2024-03-01 10", true},        // a prefix is the smaller text
      {"", true},
  };
  for (const Case& c : cases) EXPECT_EQ(has_unscored_changes(c.scored_at), c.changed) << c.scored_at;
}

TEST_F(ScoringPass, RunsOnceForTwoFetchesWithoutChange) {
  const int cls = add_class(type, "Class", 1234, 253, kOld);
  const int placing = add_placing(cls, ann, 2134, std::nullopt, kOld);
  fetch_indiv_scores("");
  const std::string after_first = scored_at();
  EXPECT_GT(after_first, kOld);
  EXPECT_EQ(placing_score(placing), "48");

  stamp_score(placing, 7);
  const auto rows = rows_of(fetch_indiv_scores(""), 8);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][5], "7");  // not rescored: the pass did nothing
  EXPECT_EQ(scored_at(), after_first);
}

TEST_F(ScoringPass, ChangedCutsRescoreOnlyThatClass) {
  const int changed = add_class(type, "Changed", 1234, 253, kOld);
  const int kept = add_class(type, "Kept", 1234, 253, kOld);
  const int p1 = add_placing(changed, ann, 2134, std::nullopt, kOld);
  const int p2 = add_placing(changed, ben, 1243, std::nullopt, kOld);
  const int p3 = add_placing(kept, ann, 2134, std::nullopt, kOld);
  fetch_indiv_scores("");
  for (int id : {p1, p2, p3}) stamp_score(id, 7);

  update_class(changed, 1234, 912);  // as a class save: timestamp now
  fetch_indiv_scores("");
  EXPECT_EQ(placing_score(p1), "41");
  EXPECT_EQ(placing_score(p2), "48");
  EXPECT_EQ(placing_score(p3), "7");
}

TEST_F(ScoringPass, OfficialPlacingSetLaterScoresOlderPlacings) {
  const int cls = add_class(type, "Class", std::nullopt, std::nullopt, kOld);
  const int placing = add_placing(cls, ann, 2134, std::nullopt, kOld);
  fetch_indiv_scores("");
  EXPECT_EQ(placing_score(placing), "");
  update_class(cls, 1234, 253);
  fetch_indiv_scores("");
  EXPECT_EQ(placing_score(placing), "48");
}

TEST_F(ScoringPass, WritesInTheSecondOfTheLastPassAreScored) {
  const char kSecond[] = "2024-03-01 10:00:00";
  // A placing whose timestamp equals scored_at.
  const int cls = add_class(type, "Class", 1234, 253, kOld);
  exec_sql(std::string("UPDATE contest SET scored_at = '") + kSecond + "';");
  const int placing = add_placing(cls, ann, 2134, std::nullopt, kSecond);
  EXPECT_EQ(rows_of(fetch_indiv_scores(""), 8).at(0)[5], "48");

  // A class changed in the same second as the pass that scored its placing.
  const int other = add_class(type, "Other", 1234, 253, kOld);
  const int older = add_placing(other, ben, 2134, std::nullopt, kOld);
  fetch_indiv_scores("");
  exec_sql(std::string("UPDATE contest SET scored_at = '") + kSecond + "';");
  update_class(other, 1234, 953, kSecond);
  fetch_indiv_scores("");
  EXPECT_EQ(placing_score(older), "41");
  EXPECT_EQ(placing_score(placing), "48");
}

TEST_F(ScoringPass, PlacingSavedRightAfterAFetchShowsOnTheNextFetch) {
  // Real clock: most runs land in the pass's own second, the case that must
  // not be missed; the rest are scored by the plain later-than rule.
  const int cls = add_class(type, "Class", 1234, 253);
  for (int contestant : {ann, ben}) {
    fetch_indiv_scores("");
    add_placing(cls, contestant, 1243);
    for (const auto& row : rows_of(fetch_indiv_scores(""), 8))
      EXPECT_EQ(row[5], "47") << row[0];
  }
}

TEST_F(ScoringPass, ReasonsEnteredLaterChangeTheTotal) {
  const int cls = add_class(type, "Class", 1234, 253);
  add_placing(cls, ann, 1324);
  auto rows = rows_of(fetch_indiv_scores(""), 8);
  EXPECT_EQ(rows.at(0)[6], "");
  EXPECT_EQ(rows.at(0)[7], "45");
  set_reasons(cls, ann, 38);
  rows = rows_of(fetch_indiv_scores(""), 8);
  EXPECT_EQ(rows.at(0)[6], "38");
  EXPECT_EQ(rows.at(0)[7], "83");
}

TEST_F(ScoringPass, DeletedPlacingIsNoLongerListed) {
  const int cls = add_class(type, "Class", 1234, 253);
  const int placing = add_placing(cls, ann, 1234);
  add_placing(cls, ben, 1234);
  fetch_indiv_scores("");
  exec_sql("DELETE FROM placings WHERE id = " + std::to_string(placing) + ";");
  const auto rows = rows_of(fetch_indiv_scores(""), 8);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "Ben");
}

TEST(ScoringPassClosed, RaisesWithoutAnOpenContest) {
  EXPECT_THROW(run_scoring_pass(), DatabaseNotOpen);
  EXPECT_THROW(fetch_indiv_scores(""), DatabaseNotOpen);
}

}  // namespace
