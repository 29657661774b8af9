// Firefox for the browser suites: Debian's firefox-esr through puppeteer-core over WebDriver BiDi, one
// fresh profile per run.
'use strict';
const puppeteer = require('puppeteer-core');

// puppeteer's own profile already turns off updates, telemetry and the other background requests; these
// say the same for the ones a lesson's page must never cause.
const prefs = {
  'app.update.enabled': false, 'browser.safebrowsing.malware.enabled': false,
  'browser.safebrowsing.phishing.enabled': false, 'datareporting.policy.dataSubmissionEnabled': false,
  'network.dns.disablePrefetch': true, 'network.prefetch-next': false, 'toolkit.telemetry.enabled': false,
};

async function launch() {
  const browser = await puppeteer.launch({
    browser: 'firefox', executablePath: process.env.TESSEL_FIREFOX || '/usr/bin/firefox-esr', headless: true,
    defaultViewport: null, extraPrefsFirefox: prefs,
  });
  const tabs = { front: null };
  return { version: `Firefox ${(await browser.version()).split('/')[1]}`, open: (url, o) => open(browser, tabs, url, o), close: () => browser.close() };
}

// The viewport and device pixels by BiDi's browsingContext.setViewport alone, which every Firefox ESR of
// Debian 12 and 13 knows. puppeteer's page.setViewport also sends emulation.setScreenOrientationOverride,
// unknown to Firefox 140, and emulation.setTouchOverride, unknown to 140 and 153 alike; the page reads
// neither orientation nor touch points, and taps reach it as touch pointers from input.performActions.
function setViewport(page, width, height, scale) {
  return page.mainFrame().browsingContext.setViewport({ viewport: { width, height }, devicePixelRatio: scale });
}

// Each page is a tab of one window, and a new one comes to the front. Input goes to the tab in front, as a
// person's does: after each action Firefox waits for the tab's next animation frame, and 140 gives a tab
// behind another one frame a second, which stretched a click past the two seconds a test times.
async function open(browser, tabs, url, { width, height, scale = 1, initScript } = {}) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  tabs.front = page;
  const input = (act) => async (...args) => {
    if (tabs.front !== page) {
      await page.bringToFront();
      tabs.front = page;
    }
    return act(...args);
  };
  await setViewport(page, width, height, scale);
  const seen = { requests: [], errors: [] };
  page.on('request', (r) => seen.requests.push(r.url()));
  page.on('console', (m) => m.type() === 'error' && seen.errors.push(m.text()));
  page.on('pageerror', (e) => seen.errors.push(String(e)));
  if (initScript) await page.evaluateOnNewDocument(initScript);
  await page.goto(url);
  const click = input((x, y, count = 1) => page.mouse.click(x, y, { count }));
  return {
    seen,
    evaluate: (fn, arg) => page.evaluate(fn, arg),
    click,
    tap: input(async (x, y, count = 1) => {
      for (let n = 0; n < count; n++) await page.touchscreen.tap(x, y);
    }),
    press: input((key) => page.keyboard.press(key)),
    keyDown: input((key) => page.keyboard.down(key)),
    keyUp: input((key) => page.keyboard.up(key)),
    resize: (w, h) => setViewport(page, w, h, scale),
    screenshot: (path) => page.screenshot({ path }),
    pageCount: async () => (await context.pages()).length,
    // Firefox's own accessibility tree, as BiDi's accessibility locator reads it.
    async named(role, name) {
      const found = await page.$$(`::-p-aria([name=${JSON.stringify(name)}][role="${role}"])`);
      return Promise.all(found.map((h) => h.evaluate((e) => e.closest('[data-id]')?.dataset.id)));
    },
    // BiDi has no click count of its own to set: each step is a whole click or double-click, sent in turn.
    storm: input(async (steps) => {
      for (const s of steps) await (s.key ? page.keyboard.press(s.key) : page.mouse.click(s.x, s.y, { count: s.clicks }));
    }),
    close: () => context.close(),
  };
}

module.exports = { launch };
