// Storm: thousands of random clicks, double-clicks and keys as real input through the engine's driver;
// afterwards every bit cell shows what the double-clicks on it and the Space and Enter keys it took predict,
// and the console shows no error.
// A failure names its seed: TESSEL_STORM_SEED=N replays it, TESSEL_STORM_ACTIONS sets the length.
'use strict';
const assert = require('node:assert/strict');
const { after, before, test } = require('node:test');
const harness = require('./harness');

// Chromium takes the whole storm in bulk; Firefox's and WebKit's drivers take one action at a time, 30 to
// 40 ms each, so their storms are shorter by default.
const Actions = Number(process.env.TESSEL_STORM_ACTIONS || { chromium: 10000, firefox: 1000, webkit: 1000 }[harness.engine]);
const Seed = Number(process.env.TESSEL_STORM_SEED || Math.floor(Math.random() * 2 ** 31));
const Keys = ['F1', ' ', 'Enter', 'Escape', 'Tab', 'a', 'ArrowDown', 'ArrowUp', 'ArrowLeft', 'ArrowRight', 'Home', 'End'];

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
  const steps = [], doubleClicks = [];
  let last = null;
  for (let n = 0; n < Actions; n++) {
    const r = random();
    if (r < 0.85) {
      // Double-clicks, most of them on a cell, the others anywhere; single clicks anywhere.
      const [left, top, width, height] = r < 0.35 ? cells[Math.floor(random() * cells.length)] : [0, 0, ...view];
      const x = Math.floor(left + 1 + random() * (width - 2)), y = Math.floor(top + 1 + random() * (height - 2));
      // A click within a few pixels of the one before, keys between or not, would join it where the engine
      // counts clicks by place (WebKit's driver does, as a system counts a user's clicks): it moves aside.
      if (last && Math.abs(last.x - x) < 8 && Math.abs(last.y - y) < 8) {
        n--;
        continue;
      }
      const clicks = r < 0.55 ? 2 : 1;
      if (clicks === 2) doubleClicks.push([x, y]);
      // first: 2 sends only the second press and release, with a click count of 2, where the driver can
      // set the count (Chromium); the other engines' drivers send the whole double-click.
      steps.push(last = { x, y, clicks, first: clicks === 2 && random() >= 0.25 ? 2 : 1 });
    } else {
      const name = Keys[Math.floor(random() * Keys.length)];
      steps.push({ key: name });
      // The greeting box would hold the window's input; Escape closes it, or does nothing.
      if (name === 'F1') steps.push({ key: 'Escape' });
    }
  }
  // Which cell, if any, each double-click lands on, as the page hit-tests it.
  const targets = await page.evaluate((points) => points.map(([x, y]) => {
    const cell = document.elementFromPoint(x, y)?.closest('.lc,.dc');
    return cell ? Number(cell.dataset.id) : 0;
  }), doubleClicks);
  const flips = {};
  for (const id of targets) if (id) flips[id] = (flips[id] || 0) + 1;

  // Space and Enter flip the cell that has the focus. Which one that is after a Tab from a click elsewhere
  // is each browser's own choice (its starting point for Tab), so the cell is taken as the key arrives;
  // the keyboard tests check the focus itself.
  await page.evaluate(() => {
    window.stormKeys = [];
    addEventListener('keydown', (e) => {
      const cell = e.target.closest && e.target.closest('.lc,.dc');
      if (cell && (e.key === ' ' || e.key === 'Enter')) window.stormKeys.push(Number(cell.dataset.id));
    }, true);
  });
  await page.storm(steps);
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => done())));
  const keyed = {}, keys = await page.evaluate(() => window.stormKeys);
  for (const id of keys) keyed[id] = (keyed[id] || 0) + 1;
  harness.note(`${targets.filter((id) => id).length} double-clicks on a cell, ${keys.length} Space or Enter on a focused cell`);

  const shown = await page.evaluate(() => [...document.querySelectorAll('.lc,.dc')].map((e) => [Number(e.dataset.id), e.textContent]));
  const wrong = shown.filter(([id, text]) => {
    const set = ((flips[id] || 0) + (keyed[id] || 0)) % 2 === 1;
    return text !== (id < 750 ? (set ? ' 1 ' : ' 0 ') : (set ? 'In' : 'Out'));
  }).map(([id, text]) => `cell ${id}: ${flips[id] || 0} double-clicks and ${keyed[id] || 0} keys, shows ${JSON.stringify(text)}`);
  assert.deepEqual(wrong, [], `cells after the storm (seed ${Seed})`);
  assert.ok(targets.filter((id) => id).length > Actions / 4, `only ${targets.filter((id) => id).length} double-clicks hit a cell`);
  assert.deepEqual(await harness.messageBoxes(page), [], `boxes left open by the storm (seed ${Seed})`);
  const part0 = await harness.statusText(page);
  assert.match(part0, /^(|Checkbox clicked|Port A:[0-9A-F]{2} Port B:[0-9A-F]{2} Port C:[0-9A-F]{2} Port D:[0-9A-F]{2} Port [ A-D] was clicked)$/,
    `status part 0 after the storm (seed ${Seed})`);
  await harness.expectClean(page);
});
