#include "app/command_table.h"

#include <filesystem>
#include <stdexcept>

#include "cards/card_commands.h"
#include "cards/wifi.h"
#include "scoring/class_key.h"
#include "scoring/rankings.h"
#include "scoring/results_export.h"
#include "scoring/score_sheets.h"
#include "scoring/scoring_pass.h"
#include "store/card_log.h"
#include "store/classes.h"
#include "store/contest.h"
#include "store/contestants.h"
#include "store/database.h"
#include "store/divisions.h"
#include "store/placings.h"

namespace {

// Commands that take no argument never see what a request carries.
CommandHandler without_argument(std::string (*handler)(const std::string&)) {
  return [handler](const std::string&) { return handler(std::string()); };
}

}  // namespace

std::string describe_command_failure() {
  try {
    throw;
  } catch (const DatabaseNotOpen&) {
    return "A contest is not open.";
  } catch (const std::invalid_argument&) {
    return "A number in this request is not valid.";
  } catch (const std::out_of_range&) {
    return "A number in this request is not valid.";
  } catch (const std::filesystem::filesystem_error&) {
    return "The contest folder could not be created.";
  } catch (const DatabaseFailure&) {
    return "The contest database could not carry out this request.";
  }
}

void initialize_functions(CommandTable& table) {
  table.describe_failure = describe_command_failure;
  table.commands["create_contest"] = create_contest;
  table.commands["open_contest"] = without_argument(open_contest);
  table.commands["save_division"] = save_division;
  table.commands["fetch_divisions"] = without_argument(fetch_divisions);
  table.commands["delete_division"] = delete_division;
  table.commands["save_team"] = save_team;
  table.commands["fetch_teams"] = without_argument(fetch_teams);
  table.commands["delete_team"] = delete_team;
  table.commands["call_save_contestant"] = call_save_contestant;
  table.commands["fetch_contestants"] = without_argument(fetch_contestants);
  table.commands["fetch_contestant_counts"] = without_argument(fetch_contestant_counts);
  table.commands["delete_contestant"] = delete_contestant;
  table.commands["save_class_type"] = save_class_type;
  table.commands["fetch_class_types"] = without_argument(fetch_class_types);
  table.commands["delete_class_type"] = delete_class_type;
  table.commands["save_class"] = save_class;
  table.commands["fetch_classes"] = without_argument(fetch_classes);
  table.commands["delete_class"] = delete_class;
  table.commands["fetch_wifi_addresses"] = without_argument(fetch_wifi_addresses);
  table.commands["save_placing"] = save_placing;
  table.commands["fetch_placings"] = without_argument(fetch_placings);
  table.commands["fetch_placing_counts"] = without_argument(fetch_placing_counts);
  table.commands["delete_placing"] = delete_placing;
  table.commands["fetch_indiv_scores"] = without_argument(fetch_indiv_scores);
  table.commands["fetch_indiv_rankings"] = without_argument(fetch_indiv_rankings);
  table.commands["fetch_team_rankings"] = without_argument(fetch_team_rankings);
  table.commands["fetch_card_names"] = fetch_card_names;
  table.commands["fetch_card_names_and_placing"] = fetch_card_names_and_placing;
  table.commands["save_card_placing"] = save_card_placing;
  table.commands["save_card_reasons"] = save_card_reasons;
  table.batches["save_card_placing"] = save_card_placing_batch;
  table.batches["save_card_reasons"] = save_card_reasons_batch;
  table.commands["fetch_card_log"] = without_argument(fetch_card_log);
  table.commands["fetch_class_key"] = fetch_class_key;
  table.commands["fetch_score_sheets"] = without_argument(fetch_score_sheets);
  table.commands["export_results"] = without_argument(export_results);
  table.commands["open_results_folder"] = without_argument(open_results_folder);
}
