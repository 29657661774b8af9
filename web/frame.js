// The benchmark's floor: the same window frame and status bar with one text, and no module behind it.
(function () {
  'use strict';
  var W = document.getElementById('w'), C = document.getElementById('c'), s = W.style;
  var width = Math.max(Math.round(innerWidth * 0.75), 918), height = Math.max(Math.round(innerHeight * 0.8), 592);
  s.left = Math.max(0, (innerWidth - width) >> 1) + 'px';
  s.top = Math.max(0, (innerHeight - height) >> 1) + 'px';
  s.width = width + 'px';
  s.height = height + 'px';
  var bar = document.createElement('div'), part = document.createElement('span');
  bar.className = 'sb';
  bar.dataset.id = 200;
  part.style.left = '0';
  part.style.width = '300px';
  bar.appendChild(part);
  C.appendChild(bar);
  part.textContent = 'Tessel team - version 1.0';
})();
