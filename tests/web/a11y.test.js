// Accessibility: axe-core's rules for WCAG 2.0, 2.1 and 2.2, levels A and AA, on the page at a desktop and a
// phone size, after a flip from the keyboard and with a message box open. Each run prints what passed, what
// was violated and what axe-core could not decide; the suite fails on any violation but the one named below.
'use strict';
const assert = require('node:assert/strict');
const { after, before, test } = require('node:test');
const harness = require('./harness');

// The one exception: target-size (WCAG 2.5.8) on the 25 instruction check boxes. Their 13-pixel boxes in
// rows 15 pixels apart are the lines of the C listing, the window's fixed layout as on Windows: at 24 pixels
// a line the 25 statements would not fit between "void main (void)" and the closing brace (y 114 to 505).
// That layout is what the program teaches with, so the size is essential to it. Nothing else is excused.
function excepted(rule, node) {
  return rule === 'target-size' && node.tag === 'input' && node.id >= 800 && node.id <= 824;
}

let browser;
before(async () => {
  browser = await harness.launch();
});
after(async () => {
  if (browser) await browser.close();
});

async function check(page, when) {
  const result = await harness.axe(page);
  const list = (rules) => rules.map((r) => `${r.id} on ${r.nodes.length}`).join(', ') || 'none';
  console.log(`${harness.engine}, axe-core ${result.version}, ${when}: ${result.passes.length} rules passed;`
    + ` violations: ${list(result.violations)}; incomplete: ${list(result.incomplete)}`);
  const left = result.violations.flatMap((r) => r.nodes.filter((n) => !excepted(r.id, n)).map((n) => `${r.id} on ${n.tag} of ${n.id}`));
  assert.deepEqual(left, [], `WCAG A and AA violations ${when}`);
  assert.ok(result.passes.length > 10, `only ${result.passes.length} rules passed ${when}: axe-core did not run on the page`);
}

test('the page at 1280 x 1024, after bit 3 of port B is flipped from the keyboard, and with the greeting open', async () => {
  const page = await harness.open(browser, '#tick=0');
  await check(page, 'at 1280 x 1024');
  // Tab to the cells (port A's latch bit 7), End to bit 0, the right arrow five times to port B's bit 3, Space.
  for (const key of ['Tab', 'End', 'ArrowRight', 'ArrowRight', 'ArrowRight', 'ArrowRight', 'ArrowRight', ' ']) await page.press(key);
  assert.equal(await harness.caption(page, 711), ' 1 ', 'cell 711 after the keys');
  assert.equal(await page.evaluate(() => document.activeElement.getAttribute('aria-label')), 'Port B latch bit 3, 1', 'the focused cell');
  await check(page, 'at 1280 x 1024 after a flip from the keyboard');
  await page.press('F1');
  assert.equal((await harness.messageBoxes(page)).length, 1, 'boxes after F1');
  await check(page, 'at 1280 x 1024 with the greeting open');
  await page.press('Escape');
  await harness.expectClean(page);
});

test('the page on a phone, 390 x 844 with touch', async () => {
  let when = 'at 390 x 844 with touch';
  const page = await harness.open(browser, '#tick=0', { width: 390, height: 844, scale: 3, touch: true }).catch((e) => {
    if (e.code !== 'TESSEL_VIEWPORT') throw e;
    // MiniBrowser is never as narrow as a phone: at its narrowest the window is scaled down as on one.
    when = `at ${e.viewport.join(' x ')}, MiniBrowser's narrowest`;
    harness.note(`${e.message}: tried ${when}, with a mouse`);
    return harness.open(browser, '#tick=0', { width: e.viewport[0], height: e.viewport[1] });
  });
  await check(page, when);
  await harness.expectClean(page);
});
