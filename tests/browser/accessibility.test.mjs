// Accessibility of the three pages: an axe-core audit of every section of the
// organiser's page with data in it (Chromium, real ringtally-host through
// host_bridge.mjs) and of every state of both card pages (Chromium and WebKit,
// real card server), plus what axe cannot see by itself: that every control
// is named by its label, that messages land in a live region which exists
// from the start, and that the focused control always looks focused.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { CardHost, hostExecutable } from './card_host.mjs';
import { launchBrowser, openPage } from './host_bridge.mjs';
import {
  createContest, go, press, saveClass, saveClassType, saveContestants, saveDivision, savePlacing, saveTeam,
} from './main_helpers.mjs';
import { PHONE_SIZES, engineNames, startEngine } from './phone_engines.mjs';

const PORTS = { chromium: 57326, webkit: 57327 };
const DRIVER_PORT = 57361;

const here = path.dirname(fileURLToPath(import.meta.url));
const outputDir = path.resolve(here, '..', 'output');
const AXE_SOURCE = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

// Colour pairs that the pages must use as given, with their contrast as axe
// measures it: white bold 16 px text on the card buttons' #0080ab (4.49:1,
// just under the 4.5:1 that text of that size needs). Only these findings of
// the color-contrast rule are accepted; any other colour pair fails.
const GIVEN_COLOURS = [
  { fgColor: '#ffffff', bgColor: '#0080ab' },
];

function isGivenColour(violation, node) {
  if (violation.id !== 'color-contrast') return false;
  const data = node.any.concat(node.all, node.none).map((check) => check.data).find((d) => d && d.fgColor);
  return Boolean(data) && GIVEN_COLOURS.some((pair) => pair.fgColor === data.fgColor && pair.bgColor === data.bgColor);
}

// The serious and critical findings, less the accepted colour pairs; and a
// record of everything found, for the output directory.
function judge(results) {
  const blocking = [];
  const accepted = [];
  for (const violation of results.violations) {
    if (violation.impact !== 'serious' && violation.impact !== 'critical') continue;
    for (const node of violation.nodes) {
      const line = `${violation.id} (${violation.impact}) ${node.target.join(' ')}: ${node.failureSummary}`;
      if (isGivenColour(violation, node)) {
        const data = node.any[0].data;
        accepted.push(`${node.target.join(' ')} ${data.fgColor} on ${data.bgColor} ${data.contrastRatio}:1`);
      } else {
        blocking.push(line);
      }
    }
  }
  const summary = results.violations.map((v) => ({ id: v.id, impact: v.impact, nodes: v.nodes.map((n) => n.target.join(' ')) }));
  return { blocking, accepted, summary };
}

const auditLog = {};
function record(name, verdict) {
  auditLog[name] = { violations: verdict.summary, accepted: verdict.accepted };
}

after(() => {
  mkdirSync(outputDir, { recursive: true });
  writeFileSync(path.join(outputDir, 'axe-results.json'), JSON.stringify(auditLog, null, 2));
});

// In-page: every visible input, select and text area with the text of its labels.
function controlNames() {
  const visible = (el) => el.getClientRects().length > 0;
  return [...document.querySelectorAll('input:not([type="hidden"]), select, textarea')].filter(visible)
    .map((el) => [el.id, [...el.labels].map((label) => label.textContent.trim()).join(' ')]);
}

describe('the organiser\'s page', () => {
  let browser;
  let session;
  before(async () => {
    browser = await launchBrowser();
    session = await openPage(browser);
    // A small contest with something in every table.
    await createContest(session, 'Audit Day');
    await go(session, 'divisions');
    await saveDivision(session, 'Junior', '3');
    await go(session, 'teams');
    await saveTeam(session, 'Junior', 'Riders', 'Team', 'Coach Cole');
    await go(session, 'contestants');
    await saveContestants(session, 'Junior Riders', 'Ann Lee\nBen Ortiz\nCal Dunn');
    await go(session, 'class-types');
    await saveClassType(session, 'Cattle');
    await go(session, 'classes');
    await saveClass(session, 'Cattle', 'Market Steers', '1234', '253');
    await go(session, 'placings');
    for (const [contestant, placing, reasons] of [['1011', '1234', '45'], ['1012', '2143', '40'], ['1013', '4321', '']]) {
      await savePlacing(session, '1', contestant, placing, reasons);
    }
  });
  after(async () => {
    if (session) assert.deepEqual(session.pageErrors, []);
    await session?.close();
    await browser?.close();
  });

  const SECTIONS = ['contest', 'divisions', 'teams', 'contestants', 'class-types', 'classes', 'wifi', 'placings',
    'individual-scores', 'rankings', 'reports', 'about'];

  test('every section passes the audit, with its help shown', async () => {
    const failures = [];
    for (const id of SECTIONS) {
      await go(session, id);
      if (id === 'wifi') await press(session, '#wifi-address-btn');
      const help = `#${id}-help`;
      if (await session.page.$(help)) await press(session, `#${id} .help-toggle`);
      assert.ok(await session.page.$eval(`#${id}`, (s) => s.classList.contains('active')));
      if (['divisions', 'teams', 'contestants', 'class-types', 'classes', 'placings', 'individual-scores'].includes(id)) {
        assert.ok(await session.page.$$eval(`#${id} tbody tr`, (trs) => trs.length) > 0, `${id} has rows`);
      }
      if (!await session.page.evaluate(() => Boolean(window.axe))) await session.page.addScriptTag({ content: AXE_SOURCE });
      const results = await session.page.evaluate(() => window.axe.run(document, { resultTypes: ['violations'] }));
      const verdict = judge(results);
      record(`main/${id}`, verdict);
      failures.push(...verdict.blocking.map((line) => `${id}: ${line}`));
    }
    assert.deepEqual(failures, []);
  });

  test('every control is named by its label', async () => {
    const unnamed = [];
    for (const id of SECTIONS) {
      await go(session, id);
      for (const [control, name] of await session.page.evaluate(controlNames)) {
        if (name === '') unnamed.push(control);
      }
    }
    assert.deepEqual(unnamed, []);
  });
});

// The states a card page passes through, each reached from a fresh page.
const CARD_STATES = [
  { state: 'empty', steps: async () => {} },
  { state: 'names shown', steps: async (phone) => {
    await phone.enterNumbers('1011', '1');
    await phone.submitNumbers();
  } },
  { state: 'submitted', steps: async (phone, card, contestant) => {
    await phone.enterNumbers(contestant, '1');
    await phone.submitNumbers();
    await phone.enter(card.valueInput, card.good);
    const box = await phone.submit(card.valueButton, '#success-box');
    assert.equal(box.look, 'success');
  } },
  { state: 'error', steps: async (phone) => {
    await phone.enterNumbers('9998', '1');
    const box = await phone.submitNumbers();
    assert.equal(box.look, 'error');
  } },
];

const CARDS = [
  { name: 'placing', path: '/placing', valueInput: '#placing-inp', valueButton: '#submit-placing-btn', good: '2143',
    labels: [['contestant-number-inp', 'Contestant'], ['class-number-inp', 'Class'], ['placing-inp', 'Placing']] },
  { name: 'reasons', path: '/reasons', valueInput: '#reasons-inp', valueButton: '#submit-reasons-btn', good: '40',
    labels: [['contestant-number-inp', 'Contestant'], ['class-number-inp', 'Class'], ['reasons-inp', 'Reasons']] },
];

// In-page: the live regions present at load, remembered for later checks.
function rememberLiveRegions() {
  window.liveAtLoad = [...document.querySelectorAll('[aria-live], [role="status"], [role="alert"]')]
    .filter((region) => region.getAttribute('aria-live') !== 'off' && getComputedStyle(region).display !== 'none');
}

// In-page: whether the shown box `selector` sits in a live region that was
// already there, and rendered, when the page loaded.
function announcedBox(selector) {
  const box = document.querySelector(selector);
  return getComputedStyle(box).display !== 'none' && window.liveAtLoad.some((region) => region.contains(box));
}

for (const engineName of engineNames()) {
  describe(`card pages in ${engineName}`, () => {
    let engine;
    let host;
    before(async () => {
      engine = await startEngine(engineName, DRIVER_PORT);
      host = await CardHost.start(hostExecutable(), PORTS[engineName]);
      assert.equal(await host.call('create_contest', 'Day'), '');
      await host.change('save_division', 'none', 'Junior');
      await host.change('save_team', 'none', '1000', 'Riders', 'Indiv');
      // 1011 to 1014 have placings; 1015 has none yet.
      for (const name of ['Ann Lee', 'Ben Ortiz', 'Cal Dunn', 'Dee Park', 'Eve Stone']) {
        await host.change('call_save_contestant', 'none', '1010', name);
      }
      await host.change('save_class_type', 'none', 'Cattle');
      await host.change('save_class', 'none', '1', 'Market Steers', '1234', '253');
      for (const contestant of ['1011', '1012', '1013', '1014']) {
        assert.equal((await host.post('save_card_placing', contestant, '1', '1234')).body, 'true');
      }
    });
    after(async () => {
      await host?.stop();
      await engine?.close();
    });

    for (const card of CARDS) {
      test(`${card.name} card: every state passes the audit`, async () => {
        const failures = [];
        for (const { state, steps } of CARD_STATES) {
          // The placing card stores a new placing; the reasons card scores one stored above.
          const contestant = card.name === 'placing' ? '1015' : '1012';
          const phone = await engine.open(`${host.base}${card.path}`, PHONE_SIZES[1]);
          try {
            await steps(phone, card, contestant);
            await phone.run((source) => { if (!window.axe) (0, eval)(source); }, AXE_SOURCE);
            const results = await phone.run(() => window.axe.run(document, { resultTypes: ['violations'] }));
            const verdict = judge(results);
            record(`${engineName}/${card.name}/${state}`, verdict);
            failures.push(...verdict.blocking.map((line) => `${state}: ${line}`));
            await phone.screenshot(`axe-${card.name}-${state.replace(' ', '-')}`);
            assert.deepEqual(await phone.errors(), []);
          } finally {
            await phone.close();
          }
        }
        assert.deepEqual(failures, []);
      });

      test(`${card.name} card: labels name the inputs, and every message is announced`, async () => {
        const phone = await engine.open(`${host.base}${card.path}`, PHONE_SIZES[0]);
        try {
          await phone.run(rememberLiveRegions);
          await phone.enterNumbers('1013', '1');
          await phone.submitNumbers();
          assert.deepEqual(await phone.run(controlNames), card.labels);
          assert.equal(await phone.run(announcedBox, '#info-box'), true, 'the names are announced');
          await phone.enter(card.valueInput, 'x');
          await phone.submit(card.valueButton, '#success-box');
          assert.equal(await phone.run(announcedBox, '#success-box'), true, 'the refusal is announced');
          await phone.enterNumbers('', '1');
          await phone.submitNumbers();
          assert.equal(await phone.run(announcedBox, '#info-box'), true, 'the error is announced');
        } finally {
          await phone.close();
        }
      });

      test(`${card.name} card: the focused control always looks focused`, async () => {
        const phone = await engine.open(`${host.base}${card.path}`, PHONE_SIZES[0]);
        try {
          // Nothing has the focus at load: every control's unfocused look.
          const unfocused = await phone.run(focusLooks);
          const seen = [];
          const tab = async () => {
            await phone.press('Tab');
            const id = await phone.focusedId();
            seen.push(id);
            assert.notDeepEqual((await phone.run(focusLooks))[id], unfocused[id], `#${id} looks the same focused as not`);
          };
          await tab();
          await phone.type('1014');
          await tab();
          await phone.type('1');
          await tab();
          await phone.armBox('#info-box');
          await phone.press('Enter');
          await phone.boxWritten('#info-box');
          await tab();
          await tab();
          assert.deepEqual(seen, ['contestant-number-inp', 'class-number-inp', 'submit-numbers-btn',
            card.valueInput.slice(1), card.valueButton.slice(1)]);
        } finally {
          await phone.close();
        }
      });
    }
  });
}

// In-page: how each control with an id is drawn where focus shows.
function focusLooks() {
  const looks = {};
  for (const el of document.querySelectorAll('input[id], button[id], select[id], textarea[id], [tabindex]')) {
    const style = getComputedStyle(el);
    looks[el.id] = {
      outline: style.outlineStyle === 'none' ? 'none' : `${style.outlineStyle} ${style.outlineWidth} ${style.outlineColor}`,
      border: style.borderTopColor,
      shadow: style.boxShadow,
    };
  }
  return looks;
}
