// node bench/reports_bench.mjs [runs]: the Reports section on the largest
// contest (12 contestants, 200 classes, 2400 placings), from the click on
// its link to every score sheet and class key painted, in Chromium through
// ringtally-host and in the real window through WebKitWebDriver; then the
// PDF page counts of printing the sheets and the keys in Chromium, and the
// Export CSV round trip in both.
//
// Needs the build (build/ringtally-host and build/ringtally, or
// $RINGTALLY_HOST and $RINGTALLY_APP), Debian's Chromium, Xvfb,
// WebKitWebDriver and pdfinfo. The window part uses port 56780 (the
// application's own): run it with no other ringtally on the machine.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import { launchBrowser, openPage } from '../tests/browser/host_bridge.mjs';
import { Desk, sourceDir } from '../tests/contest_day/window_session.mjs';
import {
  CLASSES, CONTESTANTS, largestContestPayloads, median, postAllSource, timeExportSource,
  timeReportsClickSource,
} from './reports_contest.mjs';

const runs = Number(process.argv[2] ?? 7);
const payloads = largestContestPayloads();
if (!process.env.RINGTALLY_HOST) process.env.RINGTALLY_HOST = path.join(sourceDir, 'build/ringtally-host');

function checkReplies(replies) {
  const refused = replies.filter((r) => r.includes(':ERROR:'));
  if (refused.length) throw new Error(`the contest was refused: ${refused.slice(0, 3).join(' | ')}`);
}

function report(where, times) {
  console.log(`${where}: ${times.map((t) => t.toFixed(0)).join(', ')} ms; ` +
    `median ${median(times).toFixed(0)} ms, max ${Math.max(...times).toFixed(0)} ms`);
}

// Click-to-painted runs, with when the replies were in and the section built.
function reportClicks(where, runs) {
  report(where, runs.map((r) => r.total));
  console.log(`  of which replies in: median ${median(runs.map((r) => r.data)).toFixed(0)} ms ` +
    `(first click ${runs[0].data.toFixed(0)} ms); section built: median ${median(runs.map((r) => r.built)).toFixed(0)} ms`);
}

async function chromium() {
  const browser = await launchBrowser();
  const s = await openPage(browser, { viewport: { width: 1040, height: 640 } });
  try {
    await s.page.fill('#contest-name-inp', 'Bench');
    await s.page.click('#create-contest-btn');
    await s.settle();
    checkReplies(await s.page.evaluate(`(${postAllSource})(${JSON.stringify(payloads)})`));
    await s.settle(60000);
    const times = [];
    for (let run = 0; run < runs; run += 1) {
      times.push(await s.page.evaluate(`(${timeReportsClickSource})(${CONTESTANTS}, ${CLASSES})`));
      await s.settle();
    }
    reportClicks('Chromium (headless, ringtally-host)', times);
    const exports = [];
    for (let run = 0; run < runs; run += 1) exports.push(await s.page.evaluate(`(${timeExportSource})()`));
    report('Export CSV, click to folder shown (Chromium)', exports);

    await s.page.evaluate(() => { window.print = () => {}; });
    const pages = async (button) => {
      await s.page.click(button);
      const file = path.join(s.desktop, 'print.pdf');
      await s.page.pdf({ path: file, format: 'A4' });
      return Number(/Pages:\s+(\d+)/.exec(execFileSync('pdfinfo', [file], { encoding: 'utf8' }))[1]);
    };
    console.log(`PDF (A4): score sheets ${await pages('#print-score-sheets-btn')} pages for ${CONTESTANTS} sheets, ` +
      `class keys ${await pages('#print-class-keys-btn')} pages for ${CLASSES} keys`);
  } finally {
    await s.close();
    await browser.close();
  }
}

async function realWindow() {
  const desk = await Desk.start('ringtally-reports-bench-');
  try {
    const session = await desk.open();
    await session.waitFor('the page', "document.readyState === 'complete'", 20000);
    await session.command('POST', '/timeouts', { script: 300000 });
    await session.type('#contest-name-inp', 'Bench');
    await session.click('#create-contest-btn');
    await session.waitFor('the contest', "document.getElementById('contest-name').textContent === 'Bench'");
    checkReplies(await session.jsAsync(`const [payloads, done] = arguments; (${postAllSource})(payloads).then(done);`,
      payloads));
    const times = [];
    for (let run = 0; run < runs; run += 1) {
      times.push(await session.jsAsync(`const done = arguments[0];
        (${timeReportsClickSource})(${CONTESTANTS}, ${CLASSES}).then(done);`));
    }
    reportClicks('Real window (WebKitGTK under Xvfb)', times);
    const exports = [];
    for (let run = 0; run < runs; run += 1) {
      exports.push(await session.jsAsync(`const done = arguments[0]; (${timeExportSource})().then(done);`));
    }
    report('Export CSV, click to folder shown (real window)', exports);
    process.kill(session.pid, 'SIGTERM');
    await session.exitCode();
    await session.end();
  } finally {
    await desk.stop();
  }
}

console.log(`${CONTESTANTS} contestants, ${CLASSES} classes, ${payloads.filter((p) => p.startsWith('save_placing')).length} placings; ` +
  `${runs} runs each`);
await chromium();
if (fs.existsSync(process.env.RINGTALLY_APP ?? path.join(sourceDir, 'build/ringtally'))) await realWindow();
