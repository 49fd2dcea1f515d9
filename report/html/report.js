// The HTML report's behaviour: filter, sort, and placements rendered from the data block on opening a row.
'use strict';
(function () {
  document.documentElement.classList.remove('noscript');
  const table = document.getElementById('tt');
  if (!table) return;
  const body = table.tBodies[0];
  const rows = Array.from(body.rows);
  const shown = document.getElementById('shown');
  const filter = document.getElementById('filter');
  const PAGE = 200;  // placements added at a time: a template with tens of thousands must not stall the page
  let data = null;
  let lowered = null;

  function setShown(count) {
    const total = rows.length.toLocaleString('en-US') + (rows.length === 1 ? ' template property' : ' template properties');
    shown.textContent = count === rows.length ? total : count.toLocaleString('en-US') + ' of ' + total;
  }
  setShown(rows.length);

  // Text from the page is only ever set as text, never parsed as markup.
  function cell(tr, text, className) {
    const td = tr.insertCell();
    td.textContent = text;
    if (className) td.className = className;
    return td;
  }
  // A page link is a relative path of the writer's making; anything with a scheme but file: becomes relative.
  function safeHref(href) {
    return /^[a-z][a-z0-9+.-]*:/i.test(href) && !/^file:/i.test(href) ? './' + href : href;
  }

  // The placements come in report order; on first use each template gets the offsets of its own, once.
  let byTemplate = null;
  let withLines = false;  // a page whose lines are all unknown has no Line column
  function placementsOf(t) {
    if (data === null) {
      data = JSON.parse(document.getElementById('placements').textContent);
      byTemplate = new Map();
      const r = data.r;
      for (let k = 0; k < r.length; k += 5) {
        let list = byTemplate.get(r[k]);
        if (!list) byTemplate.set(r[k], list = []);
        list.push(k);
        if (r[k + 4] > 0) withLines = true;
      }
    }
    return byTemplate.get(t) || [];
  }

  function appendPlacements(tbody, list, from) {
    const s = data.s, p = data.p, r = data.r;
    const end = Math.min(list.length, from + PAGE);
    for (let n = from; n < end; ++n) {
      const k = list[n] + 1;
      const page = r[k] * 3;
      const tr = tbody.insertRow();
      cell(tr, s[p[page]]);
      const td = tr.insertCell();
      const href = s[p[page + 2]];
      if (href) {
        const a = document.createElement('a');
        a.textContent = s[p[page + 1]];
        a.setAttribute('href', safeHref(href));
        td.appendChild(a);
      } else {
        td.textContent = s[p[page + 1]];
      }
      cell(tr, r[k + 1]);
      cell(tr, r[k + 2]);
      if (withLines) cell(tr, r[k + 3] > 0 ? String(r[k + 3]) : '', 'n');
    }
    return end;
  }

  function open(row, button) {
    const list = placementsOf(Number(row.dataset.t));
    const detail = document.createElement('tr');
    detail.className = 'placements';
    const holder = detail.insertCell();
    holder.colSpan = row.cells.length;
    const inner = document.createElement('table');
    const head = inner.createTHead().insertRow();
    for (const name of withLines ? ['Project', 'Page', 'AN', 'Value', 'Line'] : ['Project', 'Page', 'AN', 'Value']) {
      const th = document.createElement('th');
      th.textContent = name;
      head.appendChild(th);
    }
    const tbody = inner.createTBody();
    holder.appendChild(inner);
    let done = appendPlacements(tbody, list, 0);
    if (done < list.length) {
      const more = document.createElement('button');
      more.type = 'button';
      const label = () => { more.textContent = 'Show more (' + (list.length - done).toLocaleString('en-US') + ' left)'; };
      label();
      more.addEventListener('click', () => {
        done = appendPlacements(tbody, list, done);
        if (done >= list.length) more.remove(); else label();
      });
      holder.appendChild(more);
    }
    row.after(detail);
    row.detail = detail;
    detail.hidden = row.hidden;
    button.setAttribute('aria-expanded', 'true');
  }

  function close(row, button) {
    row.detail.remove();
    row.detail = null;
    button.setAttribute('aria-expanded', 'false');
  }

  // The data is read while the reader looks at the counts, so that the first row opens as fast as the rest.
  if (document.getElementById('placements')) {
    window.addEventListener('load', () => setTimeout(() => placementsOf(-1), 0));
  }

  body.addEventListener('click', (event) => {
    const button = event.target.closest('button.open');
    if (!button) return;
    const row = button.closest('tr');
    if (row.detail) close(row, button); else open(row, button);
  });

  // Every word typed must occur in some column of the row, letter case aside.
  function applyFilter() {
    if (lowered === null) lowered = rows.map((row) => Array.from(row.cells).slice(1).map((c) => c.textContent).join('\t').toLowerCase());
    const words = filter.value.toLowerCase().split(/\s+/).filter((w) => w.length > 0);
    let count = 0;
    for (let i = 0; i < rows.length; ++i) {
      const text = lowered[i];
      const match = words.every((w) => text.includes(w));
      if (rows[i].hidden === match) {
        rows[i].hidden = !match;
        if (rows[i].detail) rows[i].detail.hidden = !match;
      }
      if (match) ++count;
    }
    setShown(count);
  }
  let pending = 0;
  filter.addEventListener('input', () => {
    clearTimeout(pending);
    pending = setTimeout(applyFilter, 60);
  });

  const collator = new Intl.Collator(undefined, { numeric: true, sensitivity: 'base' });
  const heads = Array.from(table.tHead.rows[0].cells);
  table.tHead.addEventListener('click', (event) => {
    const button = event.target.closest('button[data-col]');
    if (!button) return;
    const th = button.parentElement;
    const column = Number(button.dataset.col) + 1;
    const numeric = th.classList.contains('n');
    const current = th.getAttribute('aria-sort');
    // A count column is sorted most first at its first click, a text column from A.
    const descending = current ? current === 'ascending' : numeric;
    const key = (row) => (numeric ? Number(row.cells[column].dataset.n) : row.cells[column].textContent);
    const keyed = rows.map((row, index) => ({ row, index, key: key(row) }));
    keyed.sort((a, b) => {
      const order = numeric ? a.key - b.key : collator.compare(a.key, b.key);
      return (descending ? -order : order) || a.index - b.index;
    });
    const fragment = document.createDocumentFragment();
    for (const { row } of keyed) {
      fragment.appendChild(row);
      if (row.detail) fragment.appendChild(row.detail);
    }
    body.appendChild(fragment);
    for (const head of heads) head.removeAttribute('aria-sort');
    th.setAttribute('aria-sort', descending ? 'descending' : 'ascending');
  });
})();
