// Shared by the browser suites: Debian's Chromium through playwright-core, tessel.html from disk, and the
// module inside it; every browser launched here is closed by the suite's after hook, also on failure.
'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { pathToFileURL } = require('node:url');
const { chromium } = require('playwright-core');

const pagePath = process.env.TESSEL_PAGE;
const pageUrl = pathToFileURL(pagePath).href;

// The network is closed and the profile fresh: nothing may be fetched, updated or synced.
const chromiumArgs = [
  '--no-sandbox', '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--no-first-run', '--disable-quic', '--disable-gpu',
];

function launch() {
  return chromium.launch({
    executablePath: process.env.TESSEL_CHROMIUM || '/usr/bin/chromium',
    args: chromiumArgs,
    headless: true,
  });
}

// Opens tessel.html (with `hash`, e.g. '#tick=0') in a new context and waits for the window to be built.
// The page records every request, console error and uncaught exception in page.tessel.
// options: those of a browser context, and initScript, run before the page's own script.
async function open(browser, hash = '#tick=0', options = {}) {
  const { initScript, ...contextOptions } = options;
  const context = await browser.newContext({ viewport: { width: 1280, height: 1024 }, ...contextOptions });
  const page = await context.newPage();
  page.tessel = { requests: [], errors: [] };
  page.on('request', (r) => page.tessel.requests.push(r.url()));
  page.on('console', (m) => m.type() === 'error' && page.tessel.errors.push(m.text()));
  page.on('pageerror', (e) => page.tessel.errors.push(String(e)));
  if (initScript) await page.addInitScript(initScript);
  await page.goto(pageUrl + hash);
  await page.waitForFunction(() => typeof window.tesselSendCommand === 'function');
  return page;
}

// The module as shipped inside the page, base64 in its script.
function moduleBase64() {
  const match = /'([A-Za-z0-9+/=]{1000,})'/.exec(fs.readFileSync(pagePath, 'latin1'));
  assert.ok(match, `no embedded module found in ${pagePath}`);
  return match[1];
}

// The module instantiated here, for reading the control table it draws from.
function moduleExports() {
  const module = new WebAssembly.Module(Buffer.from(moduleBase64(), 'base64'));
  const x = new WebAssembly.Instance(module).exports;
  const bytes = new Uint8Array(x.memory.buffer), words = new Int32Array(x.memory.buffer);
  const str = (p) => {
    let e = p;
    while (bytes[e]) e++;
    return Buffer.from(bytes.subarray(p, e)).toString('latin1');
  };
  return { x, str, words };
}

// The controls as the module's table lists them, in creation order.
function tableControls() {
  const { x, str, words } = moduleExports();
  const controls = [];
  for (let n = 0; n < x.TesselControlCount(); n++) {
    const q = x.TesselControl(n) >> 2;
    controls.push({
      id: words[q], x: words[q + 1], y: words[q + 2], width: words[q + 3], height: words[q + 4],
      kind: words[q + 5], caption: str(words[q + 6]),
    });
  }
  return controls;
}

// Every child of the client area in document order: identifier, class, caption as shown, rectangle in
// client pixels, and for check boxes their state.
function pageControls(page) {
  return page.evaluate(() => {
    const client = document.getElementById('c').getBoundingClientRect();
    return [...document.getElementById('c').children].map((e) => {
      const r = e.getBoundingClientRect(), box = e.querySelector('input');
      const shown = e.className === 'gb' || e.className === 'k' ? e.querySelector('span').textContent : e.textContent;
      return {
        id: Number(e.dataset.id), className: e.className, caption: shown, checked: box ? box.checked : null,
        x: r.left - client.left, y: r.top - client.top, width: r.width, height: r.height,
      };
    });
  });
}

// Text of status part n.
function statusText(page, part = 0) {
  return page.evaluate((n) => document.querySelectorAll('.sb span')[n].textContent, part);
}

function caption(page, id) {
  return page.evaluate((n) => {
    const e = document.querySelector(`[data-id="${n}"]`);
    return e.className === 'k' ? e.querySelector('span').textContent : e.textContent;
  }, id);
}

// The open message boxes, topmost last: title and text.
function messageBoxes(page) {
  return page.evaluate(() => [...document.querySelectorAll('.mb')].map((b) => ({
    title: b.querySelector('.tb span').textContent, text: b.querySelector('p').textContent,
  })));
}

// The page's own errors and requests: none but the page itself may be fetched.
function expectClean(page) {
  assert.deepEqual(page.tessel.errors, [], 'console errors or uncaught exceptions');
  const foreign = page.tessel.requests.filter((u) => u.split('#')[0] !== pageUrl && !u.startsWith('data:'));
  assert.deepEqual(foreign, [], 'requests other than the page itself');
}

module.exports = {
  launch, open, pageUrl, moduleBase64, moduleExports, tableControls, pageControls, statusText, caption,
  messageBoxes, expectClean,
};
