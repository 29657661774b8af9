// Chromium for the browser suites: Debian's Chromium through playwright-core, with the DevTools protocol
// for mobile emulation and for the storm's bulk input.
'use strict';
const { chromium } = require('playwright-core');

// The network is closed and the profile fresh: nothing may be fetched, updated or synced.
const args = [
  '--no-sandbox', '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--no-first-run', '--disable-quic', '--disable-gpu',
];

async function launch() {
  const browser = await chromium.launch({
    executablePath: process.env.TESSEL_CHROMIUM || '/usr/bin/chromium', args, headless: true,
  });
  return { version: `Chromium ${browser.version()}`, open: (url, o) => open(browser, url, o), close: () => browser.close() };
}

// Presses and releases with the click counts of a single click, a double-click, or only the second half of
// one (a press and release with a count of 2 is a double-click to the page, at half the protocol's cost).
function mouseEvents(x, y, clicks, first) {
  const events = [];
  for (let n = first; n <= clicks; n++)
    for (const type of ['mousePressed', 'mouseReleased']) events.push(['Input.dispatchMouseEvent', { type, x, y, button: 'left', clickCount: n }]);
  return events;
}

const KeyCodes = { F1: 112, ' ': 32, Enter: 13, Escape: 27, Tab: 9, a: 65, End: 35, Home: 36, ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, ArrowDown: 40 };
function keyEvents(key) {
  const text = { ' ': ' ', Enter: '\r', a: 'a' }[key] || '';
  const base = { key, code: { ' ': 'Space', a: 'KeyA' }[key] || key, windowsVirtualKeyCode: KeyCodes[key] };
  return [['Input.dispatchKeyEvent', { type: text ? 'keyDown' : 'rawKeyDown', text, ...base }], ['Input.dispatchKeyEvent', { type: 'keyUp', ...base }]];
}

async function open(browser, url, { width, height, touch = false, scale = 1, initScript } = {}) {
  const context = await browser.newContext({
    viewport: { width, height }, hasTouch: touch, isMobile: touch, deviceScaleFactor: scale,
  });
  const page = await context.newPage();
  const seen = { requests: [], errors: [] };
  page.on('request', (r) => seen.requests.push(r.url()));
  page.on('console', (m) => m.type() === 'error' && seen.errors.push(m.text()));
  page.on('pageerror', (e) => seen.errors.push(String(e)));
  if (initScript) await page.addInitScript(initScript);
  await page.goto(url);
  return {
    seen,
    evaluate: (fn, arg) => page.evaluate(fn, arg),
    click: (x, y, count = 1) => (count === 2 ? page.mouse.dblclick(x, y) : page.mouse.click(x, y)),
    async tap(x, y, count = 1) {
      for (let n = 0; n < count; n++) await page.touchscreen.tap(x, y);
    },
    press: (key) => page.keyboard.press(key),
    keyDown: (key) => page.keyboard.down(key),
    keyUp: (key) => page.keyboard.up(key),
    resize: (w, h) => page.setViewportSize({ width: w, height: h }),
    screenshot: (path) => page.screenshot({ path }),
    pageCount: async () => context.pages().length,
    // The identifiers of the elements the accessibility tree names so, as playwright reads the page.
    named: (role, name) => page.getByRole(role, { name, exact: true }).evaluateAll((es) => es.map((e) => e.closest('[data-id]')?.dataset.id)),
    // The whole storm as protocol messages, sent in large batches without waiting for each.
    async storm(steps) {
      const messages = steps.flatMap((s) => (s.key ? keyEvents(s.key) : mouseEvents(s.x, s.y, s.clicks, s.first)));
      const cdp = await context.newCDPSession(page);
      for (let n = 0; n < messages.length; n += 4000)
        await Promise.all(messages.slice(n, n + 4000).map(([method, params]) => cdp.send(method, params)));
    },
    close: () => context.close(),
  };
}

module.exports = { launch };
