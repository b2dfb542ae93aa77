// Times the scoring pass and both rankings on the largest contest the limits
// allow: 12 contestants over 9 divisions, 200 classes, every contestant
// placing every class with a reasons score (2400 placings). Run by hand.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "scoring/rankings.h"
#include "scoring/scoring_pass.h"
#include "store/contest.h"
#include "store/database.h"

namespace {

const int kDivisions = 9, kContestants = 12, kClasses = 200, kClassTypes = 4;
const int kRuns = 15;
const std::string kEarlier = "datetime('now', 'localtime', '-1 hour')";

void run(const std::string& sql) {
  Statement statement(sql.c_str());
  if (statement.step()) throw DatabaseFailure("bench setup gave a row: " + sql);
}

int official_placing(int n) {
  static const int kOrders[] = {1234, 3142, 4123, 2413, 1324, 4321};
  return kOrders[n % 6];
}

std::string text(int n) { return std::to_string(n); }

// The rows the store commands would write, all in one transaction for speed,
// stamped an hour ago so that the timings show a contest at rest rather than
// one written in the very second the passes run.
void build_contest() {
  Transaction transaction;
  std::vector<int> team_sizes(kDivisions, 0);
  for (int c = 0; c < kContestants; ++c) ++team_sizes[c % kDivisions];
  for (int d = 1; d <= kDivisions; ++d) {
    run("INSERT INTO divisions (name, team_size) VALUES ('Division " + text(d) + "', " +
        text(team_sizes[d - 1]) + ");");
    run("INSERT INTO teams (division_no, name, type, coach) VALUES (" + text(d * 1000) +
        ", 'Team " + text(d) + "', 'Team', 'Coach " + text(d) + "');");
  }
  std::vector<int> contestant_numbers;
  for (int c = 0; c < kContestants; ++c) {
    const int team_no = (c % kDivisions + 1) * 1000 + 10;
    run("INSERT INTO contestants (team_no, name) VALUES (" + text(team_no) + ", 'Contestant " +
        text(c + 1) + "');");
    contestant_numbers.push_back(team_no + 1 + c / kDivisions);
  }
  for (int t = 1; t <= kClassTypes; ++t)
    run("INSERT INTO class_types (name) VALUES ('Type " + text(t) + "');");
  for (int k = 0; k < kClasses; ++k)
    run("INSERT INTO classes (type_id, name, placing, cuts, timestamp) VALUES (" +
        text(k % kClassTypes + 1) + ", 'Class " + text(k + 1) + "', " + text(official_placing(k)) +
        ", " + text(100 + (k * 37) % 900) + ", " + kEarlier + ");");
  for (int k = 0; k < kClasses; ++k)
    for (int c = 0; c < kContestants; ++c)
      run("INSERT INTO placings (class_id, contestant_no, placing, reasons_score, timestamp) "
          "VALUES (" + text(k + 1) + ", " + text(contestant_numbers[c]) + ", " +
          text(official_placing(k + c)) + ", " + text((k * 7 + c * 11) % 51) + ", " + kEarlier +
          ");");
  transaction.commit();
}

// Median and worst of kRuns timings, in milliseconds.
void measure(const char* label, const std::function<void()>& before,
             const std::function<void()>& body) {
  std::vector<double> ms;
  for (int r = 0; r < kRuns; ++r) {
    before();
    const auto start = std::chrono::steady_clock::now();
    body();
    const auto end = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%-46s median %8.3f ms   max %8.3f ms\n", label, ms[ms.size() / 2], ms.back());
}

void nothing() {}
void forget_last_pass() { run("UPDATE contest SET scored_at = '2020-01-01 00:00:00';"); }
// A reasons judge's round: every placing of one class written now.
void write_one_class_of_placings() {
  run("UPDATE placings SET reasons_score = (reasons_score + 1) % 51, "
      "timestamp = datetime('now', 'localtime') WHERE class_id = 23;");
}
void change_one_class() {
  run("UPDATE classes SET cuts = (cuts + 111) % 1000, timestamp = datetime('now', 'localtime') "
      "WHERE id = 17;");
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "ringtally-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 1;
  const std::string desktop = pattern;
  set_contest_platform({[desktop] { return desktop; }, [](const std::string&) { return ""; }});
  int status = 0;
  try {
    if (!create_contest("Bench").empty()) throw DatabaseFailure("contest not created");
    build_contest();
    std::printf("%d divisions, %d contestants, %d classes, %d placings\n", kDivisions,
                kContestants, kClasses, kClasses * kContestants);
    measure("scoring pass, every placing rescored", forget_last_pass, run_scoring_pass);
    measure("scoring pass, nothing changed", nothing, run_scoring_pass);
    std::size_t sizes[3] = {0, 0, 0};
    measure("fetch_indiv_scores (pass skipped)", nothing,
            [&] { sizes[0] = fetch_indiv_scores("").size(); });
    measure("fetch_indiv_rankings (pass skipped)", nothing,
            [&] { sizes[1] = fetch_indiv_rankings("").size(); });
    measure("fetch_team_rankings (pass skipped)", nothing,
            [&] { sizes[2] = fetch_team_rankings("").size(); });
    measure("fetch_indiv_rankings after a full rescore", forget_last_pass,
            [] { fetch_indiv_rankings(""); });
    // From here on the latest write shares the second of the last pass, so
    // each pass runs again and rescores what was written in that second.
    measure("scoring pass, 12 placings written just now", write_one_class_of_placings,
            run_scoring_pass);
    measure("scoring pass, one class's cuts changed", change_one_class, run_scoring_pass);
    std::printf("reply sizes: scores %zu B, individual rankings %zu B, team rankings %zu B\n",
                sizes[0], sizes[1], sizes[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench failed: %s\n", e.what());
    status = 1;
  }
  close_database();
  std::error_code ec;
  fs::remove_all(desktop, ec);
  return status;
}
