// ---- Shared helpers.
const $ = (id) => document.getElementById(id);
// "None" in the contest-name paragraph means no contest is open.
const noContest = () => $("contest-name").textContent === "None";
const value = (id) => $(id).value.trim();
const join = (fields) => fields.join(SEP);

// Runs a create/open/save/delete; a refusal is shown and the flow goes on.
async function runChange(promise) {
  try {
    return { ok: true, result: await promise };
  } catch (error) {
    window.alert("Error: " + error.message);
    return { ok: false };
  }
}

function selectedNumber(selectId) {
  const option = $(selectId).selectedOptions[0];
  return option && option.dataset.number !== undefined ? option.dataset.number : null;
}

function makeRow(cells, number) {
  const row = document.createElement("tr");
  if (number !== undefined) row.dataset.number = number;
  for (const text of cells) {
    const cell = document.createElement("td");
    cell.textContent = text;
    row.appendChild(cell);
  }
  return row;
}

function makeOption(text, number) {
  const option = document.createElement("option");
  option.value = text;
  option.textContent = text;
  if (number !== undefined) option.dataset.number = number;
  return option;
}

// Refills a table (and the dropdown that lists its entries) from a fetch.
// The entries go to Sortable.fillBody, which builds and shows the first
// rows of a long list at once and the rest after they are painted.
async function refreshTable(layout) {
  if (noContest()) return;
  const dropdown = layout.dropdown ? $(layout.dropdown.id) : null;
  if (dropdown) dropdown.replaceChildren();
  const result = await hostApi[layout.command]();
  const body = $(layout.bodyId);
  if (result === "") {
    window.Sortable.fillBody(body, []);
    return;
  }
  const fields = result.split(SEP);
  const count = Math.floor(fields.length / layout.size);
  const entries = [];
  for (let i = 0; i < count; i += 1) entries.push(fields.slice(i * layout.size, (i + 1) * layout.size));
  const focusable = loadingBodies.has(layout.bodyId);
  window.Sortable.fillBody(body, entries, (entry) => {
    const row = makeRow(layout.cells(entry), layout.number ? layout.number(entry) : undefined);
    if (focusable) row.tabIndex = 0;
    return row;
  });
  if (dropdown) {
    const options = document.createDocumentFragment();
    options.appendChild(makeOption(""));
    for (const entry of entries) {
      options.appendChild(makeOption(layout.dropdown.text(entry), layout.dropdown.number(entry)));
    }
    dropdown.appendChild(options);
  }
  window.Sortable.reinitialize(body.closest("table"));
}

// Bodies whose rows load an entry: their rows take the focus, and Enter on
// a focused row loads it as a click does.
const loadingBodies = new Set();

// Calls onRow with the clicked (or Enter-pressed) row's number and cell texts.
function onRowClick(bodyId, onRow) {
  loadingBodies.add(bodyId);
  const load = (event) => {
    const row = event.target.closest("tr");
    if (!row || row.parentNode !== $(bodyId)) return;
    onRow(row.dataset.number, Array.from(row.cells, (cell) => cell.textContent));
  };
  $(bodyId).addEventListener("click", load);
  $(bodyId).addEventListener("keydown", (event) => {
    if (event.key !== "Enter" || event.target.tagName !== "TR") return;
    event.preventDefault();
    load(event);
  });
}

function on(id, handler) {
  $(id).addEventListener("click", handler);
}

// Standard Save / Clear / Delete wiring of an entry section.
function wireEntrySection(s) {
  on(s.save, s.onSave);
  on(s.clear, async () => {
    await s.refresh();
    s.reset(true);
  });
  on(s.remove, async () => {
    if (noContest()) return;
    const number = value(s.numberInp);
    if (number === "none") return;
    await runChange(s.deleteCommand(number));
    await s.refresh();
    s.reset(true);
  });
}
