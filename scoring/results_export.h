// Results that leave the application: CSV files in a "Results" folder beside
// the contest file, and a way to show that folder in the file manager.
#pragma once
#include <functional>
#include <string>

// Command, argument ignored. Writes into <contest folder>/Results, creating
// the folder when needed, four CSV documents (see csv.h for the format),
// each a header line and then the rows of the named listing unchanged:
//   individual-scores.csv    fetch_indiv_scores
//   individual-rankings.csv  fetch_indiv_rankings (division, category first)
//   team-rankings.csv        fetch_team_rankings (division, category first)
//   score-sheets.csv         fetch_score_sheets
// Each document goes to a temporary name first; only when all four are
// written whole are they renamed into place, so a failure leaves the earlier
// files as they were and no partial file. Answers the Results folder's path,
// or "ERROR:The results could not be written. ..." naming the folder.
// Raises DatabaseNotOpen with no contest open; errors as run_scoring_pass.
std::string export_results(const std::string& ignored);

// Shows `folder` in the desktop's file manager; false when it could not.
using FolderOpener = std::function<bool(const std::string& folder)>;
// Installed once at start-up, before the worker runs, by a front end that
// can show folders; without one open_results_folder answers an error.
void set_folder_opener(FolderOpener opener);

// Command, argument ignored. Opens the Results folder of the open contest
// and answers its path; an "ERROR:" sentence when nothing was exported yet,
// when this front end cannot show folders, or when showing it failed.
// Raises DatabaseNotOpen with no contest open.
std::string open_results_folder(const std::string& ignored);
