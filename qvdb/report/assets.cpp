// The style sheet and the script of the report site.
#include "qvdb/report/assets.h"

namespace qv::qvdb::report {

const char* const kStyleSheet = R"(:root { color-scheme: light dark; --fg: #1d2430; --bg: #f6f7f9; --box: #fff; --line: #d5dae2;
  --head: #e9edf3; --kv: #f1f3f6; --note: #4f5866; --bar: #3b7dd8; --bar-hover: #1f5fb8; --grid: #e3e6eb;
  --axis: #556; --nav: #243447; --link: #0b57b0; --added: #17692b; --removed: #a3201a; --changed: #7a5200;
  --stale-bg: #fde8c8; --stale-fg: #6b3b00; }
@media (prefers-color-scheme: dark) {
  :root { --fg: #e4e8ee; --bg: #14181e; --box: #1d232b; --line: #3a4452; --head: #28303b; --kv: #232a33;
    --note: #aab3c0; --bar: #5b9bf0; --bar-hover: #86b6f5; --grid: #2f3843; --axis: #aab3c0; --nav: #0c1218;
    --link: #8ab8ff; --added: #6fd68a; --removed: #ff8b80; --changed: #f0c060; --stale-bg: #5a3b10; --stale-fg: #ffdca8; }
}
body { font: 14px/1.4 system-ui, sans-serif; margin: 0; color: var(--fg); background: var(--bg); }
a { color: var(--link); }
nav { background: var(--nav); padding: 8px 16px; display: flex; flex-wrap: wrap; align-items: center; gap: 6px 18px; }
nav a { color: #fff; text-decoration: none; font-weight: 600; }
form.search { position: relative; margin-left: auto; flex: 0 1 340px; min-width: 0; }
form.search input { width: 100%; box-sizing: border-box; padding: 4px 8px; }
.results { position: absolute; right: 0; left: 0; z-index: 10; background: var(--box); border: 1px solid var(--line);
  border-radius: 4px; max-height: 70vh; overflow-y: auto; }
.results:empty { display: none; }
.results a { display: block; padding: 4px 8px; color: var(--fg); text-decoration: none; font-weight: 400; overflow-wrap: anywhere; }
.results a:hover, .results a:focus { background: var(--head); }
.results .why { color: var(--note); font-size: 12px; }
main { padding: 8px 20px 40px; overflow-wrap: anywhere; }
h1 { font-size: 22px; margin: 12px 0; }
h2 { font-size: 18px; margin: 22px 0 8px; border-bottom: 1px solid var(--line); }
h3 { font-size: 15px; margin: 14px 0 6px; }
.cards { display: flex; gap: 14px; flex-wrap: wrap; }
.card { background: var(--box); border: 1px solid var(--line); border-radius: 6px; padding: 10px 16px; min-width: 150px;
  color: var(--fg); text-decoration: none; }
a.card:hover, a.card:focus { border-color: var(--link); }
.card .n { font-size: 26px; font-weight: 700; display: block; }
.charts { display: flex; flex-wrap: wrap; gap: 16px; }
figure.chart { background: var(--box); border: 1px solid var(--line); border-radius: 6px; padding: 8px; margin: 0; max-width: 100%;
  box-sizing: border-box; }
figure.chart svg { max-width: 100%; height: auto; display: block; }
svg text { font-size: 12px; fill: var(--fg); }
svg text.title { font-size: 14px; font-weight: 700; }
svg text.tick { font-size: 11px; fill: var(--note); }
svg text.axis-title { font-size: 12px; fill: var(--fg); }
svg text.value { font-size: 11px; }
svg rect { fill: var(--bar); }
svg g.bar:hover rect { fill: var(--bar-hover); }
svg line.grid { stroke: var(--grid); }
svg line.axis { stroke: var(--axis); }
.scroll { max-width: 100%; overflow-x: auto; }
table { border-collapse: collapse; background: var(--box); margin: 6px 0 12px; }
th, td { border: 1px solid var(--line); padding: 3px 8px; text-align: left; vertical-align: top; overflow-wrap: normal; }
th { background: var(--head); }
th button.sort { font: inherit; font-weight: 700; color: inherit; background: none; border: 0; padding: 0; cursor: pointer; text-align: left; }
th button.sort:focus-visible { outline: 2px solid var(--link); outline-offset: 2px; }
/* A sortable table's rows are put in by the script, only those near the screen in a long one. */
table.sortable { overflow-anchor: none; }
table.sortable > tbody { display: none; }
table.sortable.ready > tbody { display: table-row-group; }
tr.gap td { border: 0; padding: 0; }
th[aria-sort=ascending] button.sort::after { content: " \25B2"; }
th[aria-sort=descending] button.sort::after { content: " \25BC"; }
td.num { text-align: right; white-space: nowrap; }
input.filter { margin: 6px 0; padding: 4px 8px; width: 320px; max-width: 100%; box-sizing: border-box; }
.added { color: var(--added); }
.removed { color: var(--removed); }
.changed { color: var(--changed); }
.note { color: var(--note); }
.stale { background: var(--stale-bg); color: var(--stale-fg); border-radius: 3px; padding: 0 4px; font-size: 12px; }
table.kv th { width: 190px; font-weight: 600; background: var(--kv); }
@media (max-width: 600px) { main { padding: 6px 10px 30px; } table.kv th { width: auto; } form.search { flex-basis: 100%; } }
@media print {
  nav, form.search, input.filter, .results { display: none; }
  body { background: #fff; color: #000; font-size: 11px; }
  main { padding: 0; }
  .scroll { overflow: visible; }
  table, figure.chart, .card { background: #fff; border-color: #999; }
  tr, figure.chart { break-inside: avoid; }
  a { color: #000; text-decoration: none; }
}
)";

const char* const kScript = R"(// Sorting, filtering and searching in the report's pages; views kept in the address, nothing sent.
(function () {
  'use strict';
  var each = function (list, f) { Array.prototype.forEach.call(list, f); };
  var params = new URLSearchParams(location.search);
  function cellKey(td) {
    var v = td.getAttribute('data-v');
    if (v !== null) return { n: /^-?\d+(\.\d+)?([eE][-+]?\d+)?$/.test(v) ? parseFloat(v) : NaN, t: v.toLowerCase() };
    var t = td.textContent.trim();
    var n = t.replace(/,/g, '');
    return /^-?\d+(\.\d+)?$/.test(n) ? { n: parseFloat(n), t: t } : { n: NaN, t: t.toLowerCase() };
  }
  function compare(a, b) {
    if (!isNaN(a.n) && !isNaN(b.n)) return a.n - b.n;
    if (!isNaN(a.n)) return -1;
    if (!isNaN(b.n)) return 1;
    return a.t < b.t ? -1 : a.t > b.t ? 1 : 0;
  }
  // The table that the page's address names views of: the first with a filter.
  var mainTable = null;
  function remember(table, name, value) {
    if (table !== mainTable) return;
    if (value) params.set(name, value); else params.delete(name);
    var q = params.toString();
    history.replaceState(null, '', location.pathname + (q ? '?' + q : '') + location.hash);
  }

  // A table's rows are held here, sorted and filtered in memory. A long table has only the rows
  // near the screen in the page, between two empty rows as high as the rows left out: ten thousand
  // rows would take seconds to lay out, and again at each keystroke that shows or hides many.
  // aria-rowcount and aria-rowindex tell assistive technology where the rows shown stand.
  var WHOLE = 100;  // tables of up to this many rows are shown whole
  function Grid(table) {
    var body = table.tBodies[0];
    this.table = table;
    this.body = body;
    this.rows = Array.prototype.slice.call(body.rows);
    this.order = this.rows.map(function (r, i) { return i; });  // every row, in the order sorted
    this.match = null;   // per row, whether it passes the filter (null: no filter)
    this.view = this.order;
    this.keys = [];      // per column, the rows' sort keys, read at the first sort by it
    this.texts = null;   // per row, its text in lower case and its tags, read once
    this.windowed = this.rows.length > WHOLE;
    this.printing = false;
    this.first = this.last = 0;
    this.height = 0;     // a row's average height, as measured
    var cols = table.tHead.rows[0].cells.length;
    var gap = function () {
      var tr = document.createElement('tr'), td = document.createElement('td');
      tr.className = 'gap';
      tr.setAttribute('aria-hidden', 'true');
      td.colSpan = cols;
      tr.appendChild(td);
      return tr;
    };
    this.gapTop = gap();
    this.gapBottom = gap();
    table.tHead.rows[0].setAttribute('aria-rowindex', '1');
    // The rows leave the page before it is first laid out (the body is hidden until then).
    body.textContent = '';
    table.classList.add('ready');
    this.render(true);
  }
  // Each row's text and tags, for the filter: read once, then each keystroke only compares texts.
  Grid.prototype.index = function () {
    if (this.texts) return;
    this.texts = this.rows.map(function (r) {
      var tags = (r.getAttribute('data-tags') || '').split(' ').filter(Boolean).map(function (t) { return 'is:' + t; });
      return { t: r.textContent.toLowerCase(), tags: tags };
    });
  };
  Grid.prototype.filter = function (text) {
    var words = text.toLowerCase().split(/\s+/).filter(Boolean);
    if (!words.length) this.match = null;
    else {
      this.index();
      var texts = this.texts, match = this.match = new Uint8Array(texts.length);
      var tags = words.map(function (w) { return w.lastIndexOf('is:', 0) === 0; });
      for (var i = 0; i < texts.length; i++) {
        var x = texts[i], ok = 1;
        for (var k = 0; k < words.length && ok; k++) ok = (tags[k] ? x.tags.indexOf(words[k]) : x.t.indexOf(words[k])) >= 0 ? 1 : 0;
        match[i] = ok;
      }
    }
    this.select();
    var count = document.querySelector('[data-count-for="' + this.table.id + '"]');
    if (count) count.textContent = this.view.length + ' of ' + this.rows.length + ' rows';
    remember(this.table, 'q', text.trim());
  };
  Grid.prototype.select = function () {
    var match = this.match;
    if (!match) this.view = this.order;
    else {
      var view = this.view = [];
      for (var i = 0; i < this.order.length; i++) if (match[this.order[i]]) view.push(this.order[i]);
    }
    this.render(true);
  };
  Grid.prototype.sortBy = function (col, asc) {
    var head = this.table.tHead.rows[0].cells;
    each(head, function (h) { h.setAttribute('aria-sort', 'none'); });
    head[col].setAttribute('aria-sort', asc ? 'ascending' : 'descending');
    var keys = this.keys[col] || (this.keys[col] = this.rows.map(function (r) { return cellKey(r.cells[col]); }));
    // Stable: rows of equal keys keep the order of the sort before.
    this.order = this.order.slice().sort(function (a, b) { return (asc ? 1 : -1) * compare(keys[a], keys[b]); });
    this.select();
    remember(this.table, 'sort', head[col].getAttribute('data-key') || String(col));
    remember(this.table, 'dir', asc ? '' : 'desc');
  };
  // The first row the page shows of those rendered, and where it stands on the screen.
  Grid.prototype.anchor = function () {
    var rows = this.body.rows;
    for (var i = 1; i < rows.length - 1; i++) {
      var box = rows[i].getBoundingClientRect();
      if (box.bottom > 0) return box.top < window.innerHeight ? { at: this.first + i - 1, row: rows[i], top: box.top } : null;
    }
    return null;
  };
  // The rows to have in the page: all of a short table (or when printing), else those from a
  // screen above the view to two below. The row at the top of the screen is told by the rows
  // rendered when it is one of them, else by the rows' average height past the nearer end of them.
  Grid.prototype.wanted = function (anchor, changed) {
    var n = this.view.length;
    if (!this.windowed || this.printing) return [0, n];
    var h = this.height || 24, screen = Math.ceil(window.innerHeight / h) + 1, at;
    var rows = this.body.rows, shown = this.last > this.first && !changed;
    if (anchor) at = anchor.at;
    else if (shown && rows[rows.length - 2].getBoundingClientRect().bottom <= 0)
      at = this.last + Math.floor(-rows[rows.length - 2].getBoundingClientRect().bottom / h);
    else at = Math.floor(-this.body.getBoundingClientRect().top / h);
    return [Math.max(0, Math.min(n, at - screen)), Math.max(0, Math.min(n, at + 2 * screen))];
  };
  // On scrolling: drawn again only when an empty row comes near the screen.
  Grid.prototype.scrolled = function () {
    var margin = window.innerHeight / 2;
    if ((this.first > 0 && this.gapTop.getBoundingClientRect().bottom > -margin) ||
        (this.last < this.view.length && this.gapBottom.getBoundingClientRect().top < window.innerHeight + margin))
      this.render(false);
  };
  Grid.prototype.render = function (changed) {
    // On scrolling, the row at the top of the screen is kept where it is: rows above it, of other
    // heights than the average, would otherwise move it.
    var anchor = changed || !this.windowed ? null : this.anchor();
    var range = this.wanted(anchor, changed), first = range[0], last = range[1];
    if (!changed && first === this.first && last === this.last) return;
    var frag = document.createDocumentFragment();
    frag.appendChild(this.gapTop);
    for (var i = first; i < last; i++) {
      var r = this.rows[this.view[i]];
      r.setAttribute('aria-rowindex', String(i + 2));
      frag.appendChild(r);
    }
    frag.appendChild(this.gapBottom);
    this.body.textContent = '';
    this.body.appendChild(frag);
    this.table.setAttribute('aria-rowcount', String(this.view.length + 1));
    this.first = first;
    this.last = last;
    if (this.windowed && !this.height && last > first) {
      // Measured once, on the first rows shown (again when the window's width changes).
      var rows = this.body.rows;
      this.height = (rows[rows.length - 2].getBoundingClientRect().bottom - rows[1].getBoundingClientRect().top) / (last - first);
    }
    this.gaps();
    if (anchor) {
      var moved = anchor.row.getBoundingClientRect().top - anchor.top;
      if (Math.abs(moved) >= 1) window.scrollBy(0, moved);
    }
    // Rows much lower than those first measured leave the screen's foot empty: measured anew.
    if (this.windowed && !this.printing && !this.again && last > first && last < this.view.length &&
        this.gapBottom.getBoundingClientRect().top < window.innerHeight) {
      var shown = this.body.rows;
      this.height = (shown[shown.length - 2].getBoundingClientRect().bottom - shown[1].getBoundingClientRect().top) / (last - first);
      this.again = true;
      this.render(changed);
      this.again = false;
    }
  };
  Grid.prototype.gaps = function () {
    var h = this.height || 24, after = this.view.length - this.last;
    this.gapTop.hidden = this.first === 0;
    this.gapTop.firstChild.style.height = this.first * h + 'px';
    this.gapBottom.hidden = after === 0;
    this.gapBottom.firstChild.style.height = after * h + 'px';
  };
  var grids = [];
  function gridOf(table) {
    for (var i = 0; i < grids.length; i++) if (grids[i].table === table) return grids[i];
    return null;
  }
  // Scroll events come once a frame at most, before the frame is drawn.
  function onScroll() { grids.forEach(function (g) { if (g.windowed) g.scrolled(); }); }
  window.addEventListener('scroll', onScroll, { passive: true });
  var width = window.innerWidth;
  window.addEventListener('resize', function () {
    if (window.innerWidth !== width) grids.forEach(function (g) { g.height = 0; });
    width = window.innerWidth;
    grids.forEach(function (g) { if (g.windowed) g.render(true); });
  });
  // A printed table has every row the filter leaves.
  window.addEventListener('beforeprint', function () { grids.forEach(function (g) { g.printing = true; g.render(true); }); });
  window.addEventListener('afterprint', function () { grids.forEach(function (g) { g.printing = false; g.render(true); }); });
  // The site's search: the index is loaded by the first search of the page, then kept.
  var root = document.body ? document.body.getAttribute('data-root') || '' : '';
  // What to do once the index is in: the latest search asked for while it loads.
  var index = null, loading = false, waiting = null;
  function loadIndex(then) {
    if (index) return then();
    waiting = then;
    if (loading) return;
    loading = true;
    var s = document.createElement('script');
    s.src = root + 'search-index.js';
    s.onload = function () {
      var raw = window.qvSearchIndex || { c: [], s: [] };
      index = raw.c.map(function (c) {
        return { href: 'c/' + c[0], title: c[1], domain: c[3], kind: 'computer',
          fields: [['name', c[1]], ['also', c[2]], ['domain', c[3]], ['address', c[4]], ['MAC', c[5]], ['serial', c[6]], ['UUID', c[7]], ['user', c[8]]],
          all: c.slice(1).join(' ').toLowerCase() };
      }).concat(raw.s.map(function (p) {
        return { href: 'software/' + p[0], title: p[1], kind: 'software', count: p[2], fields: [['software', p[1]]], all: p[1].toLowerCase() };
      }));
      var next = waiting;
      waiting = null;
      next();
    };
    document.head.appendChild(s);
  }
  function search(box, out) {
    var words = box.value.toLowerCase().split(/\s+/).filter(Boolean);
    out.textContent = '';
    if (!words.length || !index) return;
    var found = 0, frag = document.createDocumentFragment();
    for (var i = 0; i < index.length && found < 15; i++) {
      var e = index[i];
      if (!words.every(function (w) { return e.all.indexOf(w) >= 0; })) continue;
      found++;
      var why = '';
      for (var f = 0; f < e.fields.length && !why; f++)
        if (e.fields[f][1] && e.fields[f][1].toLowerCase().indexOf(words[0]) >= 0 && f > 0) why = e.fields[f][0] + ' ' + e.fields[f][1];
      var a = document.createElement('a');
      a.href = root + e.href;
      a.textContent = e.title + (e.domain ? ' (' + e.domain + ')' : '') + (e.kind === 'software' ? ' \u2014 software, ' + e.count + ' computers' : '');
      if (why && e.kind === 'computer') {
        var span = document.createElement('span');
        span.className = 'why';
        span.textContent = ' ' + why;
        a.appendChild(span);
      }
      frag.appendChild(a);
    }
    if (!found) {
      var none = document.createElement('a');
      none.textContent = 'Nothing found';
      frag.appendChild(none);
    }
    out.appendChild(frag);
  }
  document.addEventListener('DOMContentLoaded', function () {
    root = document.body.getAttribute('data-root') || '';
    each(document.querySelectorAll('table.sortable'), function (table) {
      var grid = new Grid(table);
      grids.push(grid);
      each(table.tHead.rows[0].cells, function (th, i) {
        var b = document.createElement('button');
        b.type = 'button';
        b.className = 'sort';
        while (th.firstChild) b.appendChild(th.firstChild);
        th.appendChild(b);
        th.setAttribute('aria-sort', 'none');
        b.addEventListener('click', function () { grid.sortBy(i, th.getAttribute('aria-sort') !== 'ascending'); });
      });
    });
    each(document.querySelectorAll('input.filter'), function (input) {
      var grid = gridOf(document.getElementById(input.getAttribute('data-filter-for')));
      if (!grid) return;
      if (!mainTable) mainTable = grid.table;
      input.addEventListener('input', function () { grid.filter(input.value); });
    });
    var main = gridOf(mainTable);
    if (main) {
      var q = params.get('q'), key = params.get('sort');
      if (q) {
        document.querySelector('input.filter[data-filter-for="' + mainTable.id + '"]').value = q;
        main.filter(q);
      }
      if (key) each(mainTable.tHead.rows[0].cells, function (th, i) {
        if (th.getAttribute('data-key') === key || String(i) === key) main.sortBy(i, params.get('dir') !== 'desc');
      });
    }
    // The filters' texts read once the page is shown, so that the first keystroke does not wait for them.
    window.addEventListener('load', function () {
      setTimeout(function () { grids.forEach(function (g) { if (g.windowed) g.index(); }); }, 0);
    });
    var box = document.getElementById('qv-search'), out = document.getElementById('qv-results');
    if (box && out) {
      box.addEventListener('focus', function () { loadIndex(function () {}); });
      box.addEventListener('input', function () { loadIndex(function () { search(box, out); }); });
      box.form.addEventListener('submit', function (e) {
        e.preventDefault();
        var first = out.querySelector('a[href]');
        if (first) location.href = first.href;
      });
    }
  });
})();
)";

}  // namespace qv::qvdb::report
