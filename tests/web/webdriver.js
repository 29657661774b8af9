// A small W3C WebDriver client: the commands the browser suites send to WebKitWebDriver, over node's http.
'use strict';
const http = require('node:http');

const ElementKey = 'element-6066-11e4-a52e-4f735466cecf';  // the standard's name for an element reference

function request(port, method, path, body) {
  return new Promise((resolve, reject) => {
    const data = body === undefined ? null : JSON.stringify(body);
    const headers = data ? { 'content-type': 'application/json', 'content-length': Buffer.byteLength(data) } : {};
    const req = http.request({ host: '127.0.0.1', port, method, path, headers }, (res) => {
      let text = '';
      res.setEncoding('utf8');
      res.on('data', (chunk) => { text += chunk; });
      res.on('end', () => {
        let value;
        try {
          value = JSON.parse(text || '{}').value;
        } catch (e) {
          return reject(new Error(`WebDriver ${method} ${path}: ${res.statusCode} ${text.slice(0, 200)}`));
        }
        if (res.statusCode >= 400) reject(new Error(`WebDriver ${method} ${path}: ${value && value.error}: ${value && value.message}`));
        else resolve(value);
      });
    });
    req.on('error', reject);
    if (data) req.write(data);
    req.end();
  });
}

// Waits until the driver on `port` answers its status, for up to `ms` milliseconds.
async function ready(port, ms) {
  const end = Date.now() + ms;
  for (;;) {
    try {
      if ((await request(port, 'GET', '/status')).ready) return;
    } catch (e) {
      if (Date.now() > end) throw new Error(`WebDriver on port ${port} did not start: ${e.message}`);
    }
    await new Promise((done) => setTimeout(done, 100));
  }
}

// A connection to the driver: one browser, its windows and the commands sent to them.
async function connect(port, capabilities) {
  const created = await request(port, 'POST', '/session', { capabilities: { alwaysMatch: capabilities } });
  const base = `/session/${created.sessionId}`;
  const send = (method, path, body) => request(port, method, base + path, body);
  return {
    capabilities: created.capabilities,
    send,
    navigate: (url) => send('POST', '/url', { url }),
    // The function runs in the page with one argument; a promise it returns is awaited, as the standard says.
    execute: (fn, arg) => send('POST', '/execute/sync', { script: `return (${fn}).call(null, arguments[0]);`, args: [arg === undefined ? null : arg] }),
    actions: (actions) => send('POST', '/actions', { actions }),
    windowRect: (rect) => (rect ? send('POST', '/window/rect', rect) : send('GET', '/window/rect')),
    windowHandles: () => send('GET', '/window/handles'),
    screenshot: () => send('GET', '/screenshot'),
    async find(css) {
      return (await send('POST', '/elements', { using: 'css selector', value: css })).map((e) => e[ElementKey]);
    },
    computedRole: (id) => send('GET', `/element/${id}/computedrole`),
    computedLabel: (id) => send('GET', `/element/${id}/computedlabel`),
    close: () => request(port, 'DELETE', base).catch(() => {}),
  };
}

module.exports = { ElementKey, ready, connect };
