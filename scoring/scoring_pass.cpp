#include "scoring/scoring_pass.h"

#include <vector>

#include "scoring/placing_score.h"
#include "store/database.h"

namespace {

const char kLatestChangeSql[] =
    "SELECT MAX(timestamp) FROM (  SELECT MAX(timestamp) AS timestamp FROM placings "
    "  UNION ALL   SELECT MAX(timestamp) AS timestamp FROM classes);";
const char kScoredAtSql[] = "SELECT scored_at FROM contest;";
const char kScorableClassesSql[] =
    "SELECT id, placing, cuts FROM classes WHERE placing IS NOT NULL AND cuts IS NOT NULL "
    "ORDER BY id;";
// ">=" rather than ">": scored_at has one-second resolution, so a placing
// written in the second the last pass ended would otherwise never be scored.
// Rescoring a placing twice gives the same result.
const char kPlacingsToScoreSql[] =
    "SELECT id, placing, reasons_score FROM placings WHERE class_id = ? AND "
    "(timestamp >= ? OR timestamp < (SELECT timestamp FROM classes WHERE id = ?));";
const char kUpdateScoreSql[] =
    "UPDATE placings SET placing_score = ?, total_score = ? WHERE id = ?;";
const char kMarkScoredSql[] = "UPDATE contest SET scored_at = datetime('now', 'localtime');";
const char kIndivScoresSql[] =
    "SELECT contestants.name, contestant_no, classes.name, class_id, placings.placing, "
    "placing_score, reasons_score, total_score FROM placings "
    "JOIN contestants ON contestants.number = placings.contestant_no "
    "JOIN classes ON classes.id = placings.class_id ORDER BY contestants.name, class_id;";

struct ScorableClass {
  int id;
  int placing;
  int cuts;
};

std::string first_text(const char* sql) {
  Statement statement(sql);
  return statement.step() ? statement.column_text(0) : std::string();
}

std::vector<ScorableClass> read_scorable_classes() {
  std::vector<ScorableClass> classes;
  Statement statement(kScorableClassesSql);
  while (statement.step())
    classes.push_back({statement.column_int(0), statement.column_int(1), statement.column_int(2)});
  return classes;
}

void rescore_class(const ScorableClass& cls, const std::string& scored_at, Statement& select,
                   Statement& update) {
  select.bind_int(1, cls.id);
  select.bind_text(2, scored_at);
  select.bind_int(3, cls.id);
  while (select.step()) {
    const int score = score_placing(select.column_int(1), cls.placing, cls.cuts);
    update.bind_int(1, score);
    // NULL reasons read as 0; added in 64 bits so an absurd stored value
    // cannot cause signed overflow.
    const long long total = static_cast<long long>(score) + select.column_int(2);
    update.bind_int(2, static_cast<int>(total));
    update.bind_int(3, select.column_int(0));
    update.step();
    update.reset();
  }
  select.reset();
}

}  // namespace

bool has_unscored_changes(const std::string& scored_at) {
  const std::string latest = first_text(kLatestChangeSql);
  return !latest.empty() && latest >= scored_at;
}

void run_scoring_pass() {
  const std::string scored_at = first_text(kScoredAtSql);
  if (!has_unscored_changes(scored_at)) return;

  const std::vector<ScorableClass> classes = read_scorable_classes();
  // Begun before the statements are made, so that on an error they are
  // finalized before the rollback runs.
  Transaction transaction;
  Statement select(kPlacingsToScoreSql);
  Statement update(kUpdateScoreSql);
  Statement mark(kMarkScoredSql);
  // Any failed update stops the pass: carrying on would mark as scored a
  // placing whose score was never stored.
  for (const ScorableClass& cls : classes) rescore_class(cls, scored_at, select, update);
  // The mark commits with the scores, so it can never cover scores that
  // did not reach the file.
  mark.step();
  transaction.commit();
}

std::string bring_scores_up_to_date() {
  try {
    run_scoring_pass();
  } catch (const DatabaseFailure& failure) {
    if (failure.kind() != DatabaseFailure::Kind::kNotWritten) throw;
    return kWriteError;
  }
  return std::string();
}

std::string fetch_indiv_scores(const std::string&) {
  // Scores the pass could not store would show as blanks, as if they were
  // results.
  std::string failure = bring_scores_up_to_date();
  if (!failure.empty()) return failure;
  Statement statement(kIndivScoresSql);
  return run_listing(statement);
}
