// The style sheet and the script of the report site.
#include "qvdb/report/assets.h"

namespace qv::qvdb::report {

const char* const kStyleSheet = R"(body { font: 14px/1.4 system-ui, sans-serif; margin: 0; color: #1d2430; background: #f6f7f9; }
nav { background: #243447; padding: 8px 16px; }
nav a { color: #fff; margin-right: 18px; text-decoration: none; font-weight: 600; }
main { padding: 8px 20px 40px; }
h1 { font-size: 22px; margin: 12px 0; }
h2 { font-size: 18px; margin: 22px 0 8px; border-bottom: 1px solid #ccd; }
h3 { font-size: 15px; margin: 14px 0 6px; }
.cards { display: flex; gap: 14px; flex-wrap: wrap; }
.card { background: #fff; border: 1px solid #d5dae2; border-radius: 6px; padding: 10px 16px; min-width: 150px; }
.card .n { font-size: 26px; font-weight: 700; display: block; }
.charts { display: flex; flex-wrap: wrap; gap: 16px; }
figure.chart { background: #fff; border: 1px solid #d5dae2; border-radius: 6px; padding: 8px; margin: 0; }
svg text { font-size: 12px; fill: #1d2430; }
svg text.title { font-size: 14px; font-weight: 700; }
svg text.tick { font-size: 11px; fill: #556; }
svg text.axis-title { font-size: 12px; fill: #334; }
svg text.value { font-size: 11px; }
svg rect { fill: #3b7dd8; }
svg g.bar:hover rect { fill: #1f5fb8; }
svg line.grid { stroke: #e3e6eb; }
svg line.axis { stroke: #556; }
table { border-collapse: collapse; background: #fff; margin: 6px 0 12px; }
th, td { border: 1px solid #d5dae2; padding: 3px 8px; text-align: left; vertical-align: top; }
th { background: #e9edf3; }
table.sortable th { cursor: pointer; user-select: none; }
th.asc::after { content: " \25B2"; }
th.desc::after { content: " \25BC"; }
td.num { text-align: right; }
input.filter { margin: 6px 0; padding: 4px 8px; width: 320px; }
.added { color: #17692b; }
.removed { color: #a3201a; }
.changed { color: #7a5200; }
.note { color: #556; }
table.kv th { width: 190px; font-weight: 600; background: #f1f3f6; }
)";

const char* const kScript = R"(// Sorting and filtering of the report's tables; nothing is fetched.
(function () {
  'use strict';
  function cellKey(td) {
    var v = td.getAttribute('data-v');
    if (v !== null) return { n: parseFloat(v), t: v };
    var t = td.textContent.trim();
    var n = t.replace(/,/g, '');
    return /^-?\d+(\.\d+)?$/.test(n) ? { n: parseFloat(n), t: t } : { n: NaN, t: t.toLowerCase() };
  }
  function sortBy(table, th, col) {
    var body = table.tBodies[0];
    var asc = !th.classList.contains('asc');
    Array.prototype.forEach.call(th.parentNode.children, function (h) { h.classList.remove('asc', 'desc'); });
    th.classList.add(asc ? 'asc' : 'desc');
    var rows = Array.prototype.map.call(body.rows, function (r) { return { r: r, k: cellKey(r.cells[col]) }; });
    rows.sort(function (a, b) {
      var c;
      if (!isNaN(a.k.n) && !isNaN(b.k.n)) c = a.k.n - b.k.n;
      else if (!isNaN(a.k.n)) c = -1;
      else if (!isNaN(b.k.n)) c = 1;
      else c = a.k.t < b.k.t ? -1 : a.k.t > b.k.t ? 1 : 0;
      return asc ? c : -c;
    });
    var frag = document.createDocumentFragment();
    rows.forEach(function (x) { frag.appendChild(x.r); });
    body.appendChild(frag);
  }
  function filter(table, text) {
    var words = text.toLowerCase().split(/\s+/).filter(Boolean);
    var shown = 0;
    Array.prototype.forEach.call(table.tBodies[0].rows, function (r) {
      var t = r.textContent.toLowerCase();
      var ok = words.every(function (w) { return t.indexOf(w) >= 0; });
      r.hidden = !ok;
      if (ok) shown++;
    });
    var count = document.querySelector('[data-count-for="' + table.id + '"]');
    if (count) count.textContent = shown + ' of ' + table.tBodies[0].rows.length + ' rows';
  }
  document.addEventListener('DOMContentLoaded', function () {
    Array.prototype.forEach.call(document.querySelectorAll('table.sortable'), function (table) {
      Array.prototype.forEach.call(table.tHead.rows[0].cells, function (th, i) {
        th.addEventListener('click', function () { sortBy(table, th, i); });
      });
    });
    Array.prototype.forEach.call(document.querySelectorAll('input.filter'), function (input) {
      var table = document.getElementById(input.getAttribute('data-filter-for'));
      if (!table) return;
      input.addEventListener('input', function () { filter(table, input.value); });
    });
  });
})();
)";

}  // namespace qv::qvdb::report
