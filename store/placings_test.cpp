#include "store/placings.h"

#include <gtest/gtest.h>

#include "store/database.h"
#include "tests/store_test_helpers.h"
#include "tests/test_support.h"

namespace {

// Contestants 1011 Ann, 1012 Bo, 1013 Cy in team 1010; classes 1 and 2.
void make_contestants_and_classes() {
  exec_sql("INSERT INTO divisions (name) VALUES ('Junior');");
  exec_sql("INSERT INTO teams (division_no, name, type) VALUES (1000, 'Red', 'Indiv');");
  for (const char* name : {"Ann", "Bo", "Cy"})
    exec_sql(std::string("INSERT INTO contestants (team_no, name) VALUES (1010, '") + name + "');");
  exec_sql("INSERT INTO class_types (name) VALUES ('Cattle');");
  exec_sql("INSERT INTO classes (type_id, name, placing, cuts, timestamp) "
           "VALUES (1, 'Heifers', 1234, 253, '2024-01-01 00:00:00');");
  exec_sql("INSERT INTO classes (type_id, name, timestamp) VALUES (1, 'Gilts', '2024-01-01 00:00:00');");
}

// The row of placing `id` as "class|contestant|placing|reasons" (NULL as "-").
std::string placing_row(int id) {
  return query_text("SELECT class_id || '|' || contestant_no || '|' || placing || '|' || "
                    "IFNULL(reasons_score, '-') FROM placings WHERE id = " + std::to_string(id) + ";");
}

class PlacingsTest : public ::testing::Test {
 protected:
  void SetUp() override { make_contestants_and_classes(); }
  OpenContest contest;
};

TEST_F(PlacingsTest, EmptyListings) {
  EXPECT_EQ(fetch_placings(""), "");
  // Every contestant is counted, also without placings.
  EXPECT_EQ(fetch_placing_counts(""), fields({"1011", "0", "0", "1012", "0", "0", "1013", "0", "0"}));
}

TEST(PlacingsEmptyContestTest, NoContestantsNoCounts) {
  OpenContest contest;
  EXPECT_EQ(fetch_placing_counts(""), "");
}

// Placing 1: class 1, contestant 1011, 1234, no reasons; placing 2: class 1,
// contestant 1012, 4321, reasons 40. Each case runs on a fresh contest.
struct SaveCase {
  const char* why;
  std::vector<std::string> argument;
  const char* result;
  int row_id;          // the row to look at afterwards; 0 when nothing may change
  const char* row;     // its expected content
};

TEST(SavePlacingTest, TheFiveCasesOfSavePlacing) {
  const SaveCase cases[] = {
      {"new, empty reasons dropped", {"none", "2", "1011", "2143", ""}, "", 3, "2|1011|2143|-"},
      {"new with reasons", {"none", "2", "1011", "2143", "45"}, "", 3, "2|1011|2143|45"},
      {"new placing of 0", {"none", "2", "1013", "0"}, "", 3, "2|1013|0|-"},
      {"new, more than five fields", {"none", "2", "1013", "2143", "45", "x"}, "", 3,
       "2|1013|2143|-"},
      {"second placing for class and contestant", {"none", "1", "1011", "4321"}, kConsistencyError,
       0, nullptr},
      {"new for an unknown class", {"none", "9", "1011", "4321"}, kConsistencyError, 0, nullptr},
      {"new for an unknown contestant", {"none", "2", "1019", "4321"}, kConsistencyError, 0,
       nullptr},
      {"reasons for an existing placing", {"none", "1", "1011", "", "38"}, "", 1, "1|1011|1234|38"},
      {"reasons overwrite earlier reasons", {"none", "1", "1012", "", "12"}, "", 2,
       "1|1012|4321|12"},
      {"reasons without a placing", {"none", "2", "1011", "", "38"}, kConsistencyError, 0, nullptr},
      {"none, empty placing, four fields", {"none", "1", "1011", "", ""}, "", 0, nullptr},
      {"none, empty placing, six fields", {"none", "1", "1011", "", "38", "x"}, "", 0, nullptr},
      {"correction with reasons", {"1", "2", "1013", "3412", "44"}, "", 1, "2|1013|3412|44"},
      {"correction without reasons clears them", {"2", "1", "1012", "4321"}, "", 2,
       "1|1012|4321|-"},
      {"correction of an unknown id", {"9", "1", "1013", "1234"}, "", 0, nullptr},
      {"correction onto a taken class and contestant", {"1", "1", "1012", "1234"},
       kConsistencyError, 0, nullptr},
      {"correction to an unknown contestant", {"1", "1", "1019", "1234"}, kConsistencyError, 0,
       nullptr},
      {"id with empty placing", {"1", "1", "1011", "", "45"}, "", 0, nullptr},
  };
  for (const SaveCase& c : cases) {
    SCOPED_TRACE(c.why);
    OpenContest contest;
    make_contestants_and_classes();
    exec_sql("INSERT INTO placings (class_id, contestant_no, placing, timestamp) "
             "VALUES (1, 1011, 1234, '2024-01-02 00:00:00');");
    exec_sql("INSERT INTO placings (class_id, contestant_no, placing, reasons_score, timestamp) "
             "VALUES (1, 1012, 4321, 40, '2024-01-02 00:00:00');");
    std::string before = contest_snapshot();
    EXPECT_EQ(save_placing(fields(c.argument)), c.result);
    if (c.row_id == 0) {
      EXPECT_EQ(contest_snapshot(), before);
      continue;
    }
    EXPECT_EQ(placing_row(c.row_id), c.row);
    // Every write stamps the row with the current time.
    EXPECT_GT(query_text("SELECT timestamp FROM placings WHERE id = " + std::to_string(c.row_id) + ";"),
              "2024-01-02 00:00:00");
  }
}

TEST_F(PlacingsTest, ListingIsNewestFirstAndSameSecondByNewestId) {
  ASSERT_EQ(save_placing(fields({"none", "1", "1011", "1234"})), "");
  ASSERT_EQ(save_placing(fields({"none", "1", "1012", "2143", "45"})), "");
  ASSERT_EQ(save_placing(fields({"none", "2", "1011", "0", ""})), "");
  // Force all three into one second, then make placing 1 the newest.
  exec_sql("UPDATE placings SET timestamp = '2024-05-05 10:00:00';");
  EXPECT_EQ(fetch_placings("ignored"), fields({"3", "2", "1011", "0", "",     //
                                               "2", "1", "1012", "2143", "45",  //
                                               "1", "1", "1011", "1234", ""}));
  exec_sql("UPDATE placings SET timestamp = '2024-05-05 10:00:01' WHERE id = 1;");
  EXPECT_EQ(split_listing(fetch_placings("")).at(0), "1");
  EXPECT_EQ(split_listing(fetch_placings("")).size(), 15u);
}

TEST_F(PlacingsTest, CountsPutFewestPlacingsThenFewestReasonsFirst) {
  ASSERT_EQ(save_placing(fields({"none", "1", "1011", "1234", "40"})), "");
  ASSERT_EQ(save_placing(fields({"none", "2", "1011", "1234"})), "");
  ASSERT_EQ(save_placing(fields({"none", "1", "1012", "1234", "30"})), "");
  ASSERT_EQ(save_placing(fields({"none", "2", "1012", "1234", "30"})), "");
  EXPECT_EQ(fetch_placing_counts(""), fields({"1013", "0", "0",  //
                                              "1011", "2", "1",  //
                                              "1012", "2", "2"}));
}

TEST_F(PlacingsTest, DeleteRemovesByIdAndIgnoresUnknownIds) {
  ASSERT_EQ(save_placing(fields({"none", "1", "1011", "1234"})), "");
  std::string before = contest_snapshot();
  EXPECT_EQ(delete_placing("none"), "");
  EXPECT_EQ(delete_placing("7"), "");
  EXPECT_EQ(contest_snapshot(), before);
  EXPECT_EQ(delete_placing("1"), "");
  EXPECT_EQ(fetch_placings(""), "");
}

TEST_F(PlacingsTest, MalformedArgumentsAreRejectedAndChangeNothing) {
  ASSERT_EQ(save_placing(fields({"none", "1", "1011", "1234"})), "");
  std::string before = contest_snapshot();
  const std::string malformed[] = {
      "",
      fields({"none", "1", "1012"}),
      fields({"none", "one", "1012", "1234"}),
      fields({"none", "1", "1012", "first"}),
      fields({"none", "1", "1012", "1234", huge_number()}),
      fields({"none", "1", "1011", "", "forty"}),
      fields({"x", "1", "1011", "4321"}),
      fields({huge_number(), "1", "1011", "4321"}),
  };
  for (const std::string& argument : malformed) {
    SCOPED_TRACE(argument);
    EXPECT_TRUE(rejects_argument(save_placing, argument));
  }
  EXPECT_TRUE(rejects_argument(delete_placing, "first"));
  EXPECT_TRUE(rejects_argument(delete_placing, ""));
  EXPECT_EQ(contest_snapshot(), before);
}

TEST(PlacingsClosedTest, NoneDeleteNeedsNoContest) {
  EXPECT_EQ(delete_placing("none"), "");
  EXPECT_THROW(fetch_placings(""), DatabaseNotOpen);
  EXPECT_THROW(save_placing(fields({"none", "1", "1011", "1234"})), DatabaseNotOpen);
}

}  // namespace
