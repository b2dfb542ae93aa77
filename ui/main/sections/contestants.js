// ---- Contestants.
const refreshContestants = () => refreshTable({
  command: "fetch_contestants", bodyId: "contestants-body", size: 4,
  number: (f) => f[3], cells: (f) => [f[0], f[1], f[2], f[3]]
});
const refreshContestantCounts = () => refreshTable({
  command: "fetch_contestant_counts", bodyId: "contestant-counts-body", size: 3,
  cells: (f) => [f[0], f[1], f[2]]
});
const refreshContestantTables = async () => {
  await refreshContestants();
  await refreshContestantCounts();
};

function resetContestant(full) {
  $("contestant-number-inp").value = "none";
  $("contestant-name-inp").value = "";
  if (full) {
    $("contestant-division-team-name-inp").value = "";
    $("contestant-division-team-name-inp").focus();
  } else {
    $("contestant-name-inp").focus();
  }
}

wireEntrySection({
  save: "save-contestant-btn", clear: "clear-contestant-btn", remove: "delete-contestant-btn",
  numberInp: "contestant-number-inp", refresh: refreshContestantTables, reset: resetContestant,
  deleteCommand: hostApi.delete_contestant,
  onSave: async () => {
    if (noContest()) return;
    const team = selectedNumber("contestant-division-team-name-inp");
    if (team === null) return window.alert("Select a division team name.");
    const names = $("contestant-name-inp").value.split(/[\n\r,;]/)
      .map((name) => name.trim()).filter((name) => name !== "");
    if (names.length === 0) return window.alert("Enter a contestant name.");
    const number = value("contestant-number-inp");
    if (number !== "none" && names.length > 1) {
      window.alert("Multiple names cannot be used for an update.");
      resetContestant(false);
      return;
    }
    for (const name of names) {
      await runChange(hostApi.call_save_contestant(join([number, team, name])));
    }
    await refreshContestantTables();
    resetContestant(false);
  }
});
onRowClick("contestants-body", (number, cells) => {
  $("contestant-number-inp").value = number;
  $("contestant-division-team-name-inp").value = cells[0] + " " + cells[1];
  $("contestant-name-inp").value = cells[2];
});
