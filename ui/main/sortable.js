// Click-to-sort for every table marked data-sortable. All state but the
// column types lives in attributes, so a refilled table is simply bound again.
(function () {
  const NUMERIC = /^-?[£$¤]?(?=[0-9,.]*[0-9])[0-9,.]+%?$/;
  const WHITE_SPACE = /\s+/g;
  // More rows than any screen shows: what fillBody puts in before the first paint.
  const FIRST_ROWS = 100;
  // The page's locale, as localeCompare uses it, made once rather than for
  // each comparison of a sort.
  const collator = new Intl.Collator();

  const Sortable = {
    types: [
      {
        name: "numeric",
        defaultSortDirection: "ascending",
        match: (text) => NUMERIC.test(text),
        key: (text) => {
          const n = parseFloat(text.replace(/[^0-9.\-]/g, ""));
          return Number.isNaN(n) ? -Infinity : n;
        },
        compare: (a, b) => a - b
      },
      {
        name: "date",
        defaultSortDirection: "ascending",
        match: (text) => !Number.isNaN(Date.parse(text)),
        key: (text) => {
          const t = Date.parse(text);
          return Number.isNaN(t) ? 0 : t;
        },
        compare: (a, b) => a - b
      },
      {
        name: "alpha",
        defaultSortDirection: "ascending",
        match: () => true,
        key: (text) => text,
        compare: collator.compare
      }
    ],

    init(options) {
      const selector = (options && options.selector) || "table[data-sortable]";
      return Array.from(document.querySelectorAll(selector), (table) => this.initTable(table));
    },

    reinitialize(target) {
      let tables;
      if (target === undefined || target === null) {
        tables = document.querySelectorAll("table[data-sortable]");
      } else if (typeof target === "string") {
        tables = document.querySelectorAll(target);
      } else {
        tables = [target];
      }
      return Array.from(tables, (table) => {
        table.removeAttribute("data-sortable-initialized");
        table.querySelectorAll("th").forEach((th) => {
          th.removeAttribute("data-sorted");
          th.removeAttribute("data-sorted-direction");
        });
        return this.initTable(table);
      });
    },

    initTable(table) {
      if (!table.tHead || table.tHead.rows.length === 0) return undefined;
      if (table.getAttribute("data-sortable-initialized") === "true") return table;
      table.setAttribute("data-sortable-initialized", "true");
      const headerRow = table.tHead.rows[table.tHead.rows.length - 1];
      Array.from(headerRow.cells).forEach((th, index) => {
        if (th.getAttribute("data-sortable") !== "false") this.setupClickableHeader(table, th, index);
      });
      return table;
    },

    setupClickableHeader(table, th, index) {
      if (th._sortableHandler) th.removeEventListener("pointerdown", th._sortableHandler);
      const type = this.getColumnType(table, index);
      th._sortableHandler = () => {
        const wasSorted = th.getAttribute("data-sorted") === "true";
        const current = th.getAttribute("data-sorted-direction");
        const direction = wasSorted
          ? (current === "ascending" ? "descending" : "ascending")
          : type.defaultSortDirection;
        Array.from(th.parentNode.cells).forEach((cell) => {
          cell.removeAttribute("data-sorted");
          cell.removeAttribute("data-sorted-direction");
        });
        th.setAttribute("data-sorted", "true");
        th.setAttribute("data-sorted-direction", direction);
        this.sortTable(table, index, type, wasSorted, direction);
      };
      th.addEventListener("pointerdown", th._sortableHandler);
    },

    // Reorders the body: the rows in the new order go back through fillBody.
    sortTable(table, index, type, wasSorted, direction) {
      const body = table.tBodies[0];
      if (!body) return;
      this.completeBody(body);
      const rows = Array.from(body.rows);
      if (wasSorted) {
        this.fillBody(body, rows.reverse());
        return;
      }
      const sign = direction === "descending" ? -1 : 1;
      const entries = rows.map((row, position) => ({
        row,
        position,
        key: type.key(this.getNodeValue(row.cells[index]))
      }));
      entries.sort((a, b) => {
        if (a.key === b.key) return a.position - b.position;
        return sign * type.compare(a.key, b.key) || a.position - b.position;
      });
      this.fillBody(body, entries.map((entry) => entry.row));
    },

    // Puts `rows` into `body` in place of what it held; `make(item)` turns an
    // item of `rows` into its row (rows themselves by default). A long list
    // goes in in two steps: the first screens of rows at once, so that they
    // are painted without waiting for the building and layout of thousands
    // of rows, and the rest in the task after that frame (or at once when the
    // table is sorted or printed).
    fillBody(body, rows, make = (row) => row) {
      body._pendingRows = null;
      body.replaceChildren(this.fragmentOf(rows.slice(0, FIRST_ROWS).map(make)));
      if (rows.length <= FIRST_ROWS) return;
      const pending = { items: rows.slice(FIRST_ROWS), make };
      body._pendingRows = pending;
      requestAnimationFrame(() => setTimeout(() => {
        if (body._pendingRows === pending) this.completeBody(body);
      }, 0));
    },

    // Appends the rows still waiting to go into `body`, if any.
    completeBody(body) {
      const pending = body._pendingRows;
      if (!pending) return;
      body._pendingRows = null;
      body.appendChild(this.fragmentOf(pending.items.map(pending.make)));
    },

    fragmentOf(rows) {
      const fragment = document.createDocumentFragment();
      for (const row of rows) fragment.appendChild(row);
      return fragment;
    },

    getColumnType(table, index) {
      const headerRow = table.tHead.rows[table.tHead.rows.length - 1];
      const forced = headerRow.cells[index] && headerRow.cells[index].getAttribute("data-sortable-type");
      const named = this.types.find((type) => type.name === forced);
      if (named) return named;
      const body = table.tBodies[0];
      const alpha = this.types[this.types.length - 1];
      if (!body || body.rows.length === 0) return alpha;
      for (const row of body.rows) {
        const cell = row.cells[index];
        const value = this.getNodeValue(cell);
        if (cell && value !== "") return this.types.find((type) => type.match(value));
      }
      // Only when the first screens are blank in this column do the rows
      // still waiting matter.
      if (body._pendingRows) {
        this.completeBody(body);
        return this.getColumnType(table, index);
      }
      return alpha;
    },

    getNodeValue(cell) {
      if (!cell) return "";
      if (cell.hasAttribute("data-value")) return cell.getAttribute("data-value");
      // The text as shown (runs of white space read as one space), taken
      // without asking for a layout: reading innerText row by row would lay
      // out a table of thousands of rows before the first comparison.
      return (cell.textContent || "").replace(WHITE_SPACE, " ").trim();
    }
  };

  window.Sortable = Sortable;
  // A printout holds every row.
  window.addEventListener("beforeprint", () => {
    document.querySelectorAll("tbody").forEach((body) => Sortable.completeBody(body));
  });
  if (document.readyState === "loading") {
    document.addEventListener("DOMContentLoaded", () => Sortable.init());
  } else {
    Sortable.init();
  }
})();
