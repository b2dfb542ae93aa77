// ---- Class types.
const refreshClassTypes = () => refreshTable({
  command: "fetch_class_types", bodyId: "class-types-body", size: 2,
  number: (f) => f[0], cells: (f) => [f[1]],
  dropdown: { id: "classes-class-type-inp", number: (f) => f[0], text: (f) => f[1] }
});

function resetClassType() {
  $("class-type-number-inp").value = "none";
  $("class-type-name-inp").value = "";
  $("class-type-name-inp").focus();
}

wireEntrySection({
  save: "save-class-type-btn", clear: "clear-class-type-btn", remove: "delete-class-type-btn",
  numberInp: "class-type-number-inp", refresh: refreshClassTypes, reset: resetClassType,
  deleteCommand: hostApi.delete_class_type,
  onSave: async () => {
    if (noContest()) return;
    const name = value("class-type-name-inp");
    if (name === "") return window.alert("Enter a class type name.");
    await runChange(hostApi.save_class_type(join([value("class-type-number-inp"), name])));
    await refreshClassTypes();
    resetClassType();
  }
});
onRowClick("class-types-body", (number, cells) => {
  $("class-type-number-inp").value = number;
  $("class-type-name-inp").value = cells[0];
});
