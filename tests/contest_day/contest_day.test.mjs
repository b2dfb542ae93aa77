// A whole contest day in the real window: the organiser sets the contest up
// in the ringtally window (under Xvfb, driven through WebKitWebDriver), twelve
// contestants' phones and four reasons judges' phones (Chromium) submit at
// once to the application's card server, the organiser corrects a placing and
// reads the scores and rankings, which must equal those worked out here from
// the rules, and prints the rankings. Screenshots go to
// tests/output/contest_day/. Uses port 56780, the application's own.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import { CardPhone, closeBrowser, launchBrowser } from '../browser/card_phone.mjs';
import { Desk, sourceDir, until } from './window_session.mjs';
import {
  CLASSES, CLASS_TYPES, CONTESTANTS, CONTEST_NAME, CORRECTION, DIVISIONS, JUDGES, SUBMITTED_PLACINGS, TEAMS,
  contestState,
} from './contest.mjs';
import { individualRankingTables, individualScoreRows, inRankOrder, teamRankingTables } from './expected.mjs';

const CARD_SERVER = 'http://127.0.0.1:56780';
const outputDir = path.join(sourceDir, 'tests/output/contest_day');
const shot = (name) => path.join(outputDir, `${name}.png`);

let desk, organiser, browser;

before(async () => {
  fs.rmSync(outputDir, { recursive: true, force: true });
  fs.mkdirSync(outputDir, { recursive: true });
  desk = await Desk.start('ringtally-contest-day-');
});

after(async () => {
  await closeBrowser(browser).catch(() => {});
  await desk?.stop();
});

// ---- The organiser's hands on the page ----------------------------------

// Rows of a table body as the cells' texts.
function rows(bodyId) {
  return organiser.js(`return Array.from(document.querySelectorAll('#' + arguments[0] + ' tr'),
    (tr) => Array.from(tr.cells, (td) => td.textContent));`, bodyId);
}

async function waitForRows(bodyId, count, timeoutMs = 10000) {
  await organiser.waitFor(`${count} rows in ${bodyId}`,
    `document.querySelectorAll('#${bodyId} tr').length === ${count}`, timeoutMs);
}

async function noAlert() {
  assert.equal(await organiser.alertText(), null, 'the page shows no alert');
}

async function go(pageId) {
  await organiser.click(`nav a[data-page="${pageId}"]`);
  await organiser.waitFor(`section ${pageId}`, `document.querySelector('section#${pageId}').classList.contains('active')`);
}

// Names copied from a spreadsheet: a scratch text area of the page is
// copied with Ctrl+C, and Ctrl+V pastes into the field.
async function paste(selector, text) {
  await organiser.js(`const scratch = document.createElement('textarea');
    scratch.id = 'clipboard-source';
    scratch.value = arguments[0];
    window.copiedToClipboard = false;
    scratch.addEventListener('copy', () => { window.copiedToClipboard = true; });
    document.body.append(scratch);
    scratch.focus();
    scratch.select();`, text);
  organiser.key('ctrl+c');
  // The key reaches the page in its own time: keep the source until the
  // copy has happened, or a busy machine pastes nothing.
  await organiser.waitFor('the copy', 'window.copiedToClipboard === true', 20000);
  await organiser.js(`document.getElementById('clipboard-source').remove();`);
  await organiser.click(selector);
  organiser.key('ctrl+v');
  await organiser.waitFor('the pasted names',
    `document.querySelector('${selector}').value === ${JSON.stringify(text)}`, 20000);
}

// The ranking tables of a block, as captions and rows (hidden rows included).
function rankingTables(blockId) {
  return organiser.js(`return Array.from(document.querySelectorAll('#' + arguments[0] + ' table'), (table) => ({
    caption: table.caption ? table.caption.textContent : '',
    rows: Array.from(table.tBodies[0] ? table.tBodies[0].rows : [],
      (tr) => Array.from(tr.cells, (td) => td.textContent)),
  }));`, blockId);
}

// ---- The contest day ------------------------------------------------------

test('the organiser opens the application and creates the contest', async () => {
  // Phones must reach this application's card server, not another one.
  await assert.rejects(fetch(`${CARD_SERVER}/health`), 'nothing else serves the card port');
  organiser = await desk.open();
  await until('the card server', () => fetch(`${CARD_SERVER}/health`).then((r) => r.ok, () => false));
  // The organiser gives the window room for the tables.
  await organiser.command('POST', '/window/rect', { width: 1400, height: 900 });
  await organiser.waitFor('the page', `document.readyState === 'complete'`);
  await organiser.type('#contest-name-inp', CONTEST_NAME);
  await organiser.click('#create-contest-btn');
  await organiser.waitFor('the contest name', `document.getElementById('contest-name').textContent === '${CONTEST_NAME}'`);
  await noAlert();
  assert.ok(fs.existsSync(path.join(desk.desktop, CONTEST_NAME, 'contest.db')), 'the contest file is on the desktop');
});

test('divisions, teams of both types and twelve contestants pasted team by team', async () => {
  await go('divisions');
  for (const [i, division] of DIVISIONS.entries()) {
    await organiser.type('#division-name-inp', division.name);
    await organiser.choose('division-team-size-inp', String(division.teamSize));
    await organiser.click('#save-division-btn');
    await waitForRows('divisions-body', i + 1);
    await noAlert();
  }
  assert.deepEqual(await rows('divisions-body'),
    DIVISIONS.map((d) => [d.name, String(d.teamSize), String(d.number)]));

  await go('teams');
  const divisionName = (number) => DIVISIONS.find((d) => d.number === number).name;
  for (const [i, team] of TEAMS.entries()) {
    await organiser.choose('team-division-name-inp', divisionName(team.division));
    await organiser.type('#team-name-inp', team.name);
    await organiser.choose('team-type-inp', team.type);
    await organiser.type('#team-coach-name-inp', team.coach);
    await organiser.click('#save-team-btn');
    await waitForRows('teams-body', i + 1);
    await noAlert();
  }
  // Teams and contestants are listed newest first.
  assert.deepEqual(await rows('teams-body'),
    [...TEAMS].reverse().map((t) => [divisionName(t.division), t.name, t.type, t.coach, String(t.number)]));

  await go('contestants');
  let saved = 0;
  for (const team of TEAMS) {
    const names = CONTESTANTS.filter((c) => c.team === team.number).map((c) => c.name);
    await organiser.choose('contestant-division-team-name-inp', `${divisionName(team.division)} ${team.name}`);
    await paste('#contestant-name-inp', names.join('\n'));
    await organiser.click('#save-contestant-btn');
    saved += names.length;
    await waitForRows('contestants-body', saved);
    await noAlert();
  }
  const teamOf = (c) => TEAMS.find((t) => t.number === c.team);
  assert.deepEqual(await rows('contestants-body'),
    [...CONTESTANTS].reverse().map((c) => [divisionName(teamOf(c).division), teamOf(c).name, c.name, String(c.number)]));
  await waitForRows('contestant-counts-body', TEAMS.length);
  assert.deepEqual(await rows('contestant-counts-body'), [...TEAMS].reverse().map((t) =>
    [divisionName(t.division), t.name, String(CONTESTANTS.filter((c) => c.team === t.number).length)]));
  await organiser.screenshot(shot('01-contestants'));
});

test('class types and four classes with their official placings and cuts', async () => {
  await go('class-types');
  for (const [i, type] of CLASS_TYPES.entries()) {
    await organiser.type('#class-type-name-inp', type.name);
    await organiser.click('#save-class-type-btn');
    await waitForRows('class-types-body', i + 1);
    await noAlert();
  }
  assert.deepEqual(await rows('class-types-body'), CLASS_TYPES.map((t) => [t.name]));

  await go('classes');
  const typeName = (id) => CLASS_TYPES.find((t) => t.id === id).name;
  for (const [i, cls] of CLASSES.entries()) {
    await organiser.choose('classes-class-type-inp', typeName(cls.typeId));
    await organiser.type('#class-name-inp', cls.name);
    await organiser.type('#class-placing-inp', cls.placing);
    await organiser.type('#class-cuts-inp', cls.cuts);
    await organiser.click('#save-class-btn');
    await waitForRows('classes-body', i + 1);
    await noAlert();
  }
  assert.deepEqual(await rows('classes-body'),
    CLASSES.map((c) => [String(c.id), typeName(c.typeId), c.name, c.placing, c.cuts]));
  await organiser.screenshot(shot('02-setup-done'));
});

// The first IPv4 address, other than 127.0.0.1, of the interface that
// carries the first default route; null when there is none.
function lanAddress() {
  const routes = fs.readFileSync('/proc/net/route', 'utf8').trim().split('\n').slice(1)
    .map((line) => line.trim().split(/\s+/));
  const route = routes.find((fields) => fields[1] === '00000000');
  if (!route) return null;
  const address = (os.networkInterfaces()[route[0]] ?? [])
    .find((a) => a.family === 'IPv4' && a.address !== '127.0.0.1');
  return address ? address.address : null;
}

test('the Wi-Fi section shows both card addresses with QR codes naming them', async () => {
  await go('wifi');
  await organiser.click('#wifi-address-btn');
  const address = lanAddress();
  if (address === null) {
    await organiser.waitFor('the answer', `document.getElementById('placing-qrcode').childElementCount === 0`);
    return;
  }
  const lines = {
    'placing-qrcode': `Placing Card: http://${address}:56780/placing`,
    'reasons-qrcode': `Reasons Card: http://${address}:56780/reasons`,
  };
  await organiser.waitFor('the card lines', `document.querySelector('#reasons-qrcode svg') !== null`);
  for (const [block, line] of Object.entries(lines)) {
    // The line shows as text above the QR code.
    assert.equal((await organiser.text(`#${block}`)).trim(), line);
    const svg = await organiser.js(`return document.querySelector('#' + arguments[0] + ' svg').outerHTML;`, block);
    const file = path.join(desk.root, `${block}.svg`);
    fs.writeFileSync(file, svg);
    const quiet = { encoding: 'utf8', stdio: 'pipe' };
    execFileSync('rsvg-convert', ['-w', '400', '-b', 'white', '-o', `${file}.png`, file], quiet);
    assert.equal(execFileSync('zbarimg', ['--raw', '-q', `${file}.png`], quiet).trim(), line);
  }
  await organiser.screenshot(shot('03-wifi'));
});

// ---- The phones -------------------------------------------------------------

// Settles once a contestant's placing for a class has been accepted, so that
// the judge hears the reasons of a contestant who has turned in a card.
class Handed {
  constructor() {
    this.waiting = new Map();
    this.failed = new Promise((_, reject) => { this.fail = reject; });
    this.failed.catch(() => {});
  }
  entry(key) {
    if (!this.waiting.has(key)) {
      let resolve;
      const promise = new Promise((r) => { resolve = r; });
      this.waiting.set(key, { promise, resolve });
    }
    return this.waiting.get(key);
  }
  done(key) { this.entry(key).resolve(); }
  wait(key) { return Promise.race([this.entry(key).promise, this.failed]); }
}

function lines(box) {
  return { look: box.look, lines: box.lines };
}

// Each phone at its own address, as in the room: the card server limits
// what one address may ask.
const phoneAddress = (index) => `127.0.0.${10 + index}`;

async function contestantPhone(contestant, index, handed) {
  const phone = await CardPhone.open(browser, `${CARD_SERVER}/placing`, undefined,
    { sourceAddress: phoneAddress(index) });
  try {
    for (const cls of CLASSES) {
      const placing = SUBMITTED_PLACINGS[contestant.number][cls.id - 1];
      await phone.enterNumbers(String(contestant.number), String(cls.id));
      assert.deepEqual(lines(await phone.submitNumbers()),
        { look: 'neutral', lines: [contestant.name, cls.name] }, `${contestant.name}, class ${cls.id}`);
      await phone.enter('#placing-inp', placing);
      assert.deepEqual(lines(await phone.submit('#submit-placing-btn', '#success-box')),
        { look: 'success', lines: ['Submitted.'] }, `${contestant.name}'s placing for class ${cls.id}`);
      handed.done(`${contestant.number}/${cls.id}`);
    }
    if (contestant.number === 1011) await phone.screenshot('contest_day/04-phone-placing');
    assert.deepEqual(phone.pageErrors, []);
  } finally {
    await phone.close();
  }
}

async function judgePhone(index, scores, handed) {
  const phone = await CardPhone.open(browser, `${CARD_SERVER}/reasons`, undefined,
    { sourceAddress: phoneAddress(CONTESTANTS.length + index) });
  try {
    for (const { contestant, classId, reasons } of scores) {
      await handed.wait(`${contestant}/${classId}`);
      const name = CONTESTANTS.find((c) => c.number === contestant).name;
      const cls = CLASSES.find((c) => c.id === classId);
      await phone.enterNumbers(String(contestant), String(classId));
      assert.deepEqual(lines(await phone.submitNumbers()), {
        look: 'neutral', lines: [name, cls.name, SUBMITTED_PLACINGS[contestant][classId - 1]],
      }, `judge ${index + 1}: ${name}, class ${classId}`);
      await phone.enter('#reasons-inp', String(reasons));
      assert.deepEqual(lines(await phone.submit('#submit-reasons-btn', '#success-box')),
        { look: 'success', lines: ['Submitted.'] }, `judge ${index + 1}: ${name}'s reasons for class ${classId}`);
    }
    if (index === 0) await phone.screenshot('contest_day/05-phone-reasons');
    assert.deepEqual(phone.pageErrors, []);
  } finally {
    await phone.close();
  }
}

test('twelve contestants and four judges submit from their phones at the same time', async () => {
  browser = await launchBrowser();
  const handed = new Handed();
  const failFast = (promise) => promise.catch((error) => { handed.fail(error); throw error; });
  const results = await Promise.allSettled([
    ...CONTESTANTS.map((c, i) => failFast(contestantPhone(c, i, handed))),
    ...JUDGES.map((scores, i) => failFast(judgePhone(i, scores, handed))),
  ]);
  const failures = results.filter((r) => r.status === 'rejected').map((r) => r.reason);
  if (failures.length > 0) throw failures[0];
  await closeBrowser(browser);
  browser = null;
});

// ---- Back at the window -------------------------------------------------------

const placingRows = (state) => [...state.placings]
  .sort((a, b) => a.classId - b.classId || a.contestant - b.contestant)
  .map((p) => [String(p.classId), String(p.contestant), p.placing, p.reasons === null ? '' : String(p.reasons)]);

const sortRows = (list) => [...list].sort((a, b) => (a.join('|') < b.join('|') ? -1 : 1));

test('the Placings page shows every submission; the organiser corrects one placing', async () => {
  await go('placings');
  await organiser.click('#refresh-placings-table-btn');
  const submitted = contestState({ corrected: false });
  await waitForRows('placings-body', submitted.placings.length);
  // The table is in the host's order; what matters is that every submission is there.
  assert.deepEqual(sortRows(await rows('placings-body')), sortRows(placingRows(submitted)));
  const reasonsCount = (n) => JUDGES.flat().filter((r) => r.contestant === n).length;
  assert.deepEqual(sortRows(await rows('placing-counts-body')),
    sortRows(CONTESTANTS.map((c) => [String(c.number), String(CLASSES.length), String(reasonsCount(c.number))])));

  // The organiser finds the row, loads it into the form and saves the new placing.
  const index = (await rows('placings-body')).findIndex(([cls, contestant]) =>
    cls === String(CORRECTION.classId) && contestant === String(CORRECTION.contestant));
  assert.ok(index >= 0, 'the placing to correct is listed');
  await organiser.click(`#placings-body tr:nth-child(${index + 1}) td:nth-child(3)`);
  const form = () => organiser.js(`return ['placing-class-inp', 'placing-contestant-inp', 'placing-placing-inp',
    'placing-reasons-inp'].map((id) => document.getElementById(id).value);`);
  const reasons = String(JUDGES.flat().find((r) => r.contestant === CORRECTION.contestant &&
    r.classId === CORRECTION.classId).reasons);
  assert.deepEqual(await form(),
    [String(CORRECTION.classId), String(CORRECTION.contestant), CORRECTION.from, reasons]);
  await organiser.type('#placing-placing-inp', CORRECTION.to);
  await organiser.click('#save-placing-btn');
  await organiser.waitFor('the corrected row', `Array.from(document.querySelectorAll('#placings-body tr'),
    (tr) => Array.from(tr.cells, (td) => td.textContent).join('|'))
    .includes('${CORRECTION.classId}|${CORRECTION.contestant}|${CORRECTION.to}|${reasons}')`);
  await noAlert();
  const corrected = contestState({ corrected: true });
  assert.deepEqual(sortRows(await rows('placings-body')), sortRows(placingRows(corrected)));
  await organiser.screenshot(shot('06-placings'));
});

test('Individual Scores: every placing score and total as the rules give them', async () => {
  const state = contestState({ corrected: true });
  const expected = individualScoreRows(state);
  // The correction matters: the submitted placing scores differently.
  assert.notDeepEqual(individualScoreRows(contestState({ corrected: false })), expected);
  await go('individual-scores');
  await waitForRows('indiv-scores-body', expected.length);
  assert.deepEqual(await rows('indiv-scores-body'), expected);
  await organiser.screenshot(shot('07-individual-scores'));
});

test('Rankings: every rank, score and team total as the rules give them', async (t) => {
  const state = contestState({ corrected: true });
  const individual = individualRankingTables(state);
  const team = teamRankingTables(state);
  await go('rankings');
  await organiser.waitFor('the team rankings',
    `document.querySelectorAll('#team-rankings table').length === ${team.length}`);
  const shown = [...await rankingTables('indiv-rankings'), ...await rankingTables('team-rankings')];
  assert.deepEqual(inRankOrder(shown), inRankOrder([...individual, ...team]));
  for (const table of shown) {
    const ranks = table.rows.map(([rank]) => Number(rank));
    assert.deepEqual(ranks, [...ranks].sort((a, b) => a - b), `${table.caption} is in rank order`);
  }
  // The contest has the ties and the missing team that it was built to have.
  const overall = individual.find((t) => t.caption === 'Individual Junior Overall');
  assert.ok(overall.rows.some(([rank], i) => overall.rows.some(([other], j) => i !== j && rank === other)));
  assert.ok(!team.some((t) => t.rows.some((row) => row[2] === 'Lakeside')));
  await organiser.screenshot(shot('08-rankings'));
  await organiser.js(`document.getElementById('team-rankings').scrollIntoView();`);
  await organiser.screenshot(shot('09-team-rankings'));
  // For the record, not a limit: the benchmarks under bench/ measure this.
  const memory = organiser.residentMemory();
  t.diagnostic(`resident memory with the rankings shown: ${(memory.totalKb / 1024).toFixed(0)} MB ` +
    `(${memory.processes.map((p) => `${p.name} ${(p.rssKb / 1024).toFixed(0)}`).join(', ')})`);
});

test('the Rankings print holds the ranking tables and no navigation or help', async () => {
  // WebKitWebDriver has no print command, so the page as the window shows it
  // is printed by Chromium with the page's own print rules.
  const html = await organiser.js('return document.documentElement.outerHTML;');
  const printer = await launchBrowser();
  const pdfFile = path.join(outputDir, 'rankings.pdf');
  try {
    const context = await printer.newContext({ javaScriptEnabled: false });
    const page = await context.newPage();
    await page.setContent(html);
    await page.emulateMedia({ media: 'print' });
    await page.pdf({ path: pdfFile, format: 'Letter', printBackground: true });
  } finally {
    await closeBrowser(printer);
  }
  execFileSync('pdftoppm', ['-png', '-r', '60', '-f', '1', '-l', '1', pdfFile, path.join(outputDir, '10-rankings-print')]);
  const text = execFileSync('pdftotext', ['-layout', pdfFile, '-'], { encoding: 'utf8' });
  const printed = text.split('\n');

  const state = contestState({ corrected: true });
  for (const table of [...individualRankingTables(state), ...teamRankingTables(state)]) {
    assert.ok(printed.some((line) => line.trim() === table.caption), `the caption ${table.caption} is printed`);
    for (const row of table.rows) {
      const pattern = new RegExp(`^\\s*${row.filter((cell) => cell !== '').map((cell) =>
        cell.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')).join('\\s+')}\\s*$`);
      assert.ok(printed.some((line) => pattern.test(line)), `the row ${row.join(' ')} of ${table.caption} is printed`);
    }
  }
  assert.match(text, /Tiebreaking Rules/);
  for (const absent of ['Divisions', 'Class Types', 'Wi-Fi', 'Placings', 'Individual Scores', 'About',
    'Show/Hide', 'An equal rank indicates', 'Contest Name', 'Ctrl+P']) {
    assert.ok(!text.includes(absent), `the print leaves out "${absent}"`);
  }
});

test('the day ends: the window closes cleanly and the contest file holds the day', async () => {
  process.kill(organiser.pid, 'SIGTERM');
  assert.equal(await organiser.exitCode(), 0);
  await organiser.end();
  const database = path.join(desk.desktop, CONTEST_NAME, 'contest.db');
  const sql = (query) => execFileSync('sqlite3', [database, query], { encoding: 'utf8' }).trim();
  assert.equal(sql('PRAGMA integrity_check;'), 'ok');
  const state = contestState({ corrected: true });
  assert.equal(sql('SELECT COUNT(*) FROM placings;'), String(state.placings.length));
  assert.equal(sql(`SELECT placing FROM placings WHERE contestant_no = ${CORRECTION.contestant}
    AND class_id = ${CORRECTION.classId};`), CORRECTION.to);
  await until('nothing listening on the card port', () =>
    fetch(`${CARD_SERVER}/health`).then(() => false, () => true), 5000);
});
