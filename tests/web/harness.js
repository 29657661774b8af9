// Shared by the browser suites: the engine they run in (TESSEL_ENGINE=chromium|firefox|webkit), tessel.html
// and tessel-keys.html from disk, real input at a control's centre, and the module inside the page; every browser launched here
// is closed by the suite's after hook, also on failure.
'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { pathToFileURL } = require('node:url');

const engine = process.env.TESSEL_ENGINE || 'chromium';
const engines = { chromium: './engine-chromium', firefox: './engine-firefox', webkit: './engine-webkit' };
assert.ok(engines[engine], `TESSEL_ENGINE=${engine}: not one of ${Object.keys(engines).join(', ')}`);
const pagePath = process.env.TESSEL_PAGE;
const pageUrl = pathToFileURL(pagePath).href;
const keysUrl = process.env.TESSEL_KEYS_PAGE ? pathToFileURL(process.env.TESSEL_KEYS_PAGE).href : null;

// Returns the engine's browser: version, open(url, options) and close().
function launch() {
  return require(engines[engine]).launch();
}

// Said in the test's output where an engine's driver cannot give some input and a test uses the nearest one.
function note(text) {
  console.log(`${engine}: ${text}`);
}

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// Polls fn(arg) in the page until it returns something true.
async function waitFor(page, fn, arg, timeout = 10000) {
  const end = Date.now() + timeout;
  for (;;) {
    const value = await page.evaluate(fn, arg);
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out after ${timeout} ms waiting for ${fn}`);
    await sleep(20);
  }
}

// Opens tessel.html (with `hash`, e.g. '#tick=0') in a fresh context and waits for the window to be built.
// options: width and height of the viewport (1280 x 1024), touch and scale (device pixels per CSS pixel)
// for a phone or tablet, initScript, run before the page's own script.
async function open(browser, hash = '#tick=0', options = {}) {
  const page = await browser.open(pageUrl + hash, { width: 1280, height: 1024, ...options });
  await waitFor(page, () => typeof window.tesselSendCommand === 'function');
  return page;
}

// Opens tessel-keys.html with `hash` ('#tick=N') and waits for that exercise's listing and key.
async function openKeys(browser, hash) {
  const page = await browser.open(keysUrl + hash, { width: 1280, height: 1024 });
  await waitFor(page, () => document.querySelectorAll('#x pre').length === 2);
  return page;
}

// The centre of the element `selector` in viewport pixels.
async function center(page, selector) {
  const at = await page.evaluate((s) => {
    const e = document.querySelector(s);
    if (!e) return null;
    const r = e.getBoundingClientRect();
    return [r.left + r.width / 2, r.top + r.height / 2];
  }, selector);
  assert.ok(at, `no element ${selector} on the page`);
  return at;
}

// A real click (count 1) or double-click (count 2) of the mouse at the element's centre.
async function click(page, selector, count = 1) {
  const [x, y] = await center(page, selector);
  await page.click(x, y, count);
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

// axe-core's rules for WCAG 2.0, 2.1 and 2.2, levels A and AA, run on the page as it stands: injected by the
// tests, never part of the page. Each rule's nodes are given by the identifier of the control that holds
// them (null outside the window's controls) and their tag.
const AxeTags = ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa'];
function axe(page) {
  const source = fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');
  return page.evaluate(async ([code, tags]) => {
    if (!window.axe) (0, eval)(code);
    const result = await window.axe.run(document, { runOnly: { type: 'tag', values: tags }, elementRef: true });
    const brief = (rules) => rules.map((rule) => ({
      id: rule.id,
      nodes: rule.nodes.map((n) => ({
        id: n.element && n.element.closest('[data-id]') ? Number(n.element.closest('[data-id]').dataset.id) : null,
        tag: n.element ? n.element.tagName.toLowerCase() : n.target.join(' '),
      })),
    }));
    return { version: window.axe.version, passes: brief(result.passes), violations: brief(result.violations), incomplete: brief(result.incomplete) };
  }, [source, AxeTags]);
}

// The page's own errors and requests: none but the page itself (tessel.html, or `url`) may be fetched.
async function expectClean(page, url = pageUrl) {
  const seen = page.collect ? await page.collect() : page.seen;
  assert.deepEqual(seen.errors, [], 'console errors or uncaught exceptions');
  const foreign = seen.requests.filter((u) => u.split('#')[0] !== url && !u.startsWith('data:'));
  assert.deepEqual(foreign, [], 'requests other than the page itself');
}

module.exports = {
  engine, launch, note, sleep, waitFor, open, openKeys, center, click, pageUrl, moduleBase64, moduleExports, tableControls, pageControls, statusText, caption,
  messageBoxes, expectClean, axe, keysUrl,
};
