// ringtally-host.exe under Wine: its card server answers a phone on Linux
// over loopback, what the phone submits lands in the contest file, names
// keep their letters in the file system, and the LAN address is the one
// Linux sees.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fields, makeTempDir, WineHost } from './wine.mjs';

const CARD_PORT = 57450;
const SEP_RE = /\u001f/;

async function waitForCardServer(port, host, timeoutMs = 30000) {
  const end = Date.now() + timeoutMs;
  while (Date.now() < end) {
    try {
      const res = await fetch(`http://127.0.0.1:${port}/health`);
      if (res.ok) return await res.json();
    } catch { /* not listening yet */ }
    if (host.child.exitCode !== null) throw new Error(`host ended: ${host.stderr}`);
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  throw new Error(`no card server on ${port}`);
}

test('a phone on Linux reaches the card server of the Windows host, and its placing is in the file', async () => {
  const desktop = makeTempDir('ringtally-wine-host-');
  const host = new WineHost(['--desktop', desktop, '--card-port', String(CARD_PORT)]);
  try {
    assert.deepEqual(await waitForCardServer(CARD_PORT, host), { status: 'ok' });
    // A name the Windows file system keeps only if it is handed over as UTF-16.
    const name = 'Zoë’s Fair 日本';
    assert.equal(await host.ask('create_contest', name), '');
    assert.equal(await host.ask('save_division', fields('none', 'Senior', '3')), '');
    assert.equal(await host.ask('save_team', fields('none', '1000', 'Red', 'Team', '')), '');
    assert.equal(await host.ask('call_save_contestant', fields('none', '1010', 'Åsa')), '');
    assert.equal(await host.ask('save_class_type', fields('none', 'Cattle')), '');
    assert.equal(await host.ask('save_class', fields('none', '1', 'Heifers', '1234', '253')), '');

    const phone = async (route, body) => {
      const res = await fetch(`http://127.0.0.1:${CARD_PORT}${route}`, { method: body === undefined ? 'GET' : 'POST', body });
      return { status: res.status, type: res.headers.get('content-type'), body: await res.text() };
    };
    const page = await phone('/placing');
    assert.equal(page.status, 200);
    assert.match(page.body, /<html/i);
    assert.equal((await phone('/reasons')).status, 200);
    assert.deepEqual(await phone('/nowhere'), { status: 404, type: 'application/json', body: '{"error":"Not Found"}' });
    assert.equal((await phone('/api/fetch_card_names', fields('1011', '1'))).body, fields('Åsa', 'Heifers'));
    assert.equal((await phone('/api/save_card_placing', fields('1011', '1', '1324'))).body, 'true');
    assert.equal((await phone('/api/save_card_placing', fields('1011', '1', '1234'))).body, 'false');
    assert.equal((await phone('/api/save_card_reasons', fields('1011', '1', '44'))).body, 'true');
    assert.deepEqual(await phone('/api/fetch_card_names_and_placing', fields('1011', '1')),
      { status: 200, type: 'text/plain', body: fields('Åsa', 'Heifers', '1324') });
    assert.ok((await host.ask('fetch_placings')).split(SEP_RE).includes('1324'));

    assert.equal(await host.end(), 0);
    const db = path.join(desktop, name, 'contest.db');
    assert.ok(fs.existsSync(db), `the contest folder keeps its name: ${fs.readdirSync(desktop).join(', ')}`);
    assert.equal(fs.existsSync(`${db}-wal`), false, 'the database was closed');
    const stored = execFileSync('sqlite3', [db, 'SELECT contestant_no, class_id, placing, reasons_score FROM placings'],
      { encoding: 'utf8' });
    assert.equal(stored.trim(), '1011|1|1324|44');
    assert.equal(execFileSync('sqlite3', [db, 'SELECT name FROM contest'], { encoding: 'utf8' }).trim(), name);
  } finally {
    host.kill();
    fs.rmSync(desktop, { recursive: true, force: true });
  }
});

test('the card lines name the address Linux finds for the first default route', async () => {
  const desktop = makeTempDir('ringtally-wine-lan-');
  const windowsHost = new WineHost(['--desktop', desktop, '--card-port', '0']);
  try {
    const windows = await windowsHost.ask('fetch_wifi_addresses');
    assert.equal(await windowsHost.end(), 0);
    const linux = spawnSync(process.env.RINGTALLY_HOST, ['--desktop', desktop, '--card-port', '0'],
      { input: JSON.stringify('1:fetch_wifi_addresses:') + '\n', encoding: 'utf8', timeout: 20000 });
    const linuxAnswer = JSON.parse(linux.stdout.split('\n')[0]).slice(2);
    if (linuxAnswer === '') {
      assert.equal(windows, '', 'no LAN address on either side');
      return;
    }
    const [placing, , reasons] = windows.split(SEP_RE);
    const [linuxPlacing, , linuxReasons] = linuxAnswer.split(SEP_RE);
    assert.equal(placing, linuxPlacing);
    assert.equal(reasons, linuxReasons);
    assert.equal(windows, linuxAnswer, 'the same QR codes too');
  } finally {
    windowsHost.kill();
    fs.rmSync(desktop, { recursive: true, force: true });
  }
});
