#include "scoring/results_export.h"

#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "scoring/csv.h"
#include "scoring/rankings.h"
#include "scoring/score_sheets.h"
#include "scoring/scoring_pass.h"
#include "store/database.h"

namespace fs = std::filesystem;

namespace {

const char kContestFileSql[] = "SELECT file FROM pragma_database_list WHERE name = 'main';";
const char kResultsFolder[] = "Results";
const char kPartialPrefix[] = ".";
const char kPartialSuffix[] = ".partial";

FolderOpener g_folder_opener;

struct ExportFile {
  const char* name;
  CsvRow header;
  std::string (*listing)(const std::string&);
};

const ExportFile kExportFiles[] = {
    {"individual-scores.csv",
     {"Contestant", "Cont. No.", "Class", "Class No.", "Placing", "Placing Score",
      "Reasons Score", "Total Score"},
     fetch_indiv_scores},
    {"individual-rankings.csv",
     {"Division", "Category", "Rank", "Score", "Contestant", "Team"},
     fetch_indiv_rankings},
    {"team-rankings.csv", {"Division", "Category", "Rank", "Score", "Team", "Coach"},
     fetch_team_rankings},
    {"score-sheets.csv",
     {"Division", "Team", "Contestant", "Cont. No.", "Class No.", "Class", "Class Type",
      "Official", "Cuts", "Placing", "Placing Score", "Reasons", "Total"},
     fetch_score_sheets},
};

// A listing cut into rows of `width` fields, empty fields kept ("" gives none).
std::vector<CsvRow> rows_of(const std::string& listing, size_t width) {
  std::vector<CsvRow> rows;
  if (listing.empty()) return rows;
  CsvRow row;
  size_t start = 0;
  for (;;) {
    const size_t end = listing.find(kFieldSeparator, start);
    row.push_back(listing.substr(start, end == std::string::npos ? end : end - start));
    if (row.size() == width) rows.push_back(std::move(row)), row.clear();
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return rows;
}

fs::path contest_folder() {
  Statement statement(kContestFileSql);
  return fs::u8path(run_listing(statement)).parent_path();
}

fs::path results_folder() { return contest_folder() / kResultsFolder; }

std::string cannot_write(const fs::path& folder) {
  return "ERROR:The results could not be written. Check that the disk has free space and that "
         "the folder " + folder.u8string() + " can be written to.";
}

bool write_whole_file(const fs::path& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
  file.close();  // flushes; a full disk shows here at the latest
  return !file.fail();
}

void remove_files(const std::vector<fs::path>& paths) {
  std::error_code ignored;
  for (const fs::path& path : paths) fs::remove(path, ignored);
}

}  // namespace

std::string export_results(const std::string&) {
  const fs::path folder = results_folder();
  std::vector<std::string> documents;
  for (const ExportFile& file : kExportFiles)
    documents.push_back(csv_document(file.header, rows_of(file.listing(""), file.header.size())));

  std::error_code ec;
  fs::create_directory(folder, ec);
  if (ec || !fs::is_directory(folder, ec)) return cannot_write(folder);
  std::vector<fs::path> partials;
  for (size_t i = 0; i < documents.size(); ++i) {
    partials.push_back(folder / (std::string(kPartialPrefix) + kExportFiles[i].name + kPartialSuffix));
    if (!write_whole_file(partials.back(), documents[i])) {
      remove_files(partials);
      return cannot_write(folder);
    }
  }
  for (size_t i = 0; i < partials.size(); ++i) {
    fs::rename(partials[i], folder / kExportFiles[i].name, ec);
    if (ec) {
      remove_files(partials);
      return cannot_write(folder);
    }
  }
  return folder.u8string();
}

void set_folder_opener(FolderOpener opener) { g_folder_opener = std::move(opener); }

std::string open_results_folder(const std::string&) {
  const fs::path folder = results_folder();
  std::error_code ec;
  if (!fs::is_directory(folder, ec))
    return "ERROR:There are no exported results yet. Click Export CSV first.";
  if (!g_folder_opener)
    return "ERROR:Folders can be opened only from the application window. The results are in " +
           folder.u8string() + ".";
  if (!g_folder_opener(folder.u8string()))
    return "ERROR:The folder could not be opened. The results are in " + folder.u8string() + ".";
  return folder.u8string();
}
