// ---- Classes.
const refreshClasses = () => refreshTable({
  command: "fetch_classes", bodyId: "classes-body", size: 5,
  number: (f) => f[0], cells: (f) => [f[0], f[1], f[2], f[3], f[4]]
});

function resetClass(full) {
  $("class-number-inp").value = "none";
  $("class-name-inp").value = "";
  $("class-placing-inp").value = "";
  $("class-cuts-inp").value = "";
  if (full) {
    $("classes-class-type-inp").value = "";
    $("classes-class-type-inp").focus();
  } else {
    $("class-name-inp").focus();
  }
}

wireEntrySection({
  save: "save-class-btn", clear: "clear-class-btn", remove: "delete-class-btn",
  numberInp: "class-number-inp", refresh: refreshClasses, reset: resetClass,
  deleteCommand: hostApi.delete_class,
  onSave: async () => {
    if (noContest()) return;
    const type = selectedNumber("classes-class-type-inp");
    if (type === null) return window.alert("Select a class type.");
    const name = value("class-name-inp");
    if (name === "") return window.alert("Enter a class name.");
    const placing = value("class-placing-inp");
    if (placing !== "" && !isValidPlacing(placing)) return window.alert("This is not a valid placing.");
    const cuts = value("class-cuts-inp");
    if (cuts !== "" && !isValidCuts(cuts)) return window.alert("These are not valid cuts.");
  // A class is scored only when it has both, so one without the other is refused.
  if (placing !== "" && cuts === "") return window.alert("Enter the cuts together with the official placing.");
    warnCuts(cuts);
    await runChange(hostApi.save_class(join([value("class-number-inp"), type, name, placing, cuts])));
    await refreshClasses();
    resetClass(false);
  }
});
onRowClick("classes-body", (number, cells) => {
  $("class-number-inp").value = number;
  $("classes-class-type-inp").value = cells[1];
  $("class-name-inp").value = cells[2];
  $("class-placing-inp").value = cells[3];
  $("class-cuts-inp").value = cells[4];
});
