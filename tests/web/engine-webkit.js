// WebKit for the browser suites: WebKitGTK's MiniBrowser through WebKitWebDriver, on an Xvfb display of the
// run's own; both are started here and stopped by their process ids when the suite ends, also on failure.
'use strict';
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const webdriver = require('./webdriver');

const MiniBrowser = process.env.TESSEL_MINIBROWSER || '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
const Keys = {
  F1: '\uE031', Enter: '\uE007', Escape: '\uE00C', Tab: '\uE004', Shift: '\uE008', Control: '\uE009', End: '\uE010', Home: '\uE011',
  ArrowLeft: '\uE012', ArrowUp: '\uE013', ArrowRight: '\uE014', ArrowDown: '\uE015',
};
const Roles = { button: 'button,[role=button]', checkbox: 'input[type=checkbox]', group: '[role=group]', alertdialog: '[role=alertdialog]' };

// Xvfb and the driver end with the suite however it ends: normally, by an uncaught error, or by CTest's
// timeout, which sends SIGTERM.
const children = new Set();
process.on('exit', () => {
  for (const child of children) child.kill();
});
for (const signal of ['SIGINT', 'SIGTERM']) {
  process.once(signal, () => process.exit(128 + (signal === 'SIGINT' ? 2 : 15)));
}
function start(command, args, options) {
  const child = spawn(command, args, options);
  children.add(child);
  child.on('exit', () => children.delete(child));
  return child;
}
function stop(child) {
  if (!children.has(child)) return Promise.resolve();
  return new Promise((done) => {
    child.once('exit', done);
    child.kill();
  });
}

// Xvfb picks a free display and writes its number to the pipe it is given.
function startXvfb() {
  const xvfb = start('Xvfb', ['-displayfd', '3', '-screen', '0', '2560x1600x24', '-nolisten', 'tcp', '-noreset'], { stdio: ['ignore', 'ignore', 'ignore', 'pipe'] });
  return new Promise((resolve, reject) => {
    let text = '';
    xvfb.stdio[3].on('data', (chunk) => {
      text += chunk;
      if (text.includes('\n')) resolve({ xvfb, display: `:${text.trim()}` });
    });
    xvfb.on('error', reject);
    xvfb.on('exit', (code) => reject(new Error(`Xvfb ended with ${code} before it had a display`)));
  });
}

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
    server.on('error', reject);
  });
}

// The run's own folder: MiniBrowser's GTK settings and WebKit's log, all that the driver, MiniBrowser and
// its web processes write to their standard output and error. A run that fails keeps it.
// WebKit's driver counts the presses of a double-click by the time between them as it simulates them,
// against GTK's double-click time (400 ms): on a loaded machine the second press of one action list can come
// later than that, and the double-click arrives as two single clicks. MiniBrowser gets a GTK setting of its
// own so that only place, never load, decides what joins: a double-click stays one, and the tests keep
// clicks meant to be separate a few pixels apart.
const DoubleClickTime = 10000;
function runFolder() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tessel-webkit-'));
  process.on('exit', (code) => code === 0 && fs.rmSync(dir, { recursive: true, force: true }));
  fs.mkdirSync(path.join(dir, 'gtk-3.0'));
  fs.writeFileSync(path.join(dir, 'gtk-3.0', 'settings.ini'), `[Settings]\ngtk-double-click-time=${DoubleClickTime}\n`);
  return { dir, log: path.join(dir, 'webkit.log') };
}

// A failed WebDriver command gets the last lines of WebKit's own output appended: when the page's process or
// MiniBrowser crashes, the driver says only that the session was deleted, not why.
function quoteLog(e, log) {
  const end = fs.readFileSync(log, 'utf8').trimEnd().split('\n').slice(-20).join('\n');
  e.message += end ? `\nWebKit's log ${log} ends:\n${end}` : `\nWebKit's log ${log} is empty`;
  return e;
}
function quotingLog(browser, log) {
  for (const [name, fn] of Object.entries(browser)) {
    if (typeof fn === 'function') browser[name] = (...a) => fn(...a).catch((e) => { throw quoteLog(e, log); });
  }
  return browser;
}

// The page's process paints without OpenGL, as Chromium runs with --disable-gpu: on Xvfb, OpenGL is Mesa's
// software renderer, and WebKit's compositor and Skia's GPU painters crashed the page's process in it now
// and then (a SIGSEGV in swrast_dri.so on the ThreadedCompositor thread, an assertion of libglvnd's
// GLdispatch as a SkiaGPUWorker thread ended), and the driver then deleted the test's session.
async function launch() {
  const { xvfb, display } = await startXvfb();
  const port = await freePort();
  const run = runFolder();
  const env = { ...process.env, DISPLAY: display, XDG_CONFIG_HOME: run.dir, WEBKIT_DISABLE_COMPOSITING_MODE: '1' };
  const log = fs.openSync(run.log, 'a');
  const driver = start('WebKitWebDriver', [`--port=${port}`], { env, stdio: ['ignore', log, log] });
  fs.closeSync(log);
  const close = async () => {
    await stop(driver);
    await stop(xvfb);
  };
  try {
    await webdriver.ready(port, 10000);
  } catch (e) {
    await close();
    throw quoteLog(e, run.log);
  }
  // WebKitWebDriver serves one connection: each page is a window of its own in it.
  let browser;
  try {
    browser = quotingLog(await webdriver.connect(port, {
      browserName: 'MiniBrowser', 'webkitgtk:browserOptions': { binary: MiniBrowser, args: ['--automation'] },
    }), run.log);
  } catch (e) {
    await close();
    throw quoteLog(e, run.log);
  }
  const windows = { browser, current: await browser.send('GET', '/window'), free: [await browser.send('GET', '/window')], open: 0 };
  return {
    version: `WebKitGTK ${browser.capabilities.browserVersion}`,
    open: (url, options) => open(windows, url, options),
    async close() {
      await browser.close();
      await close();
    },
  };
}

// Uncaught errors and console errors are recorded from the page's first moment on by the harness where the
// driver can run a script before the page's own; WebDriver cannot, so here they are recorded once it has
// loaded, and the load itself is proven by the window it built.
function watch() {
  window.tesselSeen = { errors: [] };
  addEventListener('error', (e) => window.tesselSeen.errors.push(String(e.message)));
  addEventListener('unhandledrejection', (e) => window.tesselSeen.errors.push(String(e.reason)));
  const error = console.error;
  console.error = (...a) => {
    window.tesselSeen.errors.push(a.join(' '));
    error.apply(console, a);
  };
}

async function open(windows, url, { width, height, initScript } = {}) {
  if (initScript) throw new Error('WebDriver runs no script before the page\'s own');
  const s = windows.browser, handle = windows.free.pop() || (await s.send('POST', '/window/new', { type: 'window' })).handle;
  windows.open++;
  // Every command goes to the window it is meant for.
  const use = async () => {
    if (windows.current !== handle) await s.send('POST', '/window', { handle });
    windows.current = handle;
  };
  await use();
  // The window's size includes MiniBrowser's tool bar: the viewport is sized by the difference.
  const resize = async (w, h) => {
    for (let tries = 0; tries < 3; tries++) {
      const [iw, ih, ow, oh] = await s.execute(() => [innerWidth, innerHeight, outerWidth, outerHeight]);
      if (iw === w && ih === h) return;
      await s.windowRect({ x: 0, y: 0, width: w + ow - iw, height: h + oh - ih });
      await s.execute(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
    }
    const got = await s.execute(() => [innerWidth, innerHeight]);
    if (got[0] !== w || got[1] !== h) {
      // MiniBrowser's tool bar keeps its window wider than a phone.
      throw Object.assign(new Error(`MiniBrowser's viewport is ${got.join(' x ')}, not ${w} x ${h}`), { code: 'TESSEL_VIEWPORT', viewport: got });
    }
  };
  await s.navigate('about:blank');
  try {
    await resize(width, height);
  } catch (e) {
    // The window goes back to the free ones for the next page.
    windows.open--;
    windows.free.push(handle);
    throw e;
  }
  await s.navigate(url);
  await s.execute(watch);
  // The pointer moves in an action list of its own: WebKit counts two presses as a double-click only when
  // nothing lies between them.
  const pointer = (type, actions) => s.actions([{ type: 'pointer', id: type, parameters: { pointerType: type }, actions }]);
  const presses = (count) => Array.from({ length: 2 * count }, (_, n) => ({ type: n % 2 ? 'pointerUp' : 'pointerDown', button: 0 }));
  const click = async (x, y, count = 1) => {
    await pointer('mouse', [{ type: 'pointerMove', x: Math.round(x), y: Math.round(y), duration: 0 }]);
    await pointer('mouse', presses(count));
  };
  const key = (types, name) => s.actions([{ type: 'key', id: 'keyboard', actions: types.map((type) => ({ type, value: Keys[name] || name })) }]);
  const page = {
    // WebKitGTK's driver takes touch actions but gives the page mouse input: a tap arrives as a click.
    touchAsMouse: true,
    async collect() {
      return s.execute(() => ({
        errors: window.tesselSeen.errors, requests: performance.getEntriesByType('resource').map((e) => e.name),
      }));
    },
    evaluate: (fn, arg) => s.execute(fn, arg),
    click,
    // The taps of a double tap go in one action list: WebKitGTK 2.54 counts presses sent in separate ones
    // as single clicks however close together they come (2.50 still joined them).
    tap: (x, y, count = 1) => pointer('touch', [{ type: 'pointerMove', x: Math.round(x), y: Math.round(y), duration: 0 }, ...presses(count)]),
    press: (name) => key(['keyDown', 'keyUp'], name),
    keyDown: (name) => key(['keyDown'], name),
    keyUp: (name) => key(['keyUp'], name),
    resize,
    screenshot: async (path) => fs.writeFileSync(path, Buffer.from(await s.screenshot(), 'base64')),
    // The windows of this WebDriver connection less those of the other pages.
    pageCount: async () => (await s.windowHandles()).length - windows.free.length - (windows.open - 1),
    // WebKit's own accessibility tree, through WebDriver's computed role and label of each candidate.
    async named(role, name) {
      const ids = [];
      for (const e of await s.find(Roles[role])) {
        if (await s.computedRole(e) === role && await s.computedLabel(e) === name)
          ids.push(await s.execute((el) => el.closest('[data-id]')?.dataset.id, { [webdriver.ElementKey]: e }));
      }
      return ids;
    },
    async storm(steps) {
      for (const step of steps) await (step.key ? key(['keyDown', 'keyUp'], step.key) : click(step.x, step.y, step.clicks));
    },
    // The window is kept, blank, for the next page.
    async close() {
      await s.navigate('about:blank');
      windows.open--;
      windows.free.push(handle);
    },
  };
  for (const [name, fn] of Object.entries(page)) {
    if (typeof fn !== 'function') continue;
    page[name] = async (...a) => {
      await use();
      return fn(...a);
    };
  }
  return page;
}

module.exports = { launch };
