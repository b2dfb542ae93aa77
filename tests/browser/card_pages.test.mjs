// The Placing Card and Reasons Card in a phone-sized Chromium against the
// real card server of ringtally-host, with a contest created through stdin.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import path from 'node:path';

import { CardHost, fields, hostExecutable, rowsOf, slowHostExecutable } from './card_host.mjs';
import { CardPhone, PHONE, assertBox, closeBrowser, launchBrowser } from './card_phone.mjs';
import { uiDir } from './host_bridge.mjs';

const PORT_CONTEST = 57311;
const PORT_NO_CONTEST = 57312;
const PORT_SLOW = 57313;
const PORT_GONE = 57314;
const PORT_DISPUTE = 57370;


// Team 1010 of division 1000 gets contestants 1011, 1012, ... in this order;
// classes get ids 1, 2, ... in this order.
const CONTESTANTS = ['Ann Lee', 'Ben Ortiz', '<b>Bo</b> & <i>Co</i>', 'Dee Park', 'Eve Stone', 'Fay Hill'];
const MARKUP_CLASS = '<img src="x" onerror="window.injected = true">Gilts';
const CLASSES = ['Market Steers', 'Breeding Heifers', 'Market Lambs', MARKUP_CLASS];

const CARDS = [
  {
    name: 'Placing Card', path: '/placing', section: '#placing-section',
    valueInput: '#placing-inp', valueButton: '#submit-placing-btn',
    namesRoute: '/api/fetch_card_names', saveRoute: '/api/save_card_placing',
    instruction: 'Enter your Contestant number and the Class\u00a0number, then Submit them.',
    sectionInstruction: 'If the Contestant and Class names above are correct, enter your Placing and Submit it.',
    valueLabel: 'Placing', valueButtonText: 'Submit Placing',
    // The look-up's extra line for a contestant with no placing yet.
    extraLine: [],
  },
  {
    name: 'Reasons Card', path: '/reasons', section: '#reasons-section',
    valueInput: '#reasons-inp', valueButton: '#submit-reasons-btn',
    namesRoute: '/api/fetch_card_names_and_placing', saveRoute: '/api/save_card_reasons',
    instruction: 'Enter the Contestant number and the Class\u00a0number, then Submit them.',
    sectionInstruction: 'If the Contestant and Class names above are correct, enter the Reasons score and Submit it.',
    valueLabel: 'Reasons', valueButtonText: 'Submit Reasons',
    extraLine: ['No placing'],
  },
];

// What the Placing Card shows when its placing is refused and 2143 is stored.
const STORED_2143 = 'A placing is already stored for this class: 2143. See the contest office if this is not yours.';

async function assertHiddenBox(phone, selector) {
  const box = await phone.box(selector);
  assert.equal(box.look, 'hidden');
  assert.equal(box.shown, false);
  assert.deepEqual(box.lines, []);
}

async function createContest(host) {
  assert.equal(await host.call('create_contest', 'Day'), '');
  await host.change('save_division', 'none', 'Junior');
  await host.change('save_team', 'none', '1000', 'Riders', 'Indiv');
  for (const name of CONTESTANTS) await host.change('call_save_contestant', 'none', '1010', name);
  await host.change('save_class_type', 'none', 'Cattle');
  for (const name of CLASSES) await host.change('save_class', 'none', '1', name, '1234', '253');
}

// The stored placing and reasons score of one contestant and class, or null.
async function storedPlacing(host, contestant, classId) {
  const rows = rowsOf(await host.call('fetch_placings'), 5);
  const row = rows.find((r) => r[1] === classId && r[2] === contestant);
  return row ? { placing: row[3], reasons: row[4] } : null;
}

async function withPhone(browser, url, body, device = PHONE) {
  const phone = await CardPhone.open(browser, url, device);
  try {
    await body(phone);
    assert.deepEqual(phone.pageErrors, []);
  } finally {
    await phone.close();
  }
}

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await closeBrowser(browser); });

describe('card pages against a contest', () => {
  let host;
  before(async () => {
    host = await CardHost.start(hostExecutable(), PORT_CONTEST);
    await createContest(host);
  });
  after(async () => { await host?.stop(); });

  const url = (card) => `${host.base}${card.path}`;

  for (const card of CARDS) {
    test(`${card.name}: served as the ASCII page, with its texts, and only the first section at load`, async () => {
      await withPhone(browser, url(card), async (phone) => {
        const response = phone.documentResponse;
        assert.equal(response.status(), 200);
        assert.equal(response.headers()['content-type'], 'text/html');
        const served = await response.body();
        assert.deepEqual(served, readFileSync(path.join(uiDir, `${card.path.slice(1)}.html`)));
        assert.ok(served.every((byte) => byte < 0x80), 'the page is plain ASCII');

        const page = await phone.page.evaluate(() => ({
          title: document.title,
          lang: document.documentElement.lang,
          viewport: document.querySelector('meta[name="viewport"]').content,
          heading: document.querySelector('main h1').textContent,
          instructions: [...document.querySelectorAll('main section p')].map((p) => p.textContent),
          labels: [...document.querySelectorAll('label')].map((l) => [l.textContent, l.htmlFor]),
          inputModes: [...document.querySelectorAll('input')].map((i) => i.inputMode),
          buttons: [...document.querySelectorAll('button')].map((b) => [b.id, b.textContent]),
          overflow: document.documentElement.scrollWidth - window.innerWidth,
        }));
        assert.deepEqual(page, {
          title: card.name,
          lang: 'en',
          viewport: 'width=device-width, initial-scale=1.0',
          heading: card.name,
          instructions: [card.instruction, card.sectionInstruction],
          labels: [['Contestant', 'contestant-number-inp'], ['Class', 'class-number-inp'],
            [card.valueLabel, card.valueInput.slice(1)]],
          inputModes: ['numeric', 'numeric', 'numeric'],
          buttons: [['submit-numbers-btn', 'Submit Contestant and Class'],
            [card.valueButton.slice(1), card.valueButtonText]],
          overflow: 0,
        });
        assert.equal(await phone.isShown(card.section), false);
        await assertHiddenBox(phone, '#info-box');
        await assertHiddenBox(phone, '#success-box');
        for (const input of ['#contestant-number-inp', '#class-number-inp', card.valueInput]) {
          assert.equal(await phone.value(input), '');
        }
        await phone.screenshot(`${card.path.slice(1)}-at-load`);
      });
    });

    test(`${card.name}: fits a 320-pixel phone without sideways scrolling`, async () => {
      const small = { ...PHONE, viewport: { width: 320, height: 640 } };
      await withPhone(browser, url(card), async (phone) => {
        await phone.enterNumbers('1011', '1');
        await phone.submitNumbers();
        assert.equal(await phone.isShown(card.section), true);
        assert.equal(await phone.page.evaluate(() => document.documentElement.scrollWidth), 320);
        await phone.screenshot(`${card.path.slice(1)}-320`);
      }, small);
    });

    test(`${card.name}: both numbers are required, as whole numbers without sign or leading zero`, async () => {
      await withPhone(browser, url(card), async (phone) => {
        // Names on screen first: each refused attempt must also close the section again.
        await phone.enterNumbers('1012', '2');
        assertBox(await phone.submitNumbers(), 'neutral', ['Ben Ortiz', 'Breeding Heifers', ...card.extraLine]);
        const both = 'Please enter both numbers.';
        const valid = 'Please enter a valid number.';
        const cases = [
          ['', '2', both], ['1012', '', both], ['', '', both], ['   ', '2', both], ['1012', ' \t', both],
          ['01012', '2', valid], ['0', '2', valid], ['1012', '02', valid], ['1012', '0', valid],
          ['+1012', '2', valid], ['-1012', '2', valid], ['1012.0', '2', valid], ['10 12', '2', valid],
          ['1e3', '2', valid], ['1012', 'two', valid], ['\u0661\u0660', '2', valid],
        ];
        for (const [contestant, classNumber, message] of cases) {
          await phone.enterNumbers(contestant, classNumber);
          const box = await phone.submitNumbers();
          assertBox(box, 'error', [message]);
          assert.equal(await phone.isShown(card.section), false, `${contestant}/${classNumber}`);
        }
        const sent = await phone.apiRequests();
        assert.deepEqual(sent.map((r) => r.path), [card.namesRoute]);
        await phone.screenshot(`${card.path.slice(1)}-invalid-number`);
      });
    });

    test(`${card.name}: an unknown contestant or class number is refused`, async () => {
      await withPhone(browser, url(card), async (phone) => {
        for (const [contestant, classNumber] of [['9998', '1'], ['1011', '99'], ['9998', '99'], ['1019', '5']]) {
          await phone.enterNumbers(contestant, classNumber);
          assertBox(await phone.submitNumbers(), 'error', ['One of your numbers is incorrect.']);
          assert.equal(await phone.isShown(card.section), false);
        }
        const sent = await phone.apiRequests();
        assert.deepEqual(sent.map((r) => r.body), [fields('9998', '1'), fields('1011', '99'),
          fields('9998', '99'), fields('1019', '5')]);
      });
    });

    test(`${card.name}: names with markup characters are shown as text`, async () => {
      await withPhone(browser, url(card), async (phone) => {
        await phone.enterNumbers('1013', '4');
        assertBox(await phone.submitNumbers(), 'neutral', [CONTESTANTS[2], MARKUP_CLASS, ...card.extraLine]);
        assert.equal(await phone.page.evaluate(() => window.injected === true), false);
        await phone.screenshot(`${card.path.slice(1)}-markup-names`);
      });
    });

    for (const [touched, kept] of [['#contestant-number-inp', '#class-number-inp'], ['#class-number-inp', '#contestant-number-inp']]) {
      test(`${card.name}: touching ${touched} after the names starts over and keeps the other number`, async () => {
        await withPhone(browser, url(card), async (phone) => {
          await phone.enterNumbers('1014', '2');
          await phone.submitNumbers();
          await phone.enter(card.valueInput, '999');
          const refusal = await phone.submit(card.valueButton, '#success-box');
          assert.equal(refusal.look, 'error');

          await phone.page.tap(touched);
          assert.equal(await phone.value(touched), '');
          assert.equal(await phone.value(kept), kept === '#class-number-inp' ? '2' : '1014');
          assert.equal(await phone.value(card.valueInput), '');
          assert.equal(await phone.isShown(card.section), false);
          await assertHiddenBox(phone, '#info-box');
          await assertHiddenBox(phone, '#success-box');

          // With the section closed, touching a number no longer empties it.
          await phone.page.fill(touched, '1');
          await phone.page.tap(kept);
          await phone.page.tap(touched);
          assert.equal(await phone.value(touched), '1');
          assert.deepEqual((await phone.apiRequests()).map((r) => r.path), [card.namesRoute]);
        });
      });
    }
  }

  test('Placing Card: a placing is stored once, trimmed, and the form stays as it is', async () => {
    await withPhone(browser, url(CARDS[0]), async (phone) => {
      await phone.enterNumbers(' 1011 ', '3 ');
      assertBox(await phone.submitNumbers(), 'neutral', ['Ann Lee', 'Market Lambs']);
      assert.equal(await phone.isShown('#placing-section'), true);
      await assertHiddenBox(phone, '#success-box');

      await phone.enter('#placing-inp', ' 2143 ');
      assertBox(await phone.submit('#submit-placing-btn', '#success-box'), 'success', ['Submitted.']);
      await phone.screenshot('placing-submitted');
      assert.deepEqual(await storedPlacing(host, '1011', '3'), { placing: '2143', reasons: '' });

      // The refusal shows what is stored, looked up again after the "false".
      await phone.enter('#placing-inp', '3412');
      assertBox(await phone.submit('#submit-placing-btn', '#success-box'), 'error', [STORED_2143]);
      await phone.screenshot('placing-second-submission');
      assert.deepEqual(await storedPlacing(host, '1011', '3'), { placing: '2143', reasons: '' });
      assert.equal(await phone.value('#placing-inp'), '3412');
      assert.equal(await phone.value('#contestant-number-inp'), ' 1011 ');
      assertBox(await phone.box('#info-box'), 'neutral', ['Ann Lee', 'Market Lambs']);

      const sent = await phone.apiRequests();
      assert.deepEqual(sent.map((r) => [r.method, r.path, r.body, r.contentType]), [
        ['POST', '/api/fetch_card_names', fields('1011', '3'), 'text/plain'],
        ['POST', '/api/save_card_placing', fields('1011', '3', '2143'), 'text/plain'],
        ['POST', '/api/save_card_placing', fields('1011', '3', '3412'), 'text/plain'],
        ['POST', '/api/fetch_card_names_and_placing', fields('1011', '3'), 'text/plain'],
      ]);
    });
  });

  test('Placing Card: only a permutation of 1 to 4, or 0, is sent', async () => {
    await withPhone(browser, url(CARDS[0]), async (phone) => {
      await phone.enterNumbers('1012', '3');
      await phone.submitNumbers();
      for (const placing of ['1123', '12345', '', '   ', '123', '12a4', '-1234', '0000', '5123', '1234.', '00', '\uff11234']) {
        await phone.enter('#placing-inp', placing);
        assertBox(await phone.submit('#submit-placing-btn', '#success-box'), 'error', ['Not a valid placing.']);
      }
      assert.deepEqual((await phone.apiRequests()).map((r) => r.path), ['/api/fetch_card_names']);
      await phone.screenshot('placing-invalid');

      await phone.enter('#placing-inp', '0');
      assertBox(await phone.submit('#submit-placing-btn', '#success-box'), 'success', ['Submitted.']);
      assert.deepEqual(await storedPlacing(host, '1012', '3'), { placing: '0', reasons: '' });
    });
  });

  test('Placing Card: a double tap on Submit Placing sends one placing', async () => {
    await withPhone(browser, url(CARDS[0]), async (phone) => {
      await phone.enterNumbers('1015', '3');
      await phone.submitNumbers();
      await phone.enter('#placing-inp', '4321');
      await phone.page.$eval('#submit-placing-btn', (button) => { button.click(); button.click(); });
      await phone.page.waitForSelector('#success-box:not(.hidden)');
      assertBox(await phone.box('#success-box'), 'success', ['Submitted.']);
      const saves = (await phone.apiRequests()).filter((r) => r.path === '/api/save_card_placing');
      assert.equal(saves.length, 1);
    });
  });

  test('Reasons Card: shows the stored placing and takes one score', async () => {
    assert.deepEqual(await host.post('save_card_placing', '1011', '1', '2143'), { status: 200, body: 'true' });
    await withPhone(browser, url(CARDS[1]), async (phone) => {
      await phone.enterNumbers('1011', ' 1');
      assertBox(await phone.submitNumbers(), 'neutral', ['Ann Lee', 'Market Steers', '2143']);
      await phone.screenshot('reasons-names');
      await phone.enter('#reasons-inp', '45 ');
      assertBox(await phone.submit('#submit-reasons-btn', '#success-box'), 'success', ['Submitted.']);
      await phone.screenshot('reasons-submitted');
      await phone.enter('#reasons-inp', '30');
      assertBox(await phone.submit('#submit-reasons-btn', '#success-box'), 'error', ['Submission failed.']);
      assert.deepEqual(await storedPlacing(host, '1011', '1'), { placing: '2143', reasons: '45' });

      const sent = await phone.apiRequests();
      assert.deepEqual(sent.map((r) => [r.method, r.path, r.body, r.contentType]), [
        ['POST', '/api/fetch_card_names_and_placing', fields('1011', '1'), 'text/plain'],
        ['POST', '/api/save_card_reasons', fields('1011', '1', '45'), 'text/plain'],
        ['POST', '/api/save_card_reasons', fields('1011', '1', '30'), 'text/plain'],
      ]);
    });
  });

  test('Reasons Card: without a placing the section opens but the score is refused', async () => {
    await withPhone(browser, url(CARDS[1]), async (phone) => {
      await phone.enterNumbers('1012', '1');
      assertBox(await phone.submitNumbers(), 'neutral', ['Ben Ortiz', 'Market Steers', 'No placing']);
      assert.equal(await phone.isShown('#reasons-section'), true);
      await phone.enter('#reasons-inp', '7');
      assertBox(await phone.submit('#submit-reasons-btn', '#success-box'), 'error', ['Submission failed.']);
      await phone.screenshot('reasons-no-placing');
      assert.equal(await storedPlacing(host, '1012', '1'), null);
    });
  });

  test('Reasons Card: whole numbers 0 to 50 are sent and stored', async () => {
    const cases = [['1013', '0'], ['1014', '7'], ['1015', '45'], ['1016', '50']];
    for (const [contestant] of cases) {
      assert.equal((await host.post('save_card_placing', contestant, '2', '1234')).body, 'true');
    }
    await withPhone(browser, url(CARDS[1]), async (phone) => {
      for (const [contestant, score] of cases) {
        await phone.enterNumbers(contestant, '2');
        assertBox(await phone.submitNumbers(), 'neutral', [CONTESTANTS[Number(contestant) - 1011], 'Breeding Heifers', '1234']);
        await phone.enter('#reasons-inp', score);
        assertBox(await phone.submit('#submit-reasons-btn', '#success-box'), 'success', ['Submitted.']);
      }
    });
    for (const [contestant, score] of cases) {
      assert.deepEqual(await storedPlacing(host, contestant, '2'), { placing: '1234', reasons: score }, contestant);
    }
  });

  test('Reasons Card: a score outside 0 to 50 or badly written is not sent', async () => {
    await withPhone(browser, url(CARDS[1]), async (phone) => {
      await phone.enterNumbers('1016', '1');
      await phone.submitNumbers();
      for (const score of ['51', '05', '-3', '', '  ', '4.5', '1e1', '100', '+7', '00', '7a', '60']) {
        await phone.enter('#reasons-inp', score);
        assertBox(await phone.submit('#submit-reasons-btn', '#success-box'), 'error', ['Not a valid reasons score.']);
      }
      await phone.screenshot('reasons-invalid');
      assert.deepEqual((await phone.apiRequests()).map((r) => r.path), ['/api/fetch_card_names_and_placing']);
    });
  });

  test('Reasons Card: a double tap on Submit Reasons sends one score', async () => {
    assert.equal((await host.post('save_card_placing', '1016', '3', '1243')).body, 'true');
    await withPhone(browser, url(CARDS[1]), async (phone) => {
      await phone.enterNumbers('1016', '3');
      await phone.submitNumbers();
      await phone.enter('#reasons-inp', '38');
      await phone.page.$eval('#submit-reasons-btn', (button) => { button.click(); button.click(); });
      await phone.page.waitForSelector('#success-box:not(.hidden)');
      assertBox(await phone.box('#success-box'), 'success', ['Submitted.']);
      const saves = (await phone.apiRequests()).filter((r) => r.path === '/api/save_card_reasons');
      assert.equal(saves.length, 1);
    });
  });
});

describe('card pages without a contest', () => {
  let host;
  before(async () => { host = await CardHost.start(hostExecutable(), PORT_NO_CONTEST); });
  after(async () => { await host?.stop(); });

  for (const card of CARDS) {
    test(`${card.name}: the host's error text is shown`, async () => {
      await withPhone(browser, `${host.base}${card.path}`, async (phone) => {
        await phone.enterNumbers('1011', '1');
        assertBox(await phone.submitNumbers(), 'error', ['Error: A contest is not open.']);
        assert.equal(await phone.isShown(card.section), false);
        await phone.screenshot(`${card.path.slice(1)}-no-contest`);
      });
    });
  }
});

describe('card pages when the server goes away', () => {
  for (const card of CARDS) {
    test(`${card.name}: a failed connection shows the browser's message`, async () => {
      const host = await CardHost.start(hostExecutable(), PORT_GONE);
      try {
        await withPhone(browser, `${host.base}${card.path}`, async (phone) => {
          await host.stop();
          await phone.enterNumbers('1011', '1');
          assertBox(await phone.submitNumbers(), 'error', ['Error: Failed to fetch']);
        });
      } finally {
        await host.stop();
      }
    });
  }
});

// Chromium sends a request again when a reused keep-alive connection answers
// 408, so a phone may see the time-out after two 10-second waits, not one.
const REPLY_LIMIT_MS = 30000;

describe('card pages when the worker is held up', () => {
  const slowHost = slowHostExecutable();
  let host;
  before(async () => { if (slowHost) host = await CardHost.start(slowHost, PORT_SLOW); });
  after(async () => { await host?.stop(); });

  test('both cards show the time-out; a stale reply is dropped', { skip: !slowHost && 'RINGTALLY_SLOW_HOST is not set' }, async () => {
    const placing = await CardPhone.open(browser, `${host.base}/placing`);
    const reasons = await CardPhone.open(browser, `${host.base}/reasons`);
    const changed = await CardPhone.open(browser, `${host.base}/reasons`);
    try {
      // Three look-ups of 9999 hold the one worker for 33 s. The phones'
      // requests queue behind them within a few seconds, so both their first
      // try and Chromium's resend after a 408 on a reused connection run out.
      const holders = [1, 2, 3].map(() => host.post('fetch_card_names', '9999', '1'));
      await placing.enterNumbers('1011', '1');
      await reasons.enterNumbers('1011', '1');
      await changed.enterNumbers('1012', '1');
      const staleReply = changed.page.waitForResponse((r) => r.url().endsWith('/api/fetch_card_names_and_placing'),
        { timeout: REPLY_LIMIT_MS });
      await placing.page.tap('#submit-numbers-btn');
      await reasons.page.tap('#submit-numbers-btn');
      await changed.page.tap('#submit-numbers-btn');
      // A different number typed while the request waits makes its reply stale.
      await changed.page.fill('#contestant-number-inp', '1013');

      for (const phone of [placing, reasons]) {
        await phone.page.waitForSelector('#info-box:not(.hidden)', { timeout: REPLY_LIMIT_MS });
        assertBox(await phone.box('#info-box'), 'error', ['Error: Request timeout']);
      }
      await placing.screenshot('placing-timeout');
      const stale = await staleReply;
      assert.equal(stale.status(), 408);
      await stale.finished();
      // Give the page's own handling of that reply time to run before looking.
      await changed.page.waitForTimeout(500);
      await assertHiddenBox(changed, '#info-box');
      assert.equal(await changed.value('#contestant-number-inp'), '1013');
      for (const phone of [placing, reasons, changed]) assert.deepEqual(phone.pageErrors, []);
      for (const holder of await Promise.all(holders)) assert.equal(holder.status, 408);
    } finally {
      await Promise.all([placing.close(), reasons.close(), changed.close()]);
    }
  });
});


describe('card pages when a card was taken first', () => {
  let host;
  before(async () => {
    host = await CardHost.start(hostExecutable(), PORT_DISPUTE);
    await createContest(host);
  });
  after(async () => { await host?.stop(); });

  test('Placing Card: a refused placing shows the one stored, or the bare failure when none is', async () => {
    // Another phone got there first for 1011 in class 3.
    assert.deepEqual(await host.postFrom('127.0.0.2', 'save_card_placing', '1011', '3', '2143'), { status: 200, body: 'true' });
    await withPhone(browser, `${host.base}/placing`, async (phone) => {
      await phone.enterNumbers('1011', '3');
      assertBox(await phone.submitNumbers(), 'neutral', ['Ann Lee', 'Market Lambs']);
      await phone.enter('#placing-inp', '3412');
      assertBox(await phone.submit('#submit-placing-btn', '#success-box'), 'error', [STORED_2143]);
      await phone.screenshot('placing-taken-first');
      assert.deepEqual(await storedPlacing(host, '1011', '3'), { placing: '2143', reasons: '' });
      assert.deepEqual((await phone.apiRequests()).map((r) => [r.path, r.body]), [
        ['/api/fetch_card_names', fields('1011', '3')],
        ['/api/save_card_placing', fields('1011', '3', '3412')],
        ['/api/fetch_card_names_and_placing', fields('1011', '3')],
      ]);

      // A refusal with nothing stored (the class was deleted meanwhile) stays the bare failure.
      await phone.enterNumbers('1012', '4');
      await phone.submitNumbers();
      await host.change('delete_class', '4');
      await phone.enter('#placing-inp', '1234');
      assertBox(await phone.submit('#submit-placing-btn', '#success-box'), 'error', ['Submission failed.']);
    });
  });

  test('Placing Card: a retry after a lost answer shows the placing its first try stored', async () => {
    // The first try reached the host; its answer never reached the phone.
    await withPhone(browser, `${host.base}/placing`, async (phone) => {
      await phone.enterNumbers('1013', '3');
      await phone.submitNumbers();
      assert.equal((await host.postFrom('127.0.0.1', 'save_card_placing', '1013', '3', '2143')).body, 'true');
      await phone.enter('#placing-inp', '2143');
      assertBox(await phone.submit('#submit-placing-btn', '#success-box'), 'error', [STORED_2143]);
    });
  });

  for (const card of CARDS) {
    test(`${card.name}: a 429 answer asks the phone to wait a minute`, async () => {
      const TOO_MANY = 'Error: Too many requests. Wait a minute and try again.';
      await withPhone(browser, `${host.base}${card.path}`, async (phone) => {
        // The card server's answer to a phone over its request limit.
        await phone.page.route('**/api/*', (route) => route.fulfill({
          status: 429, contentType: 'application/json', body: '{"error":"Too Many Requests"}',
        }));
        await phone.enterNumbers('1014', '1');
        assertBox(await phone.submitNumbers(), 'error', [TOO_MANY]);
        await phone.page.unroute('**/api/*');
        await phone.submitNumbers();
        await phone.page.route(`**${card.saveRoute}`, (route) => route.fulfill({
          status: 429, contentType: 'application/json', body: '{"error":"Too Many Requests"}',
        }));
        await phone.enter(card.valueInput, card.name === 'Placing Card' ? '1234' : '40');
        assertBox(await phone.submit(card.valueButton, '#success-box'), 'error', [TOO_MANY]);
        await phone.screenshot(`${card.path.slice(1)}-too-many`);
      });
    });
  }

  // Last in this block: it spends this address's look-ups for a minute.
  test('Reasons Card: the card server\'s own 429 after a burst of look-ups from one address', async () => {
    await withPhone(browser, `${host.base}/reasons`, async (phone) => {
      await phone.enterNumbers('1014', '1');
      // The burst comes right before the phone's look-up: the allowance
      // grows back by one every 2 s, so a slow page load must not lie between.
      let status = 200;
      for (let i = 0; i < 100 && status !== 429; i += 1) {
        ({ status } = await host.postFrom('127.0.0.1', 'fetch_card_names', '1014', '1'));
      }
      assert.equal(status, 429, 'the look-ups of one address are limited');
      assertBox(await phone.submitNumbers(), 'error', ['Error: Too many requests. Wait a minute and try again.']);
    });
    // Another phone is not held back by this one.
    assert.equal((await host.postFrom('127.0.0.5', 'fetch_card_names', '1014', '1')).status, 200);
  });
});
