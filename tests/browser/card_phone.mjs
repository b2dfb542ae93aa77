// Debian's Chromium driven by playwright-core as a phone: small viewport,
// touch, mobile layout. A CardPhone is one card page with its request log.
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';
import { mkdirSync } from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const CHROMIUM_ARGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

export const PHONE = {
  viewport: { width: 390, height: 844 },
  deviceScaleFactor: 2,
  isMobile: true,
  hasTouch: true,
};

const outputDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', 'output');

export async function launchBrowser() {
  // playwright's launch gives every run a fresh user data directory.
  return chromium.launch({ executablePath: '/usr/bin/chromium', args: CHROMIUM_ARGS });
}

// Closes the browser, failing plainly rather than hanging the suite when
// Chromium does not go away.
export async function closeBrowser(browser, limitMs = 20000) {
  if (!browser) return;
  let timer;
  const limit = new Promise((resolve, reject) => {
    timer = setTimeout(() => reject(new Error(`Chromium did not close within ${limitMs} ms`)), limitMs);
  });
  try {
    await Promise.race([browser.close(), limit]);
  } finally {
    clearTimeout(timer);
  }
}

// Headers that belong to one hop, set again by whoever sends the request.
const HOP_HEADERS = new Set(['connection', 'keep-alive', 'content-length', 'transfer-encoding', 'host']);

// Sends one request of the page from `sourceAddress` and returns the answer.
// A request that a kept-alive connection loses before any answer (the
// server closed the idle connection just as it went out) is sent once more
// on a new connection, as phone browsers do; the server never read it.
async function fetchFrom(sourceAddress, agent, request) {
  try {
    return await sendFrom(sourceAddress, agent, request);
  } catch (error) {
    if (!error.reusedSocket) throw error;
    return sendFrom(sourceAddress, agent, request);
  }
}

function sendFrom(sourceAddress, agent, request) {
  const url = new URL(request.url());
  const headers = Object.fromEntries(
    Object.entries(request.headers()).filter(([name]) => !HOP_HEADERS.has(name.toLowerCase())));
  const body = request.postDataBuffer();
  if (body || request.method() === 'POST') headers['content-length'] = String(body ? body.length : 0);
  return new Promise((resolve, reject) => {
    let answered = false;
    const outgoing = http.request({
      host: url.hostname, port: url.port, path: url.pathname + url.search, method: request.method(),
      headers, localAddress: sourceAddress, agent,
    }, (answer) => {
      answered = true;
      const chunks = [];
      answer.on('data', (chunk) => chunks.push(chunk));
      answer.on('end', () => resolve({
        status: answer.statusCode,
        headers: Object.fromEntries(Object.entries(answer.headers).map(([k, v]) => [k, String(v)])),
        body: Buffer.concat(chunks),
      }));
      answer.on('error', reject);
    });
    outgoing.on('error', (error) => {
      error.reusedSocket = outgoing.reusedSocket && !answered;
      reject(error);
    });
    if (body) outgoing.write(body);
    outgoing.end();
  });
}

// The three looks of a card's message box, with the colours they show.
export const LOOKS = {
  neutral: { background: 'rgb(248, 249, 250)', color: 'rgb(0, 0, 0)' },
  success: { background: 'rgb(212, 237, 218)', color: 'rgb(21, 87, 36)' },
  error: { background: 'rgb(248, 215, 218)', color: 'rgb(114, 28, 36)' },
};

// Asserts a message box's look, colours and lines, and that no markup got in.
export function assertBox(box, look, lines) {
  assert.deepEqual({ look: box.look, lines: box.lines }, { look, lines });
  assert.equal(box.shown, true);
  assert.deepEqual(box.elements, []);
  assert.equal(box.background, LOOKS[look].background);
  assert.equal(box.color, LOOKS[look].color);
}

// A message box as the user sees it: its look, its lines of text, whether
// any element other than a line break ended up inside, and its colours.
// Runs inside the page (both engines), so it uses nothing from outside.
export function readMessageBox(selector) {
  const box = document.querySelector(selector);
  const lines = [''];
  const elements = [];
  const walk = (node) => {
    for (const child of node.childNodes) {
      if (child.nodeType === Node.TEXT_NODE) lines[lines.length - 1] += child.data;
      else if (child.nodeName === 'BR') lines.push('');
      else { elements.push(child.nodeName); walk(child); }
    }
  };
  walk(box.firstElementChild);
  const style = getComputedStyle(box);
  const classes = box.className.split(/\s+/).filter((c) => c !== 'info-display');
  return {
    look: box.classList.contains('hidden') ? 'hidden' : (classes.join(' ') || 'neutral'),
    lines: lines.length === 1 && lines[0] === '' ? [] : lines,
    elements,
    shown: style.display !== 'none',
    background: style.backgroundColor,
    color: style.color,
  };
}

export class CardPhone {
  // Opens `url` ("http://host:port/placing" or "/reasons") on a new phone.
  // With `sourceAddress` (an address of 127.0.0.0/8) the phone's requests
  // leave from that address, so the card server sees each phone at its own
  // address as in a room; Chromium itself always connects from 127.0.0.1.
  static async open(browser, url, device = PHONE, { sourceAddress } = {}) {
    const context = await browser.newContext(device);
    if (sourceAddress) {
      // Idle connections are let go after 1 s, before the server's 2 s.
      const agent = new http.Agent({ keepAlive: true, maxSockets: 2, timeout: 1000 });
      await context.route('**/*', async (route) => {
        try {
          await route.fulfill(await fetchFrom(sourceAddress, agent, route.request()));
        } catch {
          await route.abort('connectionfailed').catch(() => {});
        }
      });
      context.on('close', () => agent.destroy());
    }
    const page = await context.newPage();
    const phone = new CardPhone(context, page);
    const response = await page.goto(url);
    phone.documentResponse = response;
    return phone;
  }

  constructor(context, page) {
    this.context = context;
    this.page = page;
    this.requests = [];
    this.pageErrors = [];
    page.on('request', (request) => {
      const url = new URL(request.url());
      this.requests.push({ path: url.pathname, method: request.method(), body: request.postData(),
        contentType: request.headers()['content-type'] });
    });
    page.on('pageerror', (error) => this.pageErrors.push(error.message));
  }

  async close() {
    await this.context.close();
  }

  // Touches an input (focus included, as a finger would) and types into it.
  async enter(selector, text) {
    await this.page.tap(selector);
    await this.page.fill(selector, text);
  }

  async enterNumbers(contestant, classNumber) {
    await this.enter('#contestant-number-inp', contestant);
    await this.enter('#class-number-inp', classNumber);
  }

  // Taps a submit button and waits until `box` is next written while shown:
  // at once for a refusal on the phone, after the reply otherwise. A box that
  // already shows the same text is still told apart, since every message
  // rewrites the box.
  async submit(button, box) {
    await this.page.evaluate((selector) => {
      const element = document.querySelector(selector);
      window.cardTestShown = false;
      const observer = new MutationObserver(() => {
        if (element.classList.contains('hidden')) return;
        window.cardTestShown = true;
        observer.disconnect();
      });
      observer.observe(element, { attributes: true, childList: true, subtree: true, characterData: true });
    }, box);
    await this.page.tap(button);
    await this.page.waitForFunction(() => window.cardTestShown, null, { timeout: 30000 });
    return this.box(box);
  }

  submitNumbers() {
    return this.submit('#submit-numbers-btn', '#info-box');
  }

  box(selector) {
    return this.page.evaluate(readMessageBox, selector);
  }

  isShown(selector) {
    return this.page.$eval(selector, (element) => getComputedStyle(element).display !== 'none');
  }

  value(selector) {
    return this.page.inputValue(selector);
  }

  // The /api requests the page has sent so far. A request to /health is made
  // and seen first, so anything the page sent before it is in the log.
  async apiRequests() {
    const seen = this.page.waitForRequest((request) => new URL(request.url()).pathname === '/health');
    await this.page.evaluate(() => fetch('/health').then((response) => response.text()));
    await seen;
    return this.requests.filter((request) => request.path.startsWith('/api/'));
  }

  async screenshot(name) {
    mkdirSync(outputDir, { recursive: true });
    await this.page.screenshot({ path: path.join(outputDir, `${name}.png`), fullPage: true });
  }
}
