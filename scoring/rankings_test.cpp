#include "scoring/rankings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "scoring/test_contest.h"
#include "store/database.h"
#include "tests/test_support.h"

namespace {

using namespace test_contest;
using Row = std::vector<std::string>;

std::vector<Row> rows_of(const std::string& listing) {
  std::vector<std::string> all = split_fields(listing);
  while (all.size() % 6) all.push_back("");  // a trailing empty field is not split off
  std::vector<Row> rows;
  for (size_t i = 0; i < all.size(); i += 6) rows.emplace_back(all.begin() + i, all.begin() + i + 6);
  return rows;
}

// Rows must come in the expected order of (division, class type, rank);
// among rows of equal rank any order is right.
void expect_rankings(const std::string& listing, std::vector<Row> expected) {
  std::vector<Row> actual = rows_of(listing);
  ASSERT_EQ(actual.size(), expected.size()) << listing;
  for (size_t i = 0; i < actual.size(); ++i)
    EXPECT_EQ(Row(actual[i].begin(), actual[i].begin() + 3),
              Row(expected[i].begin(), expected[i].begin() + 3))
        << "row " << i;
  std::sort(actual.begin(), actual.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(actual, expected);
}

// One division, two class types ("Sheep" has the lower id), teams of two.
// Placing scores against 1234 / 253: 1234 50, 2134 48, 1324 45, 1243 47, 4321 15.
//             Sheep class         Beef class          total  reasons  placing
//                                                            sum      sum w/ reasons
//  Ann  Alpha 2134 r30 = 78       1234 r40 = 90        168     70       98
//  Ben  Alpha 1234 r28 = 78       2134 r42 = 90        168     70       98
//  Cal  Beta  1243 r25 = 72       1324 r45 = 90        162     70       92
//  Dan  Beta  -                   4321 r48 = 63         63     48       15
//  Fay  Beta  1234     = 50       1234     = 50        100     -         0
//  Eve  Solo  -                   1234 r50 = 100       100     50       50
class Rankings : public ::testing::Test {
 protected:
  void SetUp() override {
    const int senior = add_division("Senior", 2);
    add_division("Empty", 3);  // no placings: never listed
    const int alpha = add_team(senior, "Alpha", "Team", "Coach A");
    const int beta = add_team(senior, "Beta", "Team", "Coach B");
    const int solo = add_team(senior, "Solo", "Indiv");
    const int ann = add_contestant(alpha, "Ann"), ben = add_contestant(alpha, "Ben");
    const int cal = add_contestant(beta, "Cal"), dan = add_contestant(beta, "Dan");
    const int fay = add_contestant(beta, "Fay"), eve = add_contestant(solo, "Eve");
    const int sheep = add_class(add_class_type("Sheep"), "S1", 1234, 253);
    const int beef = add_class(add_class_type("Beef"), "B1", 1234, 253);
    add_placing(sheep, ann, 2134, 30);
    add_placing(sheep, ben, 1234, 28);
    add_placing(sheep, cal, 1243, 25);
    add_placing(sheep, fay, 1234);
    add_placing(beef, ann, 1234, 40);
    add_placing(beef, ben, 2134, 42);
    add_placing(beef, cal, 1324, 45);
    add_placing(beef, dan, 4321, 48);
    add_placing(beef, fay, 1234);
    add_placing(beef, eve, 1234, 50);
  }

  OpenContest contest;
};

TEST_F(Rankings, IndividualsPerClassTypeReasonsAndOverall) {
  expect_rankings(fetch_indiv_rankings(""),
                  {
                      {"Senior", "Sheep", "1", "78", "Ann", "Alpha"},
                      {"Senior", "Sheep", "2", "78", "Ben", "Alpha"},  // fewer reasons
                      {"Senior", "Sheep", "3", "72", "Cal", "Beta"},
                      {"Senior", "Sheep", "4", "50", "Fay", "Beta"},
                      {"Senior", "Beef", "1", "100", "Eve", "Solo"},
                      {"Senior", "Beef", "2", "90", "Cal", "Beta"},
                      {"Senior", "Beef", "3", "90", "Ben", "Alpha"},
                      {"Senior", "Beef", "4", "90", "Ann", "Alpha"},
                      {"Senior", "Beef", "5", "63", "Dan", "Beta"},
                      {"Senior", "Beef", "6", "50", "Fay", "Beta"},
                      // Equal reasons: the smaller placing sum ranks first.
                      {"Senior", "Reasons", "1", "70", "Cal", "Beta"},
                      {"Senior", "Reasons", "2", "70", "Ann", "Alpha"},
                      {"Senior", "Reasons", "2", "70", "Ben", "Alpha"},
                      {"Senior", "Reasons", "4", "50", "Eve", "Solo"},
                      {"Senior", "Reasons", "5", "48", "Dan", "Beta"},
                      {"Senior", "Reasons", "6", "", "Fay", "Beta"},  // no reasons: last
                      // Ties share a rank and the next one is skipped.
                      {"Senior", "Overall", "1", "168", "Ann", "Alpha"},
                      {"Senior", "Overall", "1", "168", "Ben", "Alpha"},
                      {"Senior", "Overall", "3", "162", "Cal", "Beta"},
                      {"Senior", "Overall", "4", "100", "Eve", "Solo"},
                      {"Senior", "Overall", "5", "100", "Fay", "Beta"},
                      {"Senior", "Overall", "6", "63", "Dan", "Beta"},
                  });
}

TEST_F(Rankings, TeamsCountTheirBestMembersPerRankingKind) {
  // Beta's best two are Cal and Dan for Beef and Reasons, Cal and Fay for
  // Sheep and Overall; Solo (Indiv) never appears. Asked first, without the
  // individual rankings, the pass still runs.
  expect_rankings(fetch_team_rankings(""),
                  {
                      {"Senior", "Sheep", "1", "156", "Alpha", "Coach A"},
                      {"Senior", "Sheep", "2", "122", "Beta", "Coach B"},
                      {"Senior", "Beef", "1", "180", "Alpha", "Coach A"},
                      {"Senior", "Beef", "2", "153", "Beta", "Coach B"},
                      {"Senior", "Reasons", "1", "140", "Alpha", "Coach A"},
                      {"Senior", "Reasons", "2", "118", "Beta", "Coach B"},
                      {"Senior", "Overall", "1", "336", "Alpha", "Coach A"},
                      {"Senior", "Overall", "2", "262", "Beta", "Coach B"},
                  });
}

TEST_F(Rankings, TeamRankingsSeeAReasonsScoreEnteredAfterTheLastPass) {
  fetch_indiv_rankings("");
  exec_sql("UPDATE placings SET reasons_score = 50, timestamp = datetime('now', 'localtime') "
           "WHERE contestant_no = (SELECT number FROM contestants WHERE name = 'Fay');");
  // Beta's reasons: Fay 100 and Cal 70 now; overall Fay 200 and Cal 162.
  const std::vector<Row> rows = rows_of(fetch_team_rankings(""));
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[4], (Row{"Senior", "Reasons", "1", "170", "Beta", "Coach B"}));
  EXPECT_EQ(rows[6], (Row{"Senior", "Overall", "1", "362", "Beta", "Coach B"}));
}

TEST(RankingsKinds, NoneTypeAndSingleTypeHaveNoClassTypeRows) {
  struct Case {
    std::vector<std::string> types;
    std::vector<std::string> own_rows;  // class types that get their own rows
  } cases[] = {
      {{"Beef"}, {}},
      {{"None", "Beef"}, {"Beef"}},
      {{"None"}, {}},
  };
  for (const Case& c : cases) {
    OpenContest contest;
    const int team = add_team(add_division("Open", 1), "Alpha", "Team", "Coach");
    const int ann = add_contestant(team, "Ann");
    for (const std::string& type : c.types)
      add_placing(add_class(add_class_type(type), type + " class", 1234, 253), ann, 1234, 10);
    const std::string total = std::to_string(60 * c.types.size());
    const std::string reasons = std::to_string(10 * c.types.size());
    std::vector<Row> indiv, team_rows;
    for (const std::string& type : c.own_rows) {
      indiv.push_back({"Open", type, "1", "60", "Ann", "Alpha"});
      team_rows.push_back({"Open", type, "1", "60", "Alpha", "Coach"});
    }
    indiv.push_back({"Open", "Reasons", "1", reasons, "Ann", "Alpha"});
    indiv.push_back({"Open", "Overall", "1", total, "Ann", "Alpha"});
    team_rows.push_back({"Open", "Reasons", "1", reasons, "Alpha", "Coach"});
    team_rows.push_back({"Open", "Overall", "1", total, "Alpha", "Coach"});
    SCOPED_TRACE(c.types.size() == 1 ? c.types[0] : "None and Beef");
    expect_rankings(fetch_indiv_rankings(""), indiv);
    expect_rankings(fetch_team_rankings(""), team_rows);
  }
}

TEST(RankingsDivisions, OrderedByDivisionNumberWithShortTeamsLeftOut) {
  OpenContest contest;
  const int zulu = add_division("Zulu", 2), alpha = add_division("Alpha", 2);
  const int cls = add_class(add_class_type("Beef"), "B1", 1234, 253);
  // In Zulu two full teams tie and share the rank; in Alpha the only full
  // team is Red, Blue has one member with a placing out of two.
  const struct {
    int division;
    const char* team;
    std::vector<std::pair<const char*, int>> members;  // name, contestant placing
  } teams[] = {
      {zulu, "North", {{"Nia", 1234}, {"Ned", 2134}}},
      {zulu, "South", {{"Sam", 2134}, {"Sue", 1234}}},
      {alpha, "Red", {{"Rae", 1243}, {"Rob", 1234}}},
      {alpha, "Blue", {{"Bo", 4321}}},
  };
  for (const auto& t : teams) {
    const int team = add_team(t.division, t.team, "Team", std::string("Coach ") + t.team);
    for (const auto& [name, placing] : t.members)
      add_placing(cls, add_contestant(team, name), placing);
  }
  add_contestant(add_team(alpha, "Blue2", "Team"), "Bea");  // no placing at all

  expect_rankings(fetch_team_rankings(""),
                  {
                      {"Zulu", "Reasons", "1", "", "North", "Coach North"},
                      {"Zulu", "Reasons", "1", "", "South", "Coach South"},
                      {"Zulu", "Overall", "1", "98", "North", "Coach North"},
                      {"Zulu", "Overall", "1", "98", "South", "Coach South"},
                      {"Alpha", "Reasons", "1", "", "Red", "Coach Red"},
                      {"Alpha", "Overall", "1", "97", "Red", "Coach Red"},
                  });
  const std::vector<Row> indiv = rows_of(fetch_indiv_rankings(""));
  ASSERT_EQ(indiv.size(), 14u);
  EXPECT_EQ(indiv.front()[0], "Zulu");
  EXPECT_EQ(indiv.back(), (Row{"Alpha", "Overall", "3", "15", "Bo", "Blue"}));
}

TEST(RankingsEmpty, NoPlacingsGiveTheEmptyText) {
  OpenContest contest;
  add_contestant(add_team(add_division("Senior", 2), "Alpha", "Team"), "Ann");
  add_class(add_class_type("Beef"), "B1", 1234, 253);
  EXPECT_EQ(fetch_indiv_rankings(""), "");
  EXPECT_EQ(fetch_team_rankings(""), "");
}

TEST(RankingsClosed, RaiseWithoutAnOpenContest) {
  EXPECT_THROW(fetch_indiv_rankings(""), DatabaseNotOpen);
  EXPECT_THROW(fetch_team_rankings(""), DatabaseNotOpen);
}

}  // namespace
