#include "scoring/results_export.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/bridge.h"
#include "app/command_table.h"
#include "scoring/rankings.h"
#include "scoring/score_sheets.h"
#include "scoring/scoring_pass.h"
#include "scoring/test_contest.h"
#include "store/database.h"
#include "tests/test_support.h"

namespace fs = std::filesystem;

namespace {

using namespace test_contest;
using Rows = std::vector<std::vector<std::string>>;

const char kBom[] = "\xEF\xBB\xBF";
const char* const kFiles[] = {"individual-scores.csv", "individual-rankings.csv",
                              "team-rankings.csv", "score-sheets.csv"};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A strict reader of what the export must write: a byte order mark, then
// records ended by CRLF; fields quoted where needed. A bare CR or LF outside
// quotes, or a stray quote, makes it fail the test.
Rows parse_csv(const std::string& document) {
  Rows rows;
  if (document.compare(0, 3, kBom) != 0) {
    ADD_FAILURE() << "no byte order mark";
    return rows;
  }
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  for (size_t i = 3; i < document.size(); ++i) {
    const char c = document[i];
    if (quoted) {
      if (c != '"') field += c;
      else if (i + 1 < document.size() && document[i + 1] == '"') field += '"', ++i;
      else quoted = false;
    } else if (c == '"' && field.empty()) {
      quoted = true;
    } else if (c == ',') {
      row.push_back(field), field.clear();
    } else if (c == '\r' && i + 1 < document.size() && document[i + 1] == '\n') {
      row.push_back(field), field.clear();
      rows.push_back(row), row.clear();
      ++i;
    } else if (c == '\r' || c == '\n' || c == '"') {
      ADD_FAILURE() << "stray character " << int(c) << " at byte " << i;
      return rows;
    } else {
      field += c;
    }
  }
  EXPECT_TRUE(row.empty() && field.empty() && !quoted) << "last record not ended by CRLF";
  return rows;
}

Rows listing_rows(const std::string& listing, size_t width) {
  const std::vector<std::string> all = split_listing(listing);
  Rows rows;
  for (size_t i = 0; i + width <= all.size(); i += width)
    rows.emplace_back(all.begin() + i, all.begin() + i + width);
  return rows;
}

std::vector<std::string> names_in(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Names a spreadsheet must get back exactly: a comma, quotes, a line break,
// and letters outside ASCII.
class ResultsExport : public ::testing::Test {
 protected:
  void SetUp() override {
    const int senior = add_division("Senior", 2);
    const int junior = add_division("Junior, Under 14", 2);
    const int north = add_team(senior, "North \"A\"", "Team", "Kim, Lee");
    const int south = add_team(senior, "South", "Team", "");
    const int kids = add_team(junior, "Kids", "Indiv");
    lee = add_contestant(north, "Lee, Ann");
    bo = add_contestant(north, "Bo \"Red\" Ng");
    two = add_contestant(south, "Two\nLines");
    zoe = add_contestant(south, "Zoë Ångström");
    kit = add_contestant(kids, "Kit");
    const int beef = add_class_type("Beef"), sheep = add_class_type("Sheep");
    const int b1 = add_class(beef, "Heifers, Angus", 1234, 253);
    const int s1 = add_class(sheep, "Ewes", 3142, 412);
    const int open = add_class(sheep, "Unjudged", std::nullopt, std::nullopt);
    add_placing(b1, lee, 1234, 45);
    add_placing(b1, bo, 2134, 40);
    add_placing(b1, two, 4321);
    add_placing(b1, zoe, 1243, 38);
    add_placing(s1, lee, 1342, 30);
    add_placing(s1, zoe, 3142, 44);
    add_placing(s1, kit, 0);
    add_placing(open, bo, 1234);
  }

  std::string results() const { return contest.folder() + "/Results"; }

  OpenContest contest;
  int lee = 0, bo = 0, two = 0, zoe = 0, kit = 0;
};

TEST_F(ResultsExport, WritesFourDocumentsBesideTheContestFile) {
  EXPECT_EQ(export_results(""), results());
  EXPECT_EQ(names_in(results()), (std::vector<std::string>{"individual-rankings.csv",
                                                           "individual-scores.csv",
                                                           "score-sheets.csv",
                                                           "team-rankings.csv"}));
  const std::vector<std::string> headers[] = {
      {"Contestant", "Cont. No.", "Class", "Class No.", "Placing", "Placing Score",
       "Reasons Score", "Total Score"},
      {"Division", "Category", "Rank", "Score", "Contestant", "Team"},
      {"Division", "Category", "Rank", "Score", "Team", "Coach"},
      {"Division", "Team", "Contestant", "Cont. No.", "Class No.", "Class", "Class Type",
       "Official", "Cuts", "Placing", "Placing Score", "Reasons", "Total"},
  };
  const std::string listings[] = {fetch_indiv_scores(""), fetch_indiv_rankings(""),
                                  fetch_team_rankings(""), fetch_score_sheets("")};
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(kFiles[i]);
    Rows rows = parse_csv(read_file(fs::path(results()) / kFiles[i]));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), headers[i]);
    rows.erase(rows.begin());
    EXPECT_EQ(rows, listing_rows(listings[i], headers[i].size()));
    EXPECT_FALSE(rows.empty());
  }
}

TEST_F(ResultsExport, NamesSurviveQuotingAndScoreSheetRowsCarryEverything) {
  ASSERT_EQ(export_results(""), results());
  const std::string sheets = read_file(fs::path(results()) / "score-sheets.csv");
  EXPECT_NE(sheets.find("\"Lee, Ann\""), std::string::npos);
  EXPECT_NE(sheets.find("\"Bo \"\"Red\"\" Ng\""), std::string::npos);
  EXPECT_NE(sheets.find("\"Two\nLines\""), std::string::npos);
  EXPECT_NE(sheets.find("Zoë Ångström"), std::string::npos);
  Rows rows = parse_csv(sheets);
  rows.erase(rows.begin());
  // Division order, then contestant number, then class type and class id; a
  // class without an official result has empty scores.
  const Rows expected = {
      {"Senior", "North \"A\"", "Lee, Ann", std::to_string(lee), "1", "Heifers, Angus", "Beef",
       "1234", "253", "1234", "50", "45", "95"},
      {"Senior", "North \"A\"", "Lee, Ann", std::to_string(lee), "2", "Ewes", "Sheep", "3142",
       "412", "1342", "46", "30", "76"},
      {"Senior", "North \"A\"", "Bo \"Red\" Ng", std::to_string(bo), "1", "Heifers, Angus",
       "Beef", "1234", "253", "2134", "48", "40", "88"},
      {"Senior", "North \"A\"", "Bo \"Red\" Ng", std::to_string(bo), "3", "Unjudged", "Sheep",
       "", "", "1234", "", "", ""},
      {"Senior", "South", "Two\nLines", std::to_string(two), "1", "Heifers, Angus", "Beef",
       "1234", "253", "4321", "15", "", "15"},
      {"Senior", "South", "Zoë Ångström", std::to_string(zoe), "1", "Heifers, Angus", "Beef",
       "1234", "253", "1243", "47", "38", "85"},
      {"Senior", "South", "Zoë Ångström", std::to_string(zoe), "2", "Ewes", "Sheep", "3142",
       "412", "3142", "50", "44", "94"},
      {"Junior, Under 14", "Kids", "Kit", std::to_string(kit), "2", "Ewes", "Sheep", "3142",
       "412", "0", "0", "", "0"},
  };
  EXPECT_EQ(rows, expected);
  const Rows teams = parse_csv(read_file(fs::path(results()) / "team-rankings.csv"));
  EXPECT_EQ(teams[1][5], "Kim, Lee");
}

TEST_F(ResultsExport, ExportingAgainReplacesTheFiles) {
  ASSERT_EQ(export_results(""), results());
  exec_sql("UPDATE contestants SET name = 'Renamed' WHERE name = 'Kit';");
  ASSERT_EQ(export_results(""), results());
  const std::string sheets = read_file(fs::path(results()) / "score-sheets.csv");
  EXPECT_NE(sheets.find("Renamed"), std::string::npos);
  EXPECT_EQ(sheets.find("Kit,"), std::string::npos);
  EXPECT_EQ(names_in(results()).size(), 4u);
}

// Mounts a tmpfs over `path` for one test; unmounted again at the end.
class TmpfsMount {
 public:
  TmpfsMount(const std::string& path, const char* options) : path_(path) {
    fs::create_directories(path);
    mounted_ = mount("tmpfs", path.c_str(), "tmpfs", 0, options) == 0;
  }
  ~TmpfsMount() {
    if (mounted_) umount2(path_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  bool make_read_only() {
    return mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::string path_;
  bool mounted_ = false;
};

void write_file(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The earlier export stays whole and no partial file is left behind.
void expect_untouched(const std::string& folder, const std::string& answer) {
  EXPECT_EQ(answer.rfind("ERROR:The results could not be written.", 0), 0u) << answer;
  EXPECT_NE(answer.find(folder), std::string::npos) << answer;
  EXPECT_EQ(names_in(folder), std::vector<std::string>{"individual-scores.csv"});
  EXPECT_EQ(read_file(fs::path(folder) / "individual-scores.csv"), "earlier export");
}

TEST_F(ResultsExport, AReadOnlyFolderIsRefusedAndLeftAsItWas) {
  TmpfsMount folder(results(), "size=1m");
  if (!folder.mounted()) GTEST_SKIP() << "needs permission to mount a tmpfs";
  write_file(fs::path(results()) / "individual-scores.csv", "earlier export");
  ASSERT_TRUE(folder.make_read_only());
  expect_untouched(results(), export_results(""));
}

TEST_F(ResultsExport, AFullDiskIsRefusedAndLeavesNoPartialFile) {
  // Enough rows that the documents outgrow the space left after the
  // earlier file's one page.
  const int type = add_class_type("Dairy");
  for (int i = 0; i < 60; ++i) {
    const int cls = add_class(type, "Dairy class with a long name " + std::to_string(i), 1234, 253);
    for (int contestant : {lee, bo, two, zoe, kit}) add_placing(cls, contestant, 2143, 40);
  }
  TmpfsMount folder(results(), "size=16k");
  if (!folder.mounted()) GTEST_SKIP() << "needs permission to mount a tmpfs";
  write_file(fs::path(results()) / "individual-scores.csv", "earlier export");
  expect_untouched(results(), export_results(""));
}

TEST_F(ResultsExport, AFileInThePlaceOfTheFolderIsRefused) {
  write_file(results(), "not a folder");
  const std::string answer = export_results("");
  EXPECT_EQ(answer.rfind("ERROR:The results could not be written.", 0), 0u) << answer;
  EXPECT_EQ(read_file(results()), "not a folder");
}

TEST_F(ResultsExport, OpenFolderUsesTheInstalledOpenerOnceThereAreResults) {
  std::vector<std::string> opened;
  bool succeeds = true;
  set_folder_opener(nullptr);
  EXPECT_EQ(open_results_folder(""),
            "ERROR:There are no exported results yet. Click Export CSV first.");
  ASSERT_EQ(export_results(""), results());
  EXPECT_EQ(open_results_folder(""),
            "ERROR:Folders can be opened only from the application window. The results are in " +
                results() + ".");
  set_folder_opener([&](const std::string& folder) {
    opened.push_back(folder);
    return succeeds;
  });
  EXPECT_EQ(open_results_folder(""), results());
  succeeds = false;
  EXPECT_EQ(open_results_folder(""),
            "ERROR:The folder could not be opened. The results are in " + results() + ".");
  EXPECT_EQ(opened, (std::vector<std::string>{results(), results()}));
  set_folder_opener(nullptr);
}

TEST(ResultsExportEmpty, AContestWithoutPlacingsGivesHeaderLinesOnly) {
  OpenContest contest;
  const std::string folder = contest.folder() + "/Results";
  ASSERT_EQ(export_results(""), folder);
  for (const char* name : kFiles) {
    const Rows rows = parse_csv(read_file(fs::path(folder) / name));
    EXPECT_EQ(rows.size(), 1u) << name;
  }
}

TEST(ResultsExportWithoutContest, AnswersThatNoContestIsOpen) {
  CommandTable table;
  initialize_functions(table);
  for (const char* payload : {"export_results:", "open_results_folder:", "fetch_score_sheets:",
                              "fetch_class_key:1"})
    EXPECT_EQ(run_command(table, payload), "ERROR:A contest is not open.") << payload;
}

}  // namespace
