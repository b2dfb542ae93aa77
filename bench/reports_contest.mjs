// The largest contest the limits allow, as the page messages that build it
// (the same layout as scoring_bench.cpp): 9 divisions of one team each, 12
// contestants, 4 class types, 200 classes with official placings and cuts,
// and every contestant placing every class with a reasons score: 2400
// placings. Also the in-page timing of a Reports click, shared by both
// browsers.
export const DIVISIONS = 9, CONTESTANTS = 12, CLASS_TYPES = 4, CLASSES = 200;

const SEP = '\u001f';
const ORDERS = [1234, 3142, 4123, 2413, 1324, 4321];

// "command:argument" payloads, in an order the store accepts; ids and
// numbers are those a fresh contest hands out.
export function largestContestPayloads() {
  const out = [];
  for (let d = 1; d <= DIVISIONS; d += 1) {
    // The page offers team sizes 3 to 5; these teams have one or two members.
    out.push(`save_division:none${SEP}Division ${d}${SEP}3`);
    out.push(`save_team:none${SEP}${d * 1000}${SEP}Team ${d}${SEP}Team${SEP}Coach ${d}`);
  }
  const numbers = [];
  for (let c = 0; c < CONTESTANTS; c += 1) {
    const team = (c % DIVISIONS + 1) * 1000 + 10;
    out.push(`call_save_contestant:none${SEP}${team}${SEP}Contestant ${c + 1}`);
    numbers.push(team + 1 + Math.floor(c / DIVISIONS));
  }
  for (let t = 1; t <= CLASS_TYPES; t += 1) out.push(`save_class_type:none${SEP}Type ${t}`);
  for (let k = 0; k < CLASSES; k += 1) {
    out.push(`save_class:none${SEP}${k % CLASS_TYPES + 1}${SEP}Class ${k + 1}${SEP}${ORDERS[k % 6]}${SEP}${100 + (k * 37) % 900}`);
  }
  for (let k = 0; k < CLASSES; k += 1) {
    for (let c = 0; c < CONTESTANTS; c += 1) {
      out.push(`save_placing:none${SEP}${k + 1}${SEP}${numbers[c]}${SEP}${ORDERS[(k + c) % 6]}${SEP}${(k * 7 + c * 11) % 51}`);
    }
  }
  return out;
}

// Page script (a function's source): posts every payload under its own
// reply ids (the page ignores replies it did not ask for) and resolves with
// the replies once all have come back.
export const postAllSource = `(payloads) => new Promise((resolve) => {
  const replies = [];
  const listener = (event) => {
    if (!String(event.data).startsWith('bench')) return;
    replies.push(String(event.data));
    if (replies.length === payloads.length) {
      window.chrome.webview.removeEventListener('message', listener);
      resolve(replies);
    }
  };
  window.chrome.webview.addEventListener('message', listener);
  payloads.forEach((p, i) => window.chrome.webview.postMessage('bench' + i + ':' + p));
})`;

// Page script: empties the Reports section, clicks its link, and resolves
// with the milliseconds until `sheets` score sheets and `keys` class keys
// are in the page and a frame with them has been painted: { total, data,
// built }, the last two when the host's replies were in and when the page
// had built the section (the page's own marks).
export const timeReportsClickSource = `(sheets, keys) => new Promise((resolve) => {
  const sheetBox = document.getElementById('score-sheets');
  const keyBox = document.getElementById('class-keys');
  sheetBox.replaceChildren();
  keyBox.replaceChildren();
  performance.clearMarks();
  const start = performance.now();
  const done = () => sheetBox.querySelectorAll('.score-sheet').length === sheets &&
    keyBox.querySelectorAll('.class-key').length === keys;
  const observer = new MutationObserver(() => {
    if (!done()) return;
    observer.disconnect();
    // The frame that shows them is painted before a task queued from its
    // animation callback runs.
    requestAnimationFrame(() => setTimeout(() => {
      const mark = (name) => performance.getEntriesByName(name).pop().startTime - start;
      resolve({ total: performance.now() - start, data: mark('reports-data'), built: mark('reports-built') });
    }, 0));
  });
  observer.observe(sheetBox, { childList: true });
  observer.observe(keyBox, { childList: true });
  document.querySelector('nav a[data-page="reports"]').click();
})`;

// Page script: clicks Export CSV and resolves with the milliseconds until
// the page shows where the files went.
export const timeExportSource = `() => new Promise((resolve) => {
  const shown = document.getElementById('export-results-path');
  shown.textContent = '';
  const start = performance.now();
  const observer = new MutationObserver(() => {
    if (shown.textContent === '') return;
    observer.disconnect();
    resolve(performance.now() - start);
  });
  observer.observe(shown, { childList: true, characterData: true, subtree: true });
  document.getElementById('export-results-btn').click();
})`;

export const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};
