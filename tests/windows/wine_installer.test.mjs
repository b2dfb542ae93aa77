// The installer under Wine: /S installs silently into Program Files with an
// uninstaller, a Start-menu shortcut and an Apps & Features entry, asks
// netsh for the firewall rule, and the installed ringtally.exe starts; the
// uninstaller takes all of it away again.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { startXvfb, until } from '../window/display.mjs';
import { closeWindow } from '../window/x11_close.mjs';
import { buildDir, endWineSession, makeTempDir, wine64, wineEnv, WineProcess } from './wine.mjs';

const VERSION = '1.2.0';
const UNINSTALL_KEY = 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\RingtallyZuzu';
const drive = () => path.join(buildDir(), 'wineprefix', 'drive_c');
const installDir = () => path.join(drive(), 'Program Files', 'Ringtally Zuzu');
const shortcut = () => path.join(drive(), 'ProgramData', 'Microsoft', 'Windows', 'Start Menu', 'Programs',
  'Ringtally Zuzu.lnk');

let xvfb;
before(async () => {
  endWineSession();
  xvfb = await startXvfb();
});
after(() => {
  endWineSession();
  xvfb?.child.kill();
});

// Runs a Windows program to its end with process tracing on, so that the
// command lines it starts (netsh) can be read from Wine's trace. `started()`
// keeps growing while programs it left running still write to the trace.
function runTraced(exe, args, timeoutMs = 120000) {
  return new Promise((resolve) => {
    const child = spawn(wine64(), [exe, ...args],
      { env: wineEnv({ WINEDEBUG: '-all,+process', DISPLAY: xvfb.display }) });
    let trace = '';
    child.stderr.on('data', (chunk) => { trace += chunk; });
    const timer = setTimeout(() => child.kill('SIGKILL'), timeoutMs);
    child.on('exit', (code) => {
      clearTimeout(timer);
      resolve({ code, started: () => trace.split('\n').filter((line) => line.includes('CreateProcessInternalW')) });
    });
  });
}

function registry(key) {
  const run = spawnSync(wine64(), ['reg', 'query', key],
    { env: wineEnv({ DISPLAY: xvfb.display }), encoding: 'utf8', timeout: 30000 });
  return run.status === 0 ? run.stdout : null;
}

test('a silent install, the installed application starting, and a silent uninstall', async (t) => {
  const setup = path.join(buildDir(), `Ringtally-Zuzu-${VERSION}-setup.exe`);
  const installed = await runTraced(setup, ['/S']);
  assert.equal(installed.code, 0);

  const exe = path.join(installDir(), 'ringtally.exe');
  assert.ok(fs.readFileSync(exe).equals(fs.readFileSync(path.join(buildDir(), 'ringtally.exe'))),
    'the installed ringtally.exe is the one built');
  assert.ok(fs.existsSync(path.join(installDir(), 'uninstall.exe')));
  assert.ok(fs.existsSync(shortcut()), 'Start-menu shortcut');
  const entry = registry(UNINSTALL_KEY);
  assert.ok(entry, 'Apps & Features entry');
  for (const [name, value] of [['DisplayName', 'Ringtally Zuzu'], ['DisplayVersion', VERSION],
    ['UninstallString', '"C:\\Program Files\\Ringtally Zuzu\\uninstall.exe"']]) {
    assert.match(entry, new RegExp(`${name}\\s+REG_SZ\\s+${value.replace(/[\\"]/g, (c) => `\\${c}`)}`));
  }
  // Wine's netsh takes advfirewall commands but keeps no rules, so the rule
  // itself cannot be looked at here: the command the installer gave is.
  const add = installed.started().filter((line) => /cmdline L"netsh advfirewall firewall add rule/.test(line));
  assert.equal(add.length, 1, installed.started().join('\n'));
  for (const part of ['name=\\"Ringtally Zuzu cards\\"', 'dir=in', 'action=allow', 'protocol=TCP', 'localport=56780',
    'profile=private']) {
    assert.ok(add[0].includes(part), `${part} in ${add[0]}`);
  }
  t.diagnostic('Wine gap: netsh advfirewall keeps no rules; the installer\'s netsh command line was checked instead');

  // The installed program starts, serves its page and ends in order.
  const desktop = makeTempDir('ringtally-wine-installed-');
  const app = new WineProcess('C:\\Program Files\\Ringtally Zuzu\\ringtally.exe',
    ['--no-browser', '--desktop', desktop, '--card-port', '57452'], { DISPLAY: xvfb.display });
  try {
    const url = /^Page: (\S+)$/.exec(await app.nextLine(/^Page: /))[1];
    const page = await fetch(url);
    assert.equal(page.status, 200);
    assert.match(await page.text(), /<title>Ringtally<\/title>/);
    const window = await until('the installed window', () => {
      const run = spawnSync('xdotool', ['search', '--onlyvisible', '--name', '^Ringtally Zuzu$'],
        { env: { ...process.env, DISPLAY: xvfb.display }, encoding: 'utf8' });
      return run.stdout.trim().split('\n')[0];
    }, 60000, 200);
    await closeWindow(xvfb.display, window);
    assert.equal(await app.exited, 0);
  } finally {
    app.kill();
    fs.rmSync(desktop, { recursive: true, force: true });
  }

  // The uninstaller runs on from a copy of itself, so its work is waited for.
  const removed = await runTraced(path.join(installDir(), 'uninstall.exe'), ['/S']);
  assert.equal(removed.code, 0);
  await until('the uninstaller to finish', () => !fs.existsSync(installDir()) && registry(UNINSTALL_KEY) === null,
    60000, 250);
  assert.equal(fs.existsSync(shortcut()), false);
  await until('the uninstaller to delete the firewall rule', () => removed.started().some(
    (line) => line.includes('cmdline L"netsh advfirewall firewall delete rule name=\\"Ringtally Zuzu cards\\""')),
  30000, 250);
});
