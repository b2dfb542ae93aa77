#include "scoring/score_sheets.h"

#include "scoring/scoring_pass.h"
#include "store/database.h"

namespace {

const char kScoreSheetRowsSql[] =
    "SELECT d.name, t.name, c.name, c.number, cl.id, cl.name, ct.name, cl.placing, cl.cuts, "
    "p.placing, p.placing_score, p.reasons_score, p.total_score "
    "FROM placings p "
    "JOIN classes cl ON cl.id = p.class_id "
    "JOIN class_types ct ON ct.id = cl.type_id "
    "JOIN contestants c ON c.number = p.contestant_no "
    "JOIN teams t ON t.number = c.team_no "
    "JOIN divisions d ON d.number = t.division_no "
    "ORDER BY d.number, c.number, ct.id, cl.id;";

}  // namespace

std::string fetch_score_sheets(const std::string&) {
  run_scoring_pass();
  Statement statement(kScoreSheetRowsSql);
  return run_listing(statement);
}
