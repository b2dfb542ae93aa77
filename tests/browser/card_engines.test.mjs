// The Placing Card and Reasons Card at phone sizes in both engines, Chromium
// and WebKit, against the real card server of ringtally-host. One set of
// cases; the engine adapter of phone_engines.mjs runs it in each browser.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';

import { CardHost, fields, hostExecutable, rowsOf, slowHostExecutable } from './card_host.mjs';
import { NARROW, PHONE_SIZES, engineNames, startEngine } from './phone_engines.mjs';
import { assertBox } from './card_phone.mjs';

// Card servers: one per engine and kind of host; WebKitWebDriver on 57360.
const PORTS = {
  chromium: { contest: 57320, none: 57321, slow: 57322, gone: 57328 },
  webkit: { contest: 57323, none: 57324, slow: 57325, gone: 57329 },
};
const DRIVER_PORT = 57360;

// Team 1010 of division 1000 gets contestants 1011, 1012, ...; classes get ids 1, 2, ...
const CONTESTANTS = ['Ann Lee', 'Ben Ortiz', '<b>Bo</b> & <i>Co</i>', 'Dee Park', 'Eve Stone', 'Fay Hill',
  'Gus Ray', 'Hal Dunn', 'Ivy Moss'];
const CLASSES = ['Market Steers', 'Breeding Heifers', '<img src="x" onerror="window.injected = true">Gilts'];

const CARDS = [
  {
    name: 'Placing Card', path: '/placing', section: '#placing-section',
    valueInput: '#placing-inp', valueButton: '#submit-placing-btn', saveRoute: '/api/save_card_placing',
    namesRoute: '/api/fetch_card_names', good: '2143', again: '3412',
    bad: ['1123', '12345', '', '5123', '12a4'], badText: 'Not a valid placing.',
    // What the look-up shows after the two names, before anything is stored.
    extraLine: [],
    // A refused placing shows the stored one, looked up again.
    refusal: 'A placing is already stored for this class: 2143. See the contest office if this is not yours.',
    refusalLookup: '/api/fetch_card_names_and_placing',
  },
  {
    name: 'Reasons Card', path: '/reasons', section: '#reasons-section',
    valueInput: '#reasons-inp', valueButton: '#submit-reasons-btn', saveRoute: '/api/save_card_reasons',
    namesRoute: '/api/fetch_card_names_and_placing', good: '45', again: '30',
    bad: ['51', '05', '', '4.5', '+7'], badText: 'Not a valid reasons score.',
    extraLine: ['No placing'],
    refusal: 'Submission failed.',
    refusalLookup: null,
  },
];

async function createContest(host) {
  assert.equal(await host.call('create_contest', 'Day'), '');
  await host.change('save_division', 'none', 'Junior');
  await host.change('save_team', 'none', '1000', 'Riders', 'Indiv');
  for (const name of CONTESTANTS) await host.change('call_save_contestant', 'none', '1010', name);
  await host.change('save_class_type', 'none', 'Cattle');
  for (const name of CLASSES) await host.change('save_class', 'none', '1', name, '1234', '253');
}

async function stored(host, contestant, classId) {
  const row = rowsOf(await host.call('fetch_placings'), 5).find((r) => r[1] === classId && r[2] === contestant);
  return row ? { placing: row[3], reasons: row[4] } : null;
}

async function withPhone(engine, url, viewport, body) {
  const phone = await engine.open(url, viewport);
  try {
    await body(phone);
    assert.deepEqual(await phone.errors(), []);
  } finally {
    await phone.close();
  }
}

const sizeName = ({ width, height }) => `${width}x${height}`;

for (const engineName of engineNames()) {
  describe(`card pages in ${engineName}`, () => {
    let engine;
    before(async () => { engine = await startEngine(engineName, DRIVER_PORT); });
    after(async () => { await engine?.close(); });

    describe('against a contest', () => {
      let host;
      before(async () => {
        host = await CardHost.start(hostExecutable(), PORTS[engineName].contest);
        await createContest(host);
      });
      after(async () => { await host?.stop(); });

      // Each phone size takes its own contestants, so that every size stores afresh.
      PHONE_SIZES.forEach((size, sizeIndex) => {
        for (const card of CARDS) {
          const url = () => `${host.base}${card.path}`;
          const contestant = String(1011 + sizeIndex);
          const shot = `${card.path.slice(1)}-${sizeName(size)}`;
          // The placing card stores into class 1, the reasons card scores class 2.
          const classId = card.path === '/placing' ? '1' : '2';

          test(`${card.name} at ${sizeName(size)}: names, one stored value, then the refusal`, async () => {
            // The reasons card needs a placing to store a score against.
            if (card.path === '/reasons') {
              assert.equal((await host.post('save_card_placing', contestant, classId, '2143')).body, 'true');
            }
            await withPhone(engine, url(), size, async (phone) => {
              assert.equal(await phone.isShown(card.section), false);
              assert.equal(await phone.run(() => document.documentElement.scrollWidth), size.width);
              await phone.enterNumbers(` ${contestant}`, `${classId} `);
              const names = [CONTESTANTS[sizeIndex], CLASSES[Number(classId) - 1], ...(card.path === '/reasons' ? ['2143'] : [])];
              assertBox(await phone.submitNumbers(), 'neutral', names);
              assert.equal(await phone.isShown(card.section), true);
              await phone.screenshot(`${shot}-names`);

              await phone.enter(card.valueInput, ` ${card.good} `);
              assertBox(await phone.submit(card.valueButton, '#success-box'), 'success', ['Submitted.']);
              await phone.screenshot(`${shot}-submitted`);

              await phone.enter(card.valueInput, card.again);
              assertBox(await phone.submit(card.valueButton, '#success-box'), 'error', [card.refusal]);
              assertBox(await phone.box('#info-box'), 'neutral', names);
              assert.equal(await phone.run(() => document.documentElement.scrollWidth), size.width);

              const sent = await phone.apiRequests();
              assert.deepEqual(sent.map((r) => [r.method, r.path, r.body, r.contentType]), [
                ['POST', card.namesRoute, fields(contestant, classId), 'text/plain'],
                ['POST', card.saveRoute, fields(contestant, classId, card.good), 'text/plain'],
                ['POST', card.saveRoute, fields(contestant, classId, card.again), 'text/plain'],
                ...(card.refusalLookup ? [['POST', card.refusalLookup, fields(contestant, classId), 'text/plain']] : []),
              ]);
            });
            const expected = card.path === '/reasons'
              ? { placing: '2143', reasons: card.good } : { placing: card.good, reasons: '' };
            assert.deepEqual(await stored(host, contestant, classId), expected);
          });
        }
      });

      for (const card of CARDS) {
        const url = () => `${host.base}${card.path}`;

        test(`${card.name}: bad numbers and values are refused on the phone`, async () => {
          await withPhone(engine, url(), PHONE_SIZES[0], async (phone) => {
            const both = 'Please enter both numbers.';
            const valid = 'Please enter a valid number.';
            for (const [contestant, classNumber, message] of [
              ['', '2', both], ['1014', '  ', both], ['01014', '2', valid], ['1014', '0', valid],
              ['-1014', '2', valid], ['10 14', '2', valid], ['1e3', '2', valid], ['\u0661\u0660', '2', valid],
            ]) {
              await phone.enterNumbers(contestant, classNumber);
              assertBox(await phone.submitNumbers(), 'error', [message]);
              assert.equal(await phone.isShown(card.section), false);
            }
            await phone.screenshot(`${card.path.slice(1)}-invalid-number`);
            await phone.enterNumbers('1014', '2');
            assertBox(await phone.submitNumbers(), 'neutral', ['Dee Park', CLASSES[1], ...card.extraLine]);
            for (const value of card.bad) {
              await phone.enter(card.valueInput, value);
              assertBox(await phone.submit(card.valueButton, '#success-box'), 'error', [card.badText]);
            }
            await phone.screenshot(`${card.path.slice(1)}-invalid-value`);
            assert.deepEqual((await phone.apiRequests()).map((r) => r.path), [card.namesRoute]);
          });
          assert.equal(await stored(host, '1014', '2'), null);
        });

        test(`${card.name}: unknown numbers are refused and names with markup stay text`, async () => {
          await withPhone(engine, url(), PHONE_SIZES[1], async (phone) => {
            for (const [contestant, classNumber] of [['9998', '1'], ['1011', '99']]) {
              await phone.enterNumbers(contestant, classNumber);
              assertBox(await phone.submitNumbers(), 'error', ['One of your numbers is incorrect.']);
              assert.equal(await phone.isShown(card.section), false);
            }
            await phone.enterNumbers('1013', '3');
            assertBox(await phone.submitNumbers(), 'neutral', [CONTESTANTS[2], CLASSES[2], ...card.extraLine]);
            assert.equal(await phone.run(() => window.injected === true), false);
          });
        });

        test(`${card.name}: fits a 320-pixel phone without sideways scrolling`, async () => {
          await withPhone(engine, url(), NARROW, async (phone) => {
            await phone.enterNumbers('1015', '2');
            await phone.submitNumbers();
            await phone.enter(card.valueInput, card.bad[0]);
            await phone.submit(card.valueButton, '#success-box');
            assert.equal(await phone.isShown(card.section), true);
            const layout = await phone.run(() => ({
              scrollWidth: document.documentElement.scrollWidth,
              bodyScrollWidth: document.body.scrollWidth,
              widest: Math.max(...[...document.querySelectorAll('main *')].map((e) => e.getBoundingClientRect().right)),
            }));
            assert.equal(layout.scrollWidth, 320);
            assert.equal(layout.bodyScrollWidth, 320);
            assert.ok(layout.widest <= 320, `an element reaches ${layout.widest} px`);
            await phone.screenshot(`${card.path.slice(1)}-320`);
          });
        });

        test(`${card.name}: a contestant submits with the keyboard alone`, async () => {
          const contestant = card.path === '/placing' ? '1016' : '1017';
          if (card.path === '/reasons') {
            assert.equal((await host.post('save_card_placing', contestant, '2', '1324')).body, 'true');
          }
          await withPhone(engine, url(), PHONE_SIZES[1], async (phone) => {
            await phone.tabTo('contestant-number-inp');
            await phone.type(contestant);
            await phone.press('Tab');
            assert.equal(await phone.focusedId(), 'class-number-inp');
            await phone.type('2');
            await phone.press('Tab');
            assert.equal(await phone.focusedId(), 'submit-numbers-btn');
            await phone.armBox('#info-box');
            await phone.press('Enter');
            const names = [CONTESTANTS[Number(contestant) - 1011], CLASSES[1], ...(card.path === '/reasons' ? ['1324'] : [])];
            assertBox(await phone.boxWritten('#info-box'), 'neutral', names);

            await phone.press('Tab');
            assert.equal(await phone.focusedId(), card.valueInput.slice(1));
            await phone.type(card.good);
            await phone.press('Tab');
            assert.equal(await phone.focusedId(), card.valueButton.slice(1));
            await phone.armBox('#success-box');
            await phone.press('Space');
            assertBox(await phone.boxWritten('#success-box'), 'success', ['Submitted.']);
            // Shift+Tab walks back to the value without emptying the numbers.
            await phone.press('Shift+Tab');
            assert.equal(await phone.focusedId(), card.valueInput.slice(1));
            assert.equal(await phone.value('#contestant-number-inp'), contestant);
            await phone.screenshot(`${card.path.slice(1)}-keyboard`);
          });
          const expected = card.path === '/reasons'
            ? { placing: '1324', reasons: card.good } : { placing: card.good, reasons: '' };
          assert.deepEqual(await stored(host, contestant, '2'), expected);
        });
      }
    });

    describe('without a contest', () => {
      let host;
      before(async () => { host = await CardHost.start(hostExecutable(), PORTS[engineName].none); });
      after(async () => { await host?.stop(); });

      for (const card of CARDS) {
        test(`${card.name}: the host's error text is shown`, async () => {
          await withPhone(engine, `${host.base}${card.path}`, PHONE_SIZES[0], async (phone) => {
            await phone.enterNumbers('1011', '1');
            assertBox(await phone.submitNumbers(), 'error', ['Error: A contest is not open.']);
            assert.equal(await phone.isShown(card.section), false);
          });
        });
      }
    });

    // The page shows the browser's own text for a failed connection, and the
    // two engines word it differently.
    describe('when the server goes away', () => {
      const FAILED = { chromium: 'Error: Failed to fetch', webkit: 'Error: Load failed' };
      for (const card of CARDS) {
        test(`${card.name}: the browser's message is shown`, async () => {
          const host = await CardHost.start(hostExecutable(), PORTS[engineName].gone);
          try {
            await withPhone(engine, `${host.base}${card.path}`, PHONE_SIZES[0], async (phone) => {
              await host.stop();
              await phone.enterNumbers('1011', '1');
              assertBox(await phone.submitNumbers(), 'error', [FAILED[engineName]]);
              assert.equal(await phone.isShown(card.section), false);
            });
          } finally {
            await host.stop();
          }
        });
      }
    });

    describe('when the worker is held up', () => {
      const slowHost = slowHostExecutable();
      let host;
      before(async () => { if (slowHost) host = await CardHost.start(slowHost, PORTS[engineName].slow); });
      after(async () => { await host?.stop(); });

      test('both cards show the time-out', { skip: !slowHost && 'RINGTALLY_SLOW_HOST is not set' }, async () => {
        const phones = [];
        try {
          for (const card of CARDS) phones.push(await engine.open(`${host.base}${card.path}`, PHONE_SIZES[1]));
          for (const phone of phones) await phone.enterNumbers('1011', '1');
          // Three look-ups of 9999 hold the one worker for 33 s; the phones'
          // requests queue behind them and run out of time in the server.
          const holders = [1, 2, 3].map(() => host.post('fetch_card_names', '9999', '1'));
          for (const phone of phones) {
            await phone.armBox('#info-box');
            await phone.tap('#submit-numbers-btn');
          }
          for (const phone of phones) {
            assertBox(await phone.boxWritten('#info-box', 40000), 'error', ['Error: Request timeout']);
            assert.deepEqual(await phone.errors(), []);
          }
          await phones[0].screenshot('placing-timeout');
          for (const holder of await Promise.all(holders)) assert.equal(holder.status, 408);
        } finally {
          for (const phone of phones) await phone.close();
        }
      });
    });
  });
}
