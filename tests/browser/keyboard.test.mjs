// The organiser's page with the keyboard alone, in Chromium against the real
// ringtally-host: Tab and Shift+Tab to move, Enter and Space to press, arrow
// keys in selects. Nothing is clicked and nothing is focused by the test; it
// only looks at which element has the focus. (The card pages' keyboard use
// is in card_engines.test.mjs, in both engines.)
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';

import { launchBrowser, openPage } from './host_bridge.mjs';
import { rows, textOf, valueOf } from './main_helpers.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// Presses Tab (or Shift+Tab) until the focused element matches `selector`;
// a bounded number of presses, so a control that Tab never reaches fails.
async function tabTo(session, selector, { back = false, limit = 80 } = {}) {
  const { page } = session;
  for (let i = 0; i <= limit; i += 1) {
    if (await page.evaluate((s) => document.activeElement !== null && document.activeElement.matches(s), selector)) return;
    await page.keyboard.press(back ? 'Shift+Tab' : 'Tab');
  }
  const focused = await page.evaluate(() => document.activeElement && document.activeElement.outerHTML.slice(0, 80));
  throw new Error(`${back ? 'Shift+' : ''}Tab never reached ${selector}; focus is on ${focused}`);
}

const focused = (session) => session.page.evaluate(() => document.activeElement.id);

// Presses a key on the focused control and waits for the flow it started.
async function press(session, key) {
  await session.page.keyboard.press(key);
  await session.settle();
}

// The navigation bar comes before the sections, so Shift+Tab reaches it.
async function openSection(session, id) {
  await tabTo(session, `nav a[data-page="${id}"]`, { back: true });
  await press(session, 'Enter');
  assert.deepEqual(await session.page.$$eval('section.active', (ss) => ss.map((s) => s.id)), [id]);
}

async function type(session, text) {
  await session.page.keyboard.type(text);
}

// The selected option's text of a select.
const selectedText = (session, id) => session.page.$eval(`#${id}`, (s) => (s.selectedOptions[0] || {}).textContent);

describe('the organiser\'s page by keyboard', () => {
  let session;
  before(async () => { session = await openPage(browser); });
  after(async () => { await session?.close(); });

  test('a contest is set up, a placing saved and the scores read with the keyboard alone', async () => {
    // The page puts the cursor in the contest name at load.
    assert.equal(await focused(session), 'contest-name-inp');
    await type(session, 'Key Day');
    await session.page.keyboard.press('Tab');
    assert.equal(await focused(session), 'create-contest-btn');
    await press(session, 'Enter');
    assert.equal(await textOf(session, 'contest-name'), 'Key Day');

    await openSection(session, 'divisions');
    assert.equal(await focused(session), 'division-name-inp');
    await type(session, 'Junior');
    await session.page.keyboard.press('Tab');
    assert.equal(await focused(session), 'division-team-size-inp');
    await session.page.keyboard.press('ArrowDown');
    assert.equal(await valueOf(session, 'division-team-size-inp'), '4');
    await tabTo(session, '#save-division-btn');
    await press(session, 'Space');
    assert.deepEqual(await rows(session, 'divisions-body'), [['Junior', '4', '1000']]);

    await openSection(session, 'teams');
    assert.equal(await focused(session), 'team-division-name-inp');
    await session.page.keyboard.press('ArrowDown');
    assert.equal(await selectedText(session, 'team-division-name-inp'), 'Junior');
    await tabTo(session, '#team-name-inp');
    await type(session, 'Riders');
    await tabTo(session, '#team-coach-name-inp');
    await type(session, 'Cole');
    await tabTo(session, '#save-team-btn');
    await press(session, 'Enter');
    assert.deepEqual(await rows(session, 'teams-body'), [['Junior', 'Riders', 'Team', 'Cole', '1010']]);

    await openSection(session, 'contestants');
    assert.equal(await focused(session), 'contestant-division-team-name-inp');
    await session.page.keyboard.press('ArrowDown');
    assert.equal(await selectedText(session, 'contestant-division-team-name-inp'), 'Junior Riders');
    await tabTo(session, '#contestant-name-inp');
    // Enter in the names box starts a new line: one contestant per line.
    await type(session, 'Ann Lee');
    await session.page.keyboard.press('Enter');
    await type(session, 'Ben Ortiz');
    await tabTo(session, '#save-contestant-btn');
    await press(session, 'Enter');
    assert.deepEqual((await rows(session, 'contestants-body')).sort(),
      [['Junior', 'Riders', 'Ann Lee', '1011'], ['Junior', 'Riders', 'Ben Ortiz', '1012']]);

    await openSection(session, 'class-types');
    await type(session, 'Cattle');
    await tabTo(session, '#save-class-type-btn');
    await press(session, 'Enter');
    assert.deepEqual(await rows(session, 'class-types-body'), [['Cattle']]);

    await openSection(session, 'classes');
    assert.equal(await focused(session), 'classes-class-type-inp');
    await session.page.keyboard.press('ArrowDown');
    assert.equal(await selectedText(session, 'classes-class-type-inp'), 'Cattle');
    for (const [id, text] of [['class-name-inp', 'Market Steers'], ['class-placing-inp', '1234'], ['class-cuts-inp', '253']]) {
      await tabTo(session, `#${id}`);
      await type(session, text);
    }
    await tabTo(session, '#save-class-btn');
    await press(session, 'Enter');
    assert.deepEqual(await rows(session, 'classes-body'), [['1', 'Cattle', 'Market Steers', '1234', '253']]);

    await openSection(session, 'placings');
    for (const [id, text] of [['placing-class-inp', '1'], ['placing-contestant-inp', '1011'],
      ['placing-placing-inp', '1243'], ['placing-reasons-inp', '45']]) {
      await tabTo(session, `#${id}`);
      await type(session, text);
    }
    await tabTo(session, '#save-placing-btn');
    await press(session, 'Enter');
    assert.deepEqual(await rows(session, 'placings-body'), [['1', '1011', '1243', '45']]);

    await openSection(session, 'individual-scores');
    assert.deepEqual(await rows(session, 'indiv-scores-body'),
      [['Ann Lee', '1011', 'Market Steers', '1', '1243', '47', '45', '92']]);
    assert.deepEqual(session.alerts, []);
    assert.deepEqual(session.pageErrors, []);
  });

  // Each setup table row loads its entry on Enter as on a click. Runs on the
  // contest made above.
  // What each row puts in the form, from its cells.
  const TABLES = [
    { section: 'divisions', number: 'division-number-inp',
      inputs: (c) => ({ 'division-name-inp': c[0], 'division-team-size-inp': c[1] }) },
    { section: 'teams', number: 'team-number-inp',
      inputs: (c) => ({ 'team-division-name-inp': c[0], 'team-name-inp': c[1], 'team-type-inp': c[2], 'team-coach-name-inp': c[3] }) },
    { section: 'contestants', number: 'contestant-number-inp',
      inputs: (c) => ({ 'contestant-division-team-name-inp': `${c[0]} ${c[1]}`, 'contestant-name-inp': c[2] }) },
    { section: 'class-types', number: 'class-type-number-inp',
      inputs: (c) => ({ 'class-type-name-inp': c[0] }) },
    { section: 'classes', number: 'class-number-inp',
      inputs: (c) => ({ 'classes-class-type-inp': c[1], 'class-name-inp': c[2], 'class-placing-inp': c[3], 'class-cuts-inp': c[4] }) },
    { section: 'placings', number: 'placing-number-inp',
      inputs: (c) => ({ 'placing-class-inp': c[0], 'placing-contestant-inp': c[1], 'placing-placing-inp': c[2], 'placing-reasons-inp': c[3] }) },
  ];

  for (const table of TABLES) {
    test(`${table.section}: a focused row loads its entry on Enter, and shows its focus`, async () => {
      await openSection(session, table.section);
      assert.equal(await valueOf(session, table.number), 'none');
      // The last row, so that Tab has to pass the others.
      const rowSelector = `#${table.section} tbody tr:last-child`;
      await tabTo(session, rowSelector);
      const look = await session.page.evaluate(() => {
        const style = getComputedStyle(document.activeElement);
        return { outline: style.outlineStyle, width: parseFloat(style.outlineWidth) };
      });
      assert.notEqual(look.outline, 'none', 'a focused row is outlined');
      assert.ok(look.width >= 1, 'a focused row is outlined');
      const row = await session.page.evaluate(() => ({
        number: document.activeElement.dataset.number,
        cells: Array.from(document.activeElement.cells, (cell) => cell.textContent),
      }));
      // Enter on a row loads it; the focus stays on the row.
      await press(session, 'Enter');
      assert.equal(await valueOf(session, table.number), row.number);
      for (const [id, text] of Object.entries(table.inputs(row.cells))) {
        assert.equal(await valueOf(session, id), text, id);
      }
      assert.equal(await session.page.evaluate((s) => document.activeElement.matches(s), rowSelector), true);
      // Clear, by keyboard too, goes back to a new entry.
      await tabTo(session, `#${table.section} button[id^="clear-"]`, { back: true });
      await press(session, 'Enter');
      assert.equal(await valueOf(session, table.number), 'none');
    });
  }

  test('every stop of the Tab order shows its focus', async () => {
    await openSection(session, 'contestants');
    const stops = [];
    for (let i = 0; i < 60; i += 1) {
      await session.page.keyboard.press('Tab');
      const stop = await session.page.evaluate(() => {
        const el = document.activeElement;
        const style = getComputedStyle(el);
        return { name: el.id || el.dataset.page || el.tagName, outline: style.outlineStyle, width: parseFloat(style.outlineWidth) };
      });
      if (stops.length > 0 && stop.name === stops[0].name) break;
      // Past the last control the focus leaves the document for a moment.
      if (stop.name !== 'BODY') stops.push(stop);
    }
    // Nav links, the section's fields and buttons, both tables' loading rows, help.
    assert.ok(stops.some((s) => s.name === 'contestants'), 'a nav link is a stop');
    assert.ok(stops.some((s) => s.name === 'TR'), 'a row is a stop');
    assert.ok(stops.some((s) => s.name === 'save-contestant-btn'), 'a button is a stop');
    assert.deepEqual(stops.filter((s) => s.outline === 'none' || !(s.width >= 1)), []);
  });

  test('rows that load nothing stay out of the Tab order', async () => {
    const focusable = await session.page.$$eval(
      '#contestant-counts-body tr, #placing-counts-body tr, #indiv-scores-body tr, #rankings tbody tr',
      (trs) => trs.map((tr) => tr.tabIndex));
    assert.ok(focusable.length >= 3);
    assert.deepEqual(focusable.filter((index) => index >= 0), []);
  });

  test('the navigation links are reachable and announced as links', async () => {
    const links = await session.page.$$eval('nav a', (as) => as.map((a) => [a.textContent, a.tabIndex, a.getAttribute('role')]));
    for (const [text, tabIndex, role] of links) {
      assert.equal(tabIndex, 0, text);
      assert.equal(role, 'link', text);
    }
    // The shown section's link says so.
    await openSection(session, 'about');
    assert.deepEqual(await session.page.$$eval('nav a[aria-current="page"]', (as) => as.map((a) => a.dataset.page)), ['about']);
  });
});
