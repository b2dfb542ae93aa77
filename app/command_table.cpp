#include "app/command_table.h"

#include "cards/card_commands.h"
#include "cards/wifi.h"
#include "scoring/rankings.h"
#include "scoring/scoring_pass.h"
#include "store/card_log.h"
#include "store/classes.h"
#include "store/contest.h"
#include "store/contestants.h"
#include "store/divisions.h"
#include "store/placings.h"

namespace {

// Commands that take no argument never see what a request carries.
CommandHandler without_argument(std::string (*handler)(const std::string&)) {
  return [handler](const std::string&) { return handler(std::string()); };
}

}  // namespace

void initialize_functions(CommandTable& table) {
  table["create_contest"] = create_contest;
  table["open_contest"] = without_argument(open_contest);
  table["save_division"] = save_division;
  table["fetch_divisions"] = without_argument(fetch_divisions);
  table["delete_division"] = delete_division;
  table["save_team"] = save_team;
  table["fetch_teams"] = without_argument(fetch_teams);
  table["delete_team"] = delete_team;
  table["call_save_contestant"] = call_save_contestant;
  table["fetch_contestants"] = without_argument(fetch_contestants);
  table["fetch_contestant_counts"] = without_argument(fetch_contestant_counts);
  table["delete_contestant"] = delete_contestant;
  table["save_class_type"] = save_class_type;
  table["fetch_class_types"] = without_argument(fetch_class_types);
  table["delete_class_type"] = delete_class_type;
  table["save_class"] = save_class;
  table["fetch_classes"] = without_argument(fetch_classes);
  table["delete_class"] = delete_class;
  table["fetch_wifi_addresses"] = without_argument(fetch_wifi_addresses);
  table["save_placing"] = save_placing;
  table["fetch_placings"] = without_argument(fetch_placings);
  table["fetch_placing_counts"] = without_argument(fetch_placing_counts);
  table["delete_placing"] = delete_placing;
  table["fetch_indiv_scores"] = without_argument(fetch_indiv_scores);
  table["fetch_indiv_rankings"] = without_argument(fetch_indiv_rankings);
  table["fetch_team_rankings"] = without_argument(fetch_team_rankings);
  table["fetch_card_names"] = fetch_card_names;
  table["fetch_card_names_and_placing"] = fetch_card_names_and_placing;
  table["save_card_placing"] = save_card_placing;
  table["save_card_reasons"] = save_card_reasons;
  table["fetch_card_log"] = without_argument(fetch_card_log);
}
