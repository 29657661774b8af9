// Storm: at least 10,000 random clicks, double-clicks and keys as real input through the DevTools protocol;
// afterwards every bit cell shows what the double-clicks on it alone predict, and the console shows no error.
// A failure names its seed: TESSEL_STORM_SEED=N replays it, TESSEL_STORM_ACTIONS sets the length.
'use strict';
const assert = require('node:assert/strict');
const { after, before, test } = require('node:test');
const harness = require('./harness');

const Actions = Number(process.env.TESSEL_STORM_ACTIONS || 10000);
const Seed = Number(process.env.TESSEL_STORM_SEED || Math.floor(Math.random() * 2 ** 31));
const Keys = {
  F1: [112, ''], ' ': [32, ' '], Enter: [13, '\r'], Escape: [27, ''], Tab: [9, ''], a: [65, 'a'], ArrowDown: [40, ''],
};
const KeyCodes = { ' ': 'Space', a: 'KeyA' };

let browser;
before(async () => {
  browser = await harness.launch();
});
after(async () => {
  if (browser) await browser.close();
});

// A small generator of its own, so that a seed replays the same storm.
function generator(seed) {
  let state = seed >>> 0;
  return () => {
    state = (Math.imul(state ^ (state >>> 15), 0x2c1b3c6d) + 0x9e3779b9) >>> 0;
    state = (state ^ (state >>> 12)) >>> 0;
    return state / 4294967296;
  };
}

// Presses and releases with the click counts of a single click, a double-click, or only the second half of
// one (a press and release with a count of 2 is a double-click to the page, at half the protocol's cost).
function mouse(x, y, clicks, first = 1) {
  const events = [];
  for (let n = first; n <= clicks; n++)
    for (const type of ['mousePressed', 'mouseReleased']) events.push({ type, x, y, button: 'left', clickCount: n });
  return events.map((e) => ['Input.dispatchMouseEvent', e]);
}

function key(name) {
  const [code, text] = Keys[name], base = { key: name, code: KeyCodes[name] || name, windowsVirtualKeyCode: code };
  return [['Input.dispatchKeyEvent', { type: text ? 'keyDown' : 'rawKeyDown', text, ...base }],
    ['Input.dispatchKeyEvent', { type: 'keyUp', ...base }]];
}

test(`a storm of ${Actions} random clicks, double-clicks and keys (seed ${Seed})`, async () => {
  const page = await harness.open(browser, '#tick=0');
  const random = generator(Seed);
  const { cells, view } = await page.evaluate(() => ({
    cells: [...document.querySelectorAll('.lc,.dc')].map((e) => {
      const r = e.getBoundingClientRect();
      return [r.left, r.top, r.width, r.height];
    }),
    view: [innerWidth, innerHeight],
  }));
  const keyNames = Object.keys(Keys);
  const steps = [], doubleClicks = [];
  for (let n = 0; n < Actions; n++) {
    const r = random();
    if (r < 0.55) {
      // Double-clicks, most of them on a cell, the others anywhere.
      const [left, top, width, height] = r < 0.35 ? cells[Math.floor(random() * cells.length)] : [0, 0, ...view];
      const x = Math.floor(left + 1 + random() * (width - 2)), y = Math.floor(top + 1 + random() * (height - 2));
      doubleClicks.push([x, y]);
      steps.push(...mouse(x, y, 2, random() < 0.25 ? 1 : 2));
    } else if (r < 0.85) {
      steps.push(...mouse(Math.floor(random() * view[0]), Math.floor(random() * view[1]), 1));
    } else {
      const name = keyNames[Math.floor(random() * keyNames.length)];
      steps.push(...key(name));
      // The greeting box would hold the window's input; Escape closes it, or does nothing.
      if (name === 'F1') steps.push(...key('Escape'));
    }
  }
  // Which cell, if any, each double-click lands on, as the page hit-tests it.
  const targets = await page.evaluate((points) => points.map(([x, y]) => {
    const cell = document.elementFromPoint(x, y)?.closest('.lc,.dc');
    return cell ? Number(cell.dataset.id) : 0;
  }), doubleClicks);
  const flips = {};
  for (const id of targets) if (id) flips[id] = (flips[id] || 0) + 1;

  const cdp = await page.context().newCDPSession(page);
  for (let n = 0; n < steps.length; n += 4000) {
    await Promise.all(steps.slice(n, n + 4000).map(([method, params]) => cdp.send(method, params)));
  }
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => done())));

  const shown = await page.evaluate(() => [...document.querySelectorAll('.lc,.dc')].map((e) => [Number(e.dataset.id), e.textContent]));
  const wrong = shown.filter(([id, text]) => {
    const set = (flips[id] || 0) % 2 === 1;
    return text !== (id < 750 ? (set ? ' 1 ' : ' 0 ') : (set ? 'In' : 'Out'));
  }).map(([id, text]) => `cell ${id}: ${flips[id] || 0} double-clicks, shows ${JSON.stringify(text)}`);
  assert.deepEqual(wrong, [], `cells after the storm (seed ${Seed})`);
  assert.ok(targets.filter((id) => id).length > Actions / 4, `only ${targets.filter((id) => id).length} double-clicks hit a cell`);
  assert.deepEqual(await harness.messageBoxes(page), [], `boxes left open by the storm (seed ${Seed})`);
  const part0 = await harness.statusText(page);
  assert.match(part0, /^(|Checkbox clicked|Port A:[0-9A-F]{2} Port B:[0-9A-F]{2} Port C:[0-9A-F]{2} Port D:[0-9A-F]{2} Port [ A-D] was clicked)$/,
    `status part 0 after the storm (seed ${Seed})`);
  harness.expectClean(page);
});
