// Layout: the control table against the identifier plan, and the page against the table: every control's
// identifier, class, caption, rectangle and order; the status parts; the window's place; the seeded captions.
'use strict';
const assert = require('node:assert/strict');
const { after, before, test } = require('node:test');
const harness = require('./harness');

const Kinds = ['gb', 'l', 'lc', 'dc', 'k', 'b'];  // panel, label, latch cell, direction cell, check box, button
const PortOrder = [0, 2, 1, 3];  // bit labels and cells are made column by column in this port order
const Edges = [300, 355, 390, 460, 505, 570, 615, 685, 780, -1];
const Texts = ['Tessel team - version 1.0', 'Set count:', '', 'Game count:', '', 'Energy left:', '', 'Elapsed time:', '', ''];
const Tick0 = ['PORTDbits.RD6 = 1 ;', 'PORTB = 0b10000011 ;', 'PORTA = 0b11000111 ;', 'TRISBbits.TRISB1 = 1 ;'];

// The controls as the identifier plan lays them out, in creation order, written out independently of the table.
function plannedControls() {
  const plan = [], add = (id, kind, caption, x, y, width, height) => plan.push({ id, x, y, width, height, kind, caption });
  for (let p = 0; p < 4; p++) add(600 + p, 0, `  Port ${'ABCD'[p]} `, p % 2 ? 300 : 16, p < 2 ? 20 : 170, 270, 135);
  [[500, 700, 10, '#include <p18f4520.h>'], [501, 700, 23, 'void ShortDelay (void)'], [502, 700, 36, '{'],
    [503, 740, 49, 'int i ;'], [503, 740, 75, 'Nop() ;'], [504, 700, 88, '}'], [505, 700, 101, 'void main (void)'],
    [506, 700, 114, '{'], [507, 700, 505, '}']].forEach(([id, x, y, text]) => add(id, 1, text, x, y, 150, 12));
  for (let c = 0; c < 8; c++)
    for (const p of PortOrder) add(508 + 8 * p + c, 1, ` ${7 - c} `, (p % 2 ? 327 : 42) + 30 * c, p < 2 ? 45 : 195, 20, 12);
  for (let b = 0; b < 8; b++)
    for (const p of PortOrder) add(700 + 8 * p + b, 2, ' 0 ', (p % 2 ? 530 : 245) - 30 * b, p < 2 ? 65 : 215, 31, 25);
  for (let b = 0; b < 8; b++)
    for (const p of PortOrder) add(750 + 8 * p + b, 3, 'Out', (p % 2 ? 530 : 245) - 30 * b, p < 2 ? 95 : 245, 31, 25);
  for (let i = 0; i < 25; i++) add(800 + i, 4, 'Out', 720, 130 + 15 * i, 190, 12);
  add(825, 4, 'for (i=0 ; i < 10000; i++)', 720, 62, 150, 12);
  ['New Set', 'New Game', 'Click Instruction'].forEach((text, n) => add(900 + n, 5, text, 50 + 200 * n, 520, 120, 25));
  return plan;
}

// A resize reaches the page by the next frame.
async function resize(page, width, height) {
  await page.resize(width, height);
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => done())));
}

function windowRect(page) {
  return page.evaluate(() => {
    const w = document.getElementById('w').getBoundingClientRect(), c = document.getElementById('c');
    return {
      x: w.left + scrollX, y: w.top + scrollY, width: w.width, height: w.height,
      clientWidth: c.clientWidth, clientHeight: c.clientHeight, scale: w.width / document.getElementById('w').offsetWidth,
      scrollWidth: document.documentElement.scrollWidth, scrollHeight: document.documentElement.scrollHeight,
    };
  });
}

// The window where the viewport is smaller than it: its layout whole, scaled down if need be to lie in the
// viewport, centred, filling its width or height, and nothing to scroll.
async function expectFitted(page, width, height) {
  const got = await windowRect(page), when = `in ${width} x ${height}`;
  assert.ok(got.clientWidth >= 910, `client width ${got.clientWidth} ${when}: the listing is cut off`);
  assert.ok(got.clientHeight >= 565, `client height ${got.clientHeight} ${when}: the buttons or status bar are cut off`);
  assert.ok(got.scrollWidth <= width && got.scrollHeight <= height, `page scrolls to ${got.scrollWidth} x ${got.scrollHeight} ${when}`);
  const [left, top, right, bottom] = [got.x, got.y, width - got.x - got.width, height - got.y - got.height];
  assert.ok(Math.min(left, top, right, bottom) >= -0.5, `window ${JSON.stringify(got)} ${when}: not inside the viewport`);
  assert.ok(Math.abs(left - right) <= 1 && Math.abs(top - bottom) <= 1, `gaps left, top, right, bottom ${[left, top, right, bottom]} ${when}: not centred`);
  if (got.scale < 1) assert.ok(Math.min(left + right, top + bottom) <= 1, `window ${got.width} x ${got.height} ${when}: scaled by ${got.scale}, smaller than needed`);
}

let browser;
before(async () => {
  browser = await harness.launch();
});
after(async () => {
  if (browser) await browser.close();
});

test('the control table is the identifier plan', () => {
  const plan = plannedControls(), table = harness.tableControls();
  assert.equal(table.length, plan.length, 'number of controls in the table');
  plan.forEach((want, n) => assert.deepEqual(table[n], want, `control ${n} of the table (planned id ${want.id})`));
  const { x, str } = harness.moduleExports();
  assert.equal(x.TesselStatusPartCount(), 10, 'status part count');
  for (let n = 0; n < 10; n++) {
    assert.equal(x.TesselStatusPartEdge(n), Edges[n], `right edge of status part ${n}`);
    assert.equal(str(x.TesselStatusPartText(n)), Texts[n], `text of status part ${n}`);
  }
});

test('the page draws every control of the table, in creation order, with the captions of #tick=0', async () => {
  const page = await harness.open(browser, '#tick=0');
  const table = harness.tableControls(), shown = await harness.pageControls(page);
  const { x, str } = harness.moduleExports();
  x.TesselCreate(0);
  assert.equal(shown.length, table.length + 1, 'children of the client area (the status bar and the table)');
  assert.equal(shown[0].id, 200, 'the status bar is made first');
  table.forEach((want, n) => {
    const got = shown[n + 1], name = `control ${want.id} (child ${n + 1})`;
    const caption = want.id >= 800 && want.id < 825 ? str(x.TesselInstructionText(want.id - 800)) : want.caption;
    assert.equal(got.id, want.id, `data-id of child ${n + 1}`);
    assert.equal(got.className, Kinds[want.kind], `class of ${name}`);
    assert.deepEqual([got.x, got.y, got.width, got.height], [want.x, want.y, want.width, want.height],
      `x, y, width, height of ${name}`);
    assert.equal(got.caption, caption, `caption of ${name}`);
    if (want.kind === 4) assert.equal(got.checked, false, `check state of ${name}`);
  });
  assert.deepEqual(shown.filter((c) => c.id >= 800 && c.id < 804).map((c) => c.caption), Tick0, 'captions of 800..803 for #tick=0');
  assert.equal(await page.evaluate(() => document.title), 'Tessel C-Language Simulator', 'page title');
  const frame = await page.evaluate(() => ({
    title: document.getElementById('t').textContent, icon: document.querySelector('.tb img').src,
    favicon: document.querySelector('link[rel=icon]').href,
  }));
  assert.equal(frame.title, 'Tessel C-Language Simulator', 'title bar text');
  assert.match(frame.favicon, /^data:image\/png;base64,/, 'favicon');
  assert.equal(frame.icon, frame.favicon, 'title bar icon');
  await harness.expectClean(page);
});

test('the status bar: ten parts at the right edges, docked along the bottom at every window size', async () => {
  const page = await harness.open(browser, '#tick=0');
  for (const [width, height] of [[1280, 1024], [1920, 1080], [800, 600], [1366, 768]]) {
    await resize(page, width, height);
    const when = `in a ${width} x ${height} viewport`;
    // In a window scaled down to fit, in the window's own pixels.
    const bar = await page.evaluate(() => {
      const c = document.getElementById('c'), origin = c.getBoundingClientRect(), k = origin.width / c.offsetWidth;
      const u = (v) => (k === 1 ? v : Math.round(v / k));
      const b = document.querySelector('.sb').getBoundingClientRect();
      return {
        client: [c.clientWidth, c.clientHeight], bar: [u(b.left - origin.left), u(b.width), u(b.bottom - origin.top), b.height],
        parts: [...document.querySelectorAll('.sb span')].map((s) => {
          const r = s.getBoundingClientRect();
          return [u(r.left - origin.left), u(r.right - origin.left), s.textContent];
        }),
      };
    });
    const [clientWidth, clientHeight] = bar.client;
    assert.deepEqual(bar.bar.slice(0, 3), [0, clientWidth, clientHeight], `status bar left, width, bottom ${when}`);
    assert.ok(bar.bar[3] > 0, `status bar height ${when}`);
    assert.equal(bar.parts.length, 10, `status part count ${when}`);
    bar.parts.forEach(([left, right, text], n) => {
      assert.equal(left, n ? Edges[n - 1] : 0, `left edge of status part ${n} ${when}`);
      assert.equal(right, Edges[n] < 0 ? clientWidth : Edges[n], `right edge of status part ${n} ${when}`);
      assert.equal(text, Texts[n], `text of status part ${n} ${when}`);
    });
  }
});

test('the window: 75 % x 80 % of the viewport, centred, following resizes, and scaled down when too small', async () => {
  const page = await harness.open(browser, '#tick=0');
  const before = await harness.pageControls(page);
  // The Windows program's own sizes on these screens.
  const sizes = [[1280, 1024, 160, 103, 960, 819], [1920, 1080, 240, 108, 1440, 864], [1366, 768, 171, 77, 1024, 614]];
  for (const [width, height, ...want] of sizes) {
    await resize(page, width, height);
    const got = await windowRect(page);
    assert.deepEqual([got.x, got.y, got.width, got.height], want, `window x, y, width, height in ${width} x ${height}`);
  }
  // Below 918 x 592 viewport pixels the window keeps the layout whole and is scaled down to fit.
  for (const [width, height] of [[1024, 768], [800, 600], [640, 400], [1280, 500]]) {
    await resize(page, width, height);
    await expectFitted(page, width, height);
  }
  await resize(page, 1280, 1024);
  const after = await harness.pageControls(page);
  after.forEach((c, n) => {
    if (c.id !== 200) assert.deepEqual(c, before[n], `control ${c.id} moved when the viewport changed`);
  });
  await harness.expectClean(page);
});

test('the seed: #tick=N, else the low 32 bits of Date.now(), 0 replaced as the core does', async () => {
  const { x, str } = harness.moduleExports();
  const captions = (tick) => {
    x.TesselCreate(tick);
    return Array.from({ length: 25 }, (_, n) => str(x.TesselInstructionText(n)));
  };
  const shown = (page) => page.evaluate(() => Array.from({ length: 25 },
    (_, n) => document.querySelector(`[data-id="${800 + n}"] span`).textContent));
  for (const tick of [1, 4294967295, 87654321]) {
    const page = await harness.open(browser, `#tick=${tick}`);
    assert.deepEqual(await shown(page), captions(tick), `captions for #tick=${tick}`);
    await page.close();
  }
  // 2^32 * 389 + 5 has 5 in its low 32 bits; 2^32 * 390 has 0, which seeds as a tick count of 0 does.
  if (harness.engine === 'webkit') return harness.note('WebDriver runs no script before the page\'s own: Date.now() is replaced in the other engines');
  for (const [now, tick] of [[4294967296 * 389 + 5, 5], [4294967296 * 390, 0]]) {
    const page = await harness.open(browser, '', { initScript: `Date.now = () => ${now};` });
    assert.deepEqual(await shown(page), captions(tick), `captions when Date.now() is ${now}`);
    await page.close();
  }
});

// Phones and tablets held upright: touch, two or three device pixels per CSS pixel, and the window scaled
// to fit. The page leaves pinch-zoom alone: the viewport may be enlarged.
test('on a phone and an upright tablet the window fits; a double tap flips a bit, check boxes and buttons take a tap', async () => {
  for (const [width, height, scale] of [[360, 640, 3], [390, 844, 3], [768, 1024, 2], [820, 1180, 2]]) {
    const when = `in ${width} x ${height}`;
    const page = await harness.open(browser, '#tick=0', { width, height, scale, touch: true }).catch((e) => {
      if (e.code !== 'TESSEL_VIEWPORT') throw e;
      harness.note(`${e.message}: not tried ${when}`);
    });
    if (!page) continue;
    await expectFitted(page, width, height);
    assert.doesNotMatch(await page.evaluate(() => document.querySelector('meta[name=viewport]').content),
      /user-scalable\s*=\s*(no|0)|maximum-scale/, 'viewport meta: pinch-zoom taken away');
    if (page.touchAsMouse) harness.note(`the driver gives taps to the page as mouse clicks ${when}`);
    const tap = async (selector, times = 1) => {
      const [x, y] = await harness.center(page, selector);
      await page.tap(x, y, times);
    };
    // The check box first: its notice stays until a clearing, and none is pending yet.
    await tap('[data-id="800"] input');
    assert.equal(await page.evaluate(() => document.querySelector('[data-id="800"] input').checked), true, `check box 800 after a tap ${when}`);
    assert.equal(await harness.statusText(page), 'Checkbox clicked', `status part 0 after tapping check box 800 ${when}`);
    await tap('[data-id="711"]', 2);
    await harness.waitFor(page, () => document.querySelector('[data-id="711"]').textContent === ' 1 ', undefined, 2000).catch(() => {});
    assert.equal(await harness.caption(page, 711), ' 1 ', `latch cell 711 after a double tap ${when}`);
    assert.match(await harness.statusText(page), /^Port A:00 Port B:08 /, `summary after a double tap ${when}`);
    await page.evaluate(() => document.querySelector('[data-id="902"]').addEventListener('click', () => { window.tapped = true; }));
    await tap('[data-id="902"]');
    assert.equal(await page.evaluate(() => window.tapped), true, `button 902 after a tap ${when}`);
    await harness.expectClean(page);
    await page.close();
  }
});
