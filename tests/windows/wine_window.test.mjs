// ringtally.exe under Wine on an Xvfb display: the native window appears,
// the page it serves runs a small contest in Debian's Chromium on Linux, a
// phone reaches its card server, and each way of ending it (close box,
// "Quit", the end of the Windows session) shuts down in order: exit code 0
// and the database closed.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { launchBrowser } from '../browser/host_bridge.mjs';
import { createContest } from '../browser/main_helpers.mjs';
import { startXvfb, until } from '../window/display.mjs';
import { closeWindow } from '../window/x11_close.mjs';
import { checkSecondPageSupersedes, openServedPage, runSmallContest } from './served_page.mjs';
import { buildDir, endWineSession, makeTempDir, wine64, wineEnv, WineProcess } from './wine.mjs';

const CARD_PORT = 57451;
const PAGE_LINE = /^Page: (http:\/\/127\.0\.0\.1:\d+\/[0-9a-f]{32}\/)$/;

let xvfb;
let browser;
before(async () => {
  endWineSession();
  xvfb = await startXvfb();
  browser = await launchBrowser();
});
after(async () => {
  endWineSession();
  await browser?.close();
  xvfb?.child.kill();
});

function x11(tool, args) {
  const run = spawnSync(tool, args, { env: { ...process.env, DISPLAY: xvfb.display }, encoding: 'utf8', timeout: 10000 });
  return run.status === 0 ? run.stdout : '';
}

// The top-level X window titled exactly "Ringtally Zuzu", once mapped.
function findWindow() {
  const ids = x11('xdotool', ['search', '--onlyvisible', '--name', '^Ringtally Zuzu$']).trim().split('\n').filter(Boolean);
  return ids.length ? ids[0] : null;
}

function windowSize(id) {
  const info = x11('xwininfo', ['-id', id]);
  return { width: Number(/Width: (\d+)/.exec(info)[1]), height: Number(/Height: (\d+)/.exec(info)[1]) };
}

async function startApp(desktop) {
  const app = new WineProcess(path.join(buildDir(), 'ringtally.exe'),
    ['--no-browser', '--desktop', desktop, '--card-port', String(CARD_PORT)], { DISPLAY: xvfb.display });
  const url = PAGE_LINE.exec(await app.nextLine(PAGE_LINE))[1];
  const window = await until('the window "Ringtally Zuzu"', findWindow, 60000, 200);
  return { app, url, window };
}

async function exitCode(app, timeoutMs = 30000) {
  const timer = setTimeout(() => app.kill(), timeoutMs);
  const code = await app.exited;
  clearTimeout(timer);
  return code;
}

function placingsIn(db) {
  return execFileSync('sqlite3', [db, 'SELECT COUNT(*) FROM placings'], { encoding: 'utf8' }).trim();
}

test('the window, a small contest through the served page, a phone, then the close box', async () => {
  const desktop = makeTempDir('ringtally-wine-window-');
  const { app, url, window } = await startApp(desktop);
  try {
    // 1040 x 640 at 96 dpi is the outer size; the X window is its client area.
    const size = windowSize(window);
    assert.ok(size.width > 1000 && size.width <= 1040 && size.height > 580 && size.height <= 640,
      `window size ${size.width} x ${size.height}`);

    const first = await openServedPage(browser, url);
    await runSmallContest(first, 'Wine Fair');
    const second = await checkSecondPageSupersedes(browser, url, first);
    await first.close();
    await second.close();

    const health = await fetch(`http://127.0.0.1:${CARD_PORT}/health`);
    assert.deepEqual(await health.json(), { status: 'ok' });
    const db = path.join(desktop, 'Wine Fair', 'contest.db');
    assert.ok(fs.existsSync(`${db}-wal`), 'the contest is open');

    await closeWindow(xvfb.display, window);
    assert.equal(await exitCode(app), 0, app.stderr);
    assert.equal(fs.existsSync(`${db}-wal`), false, 'the database was closed');
    assert.equal(placingsIn(db), '6');
  } finally {
    app.kill();
    fs.rmSync(desktop, { recursive: true, force: true });
  }
});

// Each ending with a contest open; the database must be closed after it.
const endings = [
  {
    name: '"Quit"',
    // The buttons sit below the line of text: "Open Ringtally", then "Quit".
    end: (window) => x11('xdotool', ['mousemove', '--window', window, '276', '80', 'click', '1']),
  },
  {
    name: 'the end of the Windows session (WM_QUERYENDSESSION, WM_ENDSESSION)',
    end: () => execFileSync(wine64(), ['wineboot', '--end-session'],
      { env: wineEnv({ DISPLAY: xvfb.display }), timeout: 30000 }),
  },
];

for (const ending of endings) {
  test(`${ending.name} shuts down in order`, async () => {
    const desktop = makeTempDir('ringtally-wine-end-');
    const { app, url, window } = await startApp(desktop);
    try {
      const page = await openServedPage(browser, url);
      await createContest(page, 'Ending');
      const db = path.join(desktop, 'Ending', 'contest.db');
      assert.ok(fs.existsSync(`${db}-wal`), 'the contest is open');
      ending.end(window);
      assert.equal(await exitCode(app), 0, app.stderr);
      assert.equal(fs.existsSync(`${db}-wal`), false, 'the database was closed');
      await page.close();
    } finally {
      app.kill();
      fs.rmSync(desktop, { recursive: true, force: true });
    }
  });
}
