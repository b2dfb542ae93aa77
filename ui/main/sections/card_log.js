// ---- Card log: every card write the host recorded, newest first.
// Fields of one entry: time, address, kind, contestant, class, value, outcome.
const CARD_LOG_FIELDS = 7;

// A refused write for a card that a phone had stored before it: someone else
// may have sent this contestant's card first.
function markDisputes(entries) {
  const stored = new Set();
  const disputed = new Set();
  for (let i = entries.length - 1; i >= 0; i -= 1) {  // oldest first
    const [, , kind, contestant, classNo, , outcome] = entries[i];
    if (contestant === "" || classNo === "") continue;
    const card = kind + SEP + contestant + SEP + classNo;
    if (outcome === "stored") stored.add(card);
    else if (stored.has(card)) disputed.add(i);
  }
  return disputed;
}

// Addresses that stored placings for more than one contestant.
function sharedAddresses(entries) {
  const contestants = new Map();
  for (const [, address, kind, contestant, , , outcome] of entries) {
    if (kind !== "placing" || outcome !== "stored") continue;
    if (!contestants.has(address)) contestants.set(address, new Set());
    contestants.get(address).add(contestant);
  }
  return new Set([...contestants].filter(([, set]) => set.size > 1).map(([address]) => address));
}

async function refreshCardLog() {
  if (noContest()) return;
  const result = await hostApi.fetch_card_log();
  const body = $("card-log-body");
  const fields = result === "" ? [] : result.split(SEP);
  const entries = [];
  for (let i = 0; i + CARD_LOG_FIELDS <= fields.length; i += CARD_LOG_FIELDS) {
    entries.push(fields.slice(i, i + CARD_LOG_FIELDS));
  }
  const disputed = markDisputes(entries);
  const shared = sharedAddresses(entries);
  // The log holds up to thousands of rows: they are built as fillBody asks.
  window.Sortable.fillBody(body, entries.map((entry, index) => index), (index) => {
    const entry = entries[index];
    const row = makeRow(entry);
    if (disputed.has(index)) row.classList.add("card-log-dispute");
    if (shared.has(entry[1])) {
      row.cells[1].classList.add("card-log-shared");
      row.cells[1].title = "This address stored placings for more than one contestant.";
    }
    return row;
  });
  window.Sortable.reinitialize(body.closest("table"));
}

on("refresh-placings-table-btn", refreshCardLog);
