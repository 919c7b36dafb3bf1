// The team page: sends a list to the service, shows the rows as they stream back, and
// offers them as CSV and Excel from the service's own writers. No library: the page must
// work without internet, and the service's Content-Security-Policy allows no inline script
// and no other origin.
'use strict';

(() => {
  const $ = (id) => document.getElementById(id);

  const COLUMNS = ['number', 'province', 'city', 'area_code', 'postcode', 'card_type', 'status'];
  const STATUS_ORDER = ['ok', 'unknown-place', 'unassigned', 'bad-format'];
  const STATUS_TEXT = {
    'ok': '有归属',
    'unknown-place': '归属未知',
    'unassigned': '无归属',
    'bad-format': '格式错误',
  };
  const UNKNOWN = '未知';
  const OTHERS = '其他';
  const TOP_PROVINCES = 15;
  const MANY_LINES = 100;
  const MANY_LINES_CHARS = 4000;
  const LARGE_PASTE_CHARS = 100000;  // about 8,000 numbers
  const FORMATS = {
    csv: {type: 'text/csv', label: 'CSV'},
    xlsx: {type: 'application/vnd.openxmlformats-officedocument.spreadsheetml.sheet', label: 'Excel'},
  };
  // Browsers stop scrolling elements somewhere above 16 million pixels; past this height the
  // scroll bar maps onto the rows in proportion instead of one row height a row.
  const MAX_SCROLL_PX = 8000000;
  const collator = new Intl.Collator('zh-CN', {numeric: true});
  const numberFormat = new Intl.NumberFormat('zh-CN');
  const count = (n) => numberFormat.format(n);

  const ui = {
    dataInUse: $('data-in-use'),
    numbers: $('numbers'),
    queryButton: $('query-button'),
    stopButton: $('stop-button'),
    dropZone: $('drop-zone'),
    chooseFiles: $('choose-files'),
    fileInput: $('file-input'),
    progress: $('progress'),
    message: $('message'),
    filter: $('filter'),
    statusButtons: Array.from(document.querySelectorAll('#status-counts button')),
    downloads: {csv: $('download-csv'), xlsx: $('download-xlsx')},
    grid: $('grid'),
    body: $('grid-body'),
    spacer: $('grid-spacer'),
    rows: $('grid-rows'),
    headers: Array.from(document.querySelectorAll('#grid [role="columnheader"]')),
    rowCount: $('row-count'),
  };
  const rowHeight =
      parseFloat(getComputedStyle(document.documentElement).getPropertyValue('--row-h')) || 28;

  // ---- The rows -------------------------------------------------------------------------
  // A row is a number found, or a line that holds none. A million rows hold a few thousand
  // distinct answers: each row keeps its number (or its line, when it holds none) and the id
  // of its answer, so memory stays near the numbers'.
  class Results {
    constructor() { this.reset(); }

    reset() {
      this.count = 0;
      this.texts = [];
      this.answerOf = new Uint32Array(4096);
      this.answers = [];
      this.answerIds = new Map();
      this.answerRows = [];
      this.statusRows = new Map();
      this.numberKeys = null;
    }

    add(row) {
      const status = String(row.status);
      const text = (v) => (v == null ? '' : String(v));
      const province = text(row.province);
      const city = text(row.city);
      const area_code = text(row.area_code);
      const postcode = text(row.postcode);
      const card_type = text(row.card_type);
      const key = `${province}\u0001${city}\u0001${area_code}\u0001${postcode}\u0001${card_type}\u0001${status}`;
      let id = this.answerIds.get(key);
      if (id === undefined) {
        id = this.answers.length;
        this.answers.push({province, city, area_code, postcode, card_type, status,
                           statusText: STATUS_TEXT[status] || status});
        this.answerIds.set(key, id);
        this.answerRows.push(0);
      }
      if (this.count === this.answerOf.length) {
        const grown = new Uint32Array(this.answerOf.length * 2);
        grown.set(this.answerOf);
        this.answerOf = grown;
      }
      this.answerOf[this.count] = id;
      this.texts.push(row.number ? String(row.number) : row.line == null ? '' : String(row.line));
      this.answerRows[id]++;
      this.statusRows.set(status, (this.statusRows.get(status) || 0) + 1);
      this.count++;
    }

    answer(row) { return this.answers[this.answerOf[row]]; }
    hasNumber(row) { return this.answer(row).status !== 'bad-format'; }

    // Sort keys that order the numbers as their digit strings do: each digit counts one
    // more than its value, so that a shorter number sorts before the longer ones it starts.
    keysForNumbers() {
      const keys = this.numberKeys && this.numberKeys.length >= this.count
                       ? this.numberKeys
                       : new Float64Array(Math.max(this.count, 1024));
      const from = this.numberKeys === keys ? this.numberKeysDone : 0;
      for (let row = from; row < this.count; row++) {
        if (!this.hasNumber(row)) {
          keys[row] = Infinity;
          continue;
        }
        const text = this.texts[row];
        let key = 0;
        for (let i = 0; i < 14; i++) {
          const digit = i < text.length ? text.charCodeAt(i) - 47 : 0;
          key = key * 11 + (digit > 0 && digit < 11 ? digit : 0);
        }
        keys[row] = key;
      }
      this.numberKeys = keys;
      this.numberKeysDone = this.count;
      return keys;
    }
  }

  const results = new Results();

  // ---- What is shown: filter and sort ----------------------------------------------------
  let view = null;  // the rows shown, in order; null: every row in input order
  let filterText = '';
  let statusFilter = '';
  let sort = null;  // {column, descending}

  const shownCount = () => (view ? view.length : results.count);
  const rowAt = (position) => (view ? view[position] : position);

  function computeView() {
    if (!filterText && !statusFilter && !sort) {
      view = null;
      return;
    }
    const {answers, answerOf, texts} = results;
    // Per answer: 2 when it passes whole, 1 when only the row's number can still match it.
    const pass = new Uint8Array(answers.length);
    answers.forEach((a, id) => {
      if (statusFilter && a.status !== statusFilter) return;
      const text = [a.province, a.city, a.area_code, a.postcode, a.card_type, a.statusText]
                       .join('\u0001').toLowerCase();
      pass[id] = !filterText || text.includes(filterText) ? 2 : 1;
    });
    let rows = new Uint32Array(results.count);
    let n = 0;
    for (let row = 0; row < results.count; row++) {
      const p = pass[answerOf[row]];
      if (p === 2 || (p === 1 && texts[row].toLowerCase().includes(filterText))) rows[n++] = row;
    }
    rows = rows.subarray(0, n);
    view = sort ? sortRows(rows) : rows;
  }

  function sortRows(rows) {
    const {column, descending} = sort;
    if (column === 'number') {
      // Rows without a number (key Infinity) come last either way.
      const keys = results.keysForNumbers();
      const sign = descending ? -1 : 1;
      return rows.sort((a, b) => {
        const ka = keys[a];
        const kb = keys[b];
        if (ka === kb) return a - b;
        if (ka === Infinity || kb === Infinity) return ka === Infinity ? 1 : -1;
        return sign * (ka - kb);
      });
    }
    // The other columns take their value from the answer: rank the few distinct answers,
    // then place the rows by rank in one stable pass. Empty fields come last either way.
    const {answers, answerOf} = results;
    const value = column === 'status' ? (a) => STATUS_ORDER.indexOf(a.status)
                                      : (a) => a[column];
    const empty = (id) => value(answers[id]) === '';
    // Texts a collator holds equal but that differ still get ranks of their own.
    const compare = (x, y) => (typeof x === 'number' ? x - y
                                                      : collator.compare(x, y) || (x < y ? -1 : +(x > y)));
    let ids = answers.map((_, id) => id).filter((id) => !empty(id));
    ids.sort((x, y) => compare(value(answers[x]), value(answers[y])));
    if (descending) ids.reverse();
    ids = ids.concat(answers.map((_, id) => id).filter(empty));
    const rank = new Uint32Array(answers.length);
    let r = 0;
    ids.forEach((id, i) => {
      if (i > 0 && value(answers[ids[i - 1]]) !== value(answers[id])) r++;
      rank[id] = r;
    });
    const starts = new Uint32Array(r + 2);
    for (const row of rows) starts[rank[answerOf[row]] + 1]++;
    for (let i = 1; i < starts.length; i++) starts[i] += starts[i - 1];
    const sorted = new Uint32Array(rows.length);
    for (const row of rows) sorted[starts[rank[answerOf[row]]]++] = row;
    return sorted;
  }

  // ---- The table: only the visible rows exist --------------------------------------------
  const pool = [];  // the row elements, reused as the table scrolls
  let activeRow = 0;  // a position in the shown rows; -1 is the header row
  let activeColumn = 0;
  let activeCell = null;
  let contentVersion = 0;  // changes when the rows start over

  function makeRow(index) {
    const el = document.createElement('div');
    el.className = 'grid-row';
    el.setAttribute('role', 'row');
    const cells = COLUMNS.map((_, c) => {
      const cell = document.createElement('div');
      cell.className = 'cell';
      cell.setAttribute('role', 'gridcell');
      cell.setAttribute('aria-colindex', String(c + 1));
      cell.id = `cell-${index}-${c}`;
      el.appendChild(cell);
      return cell;
    });
    ui.rows.appendChild(el);
    return {el, cells, row: -1, position: -1, version: -1};
  }

  function geometry() {
    const n = shownCount();
    const height = ui.body.clientHeight;
    const full = n * rowHeight;
    const total = Math.min(full, MAX_SCROLL_PX);
    return {n, height, total, scaled: full > MAX_SCROLL_PX,
            maxTop: Math.max(total - height, 0), maxFirst: Math.max(n - height / rowHeight, 0)};
  }

  // The row, with its fraction, at the top of the view for a scroll position, and back.
  function firstRowAt(top, g) {
    if (!g.scaled) return top / rowHeight;
    return g.maxTop > 0 ? Math.min(top / g.maxTop, 1) * g.maxFirst : 0;
  }
  function scrollTopFor(first, g) {
    if (!g.scaled) return first * rowHeight;
    return g.maxFirst > 0 ? (first / g.maxFirst) * g.maxTop : 0;
  }

  function render() {
    const g = geometry();
    const wanted = Math.ceil(g.height / rowHeight) + 2;
    while (pool.length < wanted) pool.push(makeRow(pool.length));
    ui.spacer.style.height = `${g.total}px`;
    const top = ui.body.scrollTop;
    const exact = firstRowAt(top, g);
    const first = Math.floor(exact);
    ui.rows.style.transform = `translateY(${top - (exact - first) * rowHeight}px)`;

    let active = null;
    pool.forEach((slot, i) => {
      const position = first + i;
      if (position >= g.n || i >= wanted) {
        if (!slot.el.hidden) slot.el.hidden = true;
        slot.position = -1;
        return;
      }
      if (slot.el.hidden) slot.el.hidden = false;
      const row = rowAt(position);
      if (slot.row !== row || slot.version !== contentVersion) fillRow(slot, row);
      if (slot.position !== position) {
        slot.position = position;
        slot.el.setAttribute('aria-rowindex', String(position + 2));
        slot.el.classList.toggle('odd', position % 2 === 1);  // stripes move with their rows
      }
      if (position === activeRow) active = slot.cells[activeColumn];
    });
    if (activeRow === -1) active = ui.headers[activeColumn];
    markActive(active);
  }

  function fillRow(slot, row) {
    const a = results.answer(row);
    const text = results.texts[row];
    const values = [text, a.province, a.city, a.area_code, a.postcode, a.card_type, a.statusText];
    values.forEach((v, c) => {
      if (slot.cells[c].textContent !== v) slot.cells[c].textContent = v;
    });
    const bad = a.status === 'bad-format';
    slot.el.classList.toggle('bad', bad);
    // A line without a number may be long: the whole of it on hover.
    if (bad) slot.cells[0].title = text;
    else if (slot.cells[0].title) slot.cells[0].removeAttribute('title');
    slot.row = row;
    slot.version = contentVersion;
  }

  function markActive(cell) {
    if (cell === activeCell) return;
    if (activeCell) activeCell.classList.remove('active');
    activeCell = cell;
    if (cell) {
      cell.classList.add('active');
      ui.grid.setAttribute('aria-activedescendant', cell.id);
    } else {
      ui.grid.removeAttribute('aria-activedescendant');
    }
  }

  function scrollToRow(position) {
    if (position < 0) return;
    const g = geometry();
    const exact = firstRowAt(ui.body.scrollTop, g);
    const visible = g.height / rowHeight;
    if (position < exact) ui.body.scrollTop = scrollTopFor(position, g);
    else if (position + 1 > exact + visible) ui.body.scrollTop = scrollTopFor(position + 1 - visible, g);
  }

  function onGridKey(event) {
    const n = shownCount();
    const page = Math.max(1, Math.floor(ui.body.clientHeight / rowHeight) - 1);
    const ctrl = event.ctrlKey || event.metaKey;
    let row = Math.min(activeRow, n - 1);
    let column = activeColumn;
    switch (event.key) {
      case 'ArrowDown': row = Math.min(row + 1, n - 1); break;
      case 'ArrowUp': row = Math.max(row - 1, -1); break;
      case 'ArrowLeft': column = Math.max(column - 1, 0); break;
      case 'ArrowRight': column = Math.min(column + 1, COLUMNS.length - 1); break;
      case 'PageDown': row = Math.min(row + page, n - 1); break;
      case 'PageUp': row = row < 0 ? -1 : Math.max(row - page, 0); break;
      case 'Home':
        if (ctrl) row = n > 0 ? 0 : -1;
        else column = 0;
        break;
      case 'End':
        if (ctrl) row = n - 1;
        else column = COLUMNS.length - 1;
        break;
      case 'Enter':
      case ' ':
        if (row !== -1) return;
        toggleSort(COLUMNS[column]);
        break;
      default:
        return;
    }
    event.preventDefault();
    activeRow = row;
    activeColumn = column;
    scrollToRow(row);
    render();
  }

  function toggleSort(column) {
    if (!sort || sort.column !== column) sort = {column, descending: false};
    else if (!sort.descending) sort = {column, descending: true};
    else sort = null;
    ui.headers.forEach((header, c) => {
      const state = sort && sort.column === COLUMNS[c] ? (sort.descending ? 'descending' : 'ascending')
                                                       : 'none';
      header.setAttribute('aria-sort', state);
    });
    refreshView();
  }

  // A new filter or order starts at the top, as a new list does.
  function refreshView() {
    computeView();
    ui.body.scrollTop = 0;
    if (activeRow > 0) activeRow = 0;
    if (activeRow >= shownCount()) activeRow = shownCount() - 1;
    render();
    showCounts();
  }

  // ---- Counts and charts ------------------------------------------------------------------
  function showCounts() {
    const total = results.count;
    ui.statusButtons.forEach((button) => {
      const status = button.dataset.status;
      button.querySelector('span').textContent =
          count(status ? results.statusRows.get(status) || 0 : total);
    });
    const shown = shownCount();
    ui.grid.setAttribute('aria-rowcount', String(shown + 1));
    if (total === 0) ui.rowCount.textContent = '没有结果';
    else if (view) ui.rowCount.textContent = `显示 ${count(shown)} 行，共 ${count(total)} 行`;
    else ui.rowCount.textContent = `共 ${count(total)} 行`;
  }

  // Rows per label, largest first (equal counts by label), over the rows that hold a number.
  function tally(label) {
    const counts = new Map();
    results.answers.forEach((a, id) => {
      if (a.status === 'bad-format') return;
      const key = label(a) || UNKNOWN;
      counts.set(key, (counts.get(key) || 0) + results.answerRows[id]);
    });
    return Array.from(counts, ([name, n]) => ({name, n}))
        .sort((x, y) => y.n - x.n || collator.compare(x.name, y.name));
  }

  const SVG = 'http://www.w3.org/2000/svg';
  const PALETTE = ['#2b5797', '#e8453c', '#f2a541', '#3c9d5d', '#8e5fb8', '#1f9fb5',
                   '#c2185b', '#7a8b99', '#b5651d', '#5c6bc0', '#9e9d24', '#00897b'];

  function svgElement(name, attributes, text) {
    const el = document.createElementNS(SVG, name);
    for (const [k, v] of Object.entries(attributes)) el.setAttribute(k, String(v));
    if (text !== undefined) el.textContent = text;
    return el;
  }

  function describe(svg, description, items) {
    $(description).textContent = items.length
        ? items.map((item) => `${item.name} ${count(item.n)}`).join('，')
        : '暂无数据';
    svg.replaceChildren();
  }

  function drawProvinces() {
    const svg = $('province-chart');
    let items = tally((a) => a.province);
    if (items.length > TOP_PROVINCES + 1) {
      const rest = items.slice(TOP_PROVINCES).reduce((sum, item) => sum + item.n, 0);
      items = items.slice(0, TOP_PROVINCES).concat([{name: OTHERS, n: rest}]);
    }
    describe(svg, 'province-desc', items);
    const width = 560;
    const bar = 22;
    const labelWidth = 96;
    const room = width - labelWidth - 80;
    const height = Math.max(items.length, 1) * bar + 8;
    svg.setAttribute('viewBox', `0 0 ${width} ${height}`);
    if (!items.length) {
      svg.appendChild(svgElement('text', {x: 8, y: 20, class: 'empty'}, '暂无数据'));
      return;
    }
    const max = items[0].n;
    items.forEach((item, i) => {
      const y = 4 + i * bar;
      const w = Math.max((item.n / max) * room, 1);
      svg.appendChild(svgElement('text', {x: labelWidth - 8, y: y + 15, 'text-anchor': 'end'},
                                 item.name));
      svg.appendChild(svgElement('rect', {x: labelWidth, y: y + 3, width: w.toFixed(1),
                                          height: bar - 6, rx: 2, fill: PALETTE[0]}));
      svg.appendChild(svgElement('text', {x: labelWidth + w + 6, y: y + 15, class: 'value'},
                                 count(item.n)));
    });
  }

  function drawCardTypes() {
    const svg = $('card-chart');
    const items = tally((a) => a.card_type);
    describe(svg, 'card-desc', items);
    const legendRow = 22;
    const height = Math.max(200, items.length * legendRow + 16);
    svg.setAttribute('viewBox', `0 0 560 ${height}`);
    if (!items.length) {
      svg.appendChild(svgElement('text', {x: 8, y: 20, class: 'empty'}, '暂无数据'));
      return;
    }
    const total = items.reduce((sum, item) => sum + item.n, 0);
    // A ring of stroked circles, one dash each: a slice of 100 % needs no special case.
    const radius = 62;
    const circumference = 2 * Math.PI * radius;
    const ring = svgElement('g', {transform: 'translate(100 100) rotate(-90)'});
    let start = 0;
    items.forEach((item, i) => {
      const length = (item.n / total) * circumference;
      ring.appendChild(svgElement('circle', {
        r: radius, fill: 'none', stroke: PALETTE[i % PALETTE.length], 'stroke-width': 36,
        'stroke-dasharray': `${length.toFixed(3)} ${circumference.toFixed(3)}`,
        'stroke-dashoffset': (-start).toFixed(3),
      }));
      start += length;
    });
    svg.appendChild(ring);
    items.forEach((item, i) => {
      const y = 8 + i * legendRow;
      svg.appendChild(svgElement('rect', {x: 210, y: y + 3, width: 14, height: 14, rx: 2,
                                          fill: PALETTE[i % PALETTE.length]}));
      const share = ((item.n / total) * 100).toFixed(1);
      svg.appendChild(svgElement('text', {x: 232, y: y + 15}, item.name));
      svg.appendChild(svgElement('text', {x: 540, y: y + 15, 'text-anchor': 'end', class: 'value'},
                                 `${count(item.n)}（${share}%）`));
    });
  }

  function drawCharts() {
    drawProvinces();
    drawCardTypes();
  }

  // ---- Updates while rows stream in ------------------------------------------------------
  let updatePending = false;
  let lastViewAt = 0;
  let lastChartsAt = 0;

  function scheduleUpdate() {
    if (updatePending) return;
    updatePending = true;
    requestAnimationFrame(() => {
      updatePending = false;
      update(false);
    });
  }

  function update(final) {
    const now = performance.now();
    // Re-sorting a million rows takes a moment: during a stream, at most once a second.
    if (view && (final || now - lastViewAt > 1000)) {
      computeView();
      lastViewAt = now;
    }
    render();
    showCounts();
    if (final || now - lastChartsAt > 700) {
      drawCharts();
      lastChartsAt = now;
    }
    if (!final && current) setProgress(`查询中… 已收到 ${count(results.count)} 行`);
  }

  // ---- Requests ------------------------------------------------------------------------
  let limits = null;  // from /api/health
  let current = null;  // the request whose rows are streaming in
  let lastRequest = null;  // what the downloads send again

  class RequestError extends Error {}

  function setProgress(text) { ui.progress.textContent = text; }
  function showMessage(text) {
    ui.message.textContent = text;
    ui.message.hidden = false;
  }
  function hideMessage() {
    ui.message.hidden = true;
    ui.message.textContent = '';
  }

  function formatBytes(bytes) {
    if (bytes >= 1024 * 1024) return `${+(bytes / 1024 / 1024).toFixed(1)} MiB`;
    if (bytes >= 1024) return `${+(bytes / 1024).toFixed(1)} KiB`;
    return `${bytes} 字节`;
  }

  // What the service says about a refusal: the "error" of its JSON, or its text.
  async function refusalText(response) {
    let text = '';
    try {
      const type = response.headers.get('Content-Type') || '';
      if (type.includes('json')) text = String((await response.json()).error || '');
      else text = (await response.text()).trim().slice(0, 500);
    } catch (e) {
      text = '';
    }
    return text || `服务拒绝了请求（HTTP ${response.status}）`;
  }

  function textRequest(text) {
    return {
      body: () => text,
      type: 'text/plain; charset=utf-8',
      size: new Blob([text]).size,
      what: '清单',
    };
  }

  function fileRequest(files) {
    return {
      body: () => {
        const form = new FormData();
        for (const file of files) form.append('file', file, file.name);
        return form;
      },
      type: null,  // the browser writes the multipart boundary
      size: files.reduce((sum, file) => sum + file.size, 0),
      what: files.length === 1 ? `文件 ${files[0].name}` : `${files.length} 个文件`,
    };
  }

  function tooLarge(request) {
    if (!limits || !limits.max_upload_bytes || request.size <= limits.max_upload_bytes) return false;
    showMessage(`${request.what}共 ${formatBytes(request.size)}，超过服务的上传上限 ` +
                `${formatBytes(limits.max_upload_bytes)}。`);
    return true;
  }

  function post(request, format, signal) {
    const headers = {Accept: format ? FORMATS[format].type : 'application/x-ndjson'};
    if (request.type) headers['Content-Type'] = request.type;
    const url = format ? `api/attribute?format=${format}` : 'api/attribute';
    return fetch(url, {method: 'POST', body: request.body(), headers, signal, cache: 'no-store'});
  }

  function unreadable(error) {
    // A file changed or removed since it was chosen cannot be read again.
    if (error && error.name === 'NotReadableError') return '文件已更改或无法读取，请重新选择文件。';
    return `无法连接服务：${error && error.message ? error.message : error}`;
  }

  async function start(request) {
    hideMessage();
    if (tooLarge(request)) return;
    if (current) current.controller.abort();
    const run = {controller: new AbortController(), streamError: ''};
    current = run;
    lastRequest = request;
    setDownloads(false);
    results.reset();
    contentVersion++;
    computeView();
    ui.body.scrollTop = 0;
    activeRow = 0;
    setBusy(true);
    setProgress('查询中…');
    update(true);
    const started = performance.now();
    let failure = '';
    try {
      const response = await post(request, null, run.controller.signal);
      if (!response.ok) throw new RequestError(await refusalText(response));
      // The service took the list: its downloads need not wait for the table.
      setDownloads(true);
      await readRows(response, run);
    } catch (error) {
      if (run !== current) return;  // a later request took over
      if (error.name === 'AbortError') failure = 'stopped';
      else if (error instanceof RequestError) failure = error.message;
      else if (error instanceof TypeError && results.count > 0)
        failure = `连接中断，结果不完整：只收到 ${count(results.count)} 行。`;
      else failure = unreadable(error);
    }
    if (run !== current) return;
    current = null;
    setBusy(false);
    update(true);
    const seconds = ((performance.now() - started) / 1000).toFixed(2);
    if (failure === 'stopped') setProgress(`已停止：收到 ${count(results.count)} 行`);
    else if (failure) {
      setProgress(results.count ? `收到 ${count(results.count)} 行` : '');
      showMessage(failure);
    } else if (run.streamError) {
      setProgress(`收到 ${count(results.count)} 行`);
      showMessage(run.streamError);
    } else {
      setProgress(summaryText(seconds));
    }
    // A list the service cut short or refused would be cut or refused again.
    setDownloads(!run.streamError && (!failure || failure === 'stopped'));
  }

  function summaryText(seconds) {
    if (results.count === 1) {
      const a = results.answer(0);
      const place = [a.province, a.city, a.card_type].filter(Boolean).join(' ');
      return `${results.texts[0] || '（空行）'}：${place ? place + '，' : ''}${a.statusText}`;
    }
    return `完成：共 ${count(results.count)} 行，用时 ${seconds} 秒`;
  }

  // Lines are cut in the bytes (a line end never occurs inside a UTF-8 character), so that
  // each piece is decoded once and whole.
  async function readRows(response, run) {
    const reader = response.body.getReader();
    const decoder = new TextDecoder();
    let pending = new Uint8Array(0);  // the bytes after the last line end so far
    for (;;) {
      const {done, value} = await reader.read();
      if (run !== current) {
        reader.cancel();
        return;
      }
      if (done) break;
      const end = value.lastIndexOf(10);
      if (end < 0) {
        pending = joined(pending, value);
        continue;
      }
      takeLines(decoder.decode(joined(pending, value.subarray(0, end))), run);
      pending = value.slice(end + 1);
    }
    const last = decoder.decode(pending);
    if (last.trim()) takeLines(last, run);
  }

  function joined(a, b) {
    if (!a.length) return b;
    const both = new Uint8Array(a.length + b.length);
    both.set(a);
    both.set(b, a.length);
    return both;
  }

  // Adds the rows of whole lines of text.
  function takeLines(block, run) {
    let items;
    try {
      // One parse for the whole block: a JSON text holds no raw line end, so each one
      // separates two objects.
      items = JSON.parse(`[${block.replace(/\n/g, ',')}]`);
    } catch (e) {
      items = parseLines(block);
    }
    for (const item of items) {
      if (item && typeof item.status === 'string') results.add(item);
      else if (item && item.error) run.streamError = String(item.error);
    }
    scheduleUpdate();
  }

  // The slow way, line by line: blank lines skipped, and a line that is no JSON named.
  function parseLines(block) {
    return block.split('\n').filter((line) => line.trim() !== '').map((line) => {
      try {
        return JSON.parse(line);
      } catch (e) {
        throw new RequestError(`服务的回答无法读取：${line.slice(0, 80)}`);
      }
    });
  }

  function setBusy(busy) {
    ui.stopButton.disabled = !busy;
    ui.grid.setAttribute('aria-busy', String(busy));
  }

  function setDownloads(enabled) {
    for (const button of Object.values(ui.downloads)) button.disabled = !enabled || !lastRequest;
  }

  function downloadName(response, format) {
    const disposition = response.headers.get('Content-Disposition') || '';
    const encoded = /filename\*=UTF-8''([^;]+)/i.exec(disposition);
    if (encoded) {
      try {
        return decodeURIComponent(encoded[1]);
      } catch (e) { /* fall through to the plain name */ }
    }
    const plain = /filename="?([^";]+)"?/i.exec(disposition);
    return plain ? plain[1] : `号码归属.${format}`;
  }

  async function download(format) {
    const request = lastRequest;
    const button = ui.downloads[format];
    if (!request) return;
    hideMessage();
    button.disabled = true;
    const label = FORMATS[format].label;
    setProgress(`正在生成 ${label} 文件…`);
    try {
      const response = await post(request, format);
      if (!response.ok) throw new RequestError(await refusalText(response));
      const blob = await response.blob();
      const name = downloadName(response, format);
      const url = URL.createObjectURL(blob);
      const link = document.createElement('a');
      link.href = url;
      link.download = name;
      document.body.appendChild(link);
      link.click();
      link.remove();
      setTimeout(() => URL.revokeObjectURL(url), 60000);
      setProgress(`已下载 ${name}（${formatBytes(blob.size)}）`);
    } catch (error) {
      setProgress('');
      showMessage(error instanceof RequestError ? error.message
                  : error instanceof TypeError ? `${label} 文件下载中断。` : unreadable(error));
    } finally {
      button.disabled = false;
    }
  }

  async function loadHealth() {
    try {
      const response = await fetch('api/health', {cache: 'no-store'});
      if (!response.ok) throw new Error(String(response.status));
      const health = await response.json();
      const data = health.data || {};
      const parts = [];
      if (data.file) parts.push(`数据文件 ${data.file}` + (data.file_version ? `（版本 ${data.file_version}）` : ''));
      if (data.builtin) parts.push('内置数据');
      if (data.upstream) parts.push('在线补充');
      ui.dataInUse.textContent = `数据：${parts.join(' + ') || '无'}` +
                                 (health.version ? ` · 服务 ${health.version}` : '');
      limits = health.limits || null;
    } catch (error) {
      ui.dataInUse.textContent = '无法连接服务';
    }
  }

  // ---- Wiring ----------------------------------------------------------------------------
  function queryTyped() {
    const text = ui.numbers.value;
    if (!text.trim()) {
      showMessage('请输入号码，或粘贴号码清单。');
      ui.numbers.focus();
      return;
    }
    start(textRequest(text));
  }

  function queryFiles(fileList) {
    const files = Array.from(fileList || []);
    if (files.length) start(fileRequest(files));
  }

  // A text box lays out every line it holds, and the browser pastes many lines one by one:
  // a list of a thousand lines would stall the page for seconds, one of a million for
  // minutes. A list is put in at once instead, and a large one, which nobody reads in the box,
  // goes to the service straight away.
  ui.numbers.addEventListener('paste', (event) => {
    const text = event.clipboardData ? event.clipboardData.getData('text/plain') : '';
    if (text.length < MANY_LINES_CHARS && text.split('\n', MANY_LINES).length < MANY_LINES) return;
    event.preventDefault();
    if (text.length >= LARGE_PASTE_CHARS) {
      const request = textRequest(text);
      request.what = '粘贴的清单';
      start(request);
      return;
    }
    const box = ui.numbers;
    box.setRangeText(text, box.selectionStart, box.selectionEnd, 'end');
  });
  ui.numbers.addEventListener('keydown', (event) => {
    // Enter also ends a word in a Chinese input method: that one is not a query.
    if (event.key !== 'Enter' || event.shiftKey || event.isComposing || event.keyCode === 229)
      return;
    event.preventDefault();
    queryTyped();
  });
  ui.queryButton.addEventListener('click', queryTyped);
  ui.stopButton.addEventListener('click', () => {
    if (current) current.controller.abort();
  });
  ui.chooseFiles.addEventListener('click', () => ui.fileInput.click());
  ui.fileInput.addEventListener('change', () => {
    queryFiles(ui.fileInput.files);
    ui.fileInput.value = '';  // so that the same file chosen again is sent again
  });

  // A file dropped anywhere else would make the browser leave the page for it.
  for (const type of ['dragover', 'drop']) window.addEventListener(type, (e) => e.preventDefault());
  ui.dropZone.addEventListener('dragover', (event) => {
    event.preventDefault();
    ui.dropZone.classList.add('over');
  });
  ui.dropZone.addEventListener('dragleave', () => ui.dropZone.classList.remove('over'));
  ui.dropZone.addEventListener('drop', (event) => {
    event.preventDefault();
    ui.dropZone.classList.remove('over');
    queryFiles(event.dataTransfer.files);
  });

  let filterTimer = 0;
  ui.filter.addEventListener('input', () => {
    clearTimeout(filterTimer);
    filterTimer = setTimeout(() => {
      filterText = ui.filter.value.trim().toLowerCase();
      refreshView();
    }, 150);
  });
  ui.statusButtons.forEach((button) => {
    button.addEventListener('click', () => {
      statusFilter = button.dataset.status;
      ui.statusButtons.forEach((b) => b.setAttribute('aria-pressed', String(b === button)));
      refreshView();
    });
  });
  for (const [format, button] of Object.entries(ui.downloads))
    button.addEventListener('click', () => download(format));

  ui.headers.forEach((header, column) => {
    header.id = `head-${column}`;
    header.querySelector('button').addEventListener('click', () => {
      activeRow = -1;
      activeColumn = column;
      toggleSort(COLUMNS[column]);
      ui.grid.focus();
    });
  });
  ui.rows.addEventListener('click', (event) => {
    const cell = event.target.closest('.cell');
    const slot = cell && pool.find((s) => s.el === cell.parentElement);
    if (!slot || slot.position < 0) return;
    activeRow = slot.position;
    activeColumn = slot.cells.indexOf(cell);
    render();
  });
  ui.grid.addEventListener('keydown', onGridKey);
  ui.grid.addEventListener('focus', () => {
    if (activeRow >= shownCount()) activeRow = shownCount() - 1;
    scrollToRow(activeRow);
    render();
  });
  ui.body.addEventListener('scroll', render, {passive: true});
  new ResizeObserver(render).observe(ui.body);

  update(true);
  loadHealth();
})();
