// The organiser's page in headless Chromium, talking to a real
// ringtally-host (or, where a reply has to be made up, a scripted one).
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { launchBrowser, uiDir } from './host_bridge.mjs';
import { postFrom } from './card_host.mjs';
import {
  withOpenPage,
  SEP, fieldList, press, go, fill, rows, rowNumbers, options, valueOf, textOf, focusedId, clickRow,
  createContest, saveDivision, saveTeam, saveContestants, saveClassType, saveClass, savePlacing,
  scriptedHost,
} from './main_helpers.mjs';

const outputDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', 'output');
let browser;
before(async () => {
  fs.mkdirSync(outputDir, { recursive: true });
  browser = await launchBrowser();
});
after(async () => { await browser.close(); });

const withPage = (options, body) => withOpenPage(browser, options, body);

// One division, one team of three (1011-1013), and class 1, Angus, with
// official placing 1234 and cuts 253; leaves the page on Classes.
async function setUpAngusClass(s) {
      await go(s, 'divisions');
      await saveDivision(s, 'Junior', '3');
      await go(s, 'teams');
      await saveTeam(s, 'Junior', 'Blue');
      await go(s, 'contestants');
      await saveContestants(s, 'Junior Blue', 'Ann, Bob, Cy');
      await go(s, 'class-types');
      await saveClassType(s, 'Cattle');
      await go(s, 'classes');
      await saveClass(s, 'Cattle', 'Angus', '1234', '253');
}

const SECTIONS = [
  ['Contest', 'contest', 'contest-name-inp'],
  ['Divisions', 'divisions', 'division-name-inp'],
  ['Teams', 'teams', 'team-division-name-inp'],
  ['Contestants', 'contestants', 'contestant-division-team-name-inp'],
  ['Class Types', 'class-types', 'class-type-name-inp'],
  ['Classes', 'classes', 'classes-class-type-inp'],
  ['Wi-Fi', 'wifi', null],
  ['Placings', 'placings', 'placing-class-inp'],
  ['Individual Scores', 'individual-scores', null],
  ['Rankings', 'rankings', null],
  ['Reports', 'reports', 'score-sheet-contestant-inp'],
  ['About', 'about', null],
];
const CONSISTENCY = 'Error: A data consistency check prevented this action.';

describe('frame and navigation', () => {
  test('document, load state, links, headings, focus and help toggles', async () => {
    await withPage({ respond: scriptedHost() }, async (s) => {
      const { page } = s;
      assert.equal(await page.title(), 'Ringtally');
      assert.equal(await page.getAttribute('html', 'lang'), 'en');
      assert.equal(await page.getAttribute('link[rel="icon"]', 'href'), 'data:,');
      const links = await page.$$eval('nav a', (as) => as.map((a) => [a.textContent, a.dataset.page, a.hasAttribute('href')]));
      assert.deepEqual(links, SECTIONS.map(([label, id]) => [label, id, false]));
      const sections = await page.$$eval('main > section', (ss) => ss.map((sec) => [
        sec.id, sec.querySelector('h1').textContent,
        Array.from(sec.children).indexOf(sec.querySelector('h1'))]));
      assert.deepEqual(sections, SECTIONS.map(([label, id]) => [id, label, id === 'contest' ? 1 : 0]));

      // Load state: Contest shown, no contest, cursor in the name, help hidden.
      assert.deepEqual(await page.$$eval('section.active', (ss) => ss.map((sec) => sec.id)), ['contest']);
      assert.equal(await textOf(s, 'contest-name'), 'None');
      assert.equal(await focusedId(s), 'contest-name-inp');
      assert.equal(await page.$$eval('.help-toggle', (bs) => bs.every((b) =>
        document.getElementById(b.dataset.target).classList.contains('hidden') &&
        b.dataset.target === b.closest('section').id + '-help' && b.textContent === 'Show/Hide Help')), true);
      assert.equal(await page.$$eval('tbody', (bs) => bs.every((b) => b.rows.length === 0)), true);

      // Every link shows its section alone and focuses its first text input or select.
      for (const [, id, focus] of [...SECTIONS].reverse()) {
        await go(s, id);
        assert.deepEqual(await page.$$eval('section.active', (ss) => ss.map((sec) => sec.id)), [id]);
        const focused = await focusedId(s);
        if (focus) assert.equal(focused, focus, `focus in ${id}`);
        else assert.equal(await page.evaluate(() => document.activeElement === document.body), true, `no focus in ${id}`);
      }
      // Without a contest neither results link asks the host for anything.
      assert.deepEqual(s.sent, []);

      await go(s, 'divisions');
      await press(s, '#divisions .help-toggle');
      assert.equal(await page.isVisible('#divisions-help'), true);
      assert.match(await textOf(s, 'divisions-help'), /A maximum of nine divisions can be added\./);
      await press(s, '#divisions .help-toggle');
      assert.equal(await page.isVisible('#divisions-help'), false);

      await go(s, 'about');
      const about = await page.$$eval('#about p', (ps) => ps.map((p) => p.textContent));
      assert.deepEqual(about.slice(0, 2), ['Ringtally Zuzu', 'Version: 1.2.0']);
      assert.equal(about.length, 5);
    });
  });

  test('two strict scripts, Sortable first and global, everything else private', async () => {
    const html = fs.readFileSync(path.join(uiDir, 'main.html'), 'utf8');
    const scripts = [...html.matchAll(/<script>([\s\S]*?)<\/script>/g)].map((m) => m[1].trim());
    assert.equal(scripts.length, 2);
    assert.equal(/<script[^>]*\bsrc=/.test(html) || /<link[^>]*stylesheet/.test(html), false, 'loads nothing');
    for (const script of scripts) assert.ok(script.startsWith('"use strict";'));
    assert.match(scripts[0], /window\.Sortable = Sortable/);
    await withPage({ respond: scriptedHost() }, async (s) => {
      const globals = await s.page.evaluate(() => [typeof window.Sortable.reinitialize, typeof window.hostApi,
        typeof window.refreshAll, typeof window.sendCommand]);
      assert.deepEqual(globals, ['function', 'undefined', 'undefined', 'undefined']);
    });
  });

  test('zoom warning shows only when the page is wider than the window, for 10 seconds', async () => {
    const install = async (page) => page.clock.install();
    await withPage({ respond: scriptedHost(), viewport: { width: 500, height: 600 }, beforeLoad: install }, async (s) => {
      assert.equal(await s.page.isVisible('#zoom-warning'), true);
      assert.equal(await textOf(s, 'zoom-warning'),
        'Your zoom level may be too high. Use Ctrl+0(zero) to reset it or maximize this window.');
      await s.page.clock.runFor(9000);
      assert.equal(await s.page.isVisible('#zoom-warning'), true);
      await s.page.clock.runFor(1500);
      assert.equal(await s.page.isVisible('#zoom-warning'), false);
    });
    await withPage({ respond: scriptedHost() }, async (s) => {
      assert.equal(await s.page.isVisible('#zoom-warning'), false);
    });
  });

  test('print media leaves out the nav, input rows, help and no-print elements', async () => {
    await withPage({ respond: scriptedHost() }, async (s) => {
      const { page } = s;
      await page.emulateMedia({ media: 'print' });
      const hidden = await page.evaluate(() => Array.from(document.querySelectorAll('nav, .input-group, .help, .no-print'),
        (el) => getComputedStyle(el).display));
      assert.ok(hidden.length >= 20);
      assert.deepEqual([...new Set(hidden)], ['none']);
      const noPrint = await page.$$eval('.no-print', (els) => els.map((el) => el.id || el.textContent.trim().slice(0, 24)));
      assert.deepEqual(noPrint, ['Or\u2002Open an Existing Cont', 'wifi-address-btn', 'rankings-show-hide-btn',
        'An equal rank indicates ']);
      const limits = await page.evaluate(() => Array.from(document.querySelectorAll('.table-container, main, body'),
        (el) => [getComputedStyle(el).maxHeight, getComputedStyle(el).overflowY]));
      assert.deepEqual([...new Set(limits.map((l) => l.join(' ')))], ['none visible']);
      const wifi = await page.evaluate(() => [getComputedStyle(document.getElementById('wifi-addresses')).display,
        getComputedStyle(document.getElementById('placing-qrcode')).breakAfter]);
      assert.deepEqual(wifi, ['block', 'page']);
      await page.emulateMedia({ media: 'screen' });
      assert.equal(await page.isVisible('nav'), true);
    });
  });
});

describe('host messaging', () => {
  test('reply ids count from 1, arguments always end the message, replies split at the first colon', async () => {
    await withPage({ respond: scriptedHost({}, 'a:b') }, async (s) => {
      await press(s, '#open-contest-btn');
      assert.equal(s.sent[0], '1:open_contest:');
      assert.equal(await textOf(s, 'contest-name'), 'a:b');
      // A successful open refreshes the eight tables in order, one after another.
      assert.deepEqual(s.sent.slice(1), ['2:fetch_divisions:', '3:fetch_teams:', '4:fetch_contestants:',
        '5:fetch_contestant_counts:', '6:fetch_class_types:', '7:fetch_classes:', '8:fetch_placings:',
        '9:fetch_placing_counts:']);
      assert.notEqual(await focusedId(s), 'open-contest-btn');
    });
  });

  test('an ERROR: reply rejects with the rest of the text, shown as an alert', async () => {
    const respond = (command) => (command === 'open_contest' ? 'ERROR:Contest name could not be retrieved.' : '');
    await withPage({ respond }, async (s) => {
      await press(s, '#open-contest-btn');
      assert.deepEqual(s.alerts, ['Error: Contest name could not be retrieved.']);
      assert.equal(await textOf(s, 'contest-name'), 'None');
      assert.deepEqual(s.sent, ['1:open_contest:'], 'no fetch without a contest');
    });
  });

  test('a reply for an id that is not pending is ignored; an unanswered request stays pending', async () => {
    await withPage({ respond: () => undefined }, async (s) => {
      await createContest(s, 'Late');
      assert.deepEqual(s.sent, ['1:create_contest:Late']);
      await s.inject('2:');
      await s.inject('hello');
      await s.inject('01:');
      assert.equal(await textOf(s, 'contest-name'), 'None');
      await go(s, 'about');   // the rest of the page stays usable meanwhile
      await s.inject('1:');
      await s.settle();
      assert.equal(await textOf(s, 'contest-name'), 'Late');
      await s.inject('1:ERROR:again');
      assert.deepEqual(s.alerts, []);
    });
  });
});

describe('contest section', () => {
  test('create: empty, "None", trimming, the folder, and nothing more once open', async () => {
    await withPage({}, async (s) => {
      for (const [name, alert] of [['', 'Enter a contest name.'], ['   ', 'Enter a contest name.'],
        ['None', 'Choose another contest name.'], ['  None ', 'Choose another contest name.']]) {
        s.alerts.length = 0;
        await createContest(s, name);
        assert.deepEqual(s.alerts, [alert], JSON.stringify(name));
      }
      assert.deepEqual(s.sent, [], 'nothing sent for refused names');

      await createContest(s, '  Fair 2026  ');
      assert.deepEqual(s.sent, ['1:create_contest:Fair 2026']);
      assert.equal(await textOf(s, 'contest-name'), 'Fair 2026');
      assert.equal(await valueOf(s, 'contest-name-inp'), '');
      assert.notEqual(await focusedId(s), 'create-contest-btn');
      assert.ok(fs.existsSync(path.join(s.desktop, 'Fair 2026', 'contest.db')));

      await createContest(s, 'Another');
      await press(s, '#open-contest-btn');
      assert.equal(s.sent.length, 1, 'create and open do nothing while a contest is open');
      assert.equal(await textOf(s, 'contest-name'), 'Fair 2026');
      assert.deepEqual(s.alerts.slice(4), []);

      // The same name again on the same desktop is refused by the host.
      await withPage({ hostArgs: ['--desktop', s.desktop] }, async (second) => {
        await createContest(second, 'Fair 2026');
        assert.deepEqual(second.alerts, ['Error: This contest already exists on your desktop.']);
        assert.equal(await textOf(second, 'contest-name'), 'None');
      });
    });
  });

  test('open: a cancelled dialog leaves "None" and fetches nothing', async () => {
    await withPage({}, async (s) => {
      await press(s, '#open-contest-btn');
      assert.deepEqual(s.sent, ['1:open_contest:']);
      assert.equal(await textOf(s, 'contest-name'), 'None');
      assert.deepEqual(s.alerts, []);
    });
  });

  test('open: an existing contest shows its name and fills every setup table', async () => {
    let contestFile;
    await withPage({}, async (s) => {
      await createContest(s, 'County Fair');
      await go(s, 'divisions');
      await saveDivision(s, 'Junior', '3');
      await go(s, 'class-types');
      await saveClassType(s, 'Cattle');
      contestFile = path.join(s.desktop, 'County Fair', 'contest.db');
    });
    await withPage({ hostArgs: ['--open-file', contestFile] }, async (s) => {
      const sent = s.mark();
      await press(s, '#open-contest-btn');
      assert.equal(await textOf(s, 'contest-name'), 'County Fair');
      assert.deepEqual(sent(), ['open_contest:', 'fetch_divisions:', 'fetch_teams:', 'fetch_contestants:',
        'fetch_contestant_counts:', 'fetch_class_types:', 'fetch_classes:', 'fetch_placings:', 'fetch_placing_counts:']);
      assert.deepEqual(await rows(s, 'divisions-body'), [['Junior', '3', '1000']]);
      assert.deepEqual(await rows(s, 'class-types-body'), [['Cattle']]);
      assert.deepEqual(await options(s, 'team-division-name-inp'), [['', null], ['Junior', '1000']]);
      assert.deepEqual(await options(s, 'classes-class-type-inp'), [['', null], ['Cattle', '1']]);
      assert.deepEqual(s.alerts, []);
    });
  });
});

describe('setup sections', () => {
  test('nothing is saved, deleted or fetched without a contest; Clear only resets', async () => {
    await withPage({}, async (s) => {
      const sections = [['divisions', 'division'], ['teams', 'team'], ['contestants', 'contestant'],
        ['class-types', 'class-type'], ['classes', 'class'], ['placings', 'placing']];
      for (const [section, stem] of sections) {
        await go(s, section);
        await s.page.evaluate((id) => { document.getElementById(id).value = '1000'; }, `${stem}-number-inp`);
        for (const action of ['save', 'delete', 'clear']) await press(s, `#${action}-${stem}-btn`);
        assert.equal(await valueOf(s, `${stem}-number-inp`), 'none', `${section} Clear resets`);
      }
      await press(s, '#refresh-placings-table-btn');
      assert.deepEqual(s.sent, []);
      assert.deepEqual(s.alerts, []);
    });
  });

  test('divisions: check, save, dropdown, row click, update, Clear, delete', async () => {
    await withPage({}, async (s) => {
      await createContest(s);
      await go(s, 'divisions');
      await saveDivision(s, '   ');
      assert.deepEqual(s.alerts, ['Enter a division name.']);

      const sent = s.mark();
      await saveDivision(s, '  Junior ', '3');
      assert.deepEqual(sent(), [`save_division:${fieldList('none', 'Junior', '3')}`, 'fetch_divisions:']);
      assert.equal(await valueOf(s, 'division-name-inp'), '');
      assert.equal(await focusedId(s), 'division-name-inp');
      await saveDivision(s, 'Senior', '4');
      assert.equal(await valueOf(s, 'division-team-size-inp'), '4', 'partial reset keeps the team size');
      await saveDivision(s, 'Open', '');
      assert.deepEqual(await rows(s, 'divisions-body'), [['Junior', '3', '1000'], ['Senior', '4', '2000'], ['Open', '', '3000']]);
      assert.deepEqual(await rowNumbers(s, 'divisions-body'), ['1000', '2000', '3000']);
      assert.deepEqual(await options(s, 'team-division-name-inp'),
        [['', null], ['Junior', '1000'], ['Senior', '2000'], ['Open', '3000']]);

      await saveDivision(s, 'Junior', '5');
      assert.deepEqual(s.alerts, ['Enter a division name.', CONSISTENCY], 'a duplicate name is refused by the host');
      assert.equal(await valueOf(s, 'division-name-inp'), '', 'a refused save still resets');

      await clickRow(s, 'divisions-body', 0, 'Senior');
      assert.equal(await valueOf(s, 'division-number-inp'), '2000');
      assert.equal(await valueOf(s, 'division-name-inp'), 'Senior');
      assert.equal(await valueOf(s, 'division-team-size-inp'), '4');
      const update = s.mark();
      await fill(s, { 'division-name-inp': 'Seniors' });
      await press(s, '#save-division-btn');
      assert.deepEqual(update()[0], `save_division:${fieldList('2000', 'Seniors', '4')}`);
      assert.deepEqual((await rows(s, 'divisions-body'))[1], ['Seniors', '4', '2000']);
      assert.equal(await valueOf(s, 'division-number-inp'), 'none');

      // Delete without a clicked row sends nothing.
      const none = s.mark();
      await press(s, '#delete-division-btn');
      assert.deepEqual(none(), []);

      await clickRow(s, 'divisions-body', 0, 'Open');
      assert.equal(await valueOf(s, 'division-team-size-inp'), '');
      const del = s.mark();
      await press(s, '#delete-division-btn');
      assert.deepEqual(del(), ['delete_division:3000', 'fetch_divisions:']);
      assert.deepEqual((await rows(s, 'divisions-body')).map((r) => r[0]), ['Junior', 'Seniors']);
      assert.equal(await valueOf(s, 'division-team-size-inp'), '3', 'full reset');

      await clickRow(s, 'divisions-body', 0, 'Junior');
      await s.page.selectOption('#division-team-size-inp', '5');
      await press(s, '#clear-division-btn');
      assert.deepEqual([await valueOf(s, 'division-number-inp'), await valueOf(s, 'division-name-inp'),
        await valueOf(s, 'division-team-size-inp'), await focusedId(s)], ['none', '', '3', 'division-name-inp']);
      assert.equal(s.alerts.length, 2);
    });
  });

  test('teams: checks, save with trimmed coach, dropdown texts, row click, resets, refused delete', async () => {
    await withPage({}, async (s) => {
      await createContest(s);
      await go(s, 'divisions');
      await saveDivision(s, 'Junior', '3');
      await saveDivision(s, 'Open', '');
      await go(s, 'teams');
      await press(s, '#save-team-btn');
      await s.page.selectOption('#team-division-name-inp', 'Junior');
      await press(s, '#save-team-btn');
      assert.deepEqual(s.alerts, ['Select a division name.', 'Enter a team name.']);

      const sent = s.mark();
      await saveTeam(s, 'Junior', ' Blue ', 'Team', '  Pat Lee ');
      assert.deepEqual(sent(), [`save_team:${fieldList('none', '1000', 'Blue', 'Team', 'Pat Lee')}`, 'fetch_teams:']);
      assert.deepEqual([await valueOf(s, 'team-division-name-inp'), await valueOf(s, 'team-type-inp'),
        await valueOf(s, 'team-name-inp'), await valueOf(s, 'team-coach-name-inp'), await focusedId(s)],
      ['Junior', 'Team', '', '', 'team-name-inp'], 'partial reset keeps division and type');
      await saveTeam(s, 'Junior', 'Jefferson Indiv', 'Indiv');
      await saveTeam(s, 'Open', 'Red', 'Team');
      assert.deepEqual(s.alerts.slice(2), [CONSISTENCY], 'a Team needs a division with a team size');
      await saveTeam(s, 'Open', 'Red', 'Indiv');
      assert.deepEqual(await rows(s, 'teams-body'), [['Open', 'Red', 'Indiv', '', '2010'],
        ['Junior', 'Jefferson Indiv', 'Indiv', '', '1020'], ['Junior', 'Blue', 'Team', 'Pat Lee', '1010']]);
      assert.deepEqual(await options(s, 'contestant-division-team-name-inp'),
        [['', null], ['Open Red', '2010'], ['Junior Jefferson Indiv', '1020'], ['Junior Blue', '1010']]);

      await clickRow(s, 'teams-body', 1, 'Blue');
      assert.deepEqual([await valueOf(s, 'team-number-inp'), await valueOf(s, 'team-division-name-inp'),
        await valueOf(s, 'team-name-inp'), await valueOf(s, 'team-type-inp'), await valueOf(s, 'team-coach-name-inp')],
      ['1010', 'Junior', 'Blue', 'Team', 'Pat Lee']);
      await fill(s, { 'team-coach-name-inp': '' });
      const update = s.mark();
      await press(s, '#save-team-btn');
      assert.equal(update()[0], `save_team:${fieldList('1010', '1000', 'Blue', 'Team', '')}`);
      assert.deepEqual((await rows(s, 'teams-body'))[2], ['Junior', 'Blue', 'Team', '', '1010']);

      await clickRow(s, 'teams-body', 1, 'Red');
      await press(s, '#clear-team-btn');
      assert.deepEqual([await valueOf(s, 'team-number-inp'), await valueOf(s, 'team-division-name-inp'),
        await valueOf(s, 'team-type-inp'), await focusedId(s)], ['none', '', 'Team', 'team-division-name-inp']);

      // A division with teams can't go; its error is shown and the tables reload.
      await go(s, 'divisions');
      await clickRow(s, 'divisions-body', 0, 'Open');
      await press(s, '#delete-division-btn');
      assert.deepEqual(s.alerts.slice(-1), [CONSISTENCY]);
      assert.equal((await rows(s, 'divisions-body')).length, 2);
      await go(s, 'teams');
      await clickRow(s, 'teams-body', 1, 'Red');
      await press(s, '#delete-team-btn');
      assert.deepEqual((await rows(s, 'teams-body')).map((r) => r[1]), ['Jefferson Indiv', 'Blue']);
    });
  });

  test('contestants: checks, a pasted batch, a refused name, update, several names in update mode, counts', async () => {
    await withPage({}, async (s) => {
      await createContest(s);
      await go(s, 'divisions');
      await saveDivision(s, 'Junior', '3');
      await go(s, 'teams');
      await saveTeam(s, 'Junior', 'Blue');
      await saveTeam(s, 'Junior', 'Gold');
      await go(s, 'contestants');
      await fill(s, { 'contestant-name-inp': 'Ann' });
      await press(s, '#save-contestant-btn');
      await saveContestants(s, 'Junior Blue', ' ,; ,\n ;');
      assert.deepEqual(s.alerts, ['Select a division team name.', 'Enter a contestant name.']);

      const sent = s.mark();
      await saveContestants(s, 'Junior Blue', 'Ann, Bob;Cy\nDee');
      assert.deepEqual(sent(), ['Ann', 'Bob', 'Cy', 'Dee'].map((name) =>
        `call_save_contestant:${fieldList('none', '1010', name)}`).concat(['fetch_contestants:', 'fetch_contestant_counts:']));
      assert.deepEqual(await rows(s, 'contestants-body'), [['Junior', 'Blue', 'Dee', '1014'], ['Junior', 'Blue', 'Cy', '1013'],
        ['Junior', 'Blue', 'Bob', '1012'], ['Junior', 'Blue', 'Ann', '1011']]);
      assert.equal(await valueOf(s, 'contestant-division-team-name-inp'), 'Junior Blue');
      assert.equal(await focusedId(s), 'contestant-name-inp');

      // One refused name doesn't stop the rest of the batch.
      await saveContestants(s, 'Junior Gold', 'Eve\r\nAnn\rFay');
      assert.deepEqual(s.alerts.slice(2), [CONSISTENCY]);
      assert.deepEqual((await rows(s, 'contestants-body')).slice(0, 2).map((r) => r[2]), ['Fay', 'Eve']);
      assert.deepEqual(await rows(s, 'contestant-counts-body'), [['Junior', 'Gold', '2'], ['Junior', 'Blue', '4']]);

      await clickRow(s, 'contestants-body', 2, 'Bob');
      assert.deepEqual([await valueOf(s, 'contestant-number-inp'), await valueOf(s, 'contestant-division-team-name-inp'),
        await valueOf(s, 'contestant-name-inp')], ['1012', 'Junior Blue', 'Bob']);
      const several = s.mark();
      await fill(s, { 'contestant-name-inp': 'Rob, Bobby' });
      await press(s, '#save-contestant-btn');
      assert.deepEqual(several(), []);
      assert.deepEqual(s.alerts.slice(3), ['Multiple names cannot be used for an update.']);
      assert.deepEqual([await valueOf(s, 'contestant-number-inp'), await valueOf(s, 'contestant-name-inp')], ['none', '']);

      await clickRow(s, 'contestants-body', 2, 'Bob');
      await fill(s, { 'contestant-name-inp': ' Robert ' });
      const rename = s.mark();
      await press(s, '#save-contestant-btn');
      assert.equal(rename()[0], `call_save_contestant:${fieldList('1012', '1010', 'Robert')}`);
      assert.ok((await rows(s, 'contestants-body')).some((r) => r[2] === 'Robert' && r[3] === '1012'));

      await clickRow(s, 'contestants-body', 2, 'Fay');
      await press(s, '#delete-contestant-btn');
      assert.deepEqual(await rows(s, 'contestant-counts-body'), [['Junior', 'Gold', '1'], ['Junior', 'Blue', '4']]);
      assert.deepEqual([await valueOf(s, 'contestant-division-team-name-inp'), await focusedId(s)],
        ['', 'contestant-division-team-name-inp']);
      assert.equal(s.alerts.length, 4);
    });
  });

  test('class types and classes: checks, cut warnings, row click by type name, update, delete', async () => {
    await withPage({}, async (s) => {
      await createContest(s);
      await go(s, 'class-types');
      await saveClassType(s, ' ');
      assert.deepEqual(s.alerts, ['Enter a class type name.']);
      await saveClassType(s, 'Cattle');
      await saveClassType(s, 'Swin');
      await clickRow(s, 'class-types-body', 0, 'Swin');
      assert.equal(await valueOf(s, 'class-type-number-inp'), '2');
      await fill(s, { 'class-type-name-inp': 'Swine' });
      await press(s, '#save-class-type-btn');
      await saveClassType(s, 'Sheep');
      await clickRow(s, 'class-types-body', 0, 'Sheep');
      const del = s.mark();
      await press(s, '#delete-class-type-btn');
      assert.deepEqual(del(), ['delete_class_type:3', 'fetch_class_types:']);
      assert.equal(await focusedId(s), 'class-type-name-inp');
      assert.deepEqual(await rows(s, 'class-types-body'), [['Cattle'], ['Swine']]);
      assert.deepEqual(await options(s, 'classes-class-type-inp'), [['', null], ['Cattle', '1'], ['Swine', '2']]);

      await go(s, 'classes');
      const checks = [
        [['', 'Angus', '', ''], ['Select a class type.']],
        [['Cattle', ' ', '', ''], ['Enter a class name.']],
        ...['1123', '123', '12345', '0', '1 234'].map((p) => [['Cattle', 'Angus', p, ''], ['This is not a valid placing.']]),
        ...['105', '1000', '099', '12a'].map((c) => [['Cattle', 'Angus', '1234', c], ['These are not valid cuts.']]),
        [['Cattle', 'Angus', '1234', ''], ['Enter the cuts together with the official placing.']],
        [['Cattle', 'Angus', ' 4321 ', ' '], ['Enter the cuts together with the official placing.']],
      ];
      for (const [[type, name, placing, cuts], expected] of checks) {
        s.alerts.length = 0;
        const sent = s.mark();
        await s.page.selectOption('#classes-class-type-inp', type === '' ? '' : { label: type });
        await fill(s, { 'class-name-inp': name, 'class-placing-inp': placing, 'class-cuts-inp': cuts });
        await press(s, '#save-class-btn');
        assert.deepEqual(s.alerts, expected, `${name}/${placing}/${cuts}`);
        assert.deepEqual(sent(), []);
      }

      const saves = [
        ['Angus', '4213', '333', []],
        ['Hereford', '1234', '555', []],
        ['Duroc', '', '', []],
        ['Limousin', '2143', '474', ['The sum of these cuts is 15 and the middle cut is greater than 5.']],
        ['Simmental', '3412', '196', ['The sum of these cuts is greater than 15.']],
        ['Charolais', '1234', '194', ['The sum of these cuts is 14 and the middle cut is greater than 8.']],
        ['Shorthorn', ' 1234 ', '120', []],
      ];
      for (const [name, placing, cuts, warning] of saves) {
        s.alerts.length = 0;
        await saveClass(s, name === 'Duroc' ? 'Swine' : 'Cattle', name, placing, cuts);
        assert.deepEqual(s.alerts, warning, name);
      }
      assert.deepEqual(await rows(s, 'classes-body'), [
        ['1', 'Cattle', 'Angus', '4213', '333'], ['2', 'Cattle', 'Hereford', '1234', '555'], ['3', 'Swine', 'Duroc', '', ''],
        ['4', 'Cattle', 'Limousin', '2143', '474'], ['5', 'Cattle', 'Simmental', '3412', '196'],
        ['6', 'Cattle', 'Charolais', '1234', '194'], ['7', 'Cattle', 'Shorthorn', '1234', '120']]);
      assert.equal(await valueOf(s, 'classes-class-type-inp'), 'Cattle', 'partial reset keeps the class type');

      await clickRow(s, 'classes-body', 2, 'Duroc');
      assert.deepEqual([await valueOf(s, 'class-number-inp'), await valueOf(s, 'classes-class-type-inp'),
        await valueOf(s, 'class-name-inp')], ['3', 'Swine', 'Duroc']);
      await fill(s, { 'class-placing-inp': '3142', 'class-cuts-inp': '253' });
      const update = s.mark();
      await press(s, '#save-class-btn');
      assert.equal(update()[0], `save_class:${fieldList('3', '2', 'Duroc', '3142', '253')}`);
      assert.deepEqual((await rows(s, 'classes-body'))[2], ['3', 'Swine', 'Duroc', '3142', '253']);

      await go(s, 'class-types');
      await clickRow(s, 'class-types-body', 0, 'Swine');
      await press(s, '#delete-class-type-btn');
      assert.deepEqual(s.alerts.slice(-1), [CONSISTENCY], 'a used class type stays');
      await go(s, 'classes');
      await clickRow(s, 'classes-body', 2, 'Simmental');
      await press(s, '#delete-class-btn');
      assert.deepEqual((await rows(s, 'classes-body')).map((r) => r[2]),
        ['Angus', 'Hereford', 'Duroc', 'Limousin', 'Charolais', 'Shorthorn']);
      assert.deepEqual([await valueOf(s, 'classes-class-type-inp'), await focusedId(s)], ['', 'classes-class-type-inp']);
    });
  });

  test('an empty fetch empties the table and the dependent dropdown, which then asks for a selection', async () => {
    let divisions = fieldList('1', 'Junior', '3', '1000', '2', 'Senior', '4', '2000', '3');
    await withPage({ respond: scriptedHost({ fetch_divisions: () => divisions }) }, async (s) => {
      await press(s, '#open-contest-btn');
      assert.deepEqual(await rows(s, 'divisions-body'), [['Junior', '3', '1000'], ['Senior', '4', '2000']],
        'a trailing incomplete entry is ignored');
      divisions = '';
      await go(s, 'divisions');
      await press(s, '#clear-division-btn');
      assert.deepEqual(await rows(s, 'divisions-body'), []);
      assert.deepEqual(await options(s, 'team-division-name-inp'), []);
      await go(s, 'teams');
      await fill(s, { 'team-name-inp': 'Blue' });
      await press(s, '#save-team-btn');
      assert.deepEqual(s.alerts, ['Select a division name.']);
    });
  });
});

describe('placings', () => {
  test('checks run in order and refuse before anything is sent', async () => {
    await withPage({ respond: scriptedHost() }, async (s) => {
      await press(s, '#open-contest-btn');
      await go(s, 'placings');
      const refused = [
        [['', '1011', '1234', ''], 'Enter a class number.'],
        [[' ', '1011', '1234', ''], 'Enter a class number.'],
        [['1', '', '1234', ''], 'Enter a contestant number.'],
        ...['0000', '1244', '12345', '-1'].map((p) => [['1', '1011', p, ''], 'This is not a valid placing.']),
        ...['51', '05', '-1', '50.0', '100', 'x'].map((r) => [['1', '1011', '1234', r], 'This is not a valid reasons score.']),
        [['1', '1011', '', ''], 'Enter a placing and/or reasons score.'],
      ];
      for (const [[classNo, contestant, placing, reasons], alert] of refused) {
        s.alerts.length = 0;
        const sent = s.mark();
        await fill(s, { 'placing-class-inp': classNo, 'placing-contestant-inp': contestant,
          'placing-placing-inp': placing, 'placing-reasons-inp': reasons });
        await press(s, '#save-placing-btn');
        assert.deepEqual([s.alerts, sent()], [[alert], []], `${classNo}/${contestant}/${placing}/${reasons}`);
      }
      const accepted = [
        [['1', '1011', '0', ''], fieldList('none', '1', '1011', '0', '')],
        [[' 2 ', '1012', '1234 ', '50'], fieldList('none', '2', '1012', '1234', '50')],
        [['2', '1013', '2314', '0'], fieldList('none', '2', '1013', '2314', '0')],
        ...['9', '10', '49'].map((r) => [['3', '1014', '', r], fieldList('none', '3', '1014', '', r)]),
      ];
      for (const [[classNo, contestant, placing, reasons], args] of accepted) {
        s.alerts.length = 0;
        const sent = s.mark();
        await savePlacing(s, classNo, contestant, placing, reasons);
        assert.deepEqual([s.alerts, sent()], [[], [`save_placing:${args}`, 'fetch_placings:', 'fetch_placing_counts:']]);
        assert.deepEqual([await valueOf(s, 'placing-class-inp'), await valueOf(s, 'placing-contestant-inp'),
          await focusedId(s)], [classNo, '', 'placing-contestant-inp'], 'partial reset keeps the class');
      }
      // In update mode the placing is required.
      await s.page.evaluate(() => { document.getElementById('placing-number-inp').value = '7'; });
      s.alerts.length = 0;
      await savePlacing(s, '1', '1011', '', '30');
      assert.deepEqual(s.alerts, ['Enter a placing.']);
    });
  });

  test('save, reasons only, row click, correction, counts, refused entries and delete against the host', async () => {
    await withPage({}, async (s) => {
      await createContest(s);
      await setUpAngusClass(s);
      await saveClass(s, 'Cattle', 'Hereford', '4321', '333');
      await go(s, 'placings');

      await savePlacing(s, '1', '1011', '1234');
      await savePlacing(s, '1', '1012', '2134', '40');
      await savePlacing(s, '1', '1011', '1243');
      assert.deepEqual(s.alerts, [CONSISTENCY], 'one placing per contestant and class');
      await savePlacing(s, '1', '1013', '', '35');
      assert.deepEqual(s.alerts.slice(1), [CONSISTENCY], 'reasons need a placing');
      await savePlacing(s, '1', '1011', '', '45');
      assert.deepEqual(s.alerts.length, 2, 'reasons added to an existing placing');
      const byContestant = (list) => Object.fromEntries(list.map((r) => [r[1], r]));
      let placings = byContestant(await rows(s, 'placings-body'));
      assert.deepEqual(placings, { 1011: ['1', '1011', '1234', '45'], 1012: ['1', '1012', '2134', '40'] });
      assert.deepEqual(await rows(s, 'placing-counts-body'), [['1013', '0', '0'], ['1011', '1', '1'], ['1012', '1', '1']]);

      await clickRow(s, 'placings-body', 1, '1012');
      assert.deepEqual([await valueOf(s, 'placing-class-inp'), await valueOf(s, 'placing-contestant-inp'),
        await valueOf(s, 'placing-placing-inp'), await valueOf(s, 'placing-reasons-inp')], ['1', '1012', '2134', '40']);
      const id = await valueOf(s, 'placing-number-inp');
      assert.match(id, /^[0-9]+$/);
      await fill(s, { 'placing-class-inp': '2', 'placing-placing-inp': '4321', 'placing-reasons-inp': '' });
      const correction = s.mark();
      await press(s, '#save-placing-btn');
      assert.equal(correction()[0], `save_placing:${fieldList(id, '2', '1012', '4321', '')}`);
      placings = byContestant(await rows(s, 'placings-body'));
      assert.deepEqual(placings['1012'], ['2', '1012', '4321', '']);
      assert.equal(await valueOf(s, 'placing-class-inp'), '2');

      await savePlacing(s, '9', '1013', '1234');
      assert.deepEqual(s.alerts.slice(2), [CONSISTENCY], 'an unknown class is refused by the host');

      // Refresh keeps the form; delete clears it completely.
      await fill(s, { 'placing-class-inp': '1', 'placing-contestant-inp': '1013' });
      await press(s, '#refresh-placings-table-btn');
      assert.equal(await valueOf(s, 'placing-contestant-inp'), '1013');
      await clickRow(s, 'placings-body', 1, '1011');
      await press(s, '#delete-placing-btn');
      assert.deepEqual((await rows(s, 'placings-body')).map((r) => r[1]), ['1012']);
      assert.deepEqual([await valueOf(s, 'placing-class-inp'), await focusedId(s)], ['', 'placing-class-inp']);
      assert.equal(s.alerts.length, 3);
    });
  });
});

describe('card log', () => {
  const CARD_PORT = 57371;
  const LOG_HEADERS = ['Time', 'Address', 'Card', 'Cont. No.', 'Class No.', 'Value', 'Outcome'];
  const logMarks = (s) => s.page.$$eval('#card-log-body tr', (trs) => trs.map((tr) =>
    [tr.classList.contains('card-log-dispute'), tr.cells[1].classList.contains('card-log-shared')]));

  async function waitForCardServer(port) {
    for (let i = 0; i < 100; i += 1) {
      try {
        if ((await fetch(`http://127.0.0.1:${port}/health`)).status === 200) return;
      } catch {
        // not listening yet
      }
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
    throw new Error(`no card server on port ${port}`);
  }

  test('phones writing through the real card server: newest first, the dispute highlighted, the shared address marked', async () => {
    await withPage({ hostArgs: ['--card-port', String(CARD_PORT)] }, async (s) => {
      await waitForCardServer(CARD_PORT);
      await createContest(s);
      await setUpAngusClass(s);
      await go(s, 'placings');
      assert.deepEqual(await s.page.$$eval('#card-log-table th', (ths) => ths.map((th) => th.textContent)), LOG_HEADERS);

      // A rogue phone (127.0.0.2) takes 1011's card and another; the real
      // 1011 (127.0.0.3) is refused; a judge (127.0.0.4) scores 1012.
      const phone = (address, route, ...parts) => postFrom(CARD_PORT, address, route, ...parts);
      const writes = [
        ['127.0.0.2', 'save_card_placing', '1011', '1', '2143', 'true'],
        ['127.0.0.2', 'save_card_placing', '1012', '1', '1234', 'true'],
        ['127.0.0.3', 'save_card_placing', '1011', '1', '3412', 'false'],
        ['127.0.0.3', 'save_card_placing', '1013', '1', '1123', 'false'],
        ['127.0.0.3', 'save_card_reasons', '1013', '1', '45', 'false'],
        ['127.0.0.4', 'save_card_reasons', '1012', '1', '40', 'true'],
      ];
      for (const [address, route, contestant, classNo, entry, answer] of writes) {
        assert.deepEqual(await phone(address, route, contestant, classNo, entry), { status: 200, body: answer });
      }
      assert.deepEqual(await rows(s, 'card-log-body'), [], 'the log waits for Refresh');
      const refresh = s.mark();
      await press(s, '#refresh-placings-table-btn');
      assert.ok(refresh().includes('fetch_card_log:'));
      const log = await rows(s, 'card-log-body');
      for (const row of log) assert.match(row[0], /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/);
      assert.deepEqual(log.map((row) => row.slice(1)), [
        ['127.0.0.4', 'reasons', '1012', '1', '40', 'stored'],
        ['127.0.0.3', 'reasons', '1013', '1', '45', 'refused'],
        ['127.0.0.3', 'placing', '1013', '1', '1123', 'refused'],
        ['127.0.0.3', 'placing', '1011', '1', '3412', 'refused'],
        ['127.0.0.2', 'placing', '1012', '1', '1234', 'stored'],
        ['127.0.0.2', 'placing', '1011', '1', '2143', 'stored'],
      ]);
      assert.deepEqual(await logMarks(s), [
        [false, false], [false, false], [false, false], [true, false], [false, true], [false, true]]);
      assert.equal(await s.page.$eval('#card-log-body tr.card-log-dispute td',
        (td) => getComputedStyle(td).backgroundColor), 'rgb(248, 215, 218)');
      await s.page.screenshot({ path: path.join(outputDir, 'card-log.png'), fullPage: true });

      // Sorting moves the rows with their marks.
      await press(s, '#card-log-table th:nth-child(4)');
      assert.deepEqual((await rows(s, 'card-log-body')).map((row) => row[3]),
        ['1011', '1011', '1012', '1012', '1013', '1013']);
      assert.deepEqual(await logMarks(s), [
        [true, false], [false, true], [false, false], [false, true], [false, false], [false, false]]);

      // The organiser gives 1011 the card the contestant tried to send; the
      // log keeps what the phones did.
      await clickRow(s, 'placings-body', 1, '1011');
      await fill(s, { 'placing-placing-inp': '3412' });
      await press(s, '#save-placing-btn');
      assert.deepEqual((await rows(s, 'placings-body')).find((row) => row[1] === '1011'), ['1', '1011', '3412', '']);
      assert.equal((await rows(s, 'card-log-body')).length, 6);
      assert.deepEqual(s.alerts, []);
    });
  });

  test('only a refusal after a stored card of the same kind is a dispute; only stored placings mark an address', async () => {
    const at = (second) => `2026-05-01 10:00:${String(second).padStart(2, '0')}`;
    const log = [  // newest first
      [at(11), '10.0.0.5', 'reasons', '1012', '2', '30', 'refused'],   // its score was stored before: dispute
      [at(10), '10.0.0.9', 'placing', '', '', 'x<b>', 'refused'],      // unreadable numbers: never a dispute
      [at(9), '10.0.0.5', 'reasons', '1012', '2', '40', 'stored'],
      [at(8), '10.0.0.5', 'placing', '1011', '2', '1234', 'stored'],
      [at(7), '10.0.0.5', 'placing', '1011', '2', '4321', 'refused'],  // nothing stored yet: no dispute
      [at(6), '10.0.0.6', 'reasons', '1013', '1', '20', 'stored'],     // reasons do not mark an address
      [at(5), '10.0.0.6', 'placing', '1014', '1', '1234', 'stored'],
      [at(4), '10.0.0.7', 'placing', '1015', '1', '1234', 'stored'],   // one contestant, two classes
      [at(3), '10.0.0.7', 'placing', '1015', '2', '1234', 'stored'],
      [at(2), '10.0.0.8', 'placing', '1016', '1', '1234', 'refused'],
      [at(1), '10.0.0.8', 'placing', '1017', '1', '1234', 'stored'],   // two contestants: marked
      [at(0), '10.0.0.8', 'placing', '1016', '2', '1234', 'stored'],
    ];
    let answer = log.map((row) => fieldList(...row)).join(SEP);
    await withPage({ respond: scriptedHost({ fetch_card_log: () => answer }) }, async (s) => {
      await go(s, 'placings');
      await press(s, '#refresh-placings-table-btn');
      assert.deepEqual(s.sent, [], 'nothing is asked without a contest');
      await go(s, 'contest');
      await press(s, '#open-contest-btn');
      await go(s, 'placings');
      await press(s, '#refresh-placings-table-btn');
      assert.deepEqual(await rows(s, 'card-log-body'), log, 'markup in a value shows as text');
      const marks = await logMarks(s);
      assert.deepEqual(marks.map(([dispute]) => dispute), log.map((row, i) => i === 0));
      assert.deepEqual(marks.map(([, shared]) => shared), log.map((row) => row[1] === '10.0.0.8'));
      answer = '';
      await press(s, '#refresh-placings-table-btn');
      assert.deepEqual(await rows(s, 'card-log-body'), []);
    });
  });
});

describe('wi-fi', () => {
  const svg = (label) => `<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE svg PUBLIC "-//W3C//DTD SVG 1.1//EN" ` +
    `"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd">\n<svg xmlns="http://www.w3.org/2000/svg" version="1.1" ` +
    `viewBox="0 0 29 29" stroke="none" data-label="${label}">\n\t<rect width="100%" height="100%" fill="#FFFFFF"/>\n` +
    `\t<path d="M4,4h1v1h-1z M5,4h1v1h-1z" fill="#000000"/>\n</svg>\n`;

  test('the two card lines show as text above their QR codes; an empty result empties both', async () => {
    let answer = fieldList('Placing Card: http://192.168.1.20:56780/placing', svg('p'),
      'Reasons Card: http://192.168.1.20:56780/reasons', svg('r'));
    await withPage({ respond: scriptedHost({ fetch_wifi_addresses: () => answer }) }, async (s) => {
      await go(s, 'wifi');
      await press(s, '#wifi-address-btn');
      assert.deepEqual(s.sent, ['1:fetch_wifi_addresses:'], 'works without an open contest');
      const blocks = await s.page.$$eval('#wifi-addresses > div', (divs) => divs.map((d) => [d.id, d.innerText.trim(),
        d.querySelector('svg')?.getAttribute('data-label'), d.querySelector('svg')?.getBoundingClientRect().width]));
      assert.deepEqual(blocks, [['placing-qrcode', 'Placing Card: http://192.168.1.20:56780/placing', 'p', 328],
        ['reasons-qrcode', 'Reasons Card: http://192.168.1.20:56780/reasons', 'r', 328]]);
      assert.equal(await s.page.$$eval('#wifi path', (ps) => ps.length), 2);
      await s.page.screenshot({ path: path.join(outputDir, 'wifi.png') });
      answer = '';
      await press(s, '#wifi-address-btn');
      assert.deepEqual(await s.page.$$eval('#wifi-addresses > div', (divs) => divs.map((d) => d.innerHTML)), ['', '']);
    });
  });

  test('the real host answers the button without a contest', async () => {
    await withPage({}, async (s) => {
      await go(s, 'wifi');
      await press(s, '#wifi-address-btn');
      assert.deepEqual(s.sent, ['1:fetch_wifi_addresses:']);
      assert.match(s.replies[0], /^1:(|Placing Card: http:\/\/[0-9.]+:56780\/placing\u001f[\s\S]*)$/);
      const text = await s.page.$eval('#placing-qrcode', (d) => d.textContent.trim());
      if (s.replies[0] === '1:') assert.equal(text, '');
      else assert.match(text, /^Placing Card: http:\/\/[0-9.]+:56780\/placing/);
    });
  });
});

describe('results', () => {
  const scoreRows = [
    ['Ann', '1011', 'Angus', '1', '1234', '50', '45', '95'],
    ['Bob', '1012', 'Angus', '1', '2134', '48', '', '48'],
  ];

  test('individual scores are fetched on each visit of the section', async () => {
    let result = scoreRows.flat().join(SEP);
    await withPage({ respond: scriptedHost({ fetch_indiv_scores: () => result }) }, async (s) => {
      await press(s, '#open-contest-btn');
      const sent = s.mark();
      await go(s, 'individual-scores');
      assert.deepEqual(sent(), ['fetch_indiv_scores:']);
      assert.deepEqual(await rows(s, 'indiv-scores-body'), scoreRows);
      result = '';
      await go(s, 'individual-scores');
      assert.deepEqual(await rows(s, 'indiv-scores-body'), []);
    });
  });

  const entry = (division, category, rank, score, name, other) => [division, category, String(rank), String(score), name, other];

  test('ranking tables per division and category, captions, lower scores and the toggle', async () => {
    const indiv = [
      ...Array.from({ length: 12 }, (_, i) => entry('None', 'Overall', i < 10 ? i + 1 : (i === 10 ? 10 : 12), 200 - i, `C${i + 1}`, 'Blue')),
      entry('Senior', 'Overall', 1, 180, 'S1', 'Red'),
      entry('Senior', 'Cattle', 1, 90, 'S1', 'Red'),
      entry('Junior', 'Cattle', 1, 88, 'J1', 'Gold'),
      entry('Junior', 'Cattle', 2, 80, 'J2', 'Gold'),
    ];
    const team = [entry('None', 'Reasons', 1, 140, 'Blue', 'Pat'), ...Array.from({ length: 11 }, (_, i) =>
      entry('Senior', 'Overall', i + 1, 500 - i, `T${i + 1}`, ''))];
    const fetches = { fetch_indiv_rankings: () => indiv.flat().join(SEP), fetch_team_rankings: () => team.flat().join(SEP) };
    await withPage({ respond: scriptedHost(fetches) }, async (s) => {
      await press(s, '#open-contest-btn');
      const sent = s.mark();
      await go(s, 'rankings');
      assert.deepEqual(sent(), ['fetch_indiv_rankings:', 'fetch_team_rankings:']);
      const tables = await s.page.$$eval('#indiv-rankings table, #team-rankings table', (ts) => ts.map((t) => [
        t.className, t.caption.textContent, Array.from(t.tHead.rows[0].cells, (c) => c.textContent).join('|'),
        t.tBodies[0].rows.length, t.hasAttribute('data-sortable'), t.getAttribute('data-sortable-initialized')]));
      assert.deepEqual(tables, [
        ['rank-indiv-table', 'Individual Overall', 'Rank|Score|Contestant|Team', 12, true, 'true'],
        ['rank-indiv-table', 'Individual Senior Overall', 'Rank|Score|Contestant|Team', 1, true, 'true'],
        ['rank-indiv-table', 'Individual Senior Cattle', 'Rank|Score|Contestant|Team', 1, true, 'true'],
        ['rank-indiv-table', 'Individual Junior Cattle', 'Rank|Score|Contestant|Team', 2, true, 'true'],
        ['rank-team-table', 'Team Reasons', 'Rank|Score|Team|Coach', 1, true, 'true'],
        ['rank-team-table', 'Team Senior Overall', 'Rank|Score|Team|Coach', 11, true, 'true'],
      ]);
      const visibleRanks = () => s.page.$$eval('#rankings tbody tr', (trs) => trs.filter((tr) => tr.offsetParent !== null)
        .map((tr) => tr.cells[2].textContent));
      const shown = await visibleRanks();
      assert.ok(shown.includes('C10') && shown.includes('C11'), 'a tie at rank 10 shows every rank-10 row');
      assert.ok(!shown.includes('C12') && !shown.includes('T11'), 'ranks above 10 are hidden');
      assert.deepEqual(await s.page.$$eval('.lower-score', (trs) => trs.map((tr) => tr.cells[2].textContent)), ['C12', 'T11']);
      assert.deepEqual(await rows(s, '#indiv-rankings table:first-child tbody'),
        indiv.slice(0, 12).map((e) => [e[2], e[3], e[4], e[5]]));
      await press(s, '#rankings-show-hide-btn');
      assert.equal((await visibleRanks()).length, 16 + 12);
      await press(s, '#rankings-show-hide-btn');
      assert.equal((await visibleRanks()).length, 16 + 12 - 2);
      await press(s, '#rankings-show-hide-btn');
      // A new visit builds the tables again with the lower rows hidden.
      await go(s, 'rankings');
      assert.equal((await visibleRanks()).length, 26);
      await s.page.screenshot({ path: path.join(outputDir, 'rankings-scripted.png'), fullPage: true });
    });
  });

  test('an empty rankings result leaves the blocks empty, without captions', async () => {
    let answer = fieldList('Senior', 'Overall', '1', '100', 'Ann', 'Blue');
    await withPage({ respond: scriptedHost({ fetch_indiv_rankings: () => answer, fetch_team_rankings: () => answer }) }, async (s) => {
      await press(s, '#open-contest-btn');
      await go(s, 'rankings');
      assert.equal(await s.page.$$eval('#rankings caption', (cs) => cs.length), 2);
      answer = '';
      await go(s, 'rankings');
      assert.deepEqual([await s.page.innerHTML('#indiv-rankings'), await s.page.innerHTML('#team-rankings')], ['', '']);
    });
  });
});

describe('markup in field texts', () => {
  test('names with markup show literally in cells, options and captions; the page runs none of it', async () => {
    const evil = '<img src=x onerror="window.__pwned=1">';
    const bold = '<b>Bold</b> & Co';
    const fetches = {
      fetch_divisions: fieldList('1', evil, '3', '1000'),
      fetch_teams: fieldList('1', evil, bold, 'Team', evil, '1010'),
      fetch_contestants: fieldList(evil, bold, '<script>window.__pwned=2</script>', '1011'),
      fetch_indiv_rankings: fieldList(evil, 'Overall', '1', '100', bold, evil),
      fetch_team_rankings: fieldList(evil, bold, '1', '300', bold, evil),
    };
    await withPage({ respond: scriptedHost(fetches, '<i>Fair</i>') }, async (s) => {
      await press(s, '#open-contest-btn');
      await go(s, 'rankings');
      assert.equal(await textOf(s, 'contest-name'), '<i>Fair</i>');
      assert.deepEqual(await rows(s, 'divisions-body'), [[evil, '3', '1000']]);
      assert.deepEqual(await rows(s, 'teams-body'), [[evil, bold, 'Team', evil, '1010']]);
      assert.deepEqual((await rows(s, 'contestants-body'))[0][2], '<script>window.__pwned=2</script>');
      assert.deepEqual(await options(s, 'contestant-division-team-name-inp'), [['', null], [`${evil} ${bold}`, '1010']]);
      assert.deepEqual(await s.page.$$eval('#rankings caption', (cs) => cs.map((c) => c.textContent)),
        [`Individual ${evil} Overall`, `Team ${evil} ${bold}`]);
      const injected = await s.page.evaluate(() => [window.__pwned, document.querySelectorAll('main img, main b, main i, main script').length]);
      assert.deepEqual(injected, [undefined, 0]);
      await go(s, 'contestants');
      await clickRow(s, 'contestants-body', 3, '1011');
      assert.equal(await valueOf(s, 'contestant-division-team-name-inp'), `${evil} ${bold}`);
    });
  });
  test('a name typed with markup is stored and shown back as typed', async () => {
    const evil = '<img src=x onerror="window.__pwned=1">';
    await withPage({}, async (s) => {
      await createContest(s);
      await go(s, 'divisions');
      await saveDivision(s, evil, '3');
      await go(s, 'teams');
      await saveTeam(s, evil, '<b>Blue</b>', 'Team', '<i>Pat</i>');
      assert.deepEqual(await rows(s, 'teams-body'), [[evil, '<b>Blue</b>', 'Team', '<i>Pat</i>', '1010']]);
      assert.deepEqual(await rows(s, 'divisions-body'), [[evil, '3', '1000']]);
      assert.deepEqual(await s.page.evaluate(() => [window.__pwned, document.querySelectorAll('main img, main b, main i').length]),
        [undefined, 0]);
    });
  });
});

describe('sortable tables', () => {
  test('a long scores table: every row arrives, and a sort or a printout right away takes them all', async () => {
    // More rows than the page shows before its first paint: the rest follow.
    const many = Array.from({ length: 450 }, (_, i) =>
      [`C${String(i).padStart(3, '0')}`, String(1011 + i), 'Angus', '1', '1234', String(i % 51), '0', String(i % 51)]);
    const result = many.flat().join(SEP);
    const inHostOrder = many.map((r) => r[0]);
    const byTotal = [...many].sort((a, b) => Number(a[7]) - Number(b[7])).map((r) => r[0]);
    await withPage({ respond: scriptedHost({ fetch_indiv_scores: () => result }) }, async (s) => {
      await press(s, '#open-contest-btn');
      await go(s, 'individual-scores');
      assert.deepEqual(await rows(s, 'indiv-scores-body'), many);

      // A sort, and below a printout, in the same task as the refill: before any frame.
      await s.page.evaluate(() => new Promise((resolve) => {
        const body = document.getElementById('indiv-scores-body');
        const observer = new MutationObserver(() => {
          observer.disconnect();
          document.querySelector('#indiv-scores-table th:nth-child(8)').dispatchEvent(new PointerEvent('pointerdown'));
          resolve();
        });
        observer.observe(body, { childList: true });
        document.querySelector('nav a[data-page="individual-scores"]').click();
      }));
      await s.page.waitForFunction((n) => document.getElementById('indiv-scores-body').rows.length === n, many.length);
      assert.deepEqual((await rows(s, 'indiv-scores-body')).map((r) => r[0]), byTotal,
        'a sort takes the rows not yet shown');
      const beforePrint = await s.page.evaluate(() => new Promise((resolve) => {
        const body = document.getElementById('indiv-scores-body');
        const observer = new MutationObserver(() => {
          observer.disconnect();
          const shown = body.rows.length;
          window.dispatchEvent(new Event('beforeprint'));
          resolve([shown, Array.from(body.rows, (row) => row.cells[0].textContent)]);
        });
        observer.observe(body, { childList: true });
        document.querySelector('nav a[data-page="individual-scores"]').click();
      }));
      assert.ok(beforePrint[0] < many.length, 'the first rows go in before the rest');
      assert.deepEqual(beforePrint[1], inHostOrder, 'a printout takes every row, in order');
    });
  });

  // Divisions table columns: name (cell 1), team size (2), number (3).
  const divisionsOf = (names, sizes = []) => names.map((name, i) =>
    fieldList(String(i + 1), name, sizes[i] ?? '3', String((i + 1) * 1000))).join(SEP);

  async function withDivisions(answer, body) {
    const state = { answer };
    await withPage({ respond: scriptedHost({ fetch_divisions: () => state.answer }) }, async (s) => {
      await press(s, '#open-contest-btn');
      await go(s, 'divisions');
      await body(s, state);
    });
  }
  const column = async (s, index) => (await rows(s, 'divisions-body')).map((r) => r[index]);
  const header = (n) => `#divisions-table th:nth-child(${n})`;

  test('column types come from the first non-empty value', async () => {
    const cases = [
      ['numeric with commas', ['1,250', '200', '-3', '7'], ['-3', '7', '200', '1,250']],
      ['negative first', ['-3', '10', '2'], ['-3', '2', '10']],
      ['currency', ['$4.50', '$10', '$2'], ['$2', '$4.50', '$10']],
      ['percent', ['12%', '9%', '100%'], ['9%', '12%', '100%']],
      ['a year is a number', ['2003', '1999', '20'], ['20', '1999', '2003']],
      ['later text sorts smallest', ['5', 'n/a', '3'], ['n/a', '3', '5']],
      ['dates', ['1/15/2024', '12/31/2023', '3/1/2024'], ['12/31/2023', '1/15/2024', '3/1/2024']],
      ['names', ['Smith', 'adams', 'Brown', '10'], ['10', 'adams', 'Brown', 'Smith']],
      ['empty first cells are skipped', ['', '30', '4'], ['', '4', '30']],
    ];
    // One page: each Clear refills the table and binds it again, so every
    // case's first value decides its column's type afresh.
    await withDivisions('', async (s, state) => {
      for (const [label, names, sorted] of cases) {
        state.answer = divisionsOf(names);
        await press(s, '#clear-division-btn');
        assert.deepEqual(await column(s, 0), names, `${label}: host order after a refresh`);
        await press(s, header(1));
        assert.deepEqual(await column(s, 0), sorted, label);
        assert.deepEqual(await s.page.$eval(header(1), (th) => [th.dataset.sorted, th.dataset.sortedDirection]),
          ['true', 'ascending']);
      }
    });
  });

  test('a second press reverses, another header sorts ascending, ties keep their order, refresh resets', async () => {
    const names = ['Dee', 'Ann', 'Cy', 'Bob', 'Eve'];
    const sizes = ['4', '3', '4', '3', '5'];
    await withDivisions(divisionsOf(names, sizes), async (s) => {
      await press(s, header(1));
      assert.deepEqual(await column(s, 0), ['Ann', 'Bob', 'Cy', 'Dee', 'Eve']);
      await press(s, header(1));
      assert.deepEqual(await column(s, 0), ['Eve', 'Dee', 'Cy', 'Bob', 'Ann']);
      assert.equal(await s.page.$eval(header(1), (th) => th.dataset.sortedDirection), 'descending');
      // Sorting by team size keeps the name order (descending) among equal sizes.
      await press(s, header(2));
      assert.deepEqual(await rows(s, 'divisions-body').then((r) => r.map((c) => c[1] + c[0])),
        ['3Bob', '3Ann', '4Dee', '4Cy', '5Eve']);
      assert.deepEqual(await s.page.$$eval('#divisions-table th', (ths) => ths.map((th) => th.dataset.sorted ?? '')),
        ['', 'true', '']);
      await press(s, header(2));
      assert.deepEqual(await column(s, 0), ['Eve', 'Cy', 'Dee', 'Ann', 'Bob'], 'a second press flips the rows');
      // Clear refreshes: the host's order again and no header sorted.
      await press(s, '#clear-division-btn');
      assert.deepEqual(await column(s, 0), names);
      assert.deepEqual(await s.page.$$eval('#divisions-table th', (ths) => ths.filter((th) => th.dataset.sorted).length), 0);
      await press(s, header(3));
      assert.deepEqual(await column(s, 2), ['1000', '2000', '3000', '4000', '5000']);
      await press(s, header(3));
      assert.deepEqual(await column(s, 2), ['5000', '4000', '3000', '2000', '1000']);
    });
  });

  test('a press on an empty table changes nothing', async () => {
    await withDivisions('', async (s) => {
      await press(s, '#clear-division-btn');
      await press(s, header(1));
      assert.deepEqual(await rows(s, 'divisions-body'), []);
    });
  });
});

describe('a whole contest through the page', () => {
  test('set up, place, score and rank a contest against the real core', async () => {
    await withPage({}, async (s) => {
      await createContest(s, 'State Judging 2026');
      await go(s, 'divisions');
      await saveDivision(s, 'None', '3');
      await saveDivision(s, 'Senior', '3');
      await go(s, 'teams');
      await saveTeam(s, 'Senior', 'Red', 'Team', 'Pat');
      await saveTeam(s, 'Senior', 'Blue', 'Team', 'Sam');
      await saveTeam(s, 'Senior', 'Green', 'Team');
      await saveTeam(s, 'Senior', 'Lone Indiv', 'Indiv');
      await saveTeam(s, 'None', 'Solo', 'Indiv');
      await go(s, 'contestants');
      await saveContestants(s, 'Senior Red', 'R1, R2, R3');
      await saveContestants(s, 'Senior Blue', 'B1; B2; B3');
      await saveContestants(s, 'Senior Green', 'G1\nG2\nG3');
      await saveContestants(s, 'Senior Lone Indiv', 'L1, L2');
      await saveContestants(s, 'None Solo', 'N1');
      await saveContestants(s, 'None Solo', 'N2');
      assert.deepEqual(s.alerts, ['Error: The contestant limit has been reached.']);
      s.alerts.length = 0;
      const contestants = await rows(s, 'contestants-body');
      assert.equal(contestants.length, 12);
      await go(s, 'class-types');
      await saveClassType(s, 'Cattle');
      await saveClassType(s, 'Swine');
      await go(s, 'classes');
      await saveClass(s, 'Cattle', 'Angus Heifers', '1234', '253');
      await saveClass(s, 'Swine', 'Market Hogs', '4321', '222');

      // Every contestant places both classes as the officials did (50 each);
      // reasons scores make the totals distinct.
      await go(s, 'placings');
      const numbers = contestants.map((r) => r[3]).sort();
      for (const [i, number] of numbers.entries()) {
        await savePlacing(s, '1', number, '1234', String(40 - i));
        await savePlacing(s, '2', number, '4321', String(30 - i));
      }
      assert.deepEqual(s.alerts, []);
      assert.equal((await rows(s, 'placings-body')).length, 24);
      assert.deepEqual([...new Set((await rows(s, 'placing-counts-body')).map((r) => r[1] + r[2]))], ['22']);

      await go(s, 'individual-scores');
      const scores = await rows(s, 'indiv-scores-body');
      assert.equal(scores.length, 24);
      const b1 = scores.filter((r) => r[0] === 'B1');
      const i = numbers.indexOf(b1[0][1]);
      assert.deepEqual(b1, [['B1', numbers[i], 'Angus Heifers', '1', '1234', '50', String(40 - i), String(90 - i)],
        ['B1', numbers[i], 'Market Hogs', '2', '4321', '50', String(30 - i), String(80 - i)]]);

      await go(s, 'rankings');
      const captions = await s.page.$$eval('#rankings caption', (cs) => cs.map((c) => c.textContent));
      assert.deepEqual(captions, ['Individual Cattle', 'Individual Swine', 'Individual Reasons', 'Individual Overall',
        'Individual Senior Cattle', 'Individual Senior Swine', 'Individual Senior Reasons', 'Individual Senior Overall',
        'Team Senior Cattle', 'Team Senior Swine', 'Team Senior Reasons', 'Team Senior Overall']);
      const seniorOverall = await rows(s, '#indiv-rankings table:nth-child(8) tbody');
      assert.equal(seniorOverall.length, 11);
      assert.deepEqual(seniorOverall.map((r) => r[0]), ['1', '2', '3', '4', '5', '6', '7', '8', '9', '10', '11']);
      const hidden = await s.page.$$eval('#indiv-rankings tr.lower-score.hidden', (trs) => trs.map((tr) => tr.cells[0].textContent));
      assert.deepEqual(hidden, ['11', '11', '11', '11']);
      await s.page.screenshot({ path: path.join(outputDir, 'rankings.png'), fullPage: true });
      await press(s, '#rankings-show-hide-btn');
      assert.equal(await s.page.$$eval('#indiv-rankings tr.hidden', (trs) => trs.length), 0);

      await go(s, 'contestants');
      await s.page.screenshot({ path: path.join(outputDir, 'contestants.png') });
      await go(s, 'placings');
      await s.page.screenshot({ path: path.join(outputDir, 'placings.png') });
    });
  });
});
