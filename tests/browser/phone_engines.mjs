// One phone, two browser engines: Debian's Chromium through playwright-core,
// and WebKitGTK's MiniBrowser through WebKitWebDriver (plain W3C WebDriver
// requests) under its own Xvfb. Most phones at a contest are iPhones, whose
// every browser is WebKit, so the card pages are checked in both.
//
// A Phone is one page at a given viewport. Both engines offer the same
// surface: open, tap, enter (touch then fill, like playwright's fill), key
// presses, run(fn, arg) in the page, bounded waits, screenshots.
// WebKit needs Xvfb, WebKitWebDriver (webkit2gtk-driver), MiniBrowser
// (libwebkit2gtk-4.1-0) and xdotool.
import { execFileSync, spawn } from 'node:child_process';
import { mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

import { sleep, startXvfb, until } from '../window/display.mjs';
import { readMessageBox } from './card_phone.mjs';

export const MINIBROWSER = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';

// The phone sizes every case runs at, and the narrowest phone still in use.
export const PHONE_SIZES = [{ width: 360, height: 640 }, { width: 390, height: 844 }];
export const NARROW = { width: 320, height: 640 };

const outputDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', 'output');

const CHROMIUM_ARGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

// Installed into every page after load: a log of the page's fetches and of
// its uncaught errors, the same way in both engines. The card pages look
// `fetch` up at each call, so wrapping it after load sees every request.
function installRecorder() {
  if (window.phoneLog) return;
  window.phoneLog = { requests: [], errors: [] };
  const original = window.fetch;
  window.fetch = function (resource, init) {
    const headers = (init && init.headers) || {};
    window.phoneLog.requests.push({
      path: new URL(String(resource), location.href).pathname,
      method: (init && init.method) || 'GET',
      body: init && typeof init.body === 'string' ? init.body : null,
      contentType: headers['Content-Type'] || headers['content-type'] || null,
    });
    return original.apply(this, arguments);
  };
  window.addEventListener('error', (event) => window.phoneLog.errors.push(String(event.message)));
  window.addEventListener('unhandledrejection', (event) => window.phoneLog.errors.push(String(event.reason)));
}

// Common to both engines: everything built on run() and the primitives.
class Phone {
  // Polls fn(arg) in the page until it gives a truthy value; fails after timeoutMs.
  async waitFor(what, fn, arg, timeoutMs = 30000) {
    return until(what, () => this.run(fn, arg), timeoutMs, 50);
  }

  value(selector) {
    return this.run((s) => document.querySelector(s).value, selector);
  }

  isShown(selector) {
    return this.run((s) => getComputedStyle(document.querySelector(s)).display !== 'none', selector);
  }

  focusedId() {
    return this.run(() => (document.activeElement ? document.activeElement.id : ''));
  }

  apiRequests() {
    return this.run(() => window.phoneLog.requests.filter((r) => r.path.startsWith('/api/')));
  }

  errors() {
    return this.run(() => window.phoneLog.errors.slice());
  }

  // The message box as the user sees it: look, lines, stray elements, colours.
  box(selector) {
    return this.run(readMessageBox, selector);
  }

  // Touches an input and puts `text` in it, firing `input` as typing would.
  async enter(selector, text) {
    await this.tap(selector);
    await this.run(([s, t]) => {
      const input = document.querySelector(s);
      input.value = t;
      input.dispatchEvent(new Event('input', { bubbles: true }));
    }, [selector, text]);
  }

  async enterNumbers(contestant, classNumber) {
    await this.enter('#contestant-number-inp', contestant);
    await this.enter('#class-number-inp', classNumber);
  }

  // Arms a watch on `box`: the next time it is written while shown.
  armBox(box) {
    return this.run((s) => {
      const element = document.querySelector(s);
      window.phoneBoxShown = false;
      const observer = new MutationObserver(() => {
        if (element.classList.contains('hidden')) return;
        window.phoneBoxShown = true;
        observer.disconnect();
      });
      observer.observe(element, { attributes: true, childList: true, subtree: true, characterData: true });
    }, box);
  }

  async boxWritten(box, timeoutMs = 30000) {
    await this.waitFor(`${box} to be written`, () => window.phoneBoxShown, undefined, timeoutMs);
    return this.box(box);
  }

  // Taps a submit button and waits until `box` is next written while shown.
  async submit(button, box) {
    await this.armBox(box);
    await this.tap(button);
    return this.boxWritten(box);
  }

  submitNumbers() {
    return this.submit('#submit-numbers-btn', '#info-box');
  }

  async keys(...names) {
    for (const name of names) await this.press(name);
  }

  // Presses Tab (bounded) until the focused element's id is `id`.
  async tabTo(id, limit = 20) {
    for (let i = 0; i < limit; i += 1) {
      if (await this.focusedId() === id) return;
      await this.press('Tab');
    }
    throw new Error(`Tab never reached #${id}; focus is on #${await this.focusedId()}`);
  }

  async screenshot(name) {
    mkdirSync(outputDir, { recursive: true });
    await this.saveScreenshot(path.join(outputDir, `${this.engine}-${name}.png`));
  }
}

// ---- Chromium through playwright-core.

class ChromiumPhone extends Phone {
  constructor(context, page) {
    super();
    this.engine = 'chromium';
    this.context = context;
    this.page = page;
  }

  run(fn, arg) { return this.page.evaluate(fn, arg); }
  tap(selector) { return this.page.tap(selector); }
  press(key) { return this.page.keyboard.press(key); }
  type(text) { return this.page.keyboard.type(text); }
  saveScreenshot(file) { return this.page.screenshot({ path: file, fullPage: true }); }
  close() { return this.context.close(); }
}

export async function chromiumEngine() {
  const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: CHROMIUM_ARGS });
  return {
    name: 'chromium',
    async open(url, viewport) {
      const context = await browser.newContext({ viewport, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
      context.setDefaultTimeout(30000);
      const page = await context.newPage();
      await page.goto(url);
      await page.evaluate(installRecorder);
      return new ChromiumPhone(context, page);
    },
    async close() {
      let timer;
      const limit = new Promise((resolve, reject) => {
        timer = setTimeout(() => reject(new Error('Chromium did not close within 20 s')), 20000);
      });
      try {
        await Promise.race([browser.close(), limit]);
      } finally {
        clearTimeout(timer);
      }
    },
  };
}

// ---- WebKitGTK's MiniBrowser through WebKitWebDriver.

// WebDriver key codes for the names the tests use.
const KEY_CODES = {
  Tab: '\uE004', Enter: '\uE007', Space: ' ', Shift: '\uE008', Backspace: '\uE003',
  ArrowUp: '\uE013', ArrowDown: '\uE015', ArrowLeft: '\uE012', ArrowRight: '\uE014',
};

function keyActions(name) {
  const parts = name.split('+');
  const codes = parts.map((part) => KEY_CODES[part] ?? part);
  const down = codes.map((value) => ({ type: 'keyDown', value }));
  const up = codes.slice().reverse().map((value) => ({ type: 'keyUp', value }));
  return [...down, ...up];
}

class WebKitPhone extends Phone {
  constructor(driver, handle) {
    super();
    this.engine = 'webkit';
    this.driver = driver;
    this.handle = handle;
  }

  async command(method, url, body) {
    await this.driver.select(this.handle);
    return this.driver.request(method, `/session/${this.driver.session}${url}`, body);
  }

  // WebDriver waits for a returned promise, so async functions work too.
  run(fn, arg) {
    return this.command('POST', '/execute/sync', {
      script: `return (${fn.toString()}).apply(null, arguments);`,
      args: arg === undefined ? [] : [arg],
    });
  }

  async element(selector) {
    const found = await this.command('POST', '/element', { using: 'css selector', value: selector });
    return Object.values(found)[0];
  }

  async tap(selector) {
    const id = await this.element(selector);
    await this.command('POST', `/element/${id}/click`, {});
  }

  async press(name) {
    await this.command('POST', '/actions', { actions: [{ type: 'key', id: 'keyboard', actions: keyActions(name) }] });
    await this.command('DELETE', '/actions');
  }

  async type(text) {
    const actions = [...text].flatMap((ch) => [{ type: 'keyDown', value: ch }, { type: 'keyUp', value: ch }]);
    await this.command('POST', '/actions', { actions: [{ type: 'key', id: 'keyboard', actions }] });
  }

  async saveScreenshot(file) {
    // The snapshot is of the last painted frame: let the page paint first.
    await this.run(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
    writeFileSync(file, Buffer.from(await this.command('GET', '/screenshot'), 'base64'));
  }

  // Sizes the window so that the page's viewport is exactly `viewport`. The
  // window's toolbar takes some height, measured and added; a new window
  // may still be settling, so a few rounds are allowed.
  async resize({ width, height }) {
    let toolbar = 0;
    let got = [];
    for (let round = 0; round < 8; round += 1) {
      await this.command('POST', '/window/rect', { width, height: height + toolbar });
      await sleep(50);
      got = await this.run(() => [window.innerWidth, window.innerHeight]);
      if (got[0] === width && got[1] === height) return;
      if (got[0] === width) toolbar = height + toolbar - got[1];
    }
    throw new Error(`MiniBrowser viewport is ${got.join('x')}, wanted ${width}x${height}`);
  }

  // Gives the window the keyboard focus, as the phone's one browser window
  // has it. Without a window manager a resized window loses it for good, and
  // the page then neither matches :focus nor reports document.hasFocus().
  // The window is found by a title of its own, set for the moment.
  async activate() {
    const token = `ringtally-phone-${this.handle}`;
    const title = await this.run((t) => { const old = document.title; document.title = t; return old; }, token);
    const found = execFileSync('xdotool', ['search', '--sync', '--name', token],
      { env: this.driver.env, encoding: 'utf8', timeout: 10000 }).trim().split('\n');
    execFileSync('xdotool', ['windowfocus', '--sync', found[0]], { env: this.driver.env, timeout: 10000 });
    await this.run((t) => { document.title = t; }, title);
    await this.waitFor('the phone window to have the focus', () => document.hasFocus(), undefined, 10000);
  }

  async close() {
    await this.command('DELETE', '/window');
    this.driver.current = null;
  }
}

class WebKitDriver {
  static async start(port) {
    const driver = new WebKitDriver(port);
    try {
      await driver.boot();
    } catch (error) {
      await driver.stop();
      throw error;
    }
    return driver;
  }

  constructor(port) {
    this.port = port;
    this.base = `http://127.0.0.1:${port}`;
    this.root = mkdtempSync(path.join(tmpdir(), 'ringtally-webkit-'));
    this.session = null;
    this.current = null;
    this.stderr = '';
  }

  async boot() {
    const { child, display } = await startXvfb();
    this.xvfb = child;
    const runtime = path.join(this.root, 'runtime');
    mkdirSync(runtime, { mode: 0o700 });
    // MiniBrowser's toolbar would keep its window at least 447 pixels wide;
    // a user style sheet for its GTK widgets lets it shrink to phone widths.
    // The web page itself is not styled by GTK.
    const gtkConfig = path.join(this.root, 'config', 'gtk-3.0');
    mkdirSync(gtkConfig, { recursive: true });
    writeFileSync(path.join(gtkConfig, 'gtk.css'),
      '* { font-size: 1px; min-width: 0; min-height: 0; padding: 0; margin: 0; border-width: 0; }\n');
    const env = this.env = {
      PATH: process.env.PATH, LANG: 'C.UTF-8', HOME: this.root, DISPLAY: display,
      XDG_CONFIG_HOME: path.join(this.root, 'config'), XDG_RUNTIME_DIR: runtime,
      GSETTINGS_BACKEND: 'memory', NO_AT_BRIDGE: '1',
    };
    this.child = spawn('WebKitWebDriver', [`--port=${this.port}`], { env, stdio: ['ignore', 'ignore', 'pipe'] });
    this.child.stderr.on('data', (chunk) => { this.stderr += chunk; });
    // A suite that dies half-way must not leave the driver holding its port.
    const driverChild = this.child;
    process.once('exit', () => { if (driverChild.exitCode === null) driverChild.kill('SIGKILL'); });
    await until('WebKitWebDriver to answer', () => fetch(`${this.base}/status`).then((r) => r.ok, () => false), 15000);
    const created = await this.request('POST', '/session', {
      capabilities: { alwaysMatch: { 'webkitgtk:browserOptions': { binary: MINIBROWSER, args: ['--automation'] } } },
    });
    this.session = created.sessionId;
    this.version = created.capabilities.browserVersion;
    await this.request('POST', `/session/${this.session}/timeouts`, { script: 30000, pageLoad: 30000, implicit: 0 });
    // The first window stays open on a blank page, so that closing a phone's
    // window never closes the session.
    this.home = await this.request('GET', `/session/${this.session}/window`);
    this.current = this.home;
  }

  async request(method, url, body) {
    const response = await fetch(this.base + url, {
      method,
      headers: { 'content-type': 'application/json' },
      body: body === undefined ? undefined : JSON.stringify(body),
      signal: AbortSignal.timeout(60000),
    });
    const json = await response.json();
    if (!response.ok) throw new Error(`WebDriver ${method} ${url}: ${JSON.stringify(json.value)} ${this.stderr}`);
    return json.value;
  }

  async select(handle) {
    if (this.current === handle) return;
    await this.request('POST', `/session/${this.session}/window`, { handle });
    this.current = handle;
  }

  async open(url, viewport) {
    await this.select(this.home);
    const { handle } = await this.request('POST', `/session/${this.session}/window/new`, { type: 'window' });
    const phone = new WebKitPhone(this, handle);
    await phone.command('POST', '/url', { url });
    await phone.resize(viewport);
    await phone.activate();
    await phone.run(installRecorder);
    return phone;
  }

  async stop() {
    if (this.session) {
      await this.request('DELETE', `/session/${this.session}`).catch(() => {});
      this.session = null;
    }
    if (this.child && this.child.exitCode === null) {
      this.child.kill('SIGTERM');
      await Promise.race([new Promise((resolve) => this.child.once('exit', resolve)), sleep(3000)]);
      if (this.child.exitCode === null) this.child.kill('SIGKILL');
    }
    if (this.xvfb) this.xvfb.kill('SIGTERM');
    rmSync(this.root, { recursive: true, force: true });
  }
}

export async function webkitEngine(driverPort) {
  const driver = await WebKitDriver.start(driverPort);
  return {
    name: 'webkit',
    version: driver.version,
    open: (url, viewport) => driver.open(url, viewport),
    close: () => driver.stop(),
  };
}

// The engines to run, in order; RINGTALLY_ENGINES ("chromium", "webkit" or
// both, comma-separated) narrows a local run.
export function engineNames() {
  const chosen = (process.env.RINGTALLY_ENGINES || 'chromium,webkit').split(',').map((s) => s.trim());
  return ['chromium', 'webkit'].filter((name) => chosen.includes(name));
}

export function startEngine(name, driverPort) {
  return name === 'chromium' ? chromiumEngine() : webkitEngine(driverPort);
}
