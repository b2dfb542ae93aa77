// ---- Divisions.
const refreshDivisions = () => refreshTable({
  command: "fetch_divisions", bodyId: "divisions-body", size: 4,
  number: (f) => f[3], cells: (f) => [f[1], f[2], f[3]],
  dropdown: { id: "team-division-name-inp", number: (f) => f[3], text: (f) => f[1] }
});

function resetDivision(full) {
  $("division-number-inp").value = "none";
  $("division-name-inp").value = "";
  if (full) $("division-team-size-inp").value = "3";
  $("division-name-inp").focus();
}

wireEntrySection({
  save: "save-division-btn", clear: "clear-division-btn", remove: "delete-division-btn",
  numberInp: "division-number-inp", refresh: refreshDivisions, reset: resetDivision,
  deleteCommand: hostApi.delete_division,
  onSave: async () => {
    if (noContest()) return;
    const name = value("division-name-inp");
    if (name === "") return window.alert("Enter a division name.");
    await runChange(hostApi.save_division(join([value("division-number-inp"), name,
      value("division-team-size-inp")])));
    await refreshDivisions();
    resetDivision(false);
  }
});
onRowClick("divisions-body", (number, cells) => {
  $("division-number-inp").value = number;
  $("division-name-inp").value = cells[0];
  $("division-team-size-inp").value = cells[1];
});
