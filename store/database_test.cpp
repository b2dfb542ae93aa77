#include "store/database.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "store/contest.h"
#include "tests/test_support.h"

namespace fs = std::filesystem;

namespace {

using Kind = DatabaseFailure::Kind;

// The kind of failure stepping `statement` raises; fails the test when the
// step does not raise.
Kind failure_of(Statement& statement) {
  try {
    statement.step();
  } catch (const DatabaseFailure& failure) {
    return failure.kind();
  }
  ADD_FAILURE() << "the step did not fail";
  return Kind::kFailed;
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
  Statement list("SELECT id, name, team_size, number FROM divisions ORDER BY id;");
  EXPECT_EQ(run_listing(list), fields({"1", "Junior", "3", "1000", "2", "Open", "", "2000"}));
  Statement empty("SELECT id, name FROM teams;");
  EXPECT_EQ(run_listing(empty), "");
}

// A listing that fails part-way must not pass off the rows read so far as
// the whole answer.
TEST(Database, ListingThatFailsRaises) {
  OpenContest contest;
  Statement failing(
      "WITH RECURSIVE n(v) AS (SELECT 1 UNION ALL SELECT v + 1 FROM n WHERE v < 5) "
      "SELECT CASE WHEN v < 3 THEN v ELSE abs(-9223372036854775807 - 1) END FROM n;");
  EXPECT_THROW(run_listing(failing), DatabaseFailure);
}

TEST(Statement, StepSaysRowOrDone) {
  OpenContest contest;
  Statement two("SELECT 1 UNION ALL SELECT 2;");
  EXPECT_TRUE(two.step());
  EXPECT_EQ(two.column_count(), 1);
  EXPECT_EQ(two.column_int(0), 1);
  EXPECT_TRUE(two.step());
  EXPECT_FALSE(two.step());
  Statement insert("INSERT INTO class_types (name) VALUES ('Beef');");
  EXPECT_FALSE(insert.step());
  EXPECT_EQ(insert.changes(), 1);
}

// The kind decides between the two answers of a change, so each engine
// failure must land in the right one.
TEST(Statement, FailuresRaiseWithTheirKind) {
  OpenContest contest;
  exec_sql("INSERT INTO class_types (name) VALUES ('Beef');");
  exec_sql("INSERT INTO divisions (name) VALUES ('Open');");
  Statement duplicate("INSERT INTO class_types (name) VALUES ('Beef');");
  EXPECT_EQ(failure_of(duplicate), Kind::kRefused);
  // Rewound after the failure: stepping again tries again.
  EXPECT_EQ(failure_of(duplicate), Kind::kRefused);
  Statement trigger("INSERT INTO teams (division_no, name, type) VALUES (1000, 'Red', 'Team');");
  EXPECT_EQ(failure_of(trigger), Kind::kRefused);
  EXPECT_EQ(run_change(trigger), kConsistencyError);
  // The engine refusing to write the file, as on a read-only one.
  exec_sql("PRAGMA query_only = ON;");
  Statement insert("INSERT INTO class_types (name) VALUES ('Swine');");
  EXPECT_EQ(failure_of(insert), Kind::kNotWritten);
  EXPECT_EQ(run_change(insert), kWriteError);
  exec_sql("PRAGMA query_only = OFF;");
  EXPECT_EQ(run_change(insert), "");
  EXPECT_EQ(query_text("SELECT group_concat(name) FROM class_types;"), "Beef,Swine");
}

TEST(Database, OwnConnectionClosesWhenItGoes) {
  TempDir folder;
  const std::string path = folder.path() + "/own.db";
  {
    ContestDatabase database;
    ASSERT_TRUE(database.open(path));
    Statement journal(database, "PRAGMA journal_mode = WAL;");
    ASSERT_TRUE(journal.step());
    EXPECT_EQ(journal.column_text(0), "wal");
    journal.reset();
    Statement create(database, "CREATE TABLE t (x);");
    EXPECT_FALSE(create.step());
    EXPECT_TRUE(fs::exists(path + "-wal"));
  }
  // The last connection to a file folds its journal back in on closing.
  EXPECT_FALSE(fs::exists(path + "-wal"));
  EXPECT_EQ(check_integrity(path), "ok");
}

TEST(Database, IntegrityCheckNeedsARealContestFile) {
  OpenContest contest;
  const std::string db = contest.folder() + "/contest.db";
  EXPECT_EQ(check_integrity(db), "ok");
  const std::string missing = contest.folder() + "/missing.db";
  EXPECT_EQ(check_integrity(missing), "could not check");
  EXPECT_FALSE(fs::exists(missing));
  const std::string text = contest.folder() + "/notes.db";
  std::ofstream(text) << std::string(4096, 'x');
  EXPECT_EQ(check_integrity(text), "could not check");
}

TEST(Database, ResetClearsBindings) {
  OpenContest contest;
  Statement select("SELECT ?;");
  select.bind_int(1, 5);
  ASSERT_TRUE(select.step());
  EXPECT_EQ(select.column_text(0), "5");
  select.reset();
  ASSERT_TRUE(select.step());
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

// A COMMIT that fails must neither report success nor leave the
// transaction open for later changes to join and never reach the file.
TEST(Transaction, FailedCommitRaisesRollsBackAndLeavesTheConnectionReady) {
  OpenContest contest;
  {
    Transaction transaction;
    // Checked only at COMMIT: a team of a division that does not exist.
    exec_sql("PRAGMA defer_foreign_keys = ON;");
    exec_sql("INSERT INTO teams (division_no, name, type) VALUES (9000, 'Orphans', 'Indiv');");
    try {
      transaction.commit();
      ADD_FAILURE() << "the commit did not fail";
    } catch (const DatabaseFailure& failure) {
      EXPECT_EQ(failure.kind(), Kind::kNotWritten);
    }
  }
  EXPECT_EQ(query_text("SELECT COUNT(*) FROM teams;"), "0");
  { Transaction next; }  // a new one can begin: none is left open
  exec_sql("INSERT INTO class_types (name) VALUES ('Beef');");
  close_database();
  ASSERT_TRUE(open_database(contest.folder() + "/contest.db"));
  EXPECT_EQ(query_text("SELECT name FROM class_types;"), "Beef");
  EXPECT_EQ(query_text("SELECT COUNT(*) FROM teams;"), "0");
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
  ASSERT_TRUE(b.step());
  EXPECT_EQ(b.column_int(0), 7);
  Statement c("SELECT 8;");
  c = std::move(b);
  c.reset();
  ASSERT_TRUE(c.step());
  EXPECT_EQ(c.column_int(0), 7);
}

// A kept statement comes back reset and unbound: a parameter the new user
// does not bind is NULL, not the last user's value.
TEST(StatementCache, KeptStatementComesBackUnbound) {
  OpenContest contest;
  const char kEcho[] = "SELECT ?;";
  {
    Statement first(kEcho);
    first.bind_int(1, 5);
    ASSERT_TRUE(first.step());
  }
  const size_t kept = contest_database().cached_statement_count();
  Statement again(kEcho);
  ASSERT_TRUE(again.step());
  EXPECT_TRUE(again.column_is_null(0));
  EXPECT_EQ(contest_database().cached_statement_count(), kept - 1);  // taken, not copied
}

TEST(StatementCache, TwoStatementsOfOneSqlAreIndependent) {
  OpenContest contest;
  const char kEcho[] = "SELECT ?;";
  { Statement warm(kEcho); }
  Statement a(kEcho), b(kEcho);
  a.bind_int(1, 1);
  b.bind_int(1, 2);
  ASSERT_TRUE(a.step());
  ASSERT_TRUE(b.step());
  EXPECT_EQ(a.column_int(0), 1);
  EXPECT_EQ(b.column_int(0), 2);
}

// A statement given back in the middle of its rows must not keep the read
// open: the next query on the connection would see the file as it was then.
TEST(StatementCache, StatementLeftMidRowsDoesNotPinAnOldSnapshot) {
  OpenContest contest;
  exec_sql("INSERT INTO class_types (name) VALUES ('Beef'), ('Swine');");
  const char kNames[] = "SELECT name FROM class_types ORDER BY id;";
  {
    Statement names(kNames);
    ASSERT_TRUE(names.step());  // one row of two read, then dropped
  }
  ContestDatabase other;
  ASSERT_TRUE(other.open(contest.folder() + "/contest.db"));
  Statement insert(other, "INSERT INTO class_types (name) VALUES ('Sheep');");
  EXPECT_FALSE(insert.step());
  Statement count("SELECT COUNT(*) FROM class_types;");
  ASSERT_TRUE(count.step());
  EXPECT_EQ(count.column_int(0), 3);
}

// A statement still alive when its connection closes belongs to that file:
// it must not be handed out on the next contest opened.
TEST(StatementCache, StatementFromAClosedConnectionIsNotKeptForTheNext) {
  TempDir desktop;
  set_contest_platform({[&] { return desktop.path(); }, [](const std::string&) { return ""; }});
  const char kName[] = "SELECT name FROM contest;";
  ASSERT_EQ(create_contest("First"), "");
  {
    Statement outlives(kName);
    ASSERT_TRUE(outlives.step());
    close_database();
    ASSERT_EQ(create_contest("Second"), "");
  }
  EXPECT_EQ(query_text(kName), "Second");
  close_database();
}

TEST(StatementCache, KeepsAtMostItsSize) {
  OpenContest contest;
  const size_t many = ContestDatabase::kStatementCacheSize + 20;
  for (size_t i = 0; i < many; ++i) query_text("SELECT " + std::to_string(i) + ";");
  EXPECT_EQ(contest_database().cached_statement_count(), ContestDatabase::kStatementCacheSize);
  // The newest were kept and still answer right.
  EXPECT_EQ(query_text("SELECT " + std::to_string(many - 1) + ";"), std::to_string(many - 1));
  close_database();
  EXPECT_EQ(contest_database().cached_statement_count(), 0u);
}

}  // namespace
