// Running the Windows build under Wine: one prefix inside the build folder,
// quiet and without the Mono and Gecko prompts.
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import readline from 'node:readline';

export const SEP = '\u001f';
export const fields = (...parts) => parts.join(SEP);

export function buildDir() {
  const dir = process.env.RINGTALLY_WINDOWS_BUILD;
  if (!dir) throw new Error('RINGTALLY_WINDOWS_BUILD must name the Windows build folder');
  return dir;
}

export const wine64 = () => process.env.RINGTALLY_WINE64 || '/usr/lib/wine/wine64';
const wineserver = () => path.join(path.dirname(wine64()), 'wineserver');

// Ends every Windows process of the prefix and its server. The server keeps
// the X display of the program that started it, so each test file that
// brings its own display starts and ends with this.
export function endWineSession() {
  spawnSync(wineserver(), ['-k'], { env: wineEnv(), timeout: 30000 });
  spawnSync(wineserver(), ['-w'], { env: wineEnv(), timeout: 30000 });
}

export function wineEnv(extra = {}) {
  return {
    ...process.env,
    WINEPREFIX: path.join(buildDir(), 'wineprefix'),
    WINEDEBUG: '-all',
    WINEDLLOVERRIDES: 'mscoree,mshtml=',
    ...extra,
  };
}

// A Windows program under wine64. `lines` gets each line of its standard
// output; `exited` resolves with its exit code.
export class WineProcess {
  constructor(exe, args, env = {}) {
    this.stderr = '';
    this.lines = [];
    this.child = spawn(wine64(), [exe, ...args], { env: wineEnv(env), stdio: ['pipe', 'pipe', 'pipe'] });
    this.child.stderr.on('data', (chunk) => { this.stderr += chunk; });
    this.exited = new Promise((resolve) => this.child.on('exit', (code, signal) => resolve(signal ? signal : code)));
    this.waiters = [];
    readline.createInterface({ input: this.child.stdout }).on('line', (line) => {
      this.lines.push(line);
      this.waiters = this.waiters.filter((w) => !w(line));
    });
  }

  // The first output line (from now or already seen) that matches `pattern`.
  nextLine(pattern, timeoutMs = 60000) {
    const seen = this.lines.find((line) => pattern.test(line));
    if (seen) return Promise.resolve(seen);
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error(`no line like ${pattern}; stderr: ${this.stderr}`)), timeoutMs);
      this.waiters.push((line) => {
        if (!pattern.test(line)) return false;
        clearTimeout(timer);
        resolve(line);
        return true;
      });
      this.exited.then((code) => reject(new Error(`ended (${code}) before a line like ${pattern}; stderr: ${this.stderr}`)));
    });
  }

  kill() { this.child.kill('SIGKILL'); }
}

// ringtally-host.exe driven over its standard streams, as the Linux host is.
export class WineHost extends WineProcess {
  constructor(args) {
    super(path.join(buildDir(), 'ringtally-host.exe'), args);
    this.nextId = 0;
  }

  async ask(command, argument = '') {
    const id = `w${++this.nextId}`;
    this.child.stdin.write(JSON.stringify(`${id}:${command}:${argument}`) + '\n');
    const line = await this.nextLine(new RegExp(`^"${id}:`));
    return JSON.parse(line).slice(id.length + 1);
  }

  async end(timeoutMs = 30000) {
    this.child.stdin.end();
    const timer = setTimeout(() => this.kill(), timeoutMs);
    const code = await this.exited;
    clearTimeout(timer);
    return code;
  }
}

export function makeTempDir(prefix) {
  return fs.mkdtempSync(path.join(process.env.TMPDIR || '/tmp', prefix));
}
