#include "store/contest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "store/database.h"
#include "tests/test_support.h"

namespace fs = std::filesystem;

namespace {

const char kAlreadyExists[] = "ERROR:This contest already exists on your desktop.";
const char kInvalidName[] = "ERROR:This is not a valid contest name.";
const char kCannotOpen[] = "ERROR:Critical failure, the database could not be opened.";
const char kNoName[] = "ERROR:Contest name could not be retrieved.";

// True when `sql` (one statement) completes on the open contest.
bool try_sql(const std::string& sql) {
  Statement statement(sql.c_str());
  try {
    statement.step();
    return true;
  } catch (const DatabaseFailure&) {
    return false;
  }
}

bool folder_is_empty(const fs::path& path) { return fs::is_empty(path); }

// A temporary desktop; the open dialog answers `chosen_file`.
class ContestFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string folder = desktop.path();
    set_contest_platform({[folder] { return folder; },
                          [this](const std::string& start) {
                            dialog_started_in = start;
                            return chosen_file;
                          }});
  }
  void TearDown() override { close_database(); }
  fs::path at(const std::string& relative) const { return fs::path(desktop.path()) / relative; }
  // Creates contest `name` and closes it again, leaving only its file.
  std::string make_closed_contest(const std::string& name) {
    EXPECT_EQ(create_contest(name), "");
    close_database();
    return (at(name) / "contest.db").string();
  }

  TempDir desktop;
  std::string chosen_file;
  std::string dialog_started_in;
};

TEST_F(ContestFilesTest, CreateMakesTheFolderAndAnOpenDatabase) {
  EXPECT_EQ(create_contest("County Fair"), "");
  EXPECT_TRUE(contest_database().is_open());
  EXPECT_TRUE(fs::is_regular_file(at("County Fair/contest.db")));
  EXPECT_EQ(query_text("SELECT name FROM contest;"), "County Fair");
}

TEST_F(ContestFilesTest, NamesWithSeparatorsMakeNestedFoldersAndAreKeptAsTyped) {
  EXPECT_EQ(create_contest("2024/Spring Show é"), "");
  EXPECT_TRUE(fs::is_regular_file(at("2024/Spring Show é/contest.db")));
  EXPECT_EQ(query_text("SELECT name FROM contest;"), "2024/Spring Show é");
}

TEST_F(ContestFilesTest, ExistingPathsAndBadNamesCreateNothing) {
  fs::create_directory(at("Taken Folder"));
  std::ofstream(at("Taken File")) << "notes";
  const struct {
    std::string name;
    const char* result;
  } cases[] = {
      {"Taken Folder", kAlreadyExists},
      {"Taken File", kAlreadyExists},
      {"", kAlreadyExists},  // the desktop itself
      {"/abs", kInvalidName},
      {"../x", kInvalidName},
      {"..", kInvalidName},
      {".", kInvalidName},
      {"a/./b", kInvalidName},
      {"a/../b", kInvalidName},
      {"line\nbreak", kInvalidName},
      {"tab\tname", kInvalidName},
      {std::string("nul\0byte", 8), kInvalidName},
      {"del\x7f", kInvalidName},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(create_contest(c.name), c.result);
    EXPECT_FALSE(contest_database().is_open());
  }
  // Only the two entries made above remain, untouched.
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(desktop.path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 2);
  EXPECT_TRUE(folder_is_empty(at("Taken Folder")));
  EXPECT_EQ(fs::file_size(at("Taken File")), 5u);
  EXPECT_FALSE(fs::exists("/abs"));
}

TEST_F(ContestFilesTest, ASecondCreateLeavesAnEmptyFolderAndTheFirstContestOpen) {
  ASSERT_EQ(create_contest("First"), "");
  EXPECT_EQ(create_contest("Second"), kCannotOpen);
  EXPECT_TRUE(fs::is_directory(at("Second")));
  EXPECT_TRUE(folder_is_empty(at("Second")));
  EXPECT_EQ(create_contest("Second"), kAlreadyExists);
  EXPECT_EQ(query_text("SELECT name FROM contest;"), "First");
}

TEST_F(ContestFilesTest, SchemaIsWalWithSevenStrictTablesAndEightTriggersBesideTheCardLog) {
  ASSERT_EQ(create_contest("Show"), "");
  EXPECT_EQ(query_text("PRAGMA journal_mode;"), "wal");
  EXPECT_EQ(query_text("PRAGMA foreign_keys;"), "1");
  EXPECT_EQ(query_text("PRAGMA busy_timeout;"), "5000");
  EXPECT_EQ(query_text("SELECT group_concat(name, ',') FROM (SELECT name FROM pragma_table_list "
                       "WHERE schema = 'main' AND strict = 1 ORDER BY name);"),
            "card_log,class_types,classes,contest,contestants,divisions,placings,teams");
  EXPECT_EQ(query_text("SELECT COUNT(*) FROM pragma_table_list WHERE schema = 'main' AND "
                       "type = 'table' AND name NOT LIKE 'sqlite_%';"),
            "8");
  EXPECT_EQ(query_text("SELECT group_concat(name, ',') FROM (SELECT name FROM sqlite_schema "
                       "WHERE type = 'trigger' ORDER BY name);"),
            "check_contestant_number_limit,check_team_number_limit,set_contestant_number,"
            "set_division_number,set_team_number,validate_division_team_size,"
            "validate_team_requires_size,validate_team_requires_size_update");
  EXPECT_EQ(query_text("SELECT id || '|' || name || '|' || scored_at FROM contest;"),
            "1|Show|2020-01-01 00:00:00");
  EXPECT_FALSE(try_sql("INSERT INTO contest (name, scored_at) VALUES ('Two', 'x');"));
  EXPECT_FALSE(try_sql("INSERT INTO contest (id, name, scored_at) VALUES (2, 'Two', 'x');"));
  // STRICT: an INTEGER column takes no text.
  EXPECT_FALSE(try_sql("INSERT INTO divisions (name, team_size) VALUES ('Junior', 'three');"));
}

TEST_F(ContestFilesTest, OpenReturnsTheStoredNameAndSetsTheConnectionUp) {
  chosen_file = make_closed_contest("None of Them");
  EXPECT_EQ(open_contest("ignored"), "None of Them");
  EXPECT_EQ(dialog_started_in, desktop.path());
  EXPECT_TRUE(contest_database().is_open());
  EXPECT_EQ(query_text("PRAGMA foreign_keys;"), "1");
  EXPECT_EQ(query_text("PRAGMA busy_timeout;"), "5000");
  EXPECT_EQ(query_text("PRAGMA synchronous;"), "1");  // NORMAL
  EXPECT_EQ(query_text("PRAGMA journal_mode;"), "wal");
  // Cancelling answers "None" and keeps the open contest; another file is refused.
  std::string other = (at("Other") / "contest.db").string();
  chosen_file = "";
  EXPECT_EQ(open_contest(""), "None");
  chosen_file = other;
  EXPECT_EQ(open_contest(""), kCannotOpen);
  EXPECT_EQ(query_text("SELECT name FROM contest;"), "None of Them");
}

TEST_F(ContestFilesTest, CancelWithNothingOpenAnswersNone) {
  EXPECT_EQ(open_contest(""), "None");
  EXPECT_FALSE(contest_database().is_open());
}

TEST_F(ContestFilesTest, FilesThatAreNoUsableContestAreClosedAgain) {
  std::string empty_contest = make_closed_contest("Emptied");
  ASSERT_TRUE(open_database(empty_contest));
  exec_sql("DELETE FROM contest;");
  close_database();
  std::string text_file = at("notes.db").string();
  std::ofstream(text_file) << std::string(4096, 'x');
  std::string foreign_db = at("foreign.db").string();
  ASSERT_TRUE(open_database(foreign_db));
  exec_sql("CREATE TABLE things (id INTEGER);");
  close_database();
  const struct {
    std::string file;
    const char* result;  // nullptr: any "ERROR:" text
  } cases[] = {
      {empty_contest, kNoName},
      {text_file, nullptr},
      {foreign_db, nullptr},
      {at("missing/contest.db").string(), kCannotOpen},
      {desktop.path(), kCannotOpen},  // a folder
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    chosen_file = c.file;
    std::string result = open_contest("");
    if (c.result)
      EXPECT_EQ(result, c.result);
    else
      EXPECT_EQ(result.rfind("ERROR:", 0), 0u) << result;
    EXPECT_FALSE(contest_database().is_open());
  }
  EXPECT_FALSE(fs::exists(at("missing")));
  // Nothing was left open, so the organiser can go on at once.
  EXPECT_EQ(create_contest("Fresh"), "");
}

// The numbering rules live in the schema's triggers; exercised here with
// plain SQL so that they hold whichever command writes the rows.
class SchemaNumberingTest : public ::testing::Test {
 protected:
  void add_division(const std::string& name) {
    exec_sql("INSERT INTO divisions (name) VALUES ('" + name + "');");
  }
  bool add_team(int division, const std::string& name) {
    return try_sql("INSERT INTO teams (division_no, name, type) VALUES (" +
                   std::to_string(division) + ", '" + name + "', 'Indiv');");
  }
  bool add_contestant(int team, const std::string& name) {
    return try_sql("INSERT INTO contestants (team_no, name) VALUES (" + std::to_string(team) +
                   ", '" + name + "');");
  }
  std::string numbers(const std::string& table) {
    return query_text("SELECT group_concat(number, ',') FROM (SELECT number FROM " + table +
                      " ORDER BY id);");
  }
  OpenContest contest;
};

TEST_F(SchemaNumberingTest, FirstNumbersOfEachLevel) {
  add_division("Junior");
  add_division("Senior");
  ASSERT_TRUE(add_team(1000, "Red"));
  ASSERT_TRUE(add_team(1000, "Gold"));
  ASSERT_TRUE(add_team(2000, "Red"));
  ASSERT_TRUE(add_contestant(1010, "Ann"));
  ASSERT_TRUE(add_contestant(2010, "Bo"));
  EXPECT_EQ(numbers("divisions"), "1000,2000");
  EXPECT_EQ(numbers("teams"), "1010,1020,2010");
  EXPECT_EQ(numbers("contestants"), "1011,2011");
}

TEST_F(SchemaNumberingTest, OnlyTheLargestNumberIsReused) {
  add_division("Junior");
  for (const char* name : {"A", "B", "C"}) ASSERT_TRUE(add_team(1000, name));
  exec_sql("DELETE FROM teams WHERE number = 1020;");
  ASSERT_TRUE(add_team(1000, "D"));
  exec_sql("DELETE FROM teams WHERE number = 1040;");
  ASSERT_TRUE(add_team(1000, "E"));
  EXPECT_EQ(numbers("teams"), "1010,1030,1040");
  for (const char* name : {"Ann", "Bo", "Cy"}) ASSERT_TRUE(add_contestant(1010, name));
  exec_sql("DELETE FROM contestants WHERE number = 1013;");
  ASSERT_TRUE(add_contestant(1010, "Di"));
  exec_sql("DELETE FROM contestants WHERE number = 1012;");
  ASSERT_TRUE(add_contestant(1010, "Ed"));
  EXPECT_EQ(numbers("contestants"), "1011,1013,1014");
  add_division("Senior");
  add_division("Youth");
  exec_sql("DELETE FROM divisions WHERE number = 3000;");
  add_division("Open");
  EXPECT_EQ(numbers("divisions"), "1000,2000,3000");
}

TEST_F(SchemaNumberingTest, NineDivisionsAtMostEvenAfterDeletes) {
  for (int i = 1; i <= 9; ++i) add_division("D" + std::to_string(i));
  EXPECT_EQ(query_text("SELECT MAX(number) FROM divisions;"), "9000");
  EXPECT_FALSE(try_sql("INSERT INTO divisions (name) VALUES ('D10');"));
  exec_sql("DELETE FROM divisions WHERE number = 5000;");
  EXPECT_FALSE(try_sql("INSERT INTO divisions (name) VALUES ('D10');"));
  EXPECT_EQ(query_text("SELECT COUNT(*) FROM divisions;"), "8");
}

TEST_F(SchemaNumberingTest, NinetyNineTeamsADivisionAtMostEvenAfterDeletes) {
  add_division("Junior");
  add_division("Senior");
  for (int i = 1; i <= 99; ++i) ASSERT_TRUE(add_team(1000, "T" + std::to_string(i)));
  EXPECT_EQ(query_text("SELECT MAX(number) FROM teams;"), "1990");
  EXPECT_FALSE(add_team(1000, "T100"));
  exec_sql("DELETE FROM teams WHERE number = 1500;");
  EXPECT_FALSE(add_team(1000, "T100"));
  EXPECT_TRUE(add_team(2000, "T100"));  // the limit is per division
  EXPECT_EQ(query_text("SELECT COUNT(*) FROM teams;"), "99");
}

TEST_F(SchemaNumberingTest, NineContestantsATeamAtMost) {
  add_division("Junior");
  ASSERT_TRUE(add_team(1000, "Red"));
  ASSERT_TRUE(add_team(1000, "Gold"));
  for (int i = 1; i <= 9; ++i) ASSERT_TRUE(add_contestant(1010, "C" + std::to_string(i)));
  EXPECT_EQ(query_text("SELECT MAX(number) FROM contestants;"), "1019");
  EXPECT_FALSE(add_contestant(1010, "C10"));
  exec_sql("DELETE FROM contestants WHERE number = 1015;");
  EXPECT_FALSE(add_contestant(1010, "C10"));
  EXPECT_TRUE(add_contestant(1020, "C10"));
  EXPECT_EQ(query_text("SELECT number FROM contestants WHERE name = 'C10';"), "1021");
}

TEST_F(SchemaNumberingTest, TeamTypeTeamNeedsADivisionTeamSize) {
  add_division("Open");
  exec_sql("INSERT INTO divisions (name, team_size) VALUES ('Junior', 3);");
  EXPECT_FALSE(try_sql("INSERT INTO teams (division_no, name, type) VALUES (1000, 'A', 'Team');"));
  EXPECT_FALSE(try_sql("INSERT INTO teams (division_no, name, type) VALUES (3000, 'A', 'Team');"));
  ASSERT_TRUE(try_sql("INSERT INTO teams (division_no, name, type) VALUES (1000, 'A', 'Indiv');"));
  EXPECT_FALSE(try_sql("UPDATE teams SET type = 'Team' WHERE number = 1010;"));
  ASSERT_TRUE(try_sql("INSERT INTO teams (division_no, name, type) VALUES (2000, 'B', 'Team');"));
  EXPECT_FALSE(try_sql("UPDATE divisions SET team_size = NULL WHERE number = 2000;"));
  EXPECT_TRUE(try_sql("UPDATE divisions SET team_size = 4 WHERE number = 2000;"));
}

}  // namespace
