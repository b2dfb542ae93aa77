// ---- Contest.
on("create-contest-btn", async () => {
  if (!noContest()) return;
  const name = value("contest-name-inp");
  if (name === "") {
    window.alert("Enter a contest name.");
    return;
  }
  // The page reads "None" as "no contest open", so that name can't be used.
  if (name === "None") {
    window.alert("Choose another contest name.");
    return;
  }
  const outcome = await runChange(hostApi.create_contest(name));
  if (!outcome.ok) return;
  $("contest-name").textContent = name;
  $("contest-name-inp").value = "";
  $("create-contest-btn").blur();
});

on("open-contest-btn", async () => {
  if (!noContest()) return;
  const outcome = await runChange(hostApi.open_contest());
  if (outcome.ok) {
    $("contest-name").textContent = outcome.result;
    $("open-contest-btn").blur();
  }
  await refreshAll();
});

async function refreshAll() {
  await refreshDivisions();
  await refreshTeams();
  await refreshContestants();
  await refreshContestantCounts();
  await refreshClassTypes();
  await refreshClasses();
  await refreshPlacings();
  await refreshPlacingCounts();
}
