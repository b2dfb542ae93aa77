// Runs ringtally-host as a child with its own temporary desktop and card
// port, and speaks its stdin/stdout protocol: one JSON string per line,
// "id:command:argument" in, "id:result" out.
import { spawn } from 'node:child_process';
import http from 'node:http';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { createInterface } from 'node:readline';
import { fileURLToPath } from 'node:url';

export const SEPARATOR = '\u001f';

export function fields(...parts) {
  return parts.join(SEPARATOR);
}

const repoRoot = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');

// The host binary under test; ctest passes it, a local run falls back to build/.
export function hostExecutable() {
  return process.env.RINGTALLY_HOST || path.join(repoRoot, 'build', 'ringtally-host');
}

// The host whose fetch_card_names holds the worker for contestant 9999, or ''.
export function slowHostExecutable() {
  return process.env.RINGTALLY_SLOW_HOST || '';
}

// A card API request to the card server on `port` from the phone at
// `address` (any 127.x.y.z): the socket's source address is what the host
// logs for a card write.
export function postFrom(port, address, route, ...parts) {
  const body = fields(...parts);
  return new Promise((resolve, reject) => {
    const request = http.request({
      host: '127.0.0.1', port, path: `/api/${route}`, method: 'POST', localAddress: address,
      headers: { 'Content-Type': 'text/plain', 'Content-Length': Buffer.byteLength(body) },
      timeout: 30000,
    }, (response) => {
      let text = '';
      response.setEncoding('utf8');
      response.on('data', (chunk) => { text += chunk; });
      response.on('end', () => resolve({ status: response.statusCode, body: text }));
    });
    request.on('timeout', () => request.destroy(new Error('no answer within 30 s')));
    request.on('error', reject);
    request.end(body);
  });
}

export class CardHost {
  constructor(executable, port) {
    this.port = port;
    this.base = `http://127.0.0.1:${port}`;
    this.desktop = mkdtempSync(path.join(tmpdir(), 'ringtally-cards-'));
    this.nextId = 1;
    this.waiting = new Map();
    this.stderr = '';
    this.child = spawn(executable, ['--desktop', this.desktop, '--card-port', String(port)], {
      stdio: ['pipe', 'pipe', 'pipe'],
    });
    this.child.stderr.setEncoding('utf8');
    this.child.stderr.on('data', (chunk) => { this.stderr += chunk; });
    this.exited = new Promise((resolve) => {
      this.child.on('exit', (code, signal) => resolve({ code, signal }));
    });
    this.exited.then(() => {
      for (const { reject } of this.waiting.values()) {
        reject(new Error(`ringtally-host ended before answering. ${this.stderr}`));
      }
      this.waiting.clear();
    });
    createInterface({ input: this.child.stdout }).on('line', (line) => this.onLine(line));
    // A suite that dies half-way must not leave a host holding its port.
    const child = this.child;
    process.once('exit', () => { if (child.exitCode === null && child.signalCode === null) child.kill('SIGKILL'); });
  }

  // Starts the host and waits until its card server answers /health.
  static async start(executable, port) {
    const host = new CardHost(executable, port);
    await host.waitForHealth();
    return host;
  }

  onLine(line) {
    const reply = JSON.parse(line);
    const colon = reply.indexOf(':');
    const id = reply.slice(0, colon);
    const entry = this.waiting.get(id);
    if (!entry) return;
    this.waiting.delete(id);
    entry.resolve(reply.slice(colon + 1));
  }

  // Sends one command as the main page would; resolves with its result text.
  call(command, argument = '') {
    const id = String(this.nextId++);
    return new Promise((resolve, reject) => {
      this.waiting.set(id, { resolve, reject });
      this.child.stdin.write(JSON.stringify(`${id}:${command}:${argument}`) + '\n');
    });
  }

  // Like call, but a result other than the empty text is a failure.
  async change(command, ...parts) {
    const result = await this.call(command, fields(...parts));
    if (result !== '') throw new Error(`${command} ${JSON.stringify(parts)} answered ${JSON.stringify(result)}`);
  }

  async waitForHealth(limitMs = 10000) {
    const deadline = Date.now() + limitMs;
    let lastProblem = '';
    while (Date.now() < deadline) {
      if (this.child.exitCode !== null) break;
      try {
        const response = await fetch(`${this.base}/health`);
        if (response.status === 200) return;
        lastProblem = `status ${response.status}`;
      } catch (error) {
        lastProblem = error.message;
      }
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
    throw new Error(`card server on port ${this.port} never answered /health (${lastProblem}). ${this.stderr}`);
  }

  // A phone request made outside the browser, e.g. to prepare a placing.
  async post(route, ...parts) {
    const response = await fetch(`${this.base}/api/${route}`, {
      method: 'POST',
      headers: { 'Content-Type': 'text/plain' },
      body: fields(...parts),
    });
    return { status: response.status, body: await response.text() };
  }

  // A request from the phone at `address` (any 127.x.y.z).
  postFrom(address, route, ...parts) {
    return postFrom(this.port, address, route, ...parts);
  }

  // Ends input (the host answers what is queued and exits) and removes the desktop.
  async stop() {
    if (this.child.exitCode === null && this.child.signalCode === null) {
      this.child.stdin.end();
      const timer = setTimeout(() => this.child.kill('SIGKILL'), 40000);
      await this.exited;
      clearTimeout(timer);
    }
    rmSync(this.desktop, { recursive: true, force: true });
  }
}

// Splits a listing into rows of `width` fields.
export function rowsOf(listing, width) {
  if (listing === '') return [];
  const all = listing.split(SEPARATOR);
  const rows = [];
  for (let i = 0; i < all.length; i += width) rows.push(all.slice(i, i + width));
  return rows;
}
