// Loads tessel.html and the frame-only page alternately in headless Chromium, and reports the page's size against
// its budget and, per page, the milliseconds from navigation start to the moment it is ready: the 25th caption
// written, or the frame's status text. Fails after the report when the page is over its budget.
// usage: node web_load.js TESSEL_HTML MODULE_WASM FRAME_HTML LOADS SIZE_BUDGET
'use strict';
const { statSync } = require('node:fs');
const { pathToFileURL } = require('node:url');
const { chromium } = require('playwright-core');

const [pagePath, modulePath, framePath, loadsText, budgetText] = process.argv.slice(2);
const loads = Number(loadsText || 20), budget = Number(budgetText);

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
    const size = statSync(pagePath).size, within = size <= budget;
    const figures = (kind) => `${median(times[kind]).toFixed(1)} ms (range ${Math.min(...times[kind]).toFixed(1)}-` +
      `${Math.max(...times[kind]).toFixed(1)})`;
    console.log(`1. size: tessel.html is ${size} bytes (module ${statSync(modulePath).size} bytes); budget ${budget} ` +
      `bytes: ${within ? 'within budget' : 'OVER BUDGET'}`);
    console.log(`2. load, navigation start to ready, median of ${loads} loads each, 1366 x 768 viewport:`);
    console.log(`     tessel.html#tick=0 ${figures('page')} to the 25th caption`);
    console.log(`     frame only (${statSync(framePath).size} bytes) ${figures('frame')} to its status text`);
    console.log(`     ratio ${(median(times.page) / median(times.frame)).toFixed(2)}`);
    if (!within) process.exitCode = 1;
  } finally {
    await browser.close();
  }
})().catch((e) => {
  console.error(e);
  process.exitCode = 1;
});
