#include "store/database.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/test_support.h"

namespace {

TEST(SplitFields, Cases) {
  struct Case {
    std::string text;
    std::vector<std::string> fields;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"none\x1f" "A", {"none", "A"}},
      {"none\x1f" "A\x1f", {"none", "A"}},                // trailing separator adds nothing
      {"none\x1f" "A\x1f\x1f", {"none", "A", ""}},        // but a doubled one does
      {"\x1f" "b", {"", "b"}},
      {"\x1f", {""}},
      {"a:b\x1f" "c:d", {"a:b", "c:d"}},
  };
  for (const Case& c : cases) EXPECT_EQ(split_fields(c.text), c.fields) << c.text;
}

TEST(ReadInt, Cases) {
  struct Case {
    std::string text;
    int value;
  } good[] = {{"12x", 12}, {" 7", 7}, {"+3", 3}, {"-4", -4}, {"0", 0},
              {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"0012", 12}};
  for (const Case& c : good) EXPECT_EQ(read_int(c.text), c.value) << c.text;
  for (std::string bad : {"x", "", " ", "-", "+", "x12"})
    EXPECT_THROW(read_int(bad), std::invalid_argument) << bad;
  for (std::string big : {std::string("2147483648"), std::string("-2147483649"), std::string(300, '9')})
    EXPECT_THROW(read_int(big), std::out_of_range) << big;
}

TEST(FieldAt, MissingFieldIsOutOfRange) {
  std::vector<std::string> two = {"a", "b"};
  EXPECT_EQ(field_at(two, 1), "b");
  EXPECT_THROW(field_at(two, 2), std::out_of_range);
}

TEST(Database, EverythingRaisesWhileNoContestIsOpen) {
  close_database();
  EXPECT_THROW(Statement("SELECT 1;"), DatabaseNotOpen);
  EXPECT_THROW(Transaction(), DatabaseNotOpen);
}

TEST(Database, SecondOpenIsRefusedAndKeepsTheFirst) {
  OpenContest contest;
  TempDir other;
  EXPECT_FALSE(open_database(other.path() + "/other.db"));
  EXPECT_EQ(query_text("SELECT name FROM contest;"), "Test");
}

TEST(Database, FailedOpenLeavesNothingOpen) {
  close_database();
  EXPECT_FALSE(open_database("/nonexistent-folder/x/contest.db"));
  EXPECT_FALSE(contest_database().is_open());
}

TEST(Database, BadSqlRaisesPrepareFailure) {
  OpenContest contest;
  try {
    Statement("SELEC nonsense;");
    FAIL();
  } catch (const DatabaseFailure& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Failed to prepare statement: ", 0), 0u) << e.what();
  }
}

TEST(Database, ChangeAnswersEmptyOrTheConsistencyError) {
  OpenContest contest;
  Statement insert("INSERT INTO class_types (name) VALUES (?);");
  insert.bind_text(1, "Cattle");
  EXPECT_EQ(run_change(insert), "");
  EXPECT_EQ(insert.changes(), 1);
  Statement duplicate("INSERT INTO class_types (name) VALUES (?);");
  duplicate.bind_text(1, "Cattle");
  EXPECT_EQ(run_change(duplicate), kConsistencyError);
  Statement unbound("INSERT INTO class_types (name) VALUES (?);");  // NULL name
  EXPECT_EQ(run_change(unbound), kConsistencyError);
  Statement nothing("DELETE FROM class_types WHERE id = ?;");
  nothing.bind_int(1, 77);
  EXPECT_EQ(run_change(nothing), "");
  EXPECT_EQ(nothing.changes(), 0);
}

TEST(Database, ListingKeepsFieldCountWithNulls) {
  OpenContest contest;
  exec_sql("INSERT INTO divisions (name, team_size) VALUES ('Junior', 3);");
  exec_sql("INSERT INTO divisions (name) VALUES ('Open');");
  Statement list("SELECT * FROM divisions ORDER BY id;");
  EXPECT_EQ(run_listing(list, 4), fields({"1", "Junior", "3", "1000", "2", "Open", "", "2000"}));
  Statement empty("SELECT * FROM teams;");
  EXPECT_EQ(run_listing(empty, 6), "");
}

TEST(Database, ResetClearsBindings) {
  OpenContest contest;
  Statement select("SELECT ?;");
  select.bind_int(1, 5);
  ASSERT_EQ(select.step(), 100);
  EXPECT_EQ(select.column_text(0), "5");
  select.reset();
  ASSERT_EQ(select.step(), 100);
  EXPECT_TRUE(select.column_is_null(0));
  EXPECT_EQ(select.column_text(0), "");
}

TEST(Transaction, RollsBackUnlessCommitted) {
  OpenContest contest;
  try {
    Transaction transaction;
    exec_sql("INSERT INTO class_types (name) VALUES ('Swine');");
    throw std::runtime_error("leave early");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(query_text("SELECT COUNT(*) FROM class_types;"), "0");
  {
    Transaction transaction;
    exec_sql("INSERT INTO class_types (name) VALUES ('Sheep');");
    transaction.commit();
  }
  EXPECT_EQ(query_text("SELECT COUNT(*) FROM class_types;"), "1");
}

TEST(Transaction, SecondBeginRaises) {
  OpenContest contest;
  Transaction outer;
  EXPECT_THROW(Transaction(), DatabaseFailure);
}

TEST(Statement, MoveLeavesOneOwner) {
  OpenContest contest;
  Statement a("SELECT 7;");
  Statement b(std::move(a));
  ASSERT_EQ(b.step(), 100);
  EXPECT_EQ(b.column_int(0), 7);
  Statement c("SELECT 8;");
  c = std::move(b);
  c.reset();
  ASSERT_EQ(c.step(), 100);
  EXPECT_EQ(c.column_int(0), 7);
}

}  // namespace
