// Small actions on the organiser's page, shared by the main page tests.
import assert from 'node:assert/strict';

import { SEP, openPage } from './host_bridge.mjs';

export { SEP };

// Runs `body` on a fresh page wired to a host, checks that the page raised no
// script error, and closes the page whatever happened.
export async function withOpenPage(browser, options, body) {
  const session = await openPage(browser, options);
  try {
    await body(session);
    assert.deepEqual(session.pageErrors, [], 'the page raised no script error');
  } finally {
    await session.close();
  }
}

export const fieldList = (...fields) => fields.join(SEP);

// Clicks and waits for the flow the click started to finish.
export async function press(session, selector) {
  await session.page.click(selector);
  await session.settle();
}

export async function go(session, pageId) {
  await press(session, `nav a[data-page="${pageId}"]`);
}

export async function fill(session, values) {
  for (const [id, text] of Object.entries(values)) {
    const tag = await session.page.$eval(`#${id}`, (el) => el.tagName);
    if (tag === 'SELECT') {
      await session.page.selectOption(`#${id}`, { label: text });
    } else {
      await session.page.fill(`#${id}`, text);
    }
  }
}

export async function rows(session, bodySelector) {
  const selector = bodySelector.startsWith('#') || bodySelector.includes(' ') ? bodySelector : `#${bodySelector}`;
  return session.page.$$eval(`${selector} tr`, (trs) => trs.map((tr) => Array.from(tr.cells, (td) => td.textContent)));
}

export async function rowNumbers(session, bodyId) {
  return session.page.$$eval(`#${bodyId} tr`, (trs) => trs.map((tr) => tr.dataset.number));
}

export async function options(session, selectId) {
  return session.page.$$eval(`#${selectId} option`, (opts) => opts.map((o) => [o.value, o.dataset.number ?? null]));
}

export const valueOf = (session, id) => session.page.$eval(`#${id}`, (el) => el.value);
export const textOf = (session, id) => session.page.$eval(`#${id}`, (el) => el.textContent);
export const focusedId = (session) => session.page.evaluate(() => document.activeElement && document.activeElement.id);

// Clicks the first row of a body whose cell `column` (0-based) has `text`.
export async function clickRow(session, bodyId, column, text) {
  const index = (await rows(session, bodyId)).findIndex((cells) => cells[column] === text);
  if (index < 0) throw new Error(`no row with ${text} in ${bodyId}`);
  await session.page.click(`#${bodyId} tr:nth-child(${index + 1}) td:nth-child(1)`);
  await session.settle();
}

export async function createContest(session, name = 'Test Contest') {
  await fill(session, { 'contest-name-inp': name });
  await press(session, '#create-contest-btn');
}

export async function saveDivision(session, name, size = '3') {
  await fill(session, { 'division-name-inp': name });
  await session.page.selectOption('#division-team-size-inp', size);
  await press(session, '#save-division-btn');
}

export async function saveTeam(session, division, name, type = 'Team', coach = '') {
  await session.page.selectOption('#team-division-name-inp', division);
  await fill(session, { 'team-name-inp': name, 'team-coach-name-inp': coach });
  await session.page.selectOption('#team-type-inp', type);
  await press(session, '#save-team-btn');
}

export async function saveContestants(session, team, names) {
  await session.page.selectOption('#contestant-division-team-name-inp', team);
  await fill(session, { 'contestant-name-inp': names });
  await press(session, '#save-contestant-btn');
}

export async function saveClassType(session, name) {
  await fill(session, { 'class-type-name-inp': name });
  await press(session, '#save-class-type-btn');
}

export async function saveClass(session, type, name, placing = '', cuts = '') {
  await session.page.selectOption('#classes-class-type-inp', type);
  await fill(session, { 'class-name-inp': name, 'class-placing-inp': placing, 'class-cuts-inp': cuts });
  await press(session, '#save-class-btn');
}

export async function savePlacing(session, classNo, contestant, placing, reasons = '') {
  await fill(session, {
    'placing-class-inp': classNo, 'placing-contestant-inp': contestant,
    'placing-placing-inp': placing, 'placing-reasons-inp': reasons,
  });
  await press(session, '#save-placing-btn');
}

// A scripted host that answers every fetch from a table and everything else
// with the empty result; open_contest answers the given name.
export function scriptedHost(fetches = {}, contestName = 'Scripted') {
  return (command) => {
    if (command === 'open_contest') return contestName;
    if (command in fetches) {
      const answer = fetches[command];
      return typeof answer === 'function' ? answer() : answer;
    }
    return '';
  };
}
