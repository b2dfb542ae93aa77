// Loads a page in headless Debian Chromium with a window.chrome.webview
// stand-in that carries the page's messages to a real ringtally-host child
// (or, for cases the real core can't produce on demand, to a scripted
// responder) and hands each reply back as a `message` event.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
// The pages as the build assembles them from ui/: what ships is what is tested.
export const uiDir = path.resolve(process.env.RINGTALLY_UI_DIR ?? path.join(here, '..', '..', 'build', 'ui'));
export const SEP = '\u001f';

export function hostBinary() {
  const bin = process.env.RINGTALLY_HOST;
  if (!bin) throw new Error('RINGTALLY_HOST must name the ringtally-host binary');
  return bin;
}

export function makeTempDir(prefix = 'ringtally-browser-') {
  return fs.mkdtempSync(path.join(os.tmpdir(), prefix));
}

export async function launchBrowser() {
  return chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

// Installed before the page's own scripts: the same surface the window gives.
function webviewStandIn() {
  const target = new EventTarget();
  target.postMessage = (text) => { window.__hostPost(String(text)); };
  window.chrome = window.chrome || {};
  window.chrome.webview = target;
  window.__deliverReply = (data) => target.dispatchEvent(new MessageEvent('message', { data }));
}

class HostChild {
  constructor(args) {
    this.stderr = '';
    this.child = spawn(hostBinary(), args, { stdio: ['pipe', 'pipe', 'pipe'] });
    this.child.stderr.on('data', (chunk) => { this.stderr += chunk; });
    this.exited = new Promise((resolve) => this.child.on('exit', (code) => resolve(code)));
  }
  onReply(handler) {
    readline.createInterface({ input: this.child.stdout }).on('line', (line) => handler(JSON.parse(line)));
  }
  send(text) { this.child.stdin.write(JSON.stringify(text) + '\n'); }
  async close() {
    this.child.stdin.end();
    const timer = setTimeout(() => this.child.kill('SIGKILL'), 5000);
    const code = await this.exited;
    clearTimeout(timer);
    return code;
  }
}

// A page wired to a host. Options:
//   hostArgs: extra ringtally-host arguments (a --desktop is added unless given)
//   respond(command, args): answer messages in-process instead (no host child)
//   file: the page to load (default ui/main.html)
//   viewport, beforeLoad(page): hooks for the few tests that need them
export async function openPage(browser, options = {}) {
  const context = await browser.newContext({ viewport: options.viewport || { width: 1400, height: 900 } });
  context.setDefaultTimeout(5000);
  const page = await context.newPage();
  const session = {
    page,
    sent: [],        // every message text the page posted, in order
    replies: [],     // every reply text handed back, in order
    alerts: [],      // every alert text, in order (all accepted)
    pageErrors: [],
    desktop: null,
    host: null,
    unanswered: 0,   // scripted requests left without a reply on purpose
  };
  page.on('dialog', (dialog) => { session.alerts.push(dialog.message()); dialog.accept(); });
  page.on('pageerror', (error) => session.pageErrors.push(error.message));

  let delivery = Promise.resolve();
  const deliver = (reply) => {
    delivery = delivery.then(async () => {
      await page.evaluate((data) => window.__deliverReply(data), reply).catch(() => {});
      session.replies.push(reply);
    });
  };

  if (options.respond) {
    session.post = (text) => {
      const first = text.indexOf(':');
      const id = text.slice(0, first);
      const rest = text.slice(first + 1);
      const second = rest.indexOf(':');
      const command = second < 0 ? rest : rest.slice(0, second);
      const args = second < 0 ? '' : rest.slice(second + 1);
      const result = options.respond(command, args, id);
      if (result === undefined) session.unanswered += 1;
      else deliver(id + ':' + result);
    };
  } else {
    const args = [...(options.hostArgs || [])];
    if (!args.includes('--desktop')) {
      session.desktop = makeTempDir();
      args.push('--desktop', session.desktop);
    }
    if (!args.includes('--card-port')) args.push('--card-port', '0');
    session.host = new HostChild(args);
    session.host.onReply(deliver);
    session.post = (text) => session.host.send(text);
  }

  await page.exposeFunction('__hostPost', (text) => {
    session.sent.push(text);
    session.post(text);
  });
  await page.addInitScript(webviewStandIn);
  if (options.beforeLoad) await options.beforeLoad(page);
  await page.goto('file://' + path.join(uiDir, options.file || 'main.html'));

  // Waits until every message the page sent has had its reply delivered and
  // the page has had a chance to send the next one of its flow.
  session.settle = async (timeoutMs = 15000) => {
    const deadline = Date.now() + timeoutMs;
    let quiet = 0;
    while (quiet < 2) {
      if (Date.now() > deadline) {
        throw new Error(`page did not settle: sent ${session.sent.length}, answered ${session.replies.length}`);
      }
      await delivery;
      await page.evaluate(() => new Promise((resolve) => setTimeout(resolve, 15)));
      const answered = session.replies.length + session.unanswered;
      quiet = session.sent.length === answered ? quiet + 1 : 0;
    }
  };

  // Hands the page a reply of the test's own making (not counted as an answer).
  session.inject = (reply) => page.evaluate((data) => window.__deliverReply(data), reply);

  // Messages sent from here on, without the reply ids.
  session.mark = () => {
    const from = session.sent.length;
    return () => session.sent.slice(from).map((text) => text.slice(text.indexOf(':') + 1));
  };

  session.close = async () => {
    await context.close();
    if (session.host) return session.host.close();
    return 0;
  };
  return session;
}
