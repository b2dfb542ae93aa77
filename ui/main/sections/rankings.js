// ---- Rankings: one table per division and category, in the host's order.
const rankingKinds = {
  indiv: { command: "fetch_indiv_rankings", blockId: "indiv-rankings", tableClass: "rank-indiv-table",
    word: "Individual", headers: ["Rank", "Score", "Contestant", "Team"] },
  team: { command: "fetch_team_rankings", blockId: "team-rankings", tableClass: "rank-team-table",
    word: "Team", headers: ["Rank", "Score", "Team", "Coach"] }
};

function newRankingTable(kind, division, category) {
  const table = document.createElement("table");
  table.className = kind.tableClass;
  table.setAttribute("data-sortable", "");
  table.createCaption().textContent = division === "None"
    ? kind.word + " " + category
    : kind.word + " " + division + " " + category;
  const headerRow = table.createTHead().insertRow();
  for (const text of kind.headers) {
    const th = document.createElement("th");
    th.textContent = text;
    headerRow.appendChild(th);
  }
  table.appendChild(document.createElement("tbody"));
  return table;
}

async function refreshRankings(kind) {
  if (noContest()) return;
  const result = await hostApi[kind.command]();
  const block = $(kind.blockId);
  if (result === "") {
    block.replaceChildren();
    return;
  }
  const fields = result.split(SEP);
  const count = Math.floor(fields.length / 6);
  block.replaceChildren();
  const fragment = document.createDocumentFragment();
  let previousDivision = "";
  let previousCategory = "";
  let table = null;
  for (let i = 0; i < count; i += 1) {
    const [division, category, rank, score, name, other] = fields.slice(i * 6, i * 6 + 6);
    if (table === null || division !== previousDivision || category !== previousCategory) {
      table = newRankingTable(kind, division, category);
      fragment.appendChild(table);
    }
    previousDivision = division;
    previousCategory = category;
    const row = makeRow([rank, score, name, other]);
    if (parseInt(rank, 10) > 10) row.classList.add("lower-score", "hidden");
    table.tBodies[0].appendChild(row);
  }
  block.appendChild(fragment);
  window.Sortable.reinitialize("table." + kind.tableClass);
}
const refreshIndivRankings = () => refreshRankings(rankingKinds.indiv);
const refreshTeamRankings = () => refreshRankings(rankingKinds.team);

on("rankings-show-hide-btn", () => {
  document.querySelectorAll(".lower-score").forEach((el) => el.classList.toggle("hidden"));
});
