// The web shell: builds the window from the module's control table and answers the user as the Windows program does.
(function () {
  'use strict';
  var W = document.getElementById('w'), C = document.getElementById('c'), title = document.title;
  var X, U, I, part0, timer = 0, boxes = [], byId = {}, lastTouch = -1e9, tap = null, tapTime = 0, stop;
  var kinds = ['gb', 'l', 'lc', 'dc', 'k', 'b'];
  var module = '@MODULE@';

  function str(p) {
    var e = p;
    while (U[e]) e++;
    return String.fromCharCode.apply(null, U.subarray(p, e));
  }

  function el(tag, cls, parent, text) {
    var e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text != null) e.textContent = text;
    parent.appendChild(e);
    return e;
  }

  // One style write per element: the page makes about 140 of them before its first layout.
  function box(left, top, width, height, e, z) {
    e.style.cssText = 'left:' + left + 'px;top:' + top + 'px;width:' + width + 'px;height:' + height + 'px' +
      (z ? ';z-index:' + z : '');
  }

  // Cells are named by port, register and bit, as their identifiers number them.
  function cellName(id, text) {
    var d = id >= 750, n = id - (d ? 750 : 700);
    return 'Port ' + 'ABCD'[n >> 3] + (d ? ' direction' : ' latch') + ' bit ' + (n & 7) + ', ' + text.trim();
  }

  // SetDlgItemTextA: the first control with the identifier takes the caption.
  function caption(id, text) {
    var e = byId[id];
    if (e.className == 'k') e.lastChild.textContent = text;
    else if (e.className == 'lc' || e.className == 'dc') {
      e.textContent = text;
      e.setAttribute('aria-label', cellName(id, text));
    } else e.textContent = text;
  }

  function status(text) {
    part0.textContent = text;
  }

  // A newer transient message restarts the two seconds.
  function transient(text) {
    status(text);
    clearTimeout(timer);
    timer = setTimeout(function () {
      status('');
    }, 2000);
  }

  // A modal message box: the window beneath takes no input until Enter, Escape or OK closes it.
  function messageBox(text) {
    var before = document.activeElement, ov = el('div', 'ov', document.body), b = el('div', 'win mb', ov);
    var bar = el('div', 'tb', b), t = el('span', '', bar, title), ok;
    t.id = 'mb' + boxes.length;
    b.setAttribute('role', 'alertdialog');
    b.setAttribute('aria-modal', 'true');
    b.setAttribute('aria-labelledby', t.id);
    el('i', '', bar, '\u00d7').setAttribute('aria-hidden', 'true');
    el('p', '', b, text);
    ok = el('button', 'b', b, 'OK');
    (boxes.length ? boxes[boxes.length - 1] : W).inert = true;
    boxes.push(ov);
    function close() {
      if (boxes[boxes.length - 1] != ov) return;
      boxes.pop();
      ov.remove();
      (boxes.length ? boxes[boxes.length - 1] : W).inert = false;
      if (before && before.focus) before.focus();
    }
    ok.onclick = close;
    b.onkeydown = function (e) {
      if (e.key == 'Enter' || e.key == 'Escape') {
        e.preventDefault();
        close();
      }
    };
    // A click beside the box leaves the focus in it.
    ov.onmousedown = function (e) {
      if (!b.contains(e.target)) e.preventDefault();
    };
    ok.focus();
  }

  // WM_COMMAND: the identifier in the low word, the notification code in the high word.
  function command(wParam) {
    wParam >>>= 0;
    if (wParam >= 50 && wParam <= 58) return messageBox('WM_COMMAND ID ' + wParam);
    var id = wParam & 65535, code = wParam >>> 16, text;
    if (code == 0) {
      if (id >= 800 && id <= 826) status('Checkbox clicked');
    } else if (code == 1 && (text = X.TesselDoubleClick(id))) {
      caption(id, str(text));
      transient(str(X.TesselSummary()));
    }
  }

  function addControl(n) {
    var q = X.TesselControl(n) >> 2, id = I[q], kind = I[q + 5], text = str(I[q + 6]), e;
    if (kind == 4) {
      e = el('label', 'k', C);
      el('input', '', e).type = 'checkbox';
      el('span', '', e, text);
      e.firstChild.onclick = function () {
        command(id);
      };
    } else if (kind == 5) {
      e = el('button', 'b', C, text);
      e.type = 'button';
      e.onclick = function () {
        command(id);
      };
    } else {
      e = el('div', kinds[kind], C, kind ? text : null);
      if (kind == 0) {
        el('span', '', e, text);
        e.setAttribute('role', 'group');
        e.setAttribute('aria-label', text.trim());
      } else if (kind > 1) {
        e.setAttribute('role', 'button');
        e.setAttribute('aria-label', cellName(id, text));
        e.tabIndex = -1;
      }
    }
    e.dataset.id = id;
    // As among Windows' child windows, the one made first lies on top where two overlap.
    box(I[q + 1], I[q + 2], I[q + 3], I[q + 4], e, 999 - n);
    if (!byId[id]) byId[id] = e;
    return [I[q + 1] + I[q + 3], I[q + 2] + I[q + 4]];
  }

  // The window takes 75 % x 80 % of the viewport, centred, but never less than the layout needs. On a
  // viewport narrower or lower than that (a phone, a tablet held upright) the whole window is scaled down
  // to fit, centred, layout unchanged, so that the page never scrolls sideways; pinch-zoom still enlarges it.
  function place(minWidth, minHeight) {
    var p = new Int32Array(X.memory.buffer, X.TesselPlacement(innerWidth, innerHeight), 4);
    var fw = W.offsetWidth - C.clientWidth, fh = W.offsetHeight - C.clientHeight;
    var w = minWidth + fw, h = minHeight + fh, s = Math.min(innerWidth / w, innerHeight / h);
    if (s < 1) {
      box((innerWidth - w * s) / 2, (innerHeight - h * s) / 2, w, h, W);
      W.style.transform = 'scale(' + s + ')';
      W.style.transformOrigin = '0 0';
      return;
    }
    w = Math.max(p[2], w);
    h = Math.max(p[3], h);
    box(Math.max(0, p[0] - (w - p[2] >> 1)), Math.max(0, p[1] - (h - p[3] >> 1)), w, h, W);
  }

  function start(exports) {
    X = exports;
    U = new Uint8Array(X.memory.buffer);
    I = new Int32Array(X.memory.buffer);
    var bar = el('div', 'sb', C), left = 0, right = 0, bottom = 0, n, edge, s, r;
    bar.dataset.id = 200;
    bar.style.zIndex = 1000;
    for (n = 0; n < X.TesselStatusPartCount(); n++) {
      edge = X.TesselStatusPartEdge(n);
      s = el('span', '', bar, str(X.TesselStatusPartText(n)));
      s.style.left = left + 'px';
      if (edge < 0) s.style.right = '0';
      else s.style.width = edge - left + 'px';
      left = edge;
    }
    el('i', '', bar);
    part0 = bar.firstChild;
    part0.setAttribute('aria-live', 'polite');
    for (n = 0; n < X.TesselControlCount(); n++) {
      r = addControl(n);
      right = Math.max(right, r[0]);
      bottom = Math.max(bottom, r[1]);
    }
    var tick = /^#tick=(\d+)$/.exec(location.hash);
    X.TesselCreate(tick ? Number(tick[1]) >>> 0 : Date.now() >>> 0);
    for (n = 0; n < 25; n++) caption(800 + n, str(X.TesselInstructionText(n)));
    stop = byId[707];
    stop.tabIndex = 0;
    bottom += bar.offsetHeight;
    place(right, bottom);
    addEventListener('resize', function () {
      place(right, bottom);
    });
    window.tesselSendCommand = command;
  }

  // Static controls keep the focus where it was, as on Windows, and no text gets selected.
  C.addEventListener('mousedown', function (e) {
    if (!e.target.closest('label,button')) e.preventDefault();
  });
  C.addEventListener('dblclick', function (e) {
    var cell = e.target.closest('.lc,.dc');
    if (cell && e.timeStamp - lastTouch > 1000) command(cell.dataset.id | 65536);
  });
  // A double tap on a touch screen is a double-click; the browser's own one after it is ignored.
  C.addEventListener('pointerup', function (e) {
    if (e.pointerType != 'touch') return;
    var cell = e.target.closest('.lc,.dc');
    lastTouch = e.timeStamp;
    if (cell && cell == tap && e.timeStamp - tapTime < 500) {
      tap = null;
      command(cell.dataset.id | 65536);
    } else {
      tap = cell;
      tapTime = e.timeStamp;
    }
  });
  // The bit cells from the keyboard, as users of a grid expect: one Tab stop for all 64 (a roving tabindex),
  // so that Tab goes on to the listing in one step and, coming back, to the cell last used; the arrow keys
  // move as the cells lie on screen, four rows of sixteen (ports A and B above C and D), stopping at the
  // edges; Home and End go to bit 7 and bit 0 of the same register, Ctrl+Home and Ctrl+End to the first
  // and the last cell. Space or Enter does what a double-click does. A mouse never focuses a cell (see
  // mousedown above), so where the focus is, and with it what F1 does, stays as on Windows.
  C.addEventListener('focusin', function (e) {
    var cell = e.target.closest('.lc,.dc');
    if (cell && cell != stop) {
      stop.tabIndex = -1;
      cell.tabIndex = 0;
      stop = cell;
    }
  });
  C.addEventListener('keydown', function (e) {
    var cell = e.target.closest('.lc,.dc'), k = e.key, id, d, n, row, col;
    if (!cell || e.altKey || e.metaKey) return;
    if (k == ' ' || k == 'Enter') {
      e.preventDefault();
      if (!e.repeat && !e.ctrlKey) command(cell.dataset.id | 65536);
      return;
    }
    // Bit b of port p's register: row 2 (p >> 1) + (direction), column 8 (p & 1) + 7 - b, bit 7 leftmost.
    id = +cell.dataset.id;
    d = id >= 750;
    n = id - (d ? 750 : 700);
    row = (n >> 3 & 2) + d;
    col = (n >> 3 & 1) * 8 + 7 - (n & 7);
    if (k == 'ArrowLeft') col = Math.max(col - 1, 0);
    else if (k == 'ArrowRight') col = Math.min(col + 1, 15);
    else if (k == 'ArrowUp') row = Math.max(row - 1, 0);
    else if (k == 'ArrowDown') row = Math.min(row + 1, 3);
    else if (k == 'Home' && e.ctrlKey) row = col = 0;
    else if (k == 'End' && e.ctrlKey) {
      row = 3;
      col = 15;
    } else if (k == 'Home') col &= 8;
    else if (k == 'End') col |= 7;
    else return;
    e.preventDefault();
    byId[(row & 1 ? 750 : 700) + ((row & 2) + (col >> 3)) * 8 + 7 - (col & 7)].focus();
  });
  // A click with no pointer behind it (detail 0) is how assistive technology presses a button for its user,
  // as a screen reader does in its browse mode: it too does what a double-click does. A click of the mouse,
  // a pen or a finger counts at least 1 and, as on Windows, changes nothing.
  C.addEventListener('click', function (e) {
    var cell = e.target.closest('.lc,.dc');
    if (cell && !e.detail) command(cell.dataset.id | 65536);
  });
  // F1 released while no check box or button has the focus greets; the browser's help never opens.
  addEventListener('keydown', function (e) {
    if (e.key == 'F1') e.preventDefault();
  });
  addEventListener('keyup', function (e) {
    if (e.key != 'F1') return;
    e.preventDefault();
    var a = document.activeElement;
    if (!boxes.length && (!a || !a.closest('input,button'))) messageBox('Hi, you pressed F1');
  });

  var bytes = atob(module), code = new Uint8Array(bytes.length), compiled;
  for (var n = 0; n < bytes.length; n++) code[n] = bytes.charCodeAt(n);
  // Chromium compiles a module of up to 4 KB at once; a larger one only asynchronously.
  try {
    compiled = new WebAssembly.Module(code);
  } catch (e) {
    WebAssembly.instantiate(code).then(function (m) {
      start(m.instance.exports);
    });
  }
  if (compiled) start(new WebAssembly.Instance(compiled).exports);
})();
