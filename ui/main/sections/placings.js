// ---- Placings.
const refreshPlacings = () => refreshTable({
  command: "fetch_placings", bodyId: "placings-body", size: 5,
  number: (f) => f[0], cells: (f) => [f[1], f[2], f[3], f[4]]
});
const refreshPlacingCounts = () => refreshTable({
  command: "fetch_placing_counts", bodyId: "placing-counts-body", size: 3,
  cells: (f) => [f[0], f[1], f[2]]
});
const refreshPlacingTables = async () => {
  await refreshPlacings();
  await refreshPlacingCounts();
};

function resetPlacing(full) {
  $("placing-number-inp").value = "none";
  $("placing-contestant-inp").value = "";
  $("placing-placing-inp").value = "";
  $("placing-reasons-inp").value = "";
  if (full) {
    $("placing-class-inp").value = "";
    $("placing-class-inp").focus();
  } else {
    $("placing-contestant-inp").focus();
  }
}

wireEntrySection({
  save: "save-placing-btn", clear: "clear-placing-btn", remove: "delete-placing-btn",
  numberInp: "placing-number-inp", refresh: refreshPlacingTables, reset: resetPlacing,
  deleteCommand: hostApi.delete_placing,
  onSave: async () => {
    if (noContest()) return;
    const number = value("placing-number-inp");
    const classNo = value("placing-class-inp");
    const contestant = value("placing-contestant-inp");
    const placing = value("placing-placing-inp");
    const reasons = value("placing-reasons-inp");
    if (classNo === "") return window.alert("Enter a class number.");
    if (contestant === "") return window.alert("Enter a contestant number.");
    if (placing !== "" && placing !== "0" && !isValidPlacing(placing)) {
      return window.alert("This is not a valid placing.");
    }
    if (reasons !== "" && !isValidReasons(reasons)) return window.alert("This is not a valid reasons score.");
    if (number !== "none" && placing === "") return window.alert("Enter a placing.");
    if (placing === "" && reasons === "") return window.alert("Enter a placing and/or reasons score.");
    await runChange(hostApi.save_placing(join([number, classNo, contestant, placing, reasons])));
    await refreshPlacingTables();
    resetPlacing(false);
  }
});
on("refresh-placings-table-btn", refreshPlacingTables);
onRowClick("placings-body", (number, cells) => {
  $("placing-number-inp").value = number;
  $("placing-class-inp").value = cells[0];
  $("placing-contestant-inp").value = cells[1];
  $("placing-placing-inp").value = cells[2];
  $("placing-reasons-inp").value = cells[3];
});
