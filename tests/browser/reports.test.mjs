// The Reports section (score sheets, class keys, CSV export) and the
// Placings submission grid, in headless Chromium against the real host.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import { launchBrowser } from './host_bridge.mjs';
import {
  withOpenPage,
  press, go, rows, clickRow, createContest, saveDivision, saveTeam, saveContestants,
  saveClassType, saveClass, savePlacing,
} from './main_helpers.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser.close(); });

const withPage = (options, body) => withOpenPage(browser, options, body);

// Two divisions, two class types, a class without an official result,
// names written as markup, and missing placings.
const CONTESTANTS = { 'Senior North': 'Ann, Bo', 'Senior South': 'Cy, Di', 'Junior Kids': '<b>Eve</b>, Fay' };
const PLACINGS = [
  // class, contestant name, placing, reasons
  ['1', 'Ann', '1234', '45'], ['1', 'Bo', '2134', '40'], ['1', 'Cy', '2134', ''], ['1', 'Di', '4321', '38'],
  ['1', '<b>Eve</b>', '1243', '30'],
  ['2', 'Ann', '1342', '30'], ['2', 'Cy', '3142', '44'], ['2', 'Di', '3142', '41'], ['2', 'Fay', '0', ''],
  ['3', 'Bo', '1234', ''],
];

async function buildContest(s) {
  await createContest(s, 'Report Contest');
  await go(s, 'divisions');
  await saveDivision(s, 'Senior', '3');
  await saveDivision(s, 'Junior', '3');
  await go(s, 'teams');
  await saveTeam(s, 'Senior', 'North', 'Team', 'Kim');
  await saveTeam(s, 'Senior', 'South', 'Team', 'Lou');
  await saveTeam(s, 'Junior', 'Kids', 'Indiv');
  await go(s, 'contestants');
  for (const [team, names] of Object.entries(CONTESTANTS)) await saveContestants(s, team, names);
  const numbers = Object.fromEntries((await rows(s, 'contestants-body')).map((r) => [r[2], r[3]]));
  await go(s, 'class-types');
  await saveClassType(s, 'Beef');
  await saveClassType(s, 'Sheep');
  await go(s, 'classes');
  await saveClass(s, 'Beef', 'Heifers', '1234', '253');
  await saveClass(s, 'Sheep', '<i>Ewes</i>', '3142', '412');
  await saveClass(s, 'Beef', 'Steers');
  await saveClass(s, 'Beef', 'Bulls', '2143', '111');
  await go(s, 'placings');
  for (const [cls, name, placing, reasons] of PLACINGS) await savePlacing(s, cls, numbers[name], placing, reasons);
  assert.deepEqual(s.alerts, []);
  return numbers;
}

// name -> [[category, score, rank], ...] as the Rankings section shows them.
async function rankingsShown(s) {
  await go(s, 'rankings');
  return s.page.$$eval('#indiv-rankings table', (tables) => {
    const byName = {};
    for (const table of tables) {
      const category = table.caption.textContent.split(' ').pop();
      for (const row of table.tBodies[0].rows) {
        const [rank, score, name] = Array.from(row.cells, (c) => c.textContent);
        (byName[name] ||= []).push([category, score, rank]);
      }
    }
    return byName;
  });
}

async function sheetsShown(s) {
  return s.page.$$eval('#score-sheets .score-sheet', (sheets) => sheets.map((sheet) => ({
    contestant: sheet.dataset.contestant,
    heading: [sheet.querySelector('h2').textContent,
      ...Array.from(sheet.querySelectorAll('.sheet-heading span'), (span) => span.textContent)],
    rows: Array.from(sheet.querySelectorAll('.sheet-scores tbody tr:not(.subtotal)'),
      (tr) => Array.from(tr.cells, (c) => c.textContent)),
    subtotals: Array.from(sheet.querySelectorAll('.sheet-scores tr.subtotal'),
      (tr) => [tr.dataset.classType, tr.cells[3].textContent]),
    reasons: sheet.querySelector('tr.reasons-total').cells[1].textContent,
    overall: sheet.querySelector('tr.overall-total').cells[1].textContent,
    ranks: Array.from(sheet.querySelectorAll('.sheet-ranks tbody tr'), (tr) => Array.from(tr.cells, (c) => c.textContent)),
    markup: sheet.querySelectorAll('b').length,
  })));
}

describe('reports section', () => {
  test('without a contest the Reports link fetches nothing', async () => {
    await withPage({}, async (s) => {
      await go(s, 'reports');
      assert.deepEqual(s.sent, []);
      assert.equal(await s.page.$$eval('.score-sheet, .class-key', (els) => els.length), 0);
    });
  });

  test('score sheets: rows, subtotals, totals and the ranks the Rankings section shows', async () => {
    await withPage({}, async (s) => {
      const numbers = await buildContest(s);
      const shownRanks = await rankingsShown(s);
      await go(s, 'individual-scores');
      const scores = await rows(s, 'indiv-scores-body');
      await go(s, 'reports');
      const sheets = await sheetsShown(s);

      // One sheet per contestant with a placing, in contestant-number order.
      assert.deepEqual(sheets.map((sh) => sh.contestant),
        ['Ann', 'Bo', 'Cy', 'Di', '<b>Eve</b>', 'Fay'].map((n) => numbers[n]));
      const byNumber = Object.fromEntries(Object.entries(numbers).map(([n, no]) => [no, n]));
      for (const sheet of sheets) {
        const name = byNumber[sheet.contestant];
        assert.equal(sheet.markup, 0, 'names are text');
        assert.deepEqual(sheet.heading.slice(3), ['Contestant: ' + name, 'No.: ' + sheet.contestant]);
        assert.equal(sheet.heading[0], 'Report Contest');
        // Each row's scores equal the Individual Scores section's.
        for (const row of sheet.rows) {
          const listed = scores.find((r) => r[1] === sheet.contestant && r[3] === row[0]);
          assert.deepEqual([row[5], row[6], row[7], row[8]], [listed[4], listed[5], listed[6], listed[7]]);
        }
        // Ranks and scores are the Rankings section's, category by category,
        // and the sheet's own sums agree with them.
        assert.deepEqual(sheet.ranks, shownRanks[name], name);
        for (const [category, score] of shownRanks[name]) {
          if (category === 'Overall') assert.equal(sheet.overall, score);
          else if (category === 'Reasons') assert.equal(sheet.reasons, score);
          else assert.deepEqual(sheet.subtotals.find((t) => t[0] === category), [category, score]);
        }
      }
      const ann = sheets[0];
      assert.deepEqual(ann.heading, ['Report Contest', 'Division: Senior', 'Team: North', 'Contestant: Ann',
        'No.: ' + numbers.Ann]);
      assert.deepEqual(ann.rows, [
        ['1', 'Heifers', 'Beef', '1234', '2-5-3', '1234', '50', '45', '95'],
        ['2', '<i>Ewes</i>', 'Sheep', '3142', '4-1-2', '1342', '46', '30', '76'],
      ]);
      assert.deepEqual([ann.subtotals, ann.reasons, ann.overall], [[['Beef', '95'], ['Sheep', '76']], '75', '171']);
      // Bo's unjudged class is listed with empty scores and no subtotal score.
      assert.deepEqual(sheets[1].rows[1], ['3', 'Steers', 'Beef', '', '', '1234', '', '', '']);
      // A contestant placed by one class type only gets no rank in the other.
      assert.deepEqual(sheets[5].ranks.map((r) => r[0]), ['Sheep', 'Reasons', 'Overall']);

      // The contestant select narrows the section to one sheet.
      await s.page.selectOption('#score-sheet-contestant-inp', numbers.Cy);
      assert.deepEqual(await s.page.$$eval('.score-sheet:not(.hidden)', (els) => els.map((e) => e.dataset.contestant)),
        [numbers.Cy]);
      await s.page.selectOption('#score-sheet-contestant-inp', '');
      assert.equal(await s.page.$$eval('.score-sheet:not(.hidden)', (els) => els.length), 6);
    });
  });

  test('class keys: the host key, counts beside each placing as bars, and the class figures', async () => {
    await withPage({}, async (s) => {
      await buildContest(s);
      await go(s, 'reports');
      const keys = await s.page.$$eval('.class-key', (boxes) => boxes.map((box) => ({
        id: box.dataset.class,
        title: box.querySelector('h2').textContent,
        official: box.querySelector('.class-key-official').textContent,
        rows: Array.from(box.querySelectorAll('tbody tr'), (tr) => [tr.cells[0].textContent, tr.cells[1].textContent,
          tr.cells[2].textContent, parseFloat(getComputedStyle(tr.querySelector('.key-bar')).borderLeftWidth)]),
        stats: box.querySelector('.class-key-stats').textContent,
      })));
      assert.deepEqual(keys.map((k) => k.id), ['1', '2', '4'], 'no key for the class without an official result');
      const [heifers, ewes, bulls] = keys;
      assert.equal(ewes.title, 'Class 2: <i>Ewes</i>');
      assert.equal(await s.page.$$eval('#reports i, #reports b', (els) => els.length), 0, 'names are text');
      assert.equal(heifers.title, 'Class 1: Heifers');
      assert.equal(heifers.official, 'Class Type: Beef. Official placing: 1234. Cuts: 2-5-3.');
      assert.equal(heifers.rows.length, 24);
      assert.deepEqual(heifers.rows.slice(0, 3).map((r) => r.slice(0, 3)),
        [['1234', '50', '1'], ['2134', '48', '2'], ['1243', '47', '1']]);
      assert.deepEqual(heifers.rows.at(-1).slice(0, 3), ['4321', '15', '1']);
      // The most chosen placing has the full bar, the others in proportion.
      assert.deepEqual(heifers.rows.filter((r) => r[2] !== '0').map((r) => r[3]), [80, 160, 80, 80]);
      assert.ok(heifers.rows.filter((r) => r[2] === '0').every((r) => r[3] === 0));
      // Scores 50, 48, 48, 15, 47: mean 41.6, median 48.
      assert.equal(heifers.stats, 'Placings: 5. Mean placing score: 41.6. Median placing score: 48.');
      // Ewes: 1342 46, 3142 50 twice, and a placing of 0 scoring 0.
      assert.equal(ewes.stats, 'Placings: 4. Mean placing score: 36.5. Median placing score: 48.');
      assert.deepEqual(ewes.rows[0].slice(0, 3), ['3142', '50', '2']);
      // A class nobody placed yet: its key, no bars, no figures.
      assert.deepEqual(bulls.rows[0].slice(0, 3), ['2143', '50', '0']);
      assert.ok(bulls.rows.every((r) => r[2] === '0' && r[3] === 0));
      assert.equal(bulls.stats, 'Placings: 0. Mean placing score: none. Median placing score: none.');
      // Each key's rows are ordered by score, then placing.
      for (const key of keys) {
        const order = key.rows.map((r) => [Number(r[1]), Number(r[0])]);
        const sorted = [...order].sort((a, b) => b[0] - a[0] || a[1] - b[1]);
        assert.deepEqual(order, sorted);
      }
    });
  });

  test('printing: one page per score sheet, per class key, or one for the chosen contestant', async () => {
    await withPage({}, async (s) => {
      await buildContest(s);
      await go(s, 'reports');
      await s.page.evaluate(() => { window.print = () => { window.__printed = (window.__printed || 0) + 1; }; });
      const pages = async (name) => {
        const file = path.join(s.desktop, name);
        await s.page.pdf({ path: file, format: 'A4' });
        return Number(/Pages:\s+(\d+)/.exec(execFileSync('pdfinfo', [file], { encoding: 'utf8' }))[1]);
      };
      await s.page.click('#print-score-sheets-btn');
      assert.equal(await pages('sheets.pdf'), 6);
      await s.page.click('#print-class-keys-btn');
      assert.equal(await pages('keys.pdf'), 3);
      await s.page.evaluate(() => window.dispatchEvent(new Event('afterprint')));
      assert.equal(await pages('everything.pdf'), 9, 'a plain print shows the sheets and the keys');
      await s.page.selectOption('#score-sheet-contestant-inp', { index: 2 });
      await s.page.click('#print-score-sheets-btn');
      assert.equal(await pages('one.pdf'), 1);
      assert.equal(await s.page.evaluate(() => window.__printed), 3);
    });
  });

  test('Export CSV writes the Results folder and shows it; Open Folder needs the window', async () => {
    await withPage({}, async (s) => {
      await buildContest(s);
      await go(s, 'reports');
      assert.equal(await s.page.isVisible('#open-results-folder-btn'), false);
      await press(s, '#export-results-btn');
      const folder = path.join(s.desktop, 'Report Contest', 'Results');
      assert.equal(await s.page.textContent('#export-results-path'), 'The results were written to ' + folder);
      assert.deepEqual(fs.readdirSync(folder).sort(),
        ['individual-rankings.csv', 'individual-scores.csv', 'score-sheets.csv', 'team-rankings.csv']);
      const sheets = fs.readFileSync(path.join(folder, 'score-sheets.csv'), 'utf8');
      assert.ok(sheets.startsWith('\ufeffDivision,Team,Contestant,Cont. No.,Class No.,'));
      assert.ok(sheets.includes('\r\nJunior,Kids,<b>Eve</b>,'));
      await press(s, '#open-results-folder-btn');
      assert.deepEqual(s.alerts, ['Error: Folders can be opened only from the application window. ' +
        'The results are in ' + folder + '.']);
    });
  });
});

describe('placings submission grid', () => {
  test('stored placings per contestant and class, missing ones tinted, kept current', async () => {
    await withPage({}, async (s) => {
      const numbers = await buildContest(s);
      const grid = () => s.page.$$eval('#placings-grid-table tr', (trs) => trs.map((tr) =>
        Array.from(tr.cells, (c) => (c.classList.contains('missing') ? '!' : '') + c.textContent)));
      const missingColour = () => s.page.$eval('#placings-grid-table td.missing',
        (td) => getComputedStyle(td).backgroundColor);
      const expected = [
        // Class 4 has no placing yet: nothing is missing there.
        ['Contestant', 'No.', '1', '2', '3', '4'],
        ['Ann', numbers.Ann, '1234 / 45', '1342 / 30', '!', ''],
        ['Bo', numbers.Bo, '2134 / 40', '!', '1234', ''],
        ['Cy', numbers.Cy, '2134', '3142 / 44', '!', ''],
        ['Di', numbers.Di, '4321 / 38', '3142 / 41', '!', ''],
        ['<b>Eve</b>', numbers['<b>Eve</b>'], '1243 / 30', '!', '!', ''],
        ['Fay', numbers.Fay, '!', '0', '!', ''],
      ];
      assert.deepEqual(await grid(), expected);
      assert.notEqual(await missingColour(), 'rgba(0, 0, 0, 0)');
      assert.equal(await s.page.$$eval('#placings-grid-table b', (bs) => bs.length), 0);

      // A save fills the cell; a delete empties it again.
      await savePlacing(s, '2', numbers.Bo, '4123', '20');
      expected[2][3] = '4123 / 20';
      assert.deepEqual(await grid(), expected);
      const bo = (await rows(s, 'placings-body')).findIndex((r) => r[0] === '2' && r[1] === numbers.Bo);
      assert.ok(bo >= 0);
      await clickRow(s, 'placings-body', 0, '2');
      const chosen = await s.page.inputValue('#placing-contestant-inp');
      await press(s, '#delete-placing-btn');
      const row = expected.findIndex((r) => r[1] === chosen);
      expected[row][3] = '!';
      assert.deepEqual(await grid(), expected);
      await press(s, '#refresh-placings-table-btn');
      assert.deepEqual(await grid(), expected);
    });
  });
});
