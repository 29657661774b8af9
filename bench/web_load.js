// Loads tessel.html and the frame-only page alternately in headless Chromium and prints, per page, the
// milliseconds from navigation start to the moment it is ready: the 25th caption written, or the frame's
// status text. usage: node web_load.js TESSEL_HTML FRAME_HTML LOADS
'use strict';
const { pathToFileURL } = require('node:url');
const { chromium } = require('playwright-core');

const [pagePath, framePath, loadsText] = process.argv.slice(2);
const loads = Number(loadsText || 20);

// Watches from before the page's own script: performance.now() counts from navigation start.
const watcher = `(() => {
  const frame = location.pathname.endsWith('/frame.html');
  new MutationObserver((changes, observer) => {
    const caption = document.querySelector('[data-id="824"] span'), status = document.querySelector('.sb span');
    const ready = frame ? status && status.textContent : caption && caption.textContent !== 'Out';
    if (ready) { window.readyAt = performance.now(); observer.disconnect(); }
  }).observe(document, { childList: true, subtree: true, characterData: true });
})();`;

async function load(browser, url) {
  const context = await browser.newContext({ viewport: { width: 1366, height: 768 } });
  try {
    const page = await context.newPage();
    await page.addInitScript(watcher);
    await page.goto(url);
    await page.waitForFunction(() => window.readyAt !== undefined);
    return await page.evaluate(() => window.readyAt);
  } finally {
    await context.close();
  }
}

const median = (values) => {
  const v = [...values].sort((a, b) => a - b), h = v.length >> 1;
  return v.length % 2 ? v[h] : (v[h - 1] + v[h]) / 2;
};

(async () => {
  const browser = await chromium.launch({
    executablePath: process.env.TESSEL_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--no-first-run', '--disable-quic', '--disable-gpu'],
  });
  try {
    const urls = { page: pathToFileURL(pagePath).href + '#tick=0', frame: pathToFileURL(framePath).href };
    const times = { page: [], frame: [] };
    // One load of each first, not counted; then they alternate so that a change of load falls on both.
    await load(browser, urls.page);
    await load(browser, urls.frame);
    for (let n = 0; n < loads; n++)
      for (const kind of ['page', 'frame']) times[kind].push(await load(browser, urls[kind]));
    for (const kind of ['page', 'frame']) {
      const v = times[kind];
      console.log(`${kind}_median_ms ${median(v).toFixed(1)}`);
      console.log(`${kind}_range_ms ${Math.min(...v).toFixed(1)}-${Math.max(...v).toFixed(1)}`);
    }
  } finally {
    await browser.close();
  }
})().catch((e) => {
  console.error(e);
  process.exitCode = 1;
});
