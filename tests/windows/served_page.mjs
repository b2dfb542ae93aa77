// The organiser's page as the page server serves it, in Debian's Chromium:
// the page's own messaging (no stand-in from the test), watched from the
// outside so that a test can wait for each flow to finish.
import assert from 'node:assert/strict';
import {
  createContest, go, press, rows, saveClass, saveClassType, saveContestants, saveDivision, savePlacing, saveTeam,
} from '../browser/main_helpers.mjs';

export const ELSEWHERE = 'Ringtally is open in another window.';

// A session in the shape the main page helpers take: `page` and `settle`.
// Posts are counted as the browser sends them. For `settle`, the page itself
// counts, through listeners added before it runs that only count: posts
// started and finished (its `fetch` of `message`), and replies its stream
// handed to its script. Counts taken off the network could say "quiet" while
// the page still holds a post back behind an unanswered one, or has a reply
// it has not yet handled; the test would then type into a form the late
// reply is about to reset.
export async function openServedPage(browser, url) {
  const context = await browser.newContext({ viewport: { width: 1400, height: 900 } });
  context.setDefaultTimeout(10000);
  await context.addInitScript(() => {
    const counts = { started: 0, finished: 0, handled: 0 };
    window.__messaging = counts;
    const nativeFetch = window.fetch;
    window.fetch = function (resource, ...rest) {
      const post = typeof resource === 'string' && resource.startsWith('message?page=');
      if (!post) return nativeFetch.call(this, resource, ...rest);
      counts.started += 1;
      return nativeFetch.call(this, resource, ...rest).finally(() => { counts.finished += 1; });
    };
    const NativeEventSource = window.EventSource;
    window.EventSource = class extends NativeEventSource {
      constructor(...args) {
        super(...args);
        this.addEventListener('message', () => { counts.handled += 1; });
      }
    };
  });
  const page = await context.newPage();
  const session = { page, context, posted: 0, alerts: [], pageErrors: [] };
  page.on('dialog', (dialog) => { session.alerts.push(dialog.message()); dialog.accept(); });
  page.on('pageerror', (error) => session.pageErrors.push(error.message));
  page.on('request', (request) => {
    if (request.method() === 'POST' && /\/message\?page=\d+$/.test(request.url())) session.posted += 1;
  });
  await page.goto(url);
  await page.waitForFunction(() => window.chrome && window.chrome.webview);

  // Every post finished and its reply handled, after a turn of the page's
  // own event loop in which it could post the next one of its flow, twice in
  // a row. Each post has one reply.
  session.settle = async (timeoutMs = 20000) => {
    const deadline = Date.now() + timeoutMs;
    let quiet = 0;
    let counts;
    while (quiet < 2) {
      if (Date.now() > deadline) throw new Error(`page did not settle: ${JSON.stringify(counts)}`);
      counts = await page.evaluate(() => new Promise((resolve) => {
        setTimeout(() => resolve({ ...window.__messaging }), 30);
      }));
      const idle = counts.started === counts.finished && counts.started === counts.handled;
      quiet = idle ? quiet + 1 : 0;
    }
  };
  session.close = () => context.close();
  return session;
}

// A small contest from start to rankings through the page: a division, two
// teams of three, one class, everyone's placing and reasons.
export async function runSmallContest(s, name) {
  await createContest(s, name);
  assert.equal(await s.page.textContent('#contest-name'), name);
  await go(s, 'divisions');
  await saveDivision(s, 'Senior', '3');
  await go(s, 'teams');
  await saveTeam(s, 'Senior', 'Red', 'Team', 'Pat');
  await saveTeam(s, 'Senior', 'Blue', 'Team');
  await go(s, 'contestants');
  await saveContestants(s, 'Senior Red', 'R1, R2, R3');
  await saveContestants(s, 'Senior Blue', 'B1, B2, B3');
  const contestants = await rows(s, 'contestants-body');
  assert.equal(contestants.length, 6);
  await go(s, 'class-types');
  await saveClassType(s, 'Cattle');
  await go(s, 'classes');
  await saveClass(s, 'Cattle', 'Angus Heifers', '1234', '253');

  // Everyone places as the officials did (50); reasons make totals distinct.
  await go(s, 'placings');
  const numbers = contestants.map((r) => r[3]).sort();
  for (const [i, number] of numbers.entries()) await savePlacing(s, '1', number, '1234', String(45 - i));
  assert.deepEqual(s.alerts, []);
  assert.equal((await rows(s, 'placings-body')).length, 6);

  await go(s, 'individual-scores');
  const scores = await rows(s, 'indiv-scores-body');
  assert.equal(scores.length, 6);
  for (const row of scores) {
    const i = numbers.indexOf(row[1]);
    assert.deepEqual(row.slice(2), ['Angus Heifers', '1', '1234', '50', String(45 - i), String(95 - i)]);
  }

  await go(s, 'rankings');
  const captions = await s.page.$$eval('#rankings caption', (cs) => cs.map((c) => c.textContent));
  assert.ok(captions.includes('Individual Senior Overall'), captions.join(', '));
  assert.ok(captions.includes('Team Senior Overall'), captions.join(', '));
  const overall = await rows(s, `#indiv-rankings table:nth-child(${captions.indexOf('Individual Senior Overall') + 1}) tbody`);
  assert.equal(overall.length, 6);
  assert.deepEqual(overall.map((r) => r[0]), ['1', '2', '3', '4', '5', '6']);
  assert.ok(overall[0].includes('95'), `first place has the best total: ${overall[0].join(' | ')}`);
  assert.deepEqual(s.pageErrors, []);
  return { numbers, scores };
}

// Opens the page a second time: the first page then says so and sends no more.
export async function checkSecondPageSupersedes(browser, url, first) {
  const second = await openServedPage(browser, url);
  await first.page.waitForFunction((text) => document.body.textContent.trim() === text, ELSEWHERE);
  const postedBefore = first.posted;
  await first.page.evaluate(() => window.chrome.webview.postMessage('99:fetch_contest_name:'));
  await first.page.waitForTimeout(200);
  assert.equal(first.posted, postedBefore, 'a superseded page posts nothing');
  return second;
}
