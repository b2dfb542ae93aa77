// The real ringtally window under Xvfb, started and driven by WebKitWebDriver
// with plain W3C WebDriver requests. Used by the contest-day test and by the
// window start-up benchmark. Needs Xvfb, WebKitWebDriver and xdotool.
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { freePort, sleep, startXvfb, until } from '../window/display.mjs';

export { sleep, until };

export const sourceDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const appBinary = () => process.env.RINGTALLY_APP ?? path.join(sourceDir, 'build/ringtally');

const ELEMENT = 'element-6066-11e4-a52e-4f735466cecf';

// A display, a temporary home with a Desktop folder, and a WebKitWebDriver.
export class Desk {
  static async start(prefix = 'ringtally-desk-') {
    const desk = new Desk();
    desk.root = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
    desk.home = path.join(desk.root, 'home');
    desk.desktop = path.join(desk.home, 'Desktop');
    fs.mkdirSync(desk.desktop, { recursive: true });
    const runtime = path.join(desk.root, 'xdg-runtime');
    fs.mkdirSync(runtime, { mode: 0o700 });
    ({ child: desk.xvfb, display: desk.display } = await startXvfb());
    desk.env = {
      PATH: process.env.PATH,
      LANG: 'C.UTF-8',
      HOME: desk.home,
      DISPLAY: desk.display,
      XDG_RUNTIME_DIR: runtime,
      GSETTINGS_BACKEND: 'memory',
      NO_AT_BRIDGE: '1',
    };
    const port = await freePort();
    desk.driverUrl = `http://127.0.0.1:${port}`;
    desk.driver = spawn('WebKitWebDriver', [`--port=${port}`], { env: desk.env, stdio: ['ignore', 'ignore', 'inherit'] });
    await until('WebKitWebDriver', () => fetch(`${desk.driverUrl}/status`).then((r) => r.ok, () => false));
    desk.sessions = [];
    return desk;
  }

  async webdriver(method, url, body) {
    const response = await fetch(this.driverUrl + url, {
      method,
      headers: { 'content-type': 'application/json' },
      body: body === undefined ? undefined : JSON.stringify(body),
    });
    const json = await response.json();
    if (!response.ok) {
      const error = new Error(`${method} ${url}: ${JSON.stringify(json.value)}`);
      error.webdriver = json.value;
      throw error;
    }
    return json.value;
  }

  x11(tool, ...args) {
    return execFileSync(tool, args, { env: this.env, encoding: 'utf8', timeout: 10000 }).trim();
  }

  // Starts the application through a launcher that records the moment it
  // starts it (ns since the epoch), its pid and, at its end, its exit code.
  async open() {
    const runDir = fs.mkdtempSync(path.join(this.root, 'run-'));
    const launcher = path.join(runDir, 'launch.sh');
    fs.writeFileSync(launcher, `#!/bin/sh
date +%s%N > "${runDir}/start"
"${appBinary()}" "$@" &
echo $! > "${runDir}/pid"
wait $!
echo $? > "${runDir}/exit"
`, { mode: 0o755 });
    const created = await this.webdriver('POST', '/session', {
      capabilities: { alwaysMatch: { 'webkitgtk:browserOptions': { binary: launcher, args: ['--automation'] } } },
    });
    const session = new WindowSession(this, created.sessionId, runDir);
    this.sessions.push(session);
    return session;
  }

  async stop() {
    for (const session of this.sessions) session.kill();
    if (this.driver) {
      this.driver.kill('SIGTERM');
      await Promise.race([new Promise((resolve) => this.driver.once('exit', resolve)), sleep(3000)]);
      this.driver.kill('SIGKILL');
    }
    if (this.xvfb) this.xvfb.kill('SIGTERM');
    if (this.root) fs.rmSync(this.root, { recursive: true, force: true });
  }
}

// One running application and its page, seen the way the organiser sees it.
export class WindowSession {
  constructor(desk, id, runDir) {
    this.desk = desk;
    this.id = id;
    this.runDir = runDir;
    this.pid = Number(fs.readFileSync(path.join(runDir, 'pid'), 'utf8'));
  }

  command(method, url, body) {
    return this.desk.webdriver(method, `/session/${this.id}${url}`, body);
  }

  js(script, ...args) {
    return this.command('POST', '/execute/sync', { script, args });
  }

  jsAsync(script, ...args) {
    return this.command('POST', '/execute/async', { script, args });
  }

  // Waits until the page script `condition` (an expression) is truthy.
  waitFor(what, condition, timeoutMs = 10000) {
    return until(what, () => this.js(`return ${condition};`), timeoutMs, 40);
  }

  async element(selector) {
    const found = await this.command('POST', '/element', { using: 'css selector', value: selector });
    return found[ELEMENT];
  }

  async click(selector) {
    const element = await this.element(selector);
    await this.command('POST', `/element/${element}/click`, {});
  }

  // Empties a text input and types `text` into it, key by key.
  async type(selector, text) {
    const element = await this.element(selector);
    await this.command('POST', `/element/${element}/clear`, {});
    if (text !== '') await this.command('POST', `/element/${element}/value`, { text });
  }

  // Picks the option of a select whose value is `value`, as a click would.
  async choose(selectId, value) {
    await this.click(`#${selectId} option[value="${value.replace(/"/g, '\\"')}"]`);
  }

  text(selector) {
    return this.js('const e = document.querySelector(arguments[0]); return e ? e.textContent : null;', selector);
  }

  // The open alert's text, or null when none is open.
  async alertText() {
    try {
      return await this.command('GET', '/alert/text');
    } catch (error) {
      if (error.webdriver?.error === 'no such alert') return null;
      throw error;
    }
  }

  mainWindow() {
    if (!this.window) {
      const found = this.desk.x11('xdotool', 'search', '--onlyvisible', '--pid', String(this.pid))
        .split('\n').filter(Boolean);
      if (found.length === 1) this.window = found[0];
    }
    return this.window;
  }

  key(...keys) {
    this.desk.x11('xdotool', 'windowfocus', '--sync', this.mainWindow());
    this.desk.x11('xdotool', 'key', ...keys);
  }

  // The window as it is on the screen, after the page has painted.
  async screenshot(file) {
    await this.jsAsync(`const done = arguments[0];
      requestAnimationFrame(() => requestAnimationFrame(() => done(true)));`);
    const png = Buffer.from(await this.command('GET', '/screenshot'), 'base64');
    fs.mkdirSync(path.dirname(file), { recursive: true });
    fs.writeFileSync(file, png);
    return png;
  }

  // Resident memory of the application and its WebKit helper processes, in kB.
  residentMemory() {
    return residentSetOfTree(this.pid);
  }

  // When the launcher started the application, in ms since the epoch.
  startedAtMs() {
    return Number(BigInt(fs.readFileSync(path.join(this.runDir, 'start'), 'utf8').trim()) / 1000n) / 1000;
  }

  exited() {
    return fs.existsSync(path.join(this.runDir, 'exit'));
  }

  async exitCode(timeoutMs = 20000) {
    const file = path.join(this.runDir, 'exit');
    await until('the application to exit', () => fs.existsSync(file), timeoutMs);
    return Number(fs.readFileSync(file, 'utf8'));
  }

  kill() {
    if (!this.exited()) {
      try { process.kill(this.pid, 'SIGKILL'); } catch {}
    }
  }

  async end() {
    await this.command('DELETE', '').catch(() => {});
  }
}

// VmRSS (and the proportional share, Pss, which counts shared pages once
// over all processes) of `pid` and every process below it, with their sums.
export function residentSetOfTree(pid) {
  const parents = new Map();
  for (const entry of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      const stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
      const afterName = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      parents.set(Number(entry), Number(afterName[1]));
    } catch {}  // the process ended meanwhile
  }
  const tree = [pid];
  for (let i = 0; i < tree.length; ++i) {
    for (const [child, parent] of parents) if (parent === tree[i]) tree.push(child);
  }
  const processes = [];
  for (const member of tree) {
    try {
      const status = fs.readFileSync(`/proc/${member}/status`, 'utf8');
      const rollup = fs.readFileSync(`/proc/${member}/smaps_rollup`, 'utf8');
      processes.push({
        pid: member,
        name: status.match(/^Name:\s*(.*)$/m)[1],
        rssKb: Number(status.match(/^VmRSS:\s*(\d+)/m)?.[1] ?? 0),
        pssKb: Number(rollup.match(/^Pss:\s*(\d+)/m)?.[1] ?? 0),
      });
    } catch {}
  }
  return {
    totalKb: processes.reduce((sum, p) => sum + p.rssKb, 0),
    pssKb: processes.reduce((sum, p) => sum + p.pssKb, 0),
    processes,
  };
}
