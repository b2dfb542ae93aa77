// ---- Reports: score sheets, class keys, CSV export.
hostApi.fetch_score_sheets = () => sendCommand("fetch_score_sheets");
hostApi.fetch_class_key = (classId) => sendCommand("fetch_class_key", classId);
hostApi.export_results = () => sendCommand("export_results");
hostApi.open_results_folder = () => sendCommand("open_results_folder");

const SHEET_FIELDS = 13;
const SHEET_HEADERS = ["Class No.", "Class", "Class Type", "Official", "Cuts", "Placing",
  "Placing Score", "Reasons", "Total"];
const KEY_BAR_WIDTH = 160;

// Cuts 253 read "2-5-3" on paper.
const cutsText = (cuts) => cuts === "" ? "" : cuts.split("").join("-");

// Cuts a FieldList into entries of `size` fields ("" gives none).
function entries(result, size) {
  if (result === "") return [];
  const fields = result.split(SEP);
  const list = [];
  for (let i = 0; i + size <= fields.length; i += size) list.push(fields.slice(i, i + size));
  return list;
}

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

function headedTable(className, headers) {
  const table = element("table", className);
  const row = table.createTHead().insertRow();
  for (const text of headers) row.appendChild(element("th", "", text));
  return table;
}

// Sums like the database does: empty fields are skipped, nothing but
// empties sums to empty.
function sumOf(values) {
  let sum = null;
  for (const v of values) if (v !== "") sum = (sum === null ? 0 : sum) + Number(v);
  return sum === null ? "" : String(sum);
}

function labelledRow(label, span, cells) {
  const row = element("tr");
  const first = element("td", "text", label);
  first.colSpan = span;
  row.appendChild(first);
  for (const text of cells) row.appendChild(element("td", "", text));
  return row;
}

// One contestant's sheet: rows in the host's order (class type, class id).
function scoreSheet(contest, rows, ranks) {
  const [division, team, name, number] = rows[0];
  const sheet = element("div", "score-sheet");
  sheet.dataset.contestant = number;
  sheet.appendChild(element("h2", "", contest));
  const heading = element("p", "sheet-heading");
  for (const [label, text] of [["Division", division], ["Team", team], ["Contestant", name], ["No.", number]]) {
    heading.appendChild(element("span", "", label + ": " + text));
  }
  sheet.appendChild(heading);

  const table = headedTable("sheet-scores", SHEET_HEADERS);
  const body = table.createTBody();
  let group = [];
  const closeGroup = () => {
    if (group.length === 0) return;
    const subtotal = labelledRow(group[0][6] + " subtotal", 6,
      [sumOf(group.map((r) => r[10])), sumOf(group.map((r) => r[11])), sumOf(group.map((r) => r[12]))]);
    subtotal.className = "subtotal";
    subtotal.dataset.classType = group[0][6];
    body.appendChild(subtotal);
    group = [];
  };
  for (const r of rows) {
    if (group.length && group[0][6] !== r[6]) closeGroup();
    group.push(r);
    const row = makeRow([r[4], r[5], r[6], r[7], cutsText(r[8]), r[9], r[10], r[11], r[12]]);
    row.cells[1].className = row.cells[2].className = "text";
    body.appendChild(row);
  }
  closeGroup();
  const foot = table.createTFoot();
  const reasons = labelledRow("Reasons total", 7, [sumOf(rows.map((r) => r[11])), ""]);
  reasons.className = "reasons-total";
  const overall = labelledRow("Overall total", 8, [sumOf(rows.map((r) => r[12]))]);
  overall.className = "overall-total";
  foot.append(reasons, overall);
  sheet.appendChild(table);

  const rankTable = headedTable("sheet-ranks", ["Ranking", "Score", "Rank"]);
  const rankBody = rankTable.createTBody();
  for (const r of ranks) {
    const row = makeRow([r.category, r.score, r.rank]);
    row.dataset.category = r.category;
    rankBody.appendChild(row);
  }
  sheet.appendChild(rankTable);
  return sheet;
}

function median(sorted) {
  const n = sorted.length;
  if (n === 0) return null;
  return n % 2 ? sorted[(n - 1) / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

const oneDecimal = (x) => x === null ? "" : String(Math.round(x * 10) / 10);

// One class's key: its 24 placings from the host, how many chose each,
// and the class's count, mean and median placing score.
function classKey(cls, key, placed) {
  const [id, type, name, official, cuts] = cls;
  const box = element("div", "class-key");
  box.dataset.class = id;
  box.appendChild(element("h2", "", "Class " + id + ": " + name));
  box.appendChild(element("p", "class-key-official",
    "Class Type: " + type + ". Official placing: " + official + ". Cuts: " + cutsText(cuts) + "."));
  const chosen = new Map();
  for (const p of placed) chosen.set(p.placing, (chosen.get(p.placing) || 0) + 1);
  let most = 0;
  for (const [placing] of key) most = Math.max(most, chosen.get(placing) || 0);
  const table = headedTable("class-key-table", ["Placing", "Placing Score", "Contestants"]);
  const body = table.createTBody();
  for (const [placing, score] of key) {
    const count = chosen.get(placing) || 0;
    const row = makeRow([placing, score]);
    row.dataset.placing = placing;
    // The bar is the left border of the count itself: one element a row,
    // and borders print where backgrounds may not.
    const bar = element("span", "key-bar", String(count));
    bar.style.borderLeftWidth = (most ? Math.round(KEY_BAR_WIDTH * count / most) : 0) + "px";
    const cell = element("td", "key-count");
    cell.appendChild(bar);
    row.appendChild(cell);
    body.appendChild(row);
  }
  box.appendChild(table);
  const scores = placed.filter((p) => p.score !== "").map((p) => Number(p.score)).sort((a, b) => a - b);
  const mean = scores.length ? scores.reduce((a, b) => a + b, 0) / scores.length : null;
  box.appendChild(element("p", "class-key-stats", "Placings: " + placed.length +
    ". Mean placing score: " + (mean === null ? "none" : oneDecimal(mean)) +
    ". Median placing score: " + (mean === null ? "none" : oneDecimal(median(scores))) + "."));
  return box;
}

// Shows every sheet, or only the chosen contestant's.
function narrowScoreSheets() {
  const chosen = $("score-sheet-contestant-inp").value;
  document.querySelectorAll("#score-sheets .score-sheet").forEach((sheet) => {
    sheet.classList.toggle("hidden", chosen !== "" && sheet.dataset.contestant !== chosen);
  });
}

// A key depends on nothing but the official placing and cuts, so each pair
// is asked for once: later visits leave the worker free for the phones.
const classKeys = new Map();
function fetchClassKey(cls) {
  const pair = cls[3] + SEP + cls[4];
  if (!classKeys.has(pair)) {
    classKeys.set(pair, hostApi.fetch_class_key(cls[0]).catch(() => {
      classKeys.delete(pair);
      return null;
    }));
  }
  return classKeys.get(pair);
}

async function refreshReports() {
  if (noContest()) return;
  const classes = entries(await hostApi.fetch_classes(), 5).filter((c) => c[3] !== "" && c[4] !== "");
  const [rankingResult, sheetResult, ...keys] = await Promise.all([
    hostApi.fetch_indiv_rankings(), hostApi.fetch_score_sheets(), ...classes.map(fetchClassKey)]);
  // Marks for the benchmark: the replies are in, then the section is built.
  performance.mark("reports-data");

  const ranks = new Map();
  for (const [division, category, rank, score, name] of entries(rankingResult, 6)) {
    const id = division + SEP + name;
    if (!ranks.has(id)) ranks.set(id, []);
    ranks.get(id).push({ category, rank, score });
  }
  const sheetRows = entries(sheetResult, SHEET_FIELDS);
  const byContestant = new Map();
  const byClass = new Map();
  for (const r of sheetRows) {
    if (!byContestant.has(r[3])) byContestant.set(r[3], []);
    byContestant.get(r[3]).push(r);
    if (!byClass.has(r[4])) byClass.set(r[4], []);
    byClass.get(r[4]).push({ placing: r[9], score: r[10] });
  }

  const contest = $("contest-name").textContent;
  const sheets = document.createDocumentFragment();
  const select = $("score-sheet-contestant-inp");
  const previous = select.value;
  select.replaceChildren(makeOption("All contestants"));
  select.firstChild.value = "";
  for (const [number, rows] of byContestant) {
    sheets.appendChild(scoreSheet(contest, rows, ranks.get(rows[0][0] + SEP + rows[0][2]) || []));
    const option = makeOption(rows[0][2] + " (" + number + ")");
    option.value = number;
    select.appendChild(option);
  }
  select.value = byContestant.has(previous) ? previous : "";
  $("score-sheets").replaceChildren(sheets);
  narrowScoreSheets();

  const keyBoxes = document.createDocumentFragment();
  classes.forEach((cls, i) => {
    if (keys[i] !== null) keyBoxes.appendChild(classKey(cls, entries(keys[i], 2), byClass.get(cls[0]) || []));
  });
  $("class-keys").replaceChildren(keyBoxes);
  performance.mark("reports-built");
}

$("score-sheet-contestant-inp").addEventListener("change", narrowScoreSheets);

// The body's class picks what the print shows; it goes again after printing.
function printOnly(what) {
  document.body.classList.remove("print-score-sheets", "print-class-keys");
  document.body.classList.add(what);
  window.print();
}
window.addEventListener("afterprint", () => {
  document.body.classList.remove("print-score-sheets", "print-class-keys");
});
on("print-score-sheets-btn", () => printOnly("print-score-sheets"));
on("print-class-keys-btn", () => printOnly("print-class-keys"));

on("export-results-btn", async () => {
  if (noContest()) return;
  const outcome = await runChange(hostApi.export_results());
  if (!outcome.ok) return;
  $("export-results-path").textContent = "The results were written to " + outcome.result;
  $("export-results").classList.remove("hidden");
});
on("open-results-folder-btn", async () => {
  if (noContest()) return;
  await runChange(hostApi.open_results_folder());
});
