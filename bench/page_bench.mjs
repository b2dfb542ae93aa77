// node bench/page_bench.mjs [chromium|window|both] [runs]: the Individual
// Scores table of the largest contest, in Debian's Chromium and in the real
// window (WebKitGTK under Xvfb through WebKitWebDriver).
//
// The contest (9 divisions, 12 contestants, 4 class types, 200 classes, 2,400
// placings) is set up through the page's own host channel, command by command,
// so it goes through the real ringtally-host (Chromium) or the application
// (window). For each run the page is sent to another section and back to
// Individual Scores, and two times are taken from the scores reply reaching
// the page: to the first frame that shows rows ("first paint") and to the
// frame after the last row went in ("complete"); a frame counts as painted
// in the first task after its requestAnimationFrame. Then three column sorts
// are timed the same way from the header's pointerdown: Total Score (numeric,
// first sort), Total Score again (reversal) and Contestant (text).
//
// Chromium needs RINGTALLY_HOST (the ringtally-host binary) and loads
// $RINGTALLY_UI_DIR/main.html (default build/ui: point it at another folder
// to compare another version of the page). The window runs $RINGTALLY_APP
// (default build/ringtally) and uses port 56780: run it with no other ringtally.
import { launchBrowser, openPage } from '../tests/browser/host_bridge.mjs';
import { Desk } from '../tests/contest_day/window_session.mjs';

const which = process.argv[2] ?? 'both';
const runs = Number(process.argv[3] ?? 5);
const DIVISIONS = 9, CONTESTANTS = 12, CLASS_TYPES = 4, CLASSES = 200;
const SEP = '\u001f';

// The messages that set the contest up, in order ("command:args").
function contestCommands() {
  const list = [];
  const add = (command, ...fields) => list.push(command + ':' + fields.join(SEP));
  for (let d = 1; d <= DIVISIONS; ++d) add('save_division', 'none', `Division ${d}`, '3');
  for (let d = 1; d <= DIVISIONS; ++d) add('save_team', 'none', String(d * 1000), `Team ${d}`, 'Team', `Coach ${d}`);
  const contestants = [];
  for (let c = 0; c < CONTESTANTS; ++c) {
    const team = (c % DIVISIONS + 1) * 1000 + 10;
    add('call_save_contestant', 'none', String(team), `Contestant ${c + 1}`);
    contestants.push(team + 1 + Math.floor(c / DIVISIONS));
  }
  const orders = ['1234', '2143', '3412', '4321', '1324', '4123', '2341', '3142'];
  const cuts = ['253', '333', '161', '522', '414'];
  for (let t = 1; t <= CLASS_TYPES; ++t) add('save_class_type', 'none', `Type ${t}`);
  for (let k = 0; k < CLASSES; ++k) {
    add('save_class', 'none', String(k % CLASS_TYPES + 1), `Class ${k + 1}`, orders[k % 8], cuts[k % 5]);
  }
  for (let k = 0; k < CLASSES; ++k) {
    for (let c = 0; c < CONTESTANTS; ++c) {
      add('save_placing', 'none', String(k + 1), String(contestants[c]), orders[(k + c) % 8], String((k * 7 + c * 11) % 51));
    }
  }
  return list;
}

// Page-side pieces, written as the text of a function taking a `done`
// callback last, so that both Playwright and WebDriver can run them.
const SEND_ALL = `(commands, done) => {
  const target = window.chrome.webview;
  const waiting = new Set();
  const errors = [];
  const onMessage = (event) => {
    const text = String(event.data);
    const id = text.slice(0, text.indexOf(':'));
    if (!waiting.delete(id)) return;
    if (text.slice(id.length + 1).startsWith('ERROR:')) errors.push(text);
    if (waiting.size === 0) {
      target.removeEventListener('message', onMessage);
      done(errors);
    }
  };
  target.addEventListener('message', onMessage);
  commands.forEach((message, i) => { waiting.add('bench' + i); });
  commands.forEach((message, i) => target.postMessage('bench' + i + ':' + message));
}`;

const AFTER_PAINT = `(then) => requestAnimationFrame(() => setTimeout(then, 0))`;

// Resolves with the time from the scores reply to the first frame that shows
// rows (`firstPaint`) and to the frame after the last row went in (`complete`).
const SHOW_SCORES = `(expectedRows, done) => {
  const afterPaint = ${AFTER_PAINT};
  const target = window.chrome.webview;
  const body = document.getElementById('indiv-scores-body');
  let replyAt = null;
  let firstPaint = null;
  // Runs before the page's own code goes on with the reply, so its frame
  // callback comes before any the page asks for while filling the table.
  const onMessage = () => {
    if (replyAt !== null) return;
    replyAt = performance.now();
    afterPaint(() => { firstPaint = performance.now() - replyAt; });
  };
  target.addEventListener('message', onMessage);
  const clickedAt = performance.now();
  const observer = new MutationObserver(() => {
    if (body.rows.length < expectedRows) return;
    observer.disconnect();
    target.removeEventListener('message', onMessage);
    afterPaint(() => {
      const now = performance.now();
      done({ firstPaint, complete: now - replyAt, fromClick: now - clickedAt, rows: body.rows.length });
    });
  });
  observer.observe(body, { childList: true });
  document.querySelector('nav a[data-page="individual-scores"]').click();
}`;

// Sorts by a column: the time from the header's pointerdown to the first
// frame after it, and to the frame after the whole body is back in place.
const SORT = `(column, expectedRows, done) => {
  const afterPaint = ${AFTER_PAINT};
  const th = document.querySelector('#indiv-scores-table thead th:nth-child(' + column + ')');
  const body = document.getElementById('indiv-scores-body');
  const startedAt = performance.now();
  let firstPaint = null;
  const report = (complete) => done({ firstPaint, complete,
    direction: th.getAttribute('data-sorted-direction'), rows: body.rows.length });
  const finish = () => afterPaint(() => report(performance.now() - startedAt));
  // Asked for before the sort, so that it comes before any frame callback
  // the sort asks for.
  afterPaint(() => {
    firstPaint = performance.now() - startedAt;
    // Every row was in that frame: it is also the complete one.
    if (body.rows.length >= expectedRows) return report(firstPaint);
    const observer = new MutationObserver(() => {
      if (body.rows.length < expectedRows) return;
      observer.disconnect();
      finish();
    });
    observer.observe(body, { childList: true });
  });
  th.dispatchEvent(new PointerEvent('pointerdown', { bubbles: true }));
}`;

const LEAVE = `(done) => { document.querySelector('nav a[data-page="about"]').click(); setTimeout(() => done(null), 50); }`;

const CREATE = `(name, done) => {
  document.getElementById('contest-name-inp').value = name;
  document.getElementById('create-contest-btn').click();
  const check = () => document.getElementById('contest-name').textContent === name ? done(true) : setTimeout(check, 20);
  check();
}`;

const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};

// Runs the measurements through `call(source, ...args)`, which runs a
// page-side piece and resolves with what it hands to `done`.
async function measure(label, call) {
  await call(CREATE, 'Bench');
  const commands = contestCommands();
  for (let start = 0; start < commands.length; start += 300) {
    const errors = await call(SEND_ALL, commands.slice(start, start + 300));
    if (errors.length) throw new Error(`${label}: setting up failed: ${errors.slice(0, 3).join(' | ')}`);
  }
  const expected = CLASSES * CONTESTANTS;
  const figures = {};
  const note = (name, value) => (figures[name] = figures[name] ?? []).push(value);
  for (let run = 1; run <= runs; ++run) {
    await call(LEAVE);
    const table = await call(SHOW_SCORES, expected);
    if (table.rows !== expected) throw new Error(`${label}: ${table.rows} rows, expected ${expected}`);
    note('table first paint', table.firstPaint);
    note('table complete', table.complete);
    const parts = [`table: first paint ${table.firstPaint.toFixed(0)} ms, complete ${table.complete.toFixed(0)} ms after the reply`];
    for (const [name, column] of [['Total Score', 8], ['Total Score again', 8], ['Contestant', 1]]) {
      const sort = await call(SORT, column, expected);
      if (sort.rows !== expected) throw new Error(`${label}: ${sort.rows} rows after sorting`);
      note(`sort ${name} first paint`, sort.firstPaint);
      note(`sort ${name} complete`, sort.complete);
      parts.push(`sort ${name} (${sort.direction}) ${sort.firstPaint.toFixed(0)}/${sort.complete.toFixed(0)} ms`);
    }
    console.log(`${label} run ${run}: ${parts.join('; ')}`);
  }
  console.log(`${label} median of ${runs} (ms): ` +
    Object.entries(figures).map(([k, v]) => `${k} ${median(v).toFixed(0)}`).join(', '));
}

async function inChromium() {
  const browser = await launchBrowser();
  try {
    const session = await openPage(browser);
    session.page.setDefaultTimeout(120000);
    const call = (source, ...args) => session.page.evaluate(([text, values]) =>
      new Promise((resolve) => (0, eval)(text)(...values, resolve)), [source, args]);
    try {
      await measure('chromium', call);
    } finally {
      await session.close();
    }
  } finally {
    await browser.close();
  }
}

async function inWindow() {
  const desk = await Desk.start('ringtally-page-bench-');
  try {
    const session = await desk.open();
    await session.command('POST', '/timeouts', { script: 300000 });
    await session.waitFor('the main page', "document.querySelector('section#contest.active') !== null", 20000);
    const call = (source, ...args) => session.jsAsync(
      `const done = arguments[arguments.length - 1]; (${source})(...Array.from(arguments).slice(0, -1), done);`, ...args);
    await measure('window', call);
    process.kill(session.pid, 'SIGTERM');
    await session.exitCode();
    await session.end();
  } finally {
    await desk.stop();
  }
}

if (which === 'chromium' || which === 'both') await inChromium();
if (which === 'window' || which === 'both') await inWindow();
