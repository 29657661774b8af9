// The keys page: for seed N, the 25 statements that tessel.html#tick=N shows and the key, worked out as a learner
// does: each statement read, the cells that differ from it double-clicked through the module, as in the guide.
(function () {
  'use strict';
  var module = '@MODULE@', X, U, I;
  var form = /^(TRIS|PORT)([A-D])(?:bits\.(?:TRIS|R)[A-D]([0-7]) = ([01])| = 0(?:b([01]{8})|x([0-9A-F]{2}))) ;$/;
  var out = document.getElementById('x'), input = document.getElementById('n');

  function str(p) {
    var e = p;
    while (U[e]) e++;
    return String.fromCharCode.apply(null, U.subarray(p, e));
  }

  function el(tag, text) {
    var e = document.createElement(tag);
    e.textContent = text;
    out.appendChild(e);
    return e;
  }

  function pad(text) {
    return (text + '    ').slice(0, 4);
  }

  // The listing and the key of a seed, each a list of lines.
  function exercise(seed) {
    var cells = {}, listing = [], n, q, m, text, id, bit, want, summary, rows, port;
    X.TesselCreate(seed);
    // The cells' captions at start, from the control table, as the window shows them.
    for (n = 0; n < X.TesselControlCount(); n++) {
      q = X.TesselControl(n) >> 2;
      if (I[q + 5] == 2 || I[q + 5] == 3) cells[I[q]] = str(I[q + 6]);
    }
    for (n = 0; n < 25; n++) {
      text = str(X.TesselInstructionText(n));
      m = form.exec(text);
      if (!m) throw new Error('no statement of the four forms: ' + text);
      listing.push(text);
      for (bit = 7; bit >= 0; bit--) {
        if (m[3] && bit != m[3]) continue;
        want = m[3] ? m[4] == '1' : (parseInt(m[5] || m[6], m[5] ? 2 : 16) >> bit & 1) == 1;
        id = (m[1] == 'TRIS' ? 750 : 700) + 8 * 'ABCD'.indexOf(m[2]) + bit;
        if ((cells[id] == ' 1 ' || cells[id] == 'In') != want) cells[id] = str(X.TesselDoubleClick(id));
      }
    }
    // Any cell double-clicked twice shows the status line without changing a register.
    X.TesselDoubleClick(750);
    X.TesselDoubleClick(750);
    summary = str(X.TesselSummary());
    rows = ['Status bar: ' + summary.slice(0, summary.indexOf('Port D:') + 9), '', 'Direction  7   6   5   4   3   2   1   0'];
    for (port = 0; port < 4; port++) {
      text = 'Port ' + 'ABCD'[port] + '     ';
      for (bit = 7; bit >= 0; bit--) text += pad(cells[750 + 8 * port + bit]);
      rows.push(text.trim());
    }
    return [listing, rows];
  }

  // The number as tessel.html reads it from its address.
  function show(digits) {
    var seed = Number(digits) >>> 0, key = exercise(seed);
    out.textContent = '';
    input.value = digits;
    el('h2', 'tessel.html#tick=' + digits);
    if (String(seed) != digits) el('p', 'The same 25 statements as tessel.html#tick=' + seed + '.');
    el('p', 'The 25 statements:');
    el('pre', key[0].join('\n'));
    el('p', 'The key, after all 25 from the start:');
    el('pre', key[1].join('\n'));
  }

  function fromAddress() {
    var tick = /^#tick=(\d+)$/.exec(location.hash);
    if (tick) show(tick[1]);
  }

  document.getElementById('f').onsubmit = function (e) {
    e.preventDefault();
    var digits = input.value.trim();
    if (!/^\d{1,10}$/.test(digits) || Number(digits) > 4294967295) {
      out.textContent = '';
      el('p', 'A number from 0 to 4294967295, please.').className = 'e';
      return;
    }
    if (location.hash == '#tick=' + digits) show(digits);
    else location.hash = 'tick=' + digits;
  };
  addEventListener('hashchange', fromAddress);

  var bytes = atob(module), code = new Uint8Array(bytes.length);
  for (var n = 0; n < bytes.length; n++) code[n] = bytes.charCodeAt(n);
  WebAssembly.instantiate(code).then(function (m) {
    X = m.instance.exports;
    U = new Uint8Array(X.memory.buffer);
    I = new Int32Array(X.memory.buffer);
    fromAddress();
  });
})();
