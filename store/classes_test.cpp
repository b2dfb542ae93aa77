#include "store/classes.h"

#include <gtest/gtest.h>

#include "store/database.h"
#include "tests/store_test_helpers.h"
#include "tests/test_support.h"

namespace {

const char kCutsWithoutPlacing[] = "ERROR:Enter the official placing together with the cuts.";
const char kPlacingWithoutCuts[] = "ERROR:Enter the cuts together with the official placing.";

class ClassesTest : public ::testing::Test {
 protected:
  OpenContest contest;
};

TEST_F(ClassesTest, EmptyContestListsNothing) {
  EXPECT_EQ(fetch_class_types(""), "");
  EXPECT_EQ(fetch_classes(""), "");
}

TEST_F(ClassesTest, ClassTypesAreListedInOrderAddedAndRenamed) {
  EXPECT_EQ(save_class_type(fields({"none", "Cattle"})), "");
  EXPECT_EQ(save_class_type(fields({"none", "Swine"})), "");
  EXPECT_EQ(save_class_type(fields({"1", "Beef"})), "");
  EXPECT_EQ(fetch_class_types("ignored"), fields({"1", "Beef", "2", "Swine"}));
}

TEST_F(ClassesTest, PlacingAndCutsAreStoredTogetherOrNotAtAll) {
  ASSERT_EQ(save_class_type(fields({"none", "Cattle"})), "");
  EXPECT_EQ(save_class(fields({"none", "1", "Heifers", "1234", "253"})), "");
  EXPECT_EQ(save_class(fields({"none", "1", "Bulls", "", ""})), "");
  EXPECT_EQ(save_class(fields({"none", "1", "Cows"})), "");
  std::string listing = fetch_classes("ignored");
  EXPECT_EQ(listing, fields({"1", "Cattle", "Heifers", "1234", "253",  //
                             "2", "Cattle", "Bulls", "", "",           //
                             "3", "Cattle", "Cows", "", ""}));
  EXPECT_EQ(split_listing(listing).size(), 15u);
  EXPECT_EQ(query_text("SELECT COUNT(*) FROM classes WHERE placing IS NULL AND cuts IS NULL;"),
            "2");
}

// Either half of the official result alone cannot be scored; storing the
// class without it would silently drop what the organiser typed.
TEST_F(ClassesTest, HalfAnOfficialResultIsRefusedAndNothingIsStored) {
  ASSERT_EQ(save_class_type(fields({"none", "Cattle"})), "");
  ASSERT_EQ(save_class(fields({"none", "1", "Heifers", "1234", "253"})), "");
  const struct {
    std::string argument;
    const char* answer;
  } cases[] = {
      {fields({"none", "1", "Steers", "", "253"}), kCutsWithoutPlacing},
      {fields({"1", "1", "Heifers", "", "253"}), kCutsWithoutPlacing},
      // The page sends empty cuts as an empty last field, dropped on arrival.
      {fields({"none", "1", "Steers", "1234", ""}), kPlacingWithoutCuts},
      {fields({"none", "1", "Steers", "1234"}), kPlacingWithoutCuts},
      {fields({"1", "1", "Heifers", "4321", ""}), kPlacingWithoutCuts},
  };
  std::string before = contest_snapshot();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    EXPECT_EQ(save_class(c.argument), c.answer);
    EXPECT_EQ(contest_snapshot(), before);
  }
}

TEST_F(ClassesTest, UpdateMovesTypeClearsResultAndMovesTimestamp) {
  ASSERT_EQ(save_class_type(fields({"none", "Cattle"})), "");
  ASSERT_EQ(save_class_type(fields({"none", "Swine"})), "");
  ASSERT_EQ(save_class(fields({"none", "1", "Heifers", "1234", "253"})), "");
  exec_sql("UPDATE classes SET timestamp = '2020-06-01 00:00:00';");
  EXPECT_EQ(save_class(fields({"1", "2", "Gilts"})), "");
  EXPECT_EQ(fetch_classes(""), fields({"1", "Swine", "Gilts", "", ""}));
  EXPECT_GT(query_text("SELECT timestamp FROM classes WHERE id = 1;"), "2020-06-01 00:00:00");
  EXPECT_EQ(query_text("SELECT timestamp = datetime('now', 'localtime') OR "
                       "timestamp = datetime('now', 'localtime', '-1 second') FROM classes;"),
            "1");
  // An id no class has changes nothing.
  std::string before = contest_snapshot();
  EXPECT_EQ(save_class(fields({"7", "1", "Nobody", "1234", "253"})), "");
  EXPECT_EQ(contest_snapshot(), before);
}

TEST_F(ClassesTest, RefusalsAnswerTheConsistencyErrorAndChangeNothing) {
  ASSERT_EQ(save_class_type(fields({"none", "Cattle"})), "");
  ASSERT_EQ(save_class_type(fields({"none", "Swine"})), "");
  ASSERT_EQ(save_class(fields({"none", "1", "Heifers", "1234", "253"})), "");
  ASSERT_EQ(save_class(fields({"none", "2", "Gilts"})), "");
  exec_sql("INSERT INTO divisions (name) VALUES ('Junior');");
  exec_sql("INSERT INTO teams (division_no, name, type) VALUES (1000, 'Red', 'Indiv');");
  exec_sql("INSERT INTO contestants (team_no, name) VALUES (1010, 'Ann');");
  exec_sql("INSERT INTO placings (class_id, contestant_no, placing, timestamp) "
           "VALUES (1, 1011, 1234, '2024-01-01 00:00:00');");
  const struct {
    const char* why;
    std::string (*command)(const std::string&);
    std::string argument;
  } refusals[] = {
      {"class type name in use", save_class_type, fields({"none", "Cattle"})},
      {"class type renamed onto a used name", save_class_type, fields({"2", "Cattle"})},
      {"empty class name", save_class, fields({"none", "1", "", "1234", "253"})},
      {"class name in use under another type", save_class, fields({"none", "2", "Heifers"})},
      {"class renamed onto a used name", save_class, fields({"2", "2", "Heifers"})},
      {"unknown class type", save_class, fields({"none", "9", "Barrows"})},
      {"moved to an unknown class type", save_class, fields({"2", "9", "Gilts"})},
      {"class type in use", delete_class_type, "1"},
      {"class with placings", delete_class, "1"},
  };
  std::string before = contest_snapshot();
  for (const auto& refusal : refusals) {
    SCOPED_TRACE(refusal.why);
    EXPECT_EQ(refusal.command(refusal.argument), kConsistencyError);
    EXPECT_EQ(contest_snapshot(), before);
  }
}

TEST_F(ClassesTest, DeletesRemoveUnusedEntries) {
  ASSERT_EQ(save_class_type(fields({"none", "Cattle"})), "");
  ASSERT_EQ(save_class(fields({"none", "1", "Heifers"})), "");
  EXPECT_EQ(delete_class("1"), "");
  EXPECT_EQ(delete_class_type("1"), "");
  EXPECT_EQ(delete_class_type("5"), "");
  EXPECT_EQ(fetch_class_types(""), "");
  EXPECT_EQ(fetch_classes(""), "");
}

TEST_F(ClassesTest, MalformedArgumentsAreRejectedAndChangeNothing) {
  ASSERT_EQ(save_class_type(fields({"none", "Cattle"})), "");
  std::string before = contest_snapshot();
  const struct {
    std::string (*command)(const std::string&);
    std::string argument;
  } cases[] = {
      {save_class_type, ""},
      {save_class_type, fields({"none", ""})},  // the empty name is dropped: no name field
      {save_class_type, fields({"one", "Swine"})},
      {save_class, fields({"none", "1"})},
      {save_class, fields({"none", "Cattle", "Heifers"})},
      {save_class, fields({"none", "1", "Heifers", "first", "253"})},
      {save_class, fields({"none", "1", "Heifers", "1234", huge_number()})},
      {save_class, fields({"none", "1", "Heifers", "1234", "", ""})},
      {save_class, fields({"x", "1", "Heifers"})},
      {delete_class_type, "x"},
      {delete_class, huge_number()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    EXPECT_TRUE(rejects_argument(c.command, c.argument));
  }
  EXPECT_EQ(contest_snapshot(), before);
}

TEST(ClassesClosedTest, NoneDeletesNeedNoContest) {
  EXPECT_EQ(delete_class_type("none"), "");
  EXPECT_EQ(delete_class("none"), "");
  EXPECT_THROW(fetch_classes(""), DatabaseNotOpen);
}

}  // namespace
