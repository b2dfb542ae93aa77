// ringtally-host --page-port: the organiser's page served over HTTP and
// driven in Debian's Chromium through its own messaging, as a browser beside
// the Windows window shows it.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import readline from 'node:readline';
import { launchBrowser, makeTempDir } from '../browser/host_bridge.mjs';
import { createContest } from '../browser/main_helpers.mjs';
import { checkSecondPageSupersedes, openServedPage, runSmallContest } from './served_page.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// Starts the host and resolves with it and its page address.
function startHost(args) {
  const child = spawn(process.env.RINGTALLY_HOST, args, { stdio: ['pipe', 'pipe', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const exited = new Promise((resolve) => child.on('exit', (code) => resolve(code)));
  const address = new Promise((resolve, reject) => {
    readline.createInterface({ input: child.stdout }).on('line', (line) => {
      const found = /^Page: (http:\/\/127\.0\.0\.1:\d+\/[0-9a-f]{32}\/)$/.exec(line);
      if (found) resolve(found[1]);
    });
    exited.then((code) => reject(new Error(`host ended (${code}) before its page: ${stderr}`)));
  });
  return { child, exited, address, stderr: () => stderr };
}

test('a small contest through the served page, a second page, then an orderly end', async () => {
  const desktop = makeTempDir('ringtally-page-');
  const host = startHost(['--page-port', '0', '--card-port', '0', '--desktop', desktop]);
  try {
    const url = await host.address;
    const first = await openServedPage(browser, url);
    await runSmallContest(first, 'Served Fair');
    const second = await checkSecondPageSupersedes(browser, url, first);
    // The second page talks to the same core, where the contest is open.
    await createContest(second, 'Second Fair');
    assert.deepEqual(second.alerts, ['Error: Critical failure, the database could not be opened.']);
    await first.close();
    await second.close();

    host.child.stdin.end();
    assert.equal(await host.exited, 0, host.stderr());
    const db = path.join(desktop, 'Served Fair', 'contest.db');
    assert.equal(fs.existsSync(db + '-wal'), false, 'the database was closed');
    const count = execFileSync('sqlite3', [db, 'SELECT COUNT(*) FROM placings'], { encoding: 'utf8' });
    assert.equal(count.trim(), '6');
  } finally {
    host.child.kill('SIGKILL');
    fs.rmSync(desktop, { recursive: true, force: true });
  }
});

test('a page port that is taken ends the host with a sentence and code 1', async () => {
  const first = startHost(['--page-port', '0', '--card-port', '0', '--desktop', makeTempDir()]);
  try {
    const port = new URL(await first.address).port;
    const second = startHost(['--page-port', port, '--card-port', '0', '--desktop', makeTempDir()]);
    second.address.catch(() => {});
    assert.equal(await second.exited, 1);
    assert.match(second.stderr(), new RegExp(`the page port ${port} could not be bound`));
  } finally {
    first.child.kill('SIGKILL');
  }
});
