// The WebAssembly core against the native build of the same sources: statements, cells, summaries and
// placements for 400 seeds, computed in the browser from the module inside tessel.html and compared line by line;
// and tessel-keys.html, over the same module, against tessel_keys, from which the guide's exercises come.
'use strict';
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const { after, before, test } = require('node:test');
const harness = require('./harness');

const Seeds = 400;
let browser;
before(async () => {
  browser = await harness.launch();
});
after(async () => {
  if (browser) await browser.close();
});

// The same walk as core_dump.cpp, over the module's exports; runs in the page.
function dump({ base64, seeds }) {
  const code = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
  return WebAssembly.instantiate(code).then(({ instance }) => {
    const x = instance.exports, bytes = new Uint8Array(x.memory.buffer), out = [];
    const str = (p) => {
      let e = p;
      while (bytes[e]) e++;
      return String.fromCharCode(...bytes.subarray(p, e));
    };
    const next = (s) => {
      s.v = (Math.imul(s.v, 1103515245) + 12345) >>> 0;
      return s.v >>> 8;
    };
    const fixed = [0, 1, 123456789, 0xffffffff], walk = { v: 2026 };
    for (let n = 0; n < seeds; n++) {
      const seed = n < 4 ? fixed[n] : Math.imul(next(walk), 2654435761) >>> 0;
      out.push(`seed ${seed}`);
      x.TesselCreate(seed);
      for (let record = 0; record < 256; record++) out.push(str(x.TesselRecordText(record)));
      const pick = { v: seed };
      for (let click = 0; click < 40; click++) {
        const r = next(pick), id = (r & 1 ? 700 : 750) + (r % 34) - 1, cell = x.TesselDoubleClick(id);
        out.push(`${id} [${cell ? str(cell) : '-'}] ${str(x.TesselSummary())}`);
      }
      const width = 200 + (next(pick) % 3800), height = 150 + (next(pick) % 2200);
      const p = new Int32Array(x.memory.buffer, x.TesselPlacement(width, height), 4);
      out.push(`${width}x${height} ${p[0]} ${p[1]} ${p[2]} ${p[3]}`);
    }
    return out.join('\n') + '\n';
  });
}

test(`the module in the page gives the native build's output for ${Seeds} seeds`, async () => {
  const native = execFileSync(process.env.TESSEL_CORE_DUMP, [String(Seeds)], { encoding: 'latin1', maxBuffer: 1 << 26 });
  const page = await harness.open(browser);
  const web = await page.evaluate(dump, { base64: harness.moduleBase64(), seeds: Seeds });
  const a = native.split('\n'), b = web.split('\n');
  const first = a.findIndex((line, n) => line !== b[n]);
  assert.equal(first, -1, first < 0 ? '' :
    `line ${first + 1} differs: native ${JSON.stringify(a[first])}, WebAssembly ${JSON.stringify(b[first])}`);
  assert.equal(b.length, a.length, 'line count');
  assert.ok(a.length > Seeds * 297, `only ${a.length} lines for ${Seeds} seeds`);
  await harness.expectClean(page);
});

// The exercise as the keys page shows it: its heading, then each paragraph and listing, a blank line between.
function shownExercise(page) {
  return page.evaluate(() => [...document.getElementById('x').children].map((e) => e.textContent).join('\n\n'));
}

test('tessel-keys.html gives tessel_keys\' listing and key, for a number in its address and for numbers typed in', async () => {
  const address = '1', typed = ['0', '2026', '4294967295'];
  const native = execFileSync(process.env.TESSEL_KEYS, [address, ...typed], { encoding: 'latin1' });
  // tessel_keys prints each exercise as the guide holds it: a heading, then its text indented as code.
  const expected = native.split(/^### /m).slice(1).map((text) => text.replace(/`/g, '').replace(/^ {4}/gm, '').trim());
  const page = await harness.openKeys(browser, `#tick=${address}`);
  assert.equal(await shownExercise(page), expected[0], `#tick=${address}`);
  for (const [n, digits] of typed.entries()) {
    await page.evaluate(() => {
      const input = document.getElementById('n');
      input.value = '';
      input.focus();
    });
    for (const key of [...digits, 'Enter']) await page.press(key);
    await harness.waitFor(page, (h) => document.querySelector('#x h2')?.textContent === h, `tessel.html#tick=${digits}`);
    assert.equal(await shownExercise(page), expected[n + 1], `${digits} typed in`);
  }
  await harness.expectClean(page, harness.keysUrl);
});
