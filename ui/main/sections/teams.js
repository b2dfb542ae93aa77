// ---- Teams.
const refreshTeams = () => refreshTable({
  command: "fetch_teams", bodyId: "teams-body", size: 6,
  number: (f) => f[5], cells: (f) => [f[1], f[2], f[3], f[4], f[5]],
  dropdown: { id: "contestant-division-team-name-inp", number: (f) => f[5], text: (f) => f[1] + " " + f[2] }
});

function resetTeam(full) {
  $("team-number-inp").value = "none";
  $("team-name-inp").value = "";
  $("team-coach-name-inp").value = "";
  if (full) {
    $("team-division-name-inp").value = "";
    $("team-type-inp").value = "Team";
    $("team-division-name-inp").focus();
  } else {
    $("team-name-inp").focus();
  }
}

wireEntrySection({
  save: "save-team-btn", clear: "clear-team-btn", remove: "delete-team-btn",
  numberInp: "team-number-inp", refresh: refreshTeams, reset: resetTeam,
  deleteCommand: hostApi.delete_team,
  onSave: async () => {
    if (noContest()) return;
    const division = selectedNumber("team-division-name-inp");
    if (division === null) return window.alert("Select a division name.");
    const name = value("team-name-inp");
    if (name === "") return window.alert("Enter a team name.");
    await runChange(hostApi.save_team(join([value("team-number-inp"), division, name,
      value("team-type-inp"), value("team-coach-name-inp")])));
    await refreshTeams();
    resetTeam(false);
  }
});
onRowClick("teams-body", (number, cells) => {
  $("team-number-inp").value = number;
  $("team-division-name-inp").value = cells[0];
  $("team-name-inp").value = cells[1];
  $("team-type-inp").value = cells[2];
  $("team-coach-name-inp").value = cells[3];
});
