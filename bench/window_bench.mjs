// node bench/window_bench.mjs [runs]: the real window's start-up and memory.
//
// Starts build/ringtally (or $RINGTALLY_APP) `runs` times (default 7) under
// Xvfb through WebKitWebDriver and, for each start, reads from the page's
// own navigation timing how long after the launch the page's navigation
// began, the main page had been parsed (DOMContentLoaded) and had finished
// loading (the load event: the page ready);
// then, two seconds after that, sums the resident memory of the application
// and its WebKit processes from /proc. Prints every run and the medians, and
// then the memory of one start without automation, as an organiser starts it.
// Uses port 56780 (the application's own): run it with no other ringtally.
import { spawn } from 'node:child_process';
import { Desk, appBinary, residentSetOfTree, sleep, until } from '../tests/contest_day/window_session.mjs';

const runs = Number(process.argv[2] ?? 7);
const SETTLE_MS = 2000;

const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};
const mb = (kb) => (kb / 1024).toFixed(1);

const desk = await Desk.start('ringtally-window-bench-');
const results = [];
try {
  for (let run = 1; run <= runs; ++run) {
    const session = await desk.open();
    const timing = await until('the page to be ready', async () => {
      // Navigation Timing Level 1: epoch milliseconds, the launcher's clock.
      return session.js(`const t = performance.timing;
        return t.loadEventEnd > 0 && document.readyState === 'complete'
          ? { navigation: t.navigationStart, parsed: t.domContentLoadedEventEnd, loaded: t.loadEventEnd,
              contest: document.querySelector('section#contest.active') !== null }
          : null;`);
    }, 20000, 20);
    if (!timing.contest) throw new Error('the page is not the main page');
    const started = session.startedAtMs();
    await sleep(SETTLE_MS);
    const memory = session.residentMemory();
    const result = {
      navigationMs: timing.navigation - started,
      parsedMs: timing.parsed - started,
      readyMs: timing.loaded - started,
      rssKb: memory.totalKb,
      pssKb: memory.pssKb,
      processes: memory.processes.map((p) => `${p.name} ${mb(p.rssKb)}`).join(', '),
    };
    results.push(result);
    console.log(`run ${run}: navigation ${result.navigationMs.toFixed(0)} ms, page parsed ${result.parsedMs.toFixed(0)} ms, ready ${result.readyMs.toFixed(0)} ms ` +
      `after the launch; RSS ${mb(result.rssKb)} MB (${result.processes}); PSS ${mb(result.pssKb)} MB`);
    process.kill(session.pid, 'SIGTERM');
    const code = await session.exitCode();
    await session.end();
    if (code !== 0) throw new Error(`the application exited with ${code}`);
  }
  console.log(`median of ${runs}: navigation ${median(results.map((r) => r.navigationMs)).toFixed(0)} ms, ` +
    `page parsed ${median(results.map((r) => r.parsedMs)).toFixed(0)} ms, ` +
    `ready ${median(results.map((r) => r.readyMs)).toFixed(0)} ms after the launch; ` +
    `RSS ${mb(median(results.map((r) => r.rssKb)))} MB, PSS ${mb(median(results.map((r) => r.pssKb)))} MB`);

  // The same memory figure without automation, as the organiser starts it:
  // the window shown, the card server up, then the same settling time.
  const plain = spawn(appBinary(), [], { env: desk.env, stdio: 'ignore' });
  const plainExit = new Promise((resolve) => plain.on('exit', (code) => resolve(code)));
  try {
    await until('the plain window', () => {
      try {
        return desk.x11('xdotool', 'search', '--onlyvisible', '--pid', String(plain.pid)) !== '';
      } catch {
        return false;  // xdotool answers 1 while nothing matches
      }
    }, 20000);
    await until('the card server', () => fetch('http://127.0.0.1:56780/health').then((r) => r.ok, () => false));
    await sleep(median(results.map((r) => r.readyMs)) + SETTLE_MS);
    const memory = residentSetOfTree(plain.pid);
    console.log(`without automation: RSS ${mb(memory.totalKb)} MB ` +
      `(${memory.processes.map((p) => `${p.name} ${mb(p.rssKb)}`).join(', ')}); PSS ${mb(memory.pssKb)} MB`);
  } finally {
    plain.kill('SIGTERM');
    const code = await plainExit;
    if (code !== 0) console.log(`the plain start exited with ${code}`);
  }
} finally {
  await desk.stop();
}
