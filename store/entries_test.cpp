#include "store/entries.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

TEST(EntriesTest, OptionalTrailingFieldCountsOnlyAtTheExactCount) {
  const struct {
    std::vector<std::string> fields;
    std::optional<int> number;
  } cases[] = {
      {{"none", "Junior", "3"}, 3},
      {{"none", "Junior"}, std::nullopt},                  // blank size, dropped on arrival
      {{"none", "Junior", "3", "extra"}, std::nullopt},    // too many: not the size either
      {{"none", "Junior", " 4x"}, 4},                      // read_int's leniency
  };
  for (const auto& c : cases) {
    EXPECT_EQ(optional_int_field(c.fields, 3), c.number);
    EXPECT_EQ(optional_text_field(c.fields, 3).has_value(), c.number.has_value());
  }
  EXPECT_EQ(optional_text_field({"none", "1000", "Red", "Team", ""}, 5), std::string());
  EXPECT_THROW(optional_int_field({"none", "Junior", "three"}, 3), std::invalid_argument);
  EXPECT_THROW(optional_int_field({"none", "Junior", "99999999999"}, 3), std::out_of_range);
}

TEST(EntriesTest, OptionalValuesBindAsNullWhenAbsent) {
  OpenContest contest;
  Statement select("SELECT quote(?), quote(?), quote(?), quote(?);");
  bind_optional_int(select, 1, 7);
  bind_optional_int(select, 2, std::nullopt);
  bind_optional_text(select, 3, std::string("Kim"));
  bind_optional_text(select, 4, std::nullopt);
  ASSERT_TRUE(select.step());
  EXPECT_EQ(select.column_text(0), "7");
  EXPECT_EQ(select.column_text(1), "NULL");
  EXPECT_EQ(select.column_text(2), "'Kim'");
  EXPECT_EQ(select.column_text(3), "NULL");
}

TEST(EntriesTest, DeleteEntryOfNoneTouchesNothingElseReadsTheNumber) {
  EXPECT_EQ(delete_entry("DELETE FROM divisions WHERE number = ?;", "none"), "");
  EXPECT_THROW(delete_entry("DELETE FROM divisions WHERE number = ?;", "1000"), DatabaseNotOpen);
  OpenContest contest;
  exec_sql("INSERT INTO divisions (name) VALUES ('Junior');");
  // Only the exact marker counts as "none".
  EXPECT_THROW(delete_entry("DELETE FROM divisions WHERE number = ?;", "None"),
               std::invalid_argument);
  EXPECT_EQ(delete_entry("DELETE FROM divisions WHERE number = ?;", "2000"), "");
  EXPECT_EQ(query_text("SELECT COUNT(*) FROM divisions;"), "1");
  EXPECT_EQ(delete_entry("DELETE FROM divisions WHERE number = ?;", "1000"), "");
  EXPECT_EQ(query_text("SELECT COUNT(*) FROM divisions;"), "0");
}

}  // namespace
