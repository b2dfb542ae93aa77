// ---- Submission grid on the Placings section: what is stored per
// contestant and class. Built from the contestants, classes and placings
// tables the page already holds, whenever one of them is refilled (each
// section refreshes its own after every save, delete, Clear and Refresh),
// so it costs no request of its own and can never show more than they do.
const GRID_SOURCES = ["contestants-body", "classes-body", "placings-body"];
const bodyRows = (id) => Array.from($(id).rows, (tr) => Array.from(tr.cells, (c) => c.textContent));

function buildPlacingsGrid() {
  const contestants = bodyRows("contestants-body").sort((a, b) => Number(a[3]) - Number(b[3]));
  const classIds = bodyRows("classes-body").map((c) => c[0]).sort((a, b) => Number(a) - Number(b));
  const stored = new Map();
  const placedClasses = new Set();
  for (const [classId, contestant, placing, reasons] of bodyRows("placings-body")) {
    stored.set(contestant + SEP + classId, reasons === "" ? placing : placing + " / " + reasons);
    placedClasses.add(classId);
  }
  const table = $("placings-grid-table");
  const head = table.tHead.rows[0];
  head.replaceChildren(element("th", "", "Contestant"), element("th", "", "No."));
  for (const id of classIds) head.appendChild(element("th", "", id));
  const rows = contestants.map(([, , name, number]) => {
    const row = makeRow([name, number]);
    row.dataset.number = number;
    for (const id of classIds) {
      const text = stored.get(number + SEP + id);
      const cell = element("td", "", text === undefined ? "" : text);
      cell.dataset.class = id;
      // An empty cell stands out only where other cards have come in.
      if (text === undefined && placedClasses.has(id)) cell.classList.add("missing");
      row.appendChild(cell);
    }
    return row;
  });
  $("placings-grid-body").replaceChildren(...rows);
  window.Sortable.reinitialize(table);
}

const gridObserver = new MutationObserver(buildPlacingsGrid);
for (const id of GRID_SOURCES) gridObserver.observe($(id), { childList: true });
