// The stock ledger page: login, condition panel, summary grid, stock card, column layout, export
// and print view, all through the server's JSON API. Every failure ends as a visible message.

const $ = (selector, root = document) => root.querySelector(selector);
const $$ = (selector, root = document) => Array.from(root.querySelectorAll(selector));

// The saved detail formats of each ledger, by the names the company keeps them under.
const FORMAT_NAMES = {inventory: '库存台账', batch: '批次台账', position: '货位台账'};
const KIND_TITLES = {
  inventory: 'Stock ledger by inventory',
  batch: 'Stock ledger by batch',
  position: 'Position ledger',
};
const REF_TITLES = {
  warehouse: 'Warehouses',
  class: 'Inventory classes',
  inventory: 'Inventories',
  position: 'Storage positions',
};
// The running balances the stock card adds to the detail; always shown.
const BALANCE_COLUMNS = ['iBalQtty', 'iBalNum'];
const REF_PAGE_SIZE = 20;

const state = {
  session: null,     // {user, account, year, csrf}
  periods: [],       // [{month, begin, end}]
  kind: 'inventory',
  condition: null,   // the condition the summary was run with
  summary: null,     // {columns, rows, total, offset, totals, index}
  sort: null,        // {column, desc}
  pageSize: 100,
  card: null,        // {row, columns, rows}
  formats: {},       // kind -> {queryId, rows: [{order, name, caption, visible, width}]}
  refused: {},       // kind -> the component's refusal, null when the user may run it
};

// ---- API ---------------------------------------------------------------------------------

class ApiError extends Error {
  constructor(message, status, body) {
    super(message);
    this.status = status;
    this.body = body || {};
  }
}

let busyCount = 0;
function busy(on, text) {
  busyCount = Math.max(0, busyCount + (on ? 1 : -1));
  if (on && text) $('#busy-text').textContent = text;
  $('#busy').hidden = busyCount === 0;
  document.body.setAttribute('aria-busy', busyCount > 0 ? 'true' : 'false');
}

// The message of a failed answer: the component's own text, with its error number when it
// raised one.
function failureMessage(body, status) {
  if (body && typeof body.message === 'string' && body.message !== '') {
    return body.number !== undefined && body.number !== null
        ? `${body.message} (error ${body.number})` : body.message;
  }
  return `The server answered ${status} without a message.`;
}

async function request(method, path, {body, busyText, raw} = {}) {
  const headers = {Accept: 'application/json'};
  if (method !== 'GET' && state.session) headers['X-CSRF-Token'] = state.session.csrf;
  if (body !== undefined) headers['Content-Type'] = 'application/json';
  busy(true, busyText || 'Loading…');
  try {
    let response;
    try {
      response = await fetch(path, {
        method, headers, credentials: 'same-origin',
        body: body === undefined ? undefined : JSON.stringify(body),
      });
    } catch (e) {
      throw new ApiError(`The server cannot be reached (${e.message}).`, 0);
    }
    const type = response.headers.get('Content-Type') || '';
    if (raw && response.ok && !type.startsWith('application/json')) return response;
    let data = null;
    if (type.startsWith('application/json')) {
      try {
        data = await response.json();
      } catch (e) {
        throw new ApiError(`The server's answer is not valid JSON (${e.message}).`, response.status);
      }
    } else if (!response.ok) {
      const t = (await response.text()).trim();
      throw new ApiError(t || `The server answered ${response.status}.`, response.status);
    }
    if (!response.ok || (data && data.ok === false)) {
      throw new ApiError(failureMessage(data, response.status), response.status, data);
    }
    return data;
  } finally {
    busy(false);
  }
}

const api = {
  get: (path, opts) => request('GET', path, opts),
  post: (path, body, opts) => request('POST', path, {...opts, body}),
};

// ---- Messages and views --------------------------------------------------------------------

function showError(message) {
  $('#error-text').textContent = message;
  $('#error').hidden = false;
}
function clearError() {
  $('#error').hidden = true;
  $('#error-text').textContent = '';
}

function showView(name) {
  $('#starting').hidden = true;
  for (const v of ['login', 'refused', 'report']) $(`#${v}-view`).hidden = v !== name;
  $('#print-area').hidden = true;
  document.body.classList.remove('printing');
  const who = $('#who');
  who.hidden = !state.session;
  who.textContent = state.session
      ? `${state.session.user} · account ${state.session.account} · ${state.session.year}` : '';
  $('#logout').hidden = !state.session;
}

// Failures of a call made on the user's behalf: an ended session goes back to the login form,
// anything else is shown as the server's message.
function report(error) {
  if (error instanceof ApiError && error.status === 401) {
    state.session = null;
    showView('login');
  }
  showError(error instanceof Error ? error.message : String(error));
}

function guarded(fn) {
  return async (...args) => {
    try {
      clearError();
      await fn(...args);
    } catch (e) {
      report(e);
    }
  };
}

// ---- Values --------------------------------------------------------------------------------

// Numbers as the ledger shows them: integers as they are, others rounded to four decimals
// without trailing zeros.
function formatNumber(v) {
  if (Number.isInteger(v)) return String(v);
  const r = Math.round(v * 10000) / 10000;
  return Object.is(r, -0) ? '0' : String(r);
}

function formatValue(v) {
  if (v === null || v === undefined) return '';
  if (typeof v === 'number') return formatNumber(v);
  if (typeof v === 'boolean') return v ? 'Yes' : 'No';
  return String(v);
}

function cell(tag, value, numeric, column) {
  const el = document.createElement(tag);
  el.textContent = formatValue(value);
  if (numeric) el.classList.add('num');
  if (column) el.dataset.col = column;
  return el;
}

// A recordset's rows as objects keyed by column name.
function records(rs) {
  const names = rs.columns.map((c) => (typeof c === 'string' ? c : c.name));
  return rs.rows.map((r) => Object.fromEntries(names.map((n, i) => [n, r[i]])));
}

function range(from, to) {
  from = from.trim();
  to = to.trim();
  if (!from && !to) return undefined;
  return to ? `${from}:${to}` : from;
}

// ---- Session -------------------------------------------------------------------------------

async function start() {
  $('#error-close').addEventListener('click', clearError);
  $('#login-form').addEventListener('submit', guarded(login));
  $('#logout').addEventListener('click', guarded(logout));
  wireCondition();
  wireGrid();
  wirePicker();
  wireCard();
  wirePrint();
  // A reload may bring back the page size chosen before.
  state.pageSize = Number($('#page-size').value) || state.pageSize;
  try {
    state.session = await api.get('/api/session', {busyText: 'Checking the session…'});
  } catch (e) {
    if (!(e instanceof ApiError) || e.status !== 401) showError(e.message);
    state.session = null;
  }
  if (state.session) await enter(); else showView('login');
}

async function login(event) {
  event.preventDefault();
  const f = event.target.elements;
  const body = {user: f.user.value.trim(), password: f.password.value};
  if (f.account.value.trim()) body.account = f.account.value.trim();
  if (f.year.value.trim()) body.year = Number(f.year.value);
  state.session = await api.post('/api/login', body, {busyText: 'Logging in…'});
  f.password.value = '';
  await enter();
}

async function logout() {
  try {
    await api.post('/api/logout', {}, {busyText: 'Logging out…'});
  } finally {
    state.session = null;
    state.summary = null;
    state.card = null;
    state.formats = {};
    showView('login');
  }
}

// After login or on a page load with a live session: the task right first, then what the
// condition panel needs.
async function enter() {
  // Each ledger is a task of its own: a kind the user may not run is offered with the
  // component's refusal; a user refused every kind gets no report at all.
  const kinds = Object.keys(KIND_TITLES);
  const answers = await Promise.all(kinds.map((kind) =>
    api.get(`/api/auth?kind=${kind}`, {busyText: 'Checking the right to the ledger…'})
        .then(() => null, (e) => {
          if (e instanceof ApiError && e.status === 403) return e.message;
          throw e;
        })));
  state.refused = Object.fromEntries(kinds.map((k, i) => [k, answers[i]]));
  if (answers.every((m) => m !== null)) {
    showView('refused');
    $('#refused-message').textContent = [...new Set(answers)].join('\n');
    return;
  }
  const select = $('#condition').elements.kind;
  for (const option of select.options) {
    const refusal = state.refused[option.value];
    option.disabled = refusal !== null;
    option.textContent = KIND_TITLES[option.value] + (refusal !== null ? ' (refused)' : '');
  }
  if (select.selectedOptions[0].disabled) {
    select.value = kinds.find((k) => state.refused[k] === null);
  }
  showRefusals();
  showView('report');
  const [periods, free, define] = await Promise.all([
    api.get('/api/periods', {busyText: 'Loading the periods…'}),
    api.get('/api/captions/free', {busyText: 'Loading the captions…'}),
    api.get('/api/captions/define', {busyText: 'Loading the captions…'}),
  ]);
  fitKind($('#condition'));
  fillPeriods(periods);
  fillItems('#free-items', 'free', free);
  fillItems('#define-items', 'define', define);
}

// The kinds refused to this user, each with the component's message.
function showRefusals() {
  const lines = Object.entries(state.refused).filter(([, m]) => m !== null)
      .map(([k, m]) => `${KIND_TITLES[k]}: ${m}`);
  const box = $('#refusals');
  box.textContent = lines.join('\n');
  box.hidden = lines.length === 0;
}

// ---- Condition panel -----------------------------------------------------------------------

function fillPeriods(rs) {
  state.periods = records(rs).map((r) => ({month: r.iMonth, begin: r.dBegin, end: r.dEnd}));
  for (const name of ['fromMonth', 'toMonth']) {
    const select = $('#condition').elements[name];
    select.replaceChildren(new Option('–', ''));
    for (const p of state.periods) {
      const label = `${String(p.begin).slice(0, 7)} (period ${p.month})`;
      select.append(new Option(label, String(p.month)));
    }
  }
}

// One pair of range fields per caption, labelled with the caption; the item number is the
// caption's place in the list (free items 1 to 10, define items 1 to 16).
function fillItems(selector, kind, rs) {
  const box = $(selector);
  $$('.item', box).forEach((el) => el.remove());
  records(rs).forEach((r, i) => {
    const row = document.createElement('div');
    row.className = 'item range';
    const caption = r.cItem === null || r.cItem === undefined ? `${kind} ${i + 1}` : r.cItem;
    const from = document.createElement('input');
    from.name = `${kind}${i + 1}From`;
    from.dataset.item = String(i + 1);
    from.dataset.group = kind;
    from.setAttribute('aria-label', `${caption} from`);
    const to = document.createElement('input');
    to.name = `${kind}${i + 1}To`;
    to.setAttribute('aria-label', `${caption} to`);
    const label = document.createElement('span');
    label.className = 'caption';
    label.textContent = caption;
    const dash = document.createElement('span');
    dash.textContent = 'to';
    dash.className = 'to';
    row.append(label, from, dash, to);
    box.append(row);
  });
}

function periodOf(month) {
  return state.periods.find((p) => String(p.month) === month);
}

function wireCondition() {
  const form = $('#condition');
  form.elements.fromMonth.addEventListener('change', () => {
    const p = periodOf(form.elements.fromMonth.value);
    if (p) form.elements.from.value = p.begin;
  });
  form.elements.toMonth.addEventListener('change', () => {
    const p = periodOf(form.elements.toMonth.value);
    if (p) form.elements.to.value = p.end;
  });
  form.elements.kind.addEventListener('change', () => fitKind(form));
  form.addEventListener('reset', () => setTimeout(() => {
    // Clearing selects the first kind again, which may be one the user is refused.
    const kind = form.elements.kind;
    if (kind.selectedOptions[0] && kind.selectedOptions[0].disabled) {
      const allowed = [...kind.options].find((o) => !o.disabled);
      if (allowed) kind.value = allowed.value;
    }
    fitKind(form);
  }));
  form.addEventListener('submit', guarded(async (event) => {
    event.preventDefault();
    await runLedger(form.elements.kind.value, readCondition(form));
  }));
}

// Fields that only one kind of ledger reads: positions and a batch range for the position
// ledger, audited documents only for the stock ledger.
function fitKind(form) {
  const position = form.elements.kind.value === 'position';
  form.elements.audited_only.disabled = position;
  form.elements.batchTo.disabled = !position;
  for (const name of ['positionFrom', 'positionTo']) form.elements[name].disabled = !position;
  $$('.ref[data-table="position"] button.pick', form).forEach((b) => { b.disabled = !position; });
}

// The condition as the API takes it: the ledger options by their long names, empty fields left
// out.
function readCondition(form) {
  const f = form.elements;
  const c = {};
  const put = (key, value) => {
    if (value !== undefined && value !== '') c[key] = value;
  };
  if (f.from.value && f.to.value && f.from.value > f.to.value) {
    throw new Error(`The first date (${f.from.value}) is after the last (${f.to.value}).`);
  }
  put('from', f.from.value);
  put('to', f.to.value);
  if (f.dates.value !== 'document') c.dates = f.dates.value;
  put('warehouse', f.warehouse.value.split(',').map((s) => s.trim()).filter(Boolean).join(','));
  put('class', range(f.classFrom.value, f.classTo.value));
  put('inventory', range(f.inventoryFrom.value, f.inventoryTo.value));
  if (!f.positionFrom.disabled) put('position', range(f.positionFrom.value, f.positionTo.value));
  put('batch', f.batchTo.disabled ? f.batchFrom.value.trim() : range(f.batchFrom.value, f.batchTo.value));
  put('spec', f.spec.value.trim());
  const assunit = Number(f.assunit.value || 1);
  if (assunit !== 1) c.assunit = assunit;
  if (f.standard.value !== 'all') c.standard = f.standard.value;
  if (f.audited_only.checked && !f.audited_only.disabled) c.audited_only = true;
  for (const group of ['free', 'define']) {
    const items = {};
    for (const input of $$(`input[data-group="${group}"]`, form)) {
      const to = f[`${group}${input.dataset.item}To`];
      const r = range(input.value, to ? to.value : '');
      if (r !== undefined) items[input.dataset.item] = r;
    }
    if (Object.keys(items).length) c[group] = items;
  }
  return c;
}

// ---- Summary grid --------------------------------------------------------------------------

async function runLedger(kind, condition) {
  // A run that fails leaves no summary on screen: the one shown would not be of this condition.
  state.summary = null;
  state.card = null;
  $('#summary').hidden = true;
  $('#card').hidden = true;
  const answer = await api.post('/api/ledger', {kind, condition, limit: state.pageSize},
      {busyText: `Running the ${KIND_TITLES[kind].toLowerCase()}…`});
  state.kind = kind;
  state.condition = condition;
  state.sort = null;
  state.card = null;
  $('#card').hidden = true;
  // The first page comes with the summary; a server that ignores the limit is asked again.
  if (answer.rows.length !== Math.min(answer.total, state.pageSize)) {
    state.summary = {totals: answer.totals};
    await loadRows(0);
  } else {
    showSummary(answer);
  }
}

function showSummary(answer) {
  const totals = answer.totals !== undefined ? answer.totals : state.summary && state.summary.totals;
  state.summary = {...answer, totals};
  $('#summary').hidden = false;
  $('#summary-title').textContent = KIND_TITLES[state.kind];
  $('#summary-count').textContent = `${answer.total} rows`;
  renderGrid($('#grid'), answer.columns, answer.rows, totals, true);
  const first = answer.total === 0 ? 0 : answer.offset + 1;
  const last = answer.offset + answer.rows.length;
  $('#page-info').textContent = `Rows ${first}–${last} of ${answer.total}`;
  const atStart = answer.offset === 0;
  const atEnd = last >= answer.total;
  $('.pager [data-page="first"]').disabled = atStart;
  $('.pager [data-page="prev"]').disabled = atStart;
  $('.pager [data-page="next"]').disabled = atEnd;
  $('.pager [data-page="last"]').disabled = atEnd;
}

function renderGrid(table, columns, rows, totals, interactive) {
  const head = document.createElement('tr');
  for (const c of columns) {
    const th = document.createElement('th');
    th.dataset.col = c.name;
    th.title = c.name;
    if (c.numeric) th.classList.add('num');
    if (interactive) {
      const b = document.createElement('button');
      b.type = 'button';
      b.className = 'sort';
      b.textContent = c.caption || c.name;
      b.dataset.col = c.name;
      th.append(b);
      const sorted = state.sort && state.sort.column === c.name;
      th.setAttribute('aria-sort', sorted ? (state.sort.desc ? 'descending' : 'ascending') : 'none');
    } else {
      th.textContent = c.caption || c.name;
    }
    head.append(th);
  }
  table.tHead.replaceChildren(head);
  const body = table.tBodies[0];
  body.replaceChildren(...rows.map((r, i) => {
    const tr = document.createElement('tr');
    r.forEach((v, j) => tr.append(cell('td', v, columns[j].numeric, columns[j].name)));
    if (interactive) {
      tr.tabIndex = 0;
      tr.dataset.index = String(i);
      tr.title = 'Open the stock card';
    }
    return tr;
  }));
  if (rows.length === 0) {
    const tr = document.createElement('tr');
    const td = document.createElement('td');
    td.colSpan = columns.length;
    td.className = 'empty';
    td.textContent = 'No rows.';
    tr.append(td);
    body.append(tr);
  }
  const foot = table.tFoot;
  if (!foot) return;
  foot.replaceChildren();
  if (!totals) return;
  const tr = document.createElement('tr');
  columns.forEach((c, j) => {
    const td = cell('td', totals[j], c.numeric, c.name);
    if (j === 0 && (totals[j] === null || totals[j] === undefined)) td.textContent = 'Total';
    tr.append(td);
  });
  foot.append(tr);
}

async function loadRows(offset) {
  const q = new URLSearchParams({offset: String(Math.max(0, offset)), limit: String(state.pageSize)});
  if (state.sort) {
    q.set('sort', state.sort.column);
    q.set('desc', state.sort.desc ? '1' : '0');
  }
  const answer = await api.get(`/api/ledger/rows?${q}`, {busyText: 'Loading rows…'});
  showSummary(answer);
}

// The summary row a grid line stands for, in the summary's own order, as the card needs it.
function summaryRowOf(i) {
  const s = state.summary;
  if (Array.isArray(s.index)) return s.index[i];
  if (state.sort) return null;
  return s.offset + i;
}

function wireGrid() {
  const grid = $('#grid');
  grid.tHead.addEventListener('click', guarded(async (event) => {
    const b = event.target.closest('button.sort');
    if (!b || !state.summary) return;
    const same = state.sort && state.sort.column === b.dataset.col;
    state.sort = {column: b.dataset.col, desc: same ? !state.sort.desc : false};
    await loadRows(0);
  }));
  const open = guarded(async (tr) => {
    const row = summaryRowOf(Number(tr.dataset.index));
    if (row === null || row === undefined) {
      throw new Error('The server did not say which summary row this line is; clear the sort to open its card.');
    }
    $$('tr.selected', grid).forEach((r) => r.classList.remove('selected'));
    tr.classList.add('selected');
    await openCard(row, tr);
  });
  grid.tBodies[0].addEventListener('click', (event) => {
    const tr = event.target.closest('tr[data-index]');
    if (tr) open(tr);
  });
  grid.tBodies[0].addEventListener('keydown', (event) => {
    const tr = event.target.closest('tr[data-index]');
    if (tr && (event.key === 'Enter' || event.key === ' ')) {
      event.preventDefault();
      open(tr);
    }
  });
  $('.pager').addEventListener('click', guarded(async (event) => {
    const b = event.target.closest('button[data-page]');
    if (!b || !state.summary) return;
    const s = state.summary;
    const size = state.pageSize;
    const lastStart = Math.max(0, Math.floor((s.total - 1) / size) * size);
    const to = {first: 0, prev: s.offset - size, next: s.offset + size, last: lastStart}[b.dataset.page];
    await loadRows(to);
  }));
  $('#page-size').addEventListener('change', guarded(async (event) => {
    state.pageSize = Number(event.target.value);
    if (state.summary) await loadRows(0);
  }));
  $('#export-csv').addEventListener('click', guarded(() => download('csv')));
}

function filenameOf(response, fallback) {
  const d = response.headers.get('Content-Disposition') || '';
  const star = /filename\*=UTF-8''([^;]+)/i.exec(d);
  if (star) return decodeURIComponent(star[1]);
  const plain = /filename="?([^";]+)"?/i.exec(d);
  return plain ? plain[1] : fallback;
}

async function download(format, row) {
  if (!state.summary) throw new Error('Run the report first.');
  const q = new URLSearchParams({format});
  if (row !== undefined) q.set('row', String(row));
  const response = await api.get(`/api/export?${q}`, {raw: true, busyText: 'Preparing the file…'});
  const blob = await response.blob();
  const url = URL.createObjectURL(blob);
  const a = document.createElement('a');
  a.href = url;
  a.download = filenameOf(response, `ledger.${format}`);
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

// ---- Stock card ----------------------------------------------------------------------------

async function loadFormat(kind) {
  if (state.formats[kind]) return state.formats[kind];
  const name = FORMAT_NAMES[kind];
  const answer = await api.get(`/api/format?name=${encodeURIComponent(name)}`,
      {busyText: 'Loading the column layout…'});
  const rows = records(answer).map((r) => ({
    order: Number(r.ORDEREx),
    name: r.FldName,
    caption: r.FldCaption,
    visible: Number(r.Visible) !== 0 && r.Visible !== false,
    width: r.Width === null || r.Width === '' ? null : Number(r.Width),
  })).sort((a, b) => a.order - b.order);
  state.formats[kind] = {queryId: answer.queryId, rows};
  return state.formats[kind];
}

// The card's columns as the saved layout arranges them: its shown columns in its order with its
// captions and widths, then the running balances. Without a usable layout, every column.
function cardLayout(columns, format) {
  const byName = new Map(columns.map((c, i) => [c.name, i]));
  if (!format || !format.rows.some((r) => byName.has(r.name))) {
    return columns.map((c, i) => ({index: i, column: c, width: null}));
  }
  const layout = [];
  for (const r of format.rows) {
    if (!r.visible || !byName.has(r.name) || BALANCE_COLUMNS.includes(r.name)) continue;
    const i = byName.get(r.name);
    layout.push({index: i, column: {...columns[i], caption: r.caption || columns[i].caption}, width: r.width});
  }
  for (const name of BALANCE_COLUMNS) {
    if (byName.has(name)) layout.push({index: byName.get(name), column: columns[byName.get(name)], width: null});
  }
  return layout;
}

async function openCard(row, tr) {
  const kind = state.kind;
  const [answer, format] = await Promise.all([
    api.get(`/api/ledger/card?row=${row}`, {busyText: 'Opening the stock card…'}),
    loadFormat(kind).catch((e) => {
      showError(`The saved column layout cannot be read: ${e.message}`);
      return null;
    }),
  ]);
  state.card = {row, kind, columns: answer.columns, rows: answer.rows, label: labelOf(tr)};
  renderCard();
}

function labelOf(tr) {
  if (!tr || !state.summary) return '';
  const names = ['cInvCode', 'cInvName', 'cBatch', 'cWhName', 'cPosCode'];
  const parts = [];
  for (const n of names) {
    const td = $(`td[data-col="${n}"]`, tr);
    if (td && td.textContent) parts.push(td.textContent);
  }
  return parts.join(' · ');
}

function renderCard() {
  const card = state.card;
  if (!card) return;
  const format = state.formats[card.kind];
  const layout = cardLayout(card.columns, format);
  const table = $('#card-grid');
  const head = document.createElement('tr');
  for (const {column, width} of layout) {
    const th = document.createElement('th');
    th.textContent = column.caption || column.name;
    th.dataset.col = column.name;
    th.title = column.name;
    if (column.numeric) th.classList.add('num');
    if (width) th.style.minWidth = `${width}px`;
    head.append(th);
  }
  table.tHead.replaceChildren(head);
  const last = card.rows.length - 1;
  table.tBodies[0].replaceChildren(...card.rows.map((r, i) => {
    const tr = document.createElement('tr');
    const framing = i === 0 ? 'opening' : i === last ? 'closing' : null;
    if (framing) tr.classList.add(framing);
    layout.forEach(({index, column}, k) => {
      // The opening and closing lines carry their label in the card's first column; it leads
      // the line whichever columns the layout shows.
      const value = framing && k === 0 ? r[0] : framing && index === 0 ? null : r[index];
      tr.append(cell('td', value, column.numeric && !(framing && k === 0), column.name));
    });
    return tr;
  }));
  $('#card-title').textContent = `Stock card: row ${card.row + 1}${card.label ? ` — ${card.label}` : ''}`;
  $('#card').hidden = false;
  $('#card').scrollIntoView({block: 'nearest'});
}

function wireCard() {
  $('#card-export-csv').addEventListener('click', guarded(() => {
    if (!state.card) throw new Error('Open a stock card first.');
    return download('csv', state.card.row);
  }));
  $('#card-close').addEventListener('click', () => {
    $('#card').hidden = true;
    state.card = null;
    $$('#grid tr.selected').forEach((r) => r.classList.remove('selected'));
  });
  $('#card-columns').addEventListener('click', guarded(async () => {
    const format = await loadFormat(state.card ? state.card.kind : state.kind);
    const body = $('#columns-grid').tBodies[0];
    body.replaceChildren(...format.rows.map((r) => {
      const tr = document.createElement('tr');
      tr.dataset.order = String(r.order);
      const name = document.createElement('td');
      name.textContent = r.caption || r.name;
      name.title = r.name;
      const shown = document.createElement('td');
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.checked = r.visible;
      box.name = `visible-${r.order}`;
      box.setAttribute('aria-label', `Show ${r.caption || r.name}`);
      shown.append(box);
      const w = document.createElement('td');
      const width = document.createElement('input');
      width.type = 'number';
      width.min = '0';
      width.max = '2000';
      width.className = 'short';
      width.name = `width-${r.order}`;
      width.value = r.width === null || Number.isNaN(r.width) ? '' : String(r.width);
      width.setAttribute('aria-label', `Width of ${r.caption || r.name}`);
      w.append(width);
      tr.append(name, shown, w);
      return tr;
    }));
    $('#columns-dialog').showModal();
  }));
  $('#columns-save').addEventListener('click', guarded(async () => {
    const kind = state.card ? state.card.kind : state.kind;
    const format = await loadFormat(kind);
    const xml = formatDocument(format, $('#columns-form'));
    await api.post('/api/format', {xml}, {busyText: 'Saving the column layout…'});
    delete state.formats[kind];
    await loadFormat(kind);
    $('#columns-dialog').close();
    renderCard();
  }));
}

// The format document SaveFormat reads: one colN element per position N of the layout, with its
// visibility and width, and the query's id inside the first.
function formatDocument(format, form) {
  const doc = document.implementation.createDocument(null, 'format', null);
  const positions = format.rows.map((r) => r.order).filter((n) => Number.isInteger(n) && n > 0);
  const count = positions.length ? Math.max(...positions) : 0;
  if (count === 0) throw new Error('This report has no saved columns to lay out.');
  for (let n = 1; n <= count; n++) {
    const r = format.rows.find((x) => x.order === n);
    const el = doc.createElement(`col${n}`);
    const box = form.elements[`visible-${n}`];
    const width = form.elements[`width-${n}`];
    const w = width && width.value !== '' ? Math.round(Number(width.value)) : r && r.width;
    if (w === null || w === undefined || Number.isNaN(w) || w < 0) {
      throw new Error(`Column ${n} needs a width of 0 or more.`);
    }
    el.setAttribute('visible', box ? String(box.checked) : String(Boolean(r && r.visible)));
    el.setAttribute('width', String(w));
    if (n === 1) {
      const id = doc.createElement('queryid');
      id.setAttribute('value', String(format.queryId));
      el.append(id);
    }
    doc.documentElement.append(el);
  }
  return new XMLSerializer().serializeToString(doc);
}

// ---- Reference picker ----------------------------------------------------------------------

const picker = {table: null, target: null, multi: false, page: 1, pages: 1};

function wirePicker() {
  $('#condition').addEventListener('click', guarded(async (event) => {
    const b = event.target.closest('button.pick');
    if (!b) return;
    const box = b.closest('.ref');
    picker.table = box.dataset.table;
    picker.target = $('#condition').elements[b.dataset.target];
    picker.multi = box.dataset.multi === '1';
    picker.page = 1;
    $('#picker-title').textContent = `Choose: ${REF_TITLES[picker.table]}`;
    $('#picker-keyword').value = '';
    await loadPicker();
    $('#picker').showModal();
    $('#picker-keyword').focus();
  }));
  const find = guarded(async () => {
    picker.page = 1;
    await loadPicker();
  });
  $('#picker-find').addEventListener('click', find);
  $('#picker-keyword').addEventListener('keydown', (event) => {
    if (event.key === 'Enter') {
      event.preventDefault();
      find();
    }
  });
  $('#picker-prev').addEventListener('click', guarded(async () => {
    picker.page = Math.max(1, picker.page - 1);
    await loadPicker();
  }));
  $('#picker-next').addEventListener('click', guarded(async () => {
    picker.page = Math.min(picker.pages, picker.page + 1);
    await loadPicker();
  }));
  const choose = (tr) => {
    const code = tr.dataset.code;
    const input = picker.target;
    if (picker.multi) {
      const codes = input.value.split(',').map((s) => s.trim()).filter(Boolean);
      if (!codes.includes(code)) codes.push(code);
      input.value = codes.join(',');
      tr.classList.add('chosen');
    } else {
      input.value = code;
      $('#picker').close();
    }
    input.dispatchEvent(new Event('change', {bubbles: true}));
  };
  const body = $('#picker-grid').tBodies[0];
  body.addEventListener('click', (event) => {
    const tr = event.target.closest('tr[data-code]');
    if (tr) choose(tr);
  });
  body.addEventListener('keydown', (event) => {
    const tr = event.target.closest('tr[data-code]');
    if (tr && event.key === 'Enter') {
      event.preventDefault();
      choose(tr);
    }
  });
}

async function loadPicker() {
  const q = new URLSearchParams({
    table: picker.table, keyword: $('#picker-keyword').value.trim(),
    page: String(picker.page), size: String(REF_PAGE_SIZE),
  });
  const answer = await api.get(`/api/ref?${q}`, {busyText: 'Loading the list…'});
  picker.page = Number(answer.page) || 1;
  picker.pages = Math.max(1, Number(answer.pages) || 1);
  const table = $('#picker-grid');
  const captions = new Map();
  if (answer.titles && answer.titles.rows) {
    for (const t of records(answer.titles)) captions.set(t.cFieldName, t.cCaption);
  }
  const columns = answer.columns.map((c) => (typeof c === 'string' ? {name: c} : c));
  const head = document.createElement('tr');
  for (const c of columns) {
    const th = document.createElement('th');
    th.textContent = captions.get(c.name) || c.caption || c.name;
    head.append(th);
  }
  table.tHead.replaceChildren(head);
  const chosen = picker.multi ? picker.target.value.split(',').map((s) => s.trim()) : [];
  table.tBodies[0].replaceChildren(...answer.rows.map((r) => {
    const tr = document.createElement('tr');
    tr.dataset.code = formatValue(r[0]);
    tr.tabIndex = 0;
    if (chosen.includes(tr.dataset.code)) tr.classList.add('chosen');
    r.forEach((v, j) => tr.append(cell('td', v, columns[j].numeric, columns[j].name)));
    return tr;
  }));
  if (answer.rows.length === 0) {
    const tr = document.createElement('tr');
    const td = document.createElement('td');
    td.colSpan = columns.length || 1;
    td.className = 'empty';
    td.textContent = 'Nothing found.';
    tr.append(td);
    table.tBodies[0].append(tr);
  }
  $('#picker-page').textContent = `Page ${picker.page} of ${picker.pages}`;
  $('#picker-prev').disabled = picker.page <= 1;
  $('#picker-next').disabled = picker.page >= picker.pages;
}

// ---- Print view ----------------------------------------------------------------------------

// At most this many summary rows go into the print view; the CSV export has them all.
const PRINT_LIMIT = 5000;
const SERVER_PAGE = 500;

function conditionText(c) {
  const parts = Object.entries(c || {}).map(([k, v]) =>
    `${k} ${typeof v === 'object' ? Object.entries(v).map(([i, r]) => `${i}=${r}`).join(', ') : v}`);
  return parts.length ? `Condition: ${parts.join('; ')}` : 'Condition: everything';
}

function wirePrint() {
  $('#print-view').addEventListener('click', guarded(async () => {
    const s = state.summary;
    if (!s) throw new Error('Run the report first.');
    const rows = [];
    const wanted = Math.min(s.total, PRINT_LIMIT);
    while (rows.length < wanted) {
      const q = new URLSearchParams({offset: String(rows.length),
        limit: String(Math.min(SERVER_PAGE, wanted - rows.length))});
      if (state.sort) {
        q.set('sort', state.sort.column);
        q.set('desc', state.sort.desc ? '1' : '0');
      }
      const page = await api.get(`/api/ledger/rows?${q}`, {busyText: 'Preparing the print view…'});
      if (page.rows.length === 0) break;
      rows.push(...page.rows);
    }
    $('#print-title').textContent = `${KIND_TITLES[state.kind]} — ${state.session.user}, account ` +
        `${state.session.account}, ${state.session.year}`;
    $('#print-condition').textContent = conditionText(state.condition);
    $('#print-note').textContent = s.total > rows.length
        ? `The first ${rows.length} of ${s.total} rows; export CSV for all of them.`
        : `${rows.length} rows`;
    renderGrid($('#print-grid'), s.columns, rows, s.totals, false);
    $('#report-view').hidden = true;
    $('#print-area').hidden = false;
    document.body.classList.add('printing');
  }));
  $('#print-now').addEventListener('click', () => window.print());
  $('#print-back').addEventListener('click', () => {
    $('#print-area').hidden = true;
    document.body.classList.remove('printing');
    $('#report-view').hidden = false;
  });
}

// ---- Start ---------------------------------------------------------------------------------

window.addEventListener('error', (event) => showError(`The page failed: ${event.message}`));
window.addEventListener('unhandledrejection', (event) => {
  const r = event.reason;
  showError(r instanceof Error ? r.message : `The page failed: ${String(r)}`);
});

start().catch(report);
