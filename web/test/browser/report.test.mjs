// The web report in a real browser: every figure the page shows is checked against what
// q9strep answers for the same condition on the same company.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {after, before, test} from 'node:test';

import {
  cli, cliJson, cliMessage, launchBrowser, passwordOf, makeCompany, shown, startServer, tempDir,
} from './harness.mjs';

const PAGE_SIZE = 50;
// Screenshots of each step go here when Q9_WEB_SHOTS names a folder.
const shotsDir = process.env.Q9_WEB_SHOTS || '';

let dir;
let db;
let server;
let browser;
let page;

before(async () => {
  dir = tempDir('q9web-company-');
  if (process.env.Q9_WEB_BASE) {
    // A server someone started already, on the company Q9_WEB_DB names.
    db = process.env.Q9_WEB_DB;
    server = {base: process.env.Q9_WEB_BASE, output: () => '', stop: async () => ({code: 0, signal: null})};
  } else {
    db = makeCompany(dir);
    server = await startServer(db);
  }
  browser = await launchBrowser();
  page = browser.context.pages()[0] || await browser.context.newPage();
  page.setDefaultTimeout(15000);
  page.on('pageerror', (e) => { pageErrors.push(e.message); });
  page.on('console', (m) => {
    if (m.type() === 'error' && /Content Security Policy|Refused to/.test(m.text())) pageErrors.push(m.text());
  });
});

after(async () => {
  if (browser) await browser.close();
  if (server) {
    const {code, signal} = await server.stop();
    // SIGTERM ends the server gracefully: a clean exit, not death by the signal.
    assert.equal(signal, null, `server died by ${signal}: ${server.output()}`);
    assert.equal(code, 0, server.output());
  }
  if (dir) fs.rmSync(dir, {recursive: true, force: true});
});

const pageErrors = [];

async function shot(name) {
  if (!shotsDir) return;
  fs.mkdirSync(shotsDir, {recursive: true});
  await page.screenshot({path: path.join(shotsDir, `${name}.png`), fullPage: true});
}

async function idle() {
  await page.waitForSelector('#busy', {state: 'hidden'});
}

async function login(user, password = passwordOf(user)) {
  await page.goto(`${server.base}/`);
  await page.waitForSelector('#login-view:not([hidden])');
  await page.fill('#login-form input[name=user]', user);
  await page.fill('#login-form input[name=password]', password);
  await page.click('#login-form button[type=submit]');
  await idle();
}

async function logout() {
  await page.click('#logout');
  await page.waitForSelector('#login-view:not([hidden])');
}

// A table of the page as text: heading captions, column names, body rows, footer.
async function readTable(selector) {
  return page.$eval(selector, (t) => ({
    captions: [...t.tHead.rows[0].cells].map((c) => c.textContent),
    names: [...t.tHead.rows[0].cells].map((c) => c.dataset.col),
    numeric: [...t.tHead.rows[0].cells].map((c) => c.classList.contains('num')),
    rows: [...t.tBodies[0].rows].filter((r) => !r.querySelector('td.empty'))
        .map((r) => [...r.cells].map((c) => c.textContent)),
    foot: t.tFoot && t.tFoot.rows[0] ? [...t.tFoot.rows[0].cells].map((c) => c.textContent) : null,
  }));
}

// Picks rows of the open reference picker: `page` 1-based, `rows` 1-based positions on it.
async function pick(button, {pageNo = 1, rows = [1]} = {}) {
  await page.click(button);
  await page.waitForSelector('#picker[open]');
  await idle();
  for (let p = 1; p < pageNo; p++) {
    await page.click('#picker-next');
    await idle();
  }
  const codes = [];
  for (const r of rows) {
    const tr = page.locator(`#picker-grid tbody tr:nth-child(${r})`);
    codes.push(await tr.getAttribute('data-code'));
    await tr.click();
  }
  if (await page.isVisible('#picker[open]')) await page.click('#picker button[value=cancel]');
  return codes;
}

// The condition the panel holds now, as q9strep's options.
async function conditionArgs() {
  // A field the chosen kind does not read is disabled and not part of the condition.
  const v = async (name) => (await page.isDisabled(`#condition [name=${name}]`)
      ? '' : page.inputValue(`#condition [name=${name}]`));
  const args = [];
  const range = (a, b) => (b ? `${a}:${b}` : a);
  for (const [option, value] of [
    ['--from', await v('from')], ['--to', await v('to')], ['--warehouse', await v('warehouse')],
    ['--class', range(await v('classFrom'), await v('classTo'))],
    ['--inventory', range(await v('inventoryFrom'), await v('inventoryTo'))],
    ['--position', range(await v('positionFrom'), await v('positionTo'))],
  ]) {
    if (value) args.push(option, value);
  }
  const items = await page.$$eval('#condition input[data-group]', (inputs) => inputs.map((i) =>
    [i.dataset.group, i.dataset.item, i.value, i.form.elements[`${i.dataset.group}${i.dataset.item}To`].value]));
  for (const [group, item, from, to] of items) {
    if (from || to) args.push(`--${group}`, `${item}=${range(from, to)}`);
  }
  return args;
}

async function runReport() {
  await page.click('#run');
  await idle();
  await page.waitForSelector('#summary:not([hidden]), #error:not([hidden])');
}

async function errorText() {
  return (await page.isVisible('#error')) ? page.textContent('#error-text') : '';
}

// The columns whose values add up over rows: the opening balances (not the stock limits).
const ADDS_UP = new Set(['iBeginQtty', 'iBeginNum']);

function isNumericColumn(summary, j) {
  return summary.rows.some((r) => typeof r[j] === 'number');
}

function sums(summary) {
  return summary.columns.map((name, j) => {
    if (!ADDS_UP.has(name) || !isNumericColumn(summary, j)) return null;
    return summary.rows.reduce((t, r) => t + (typeof r[j] === 'number' ? r[j] : 0), 0);
  });
}

function shownRows(rows) {
  return rows.map((r) => r.map(shown));
}

test('demo logs in and gets the periods and captions of the component', async () => {
  await login('demo');
  assert.equal(await errorText(), '');
  await page.waitForSelector('#report-view:not([hidden])');
  await shot('01-report');
  const periods = cliJson(db, ['periods']);
  const months = await page.$$eval('#condition [name=fromMonth] option',
      (os) => os.filter((o) => o.value).map((o) => o.value));
  assert.deepEqual(months, periods.rows.map((r) => String(r[0])));
  for (const kind of ['free', 'define']) {
    const captions = cliJson(db, ['captions', kind]);
    const shownCaptions = await page.$$eval(`#${kind}-items .caption`, (cs) => cs.map((c) => c.textContent));
    assert.deepEqual(shownCaptions, captions.rows.map((r) => r[1]), kind);
  }
});

test('the reference picker pages through the component\'s lookup', async () => {
  await page.click('.ref[data-table=inventory] button.pick[data-target=inventoryFrom]');
  await page.waitForSelector('#picker[open]');
  await idle();
  await page.click('#picker-next');
  await idle();
  await shot('02-picker');
  const onPage = await readTable('#picker-grid');
  const expected = cliJson(db, ['ref', 'Inventory', '--page', '2', '--page-size', '20']);
  assert.deepEqual(onPage.rows, shownRows(expected.rows));
  assert.equal(await page.textContent('#picker-page'), `Page 2 of ${expected.pages}`);
  await page.fill('#picker-keyword', '铜管');
  await page.click('#picker-find');
  await idle();
  const found = await readTable('#picker-grid');
  const byKeyword = cliJson(db, ['ref', 'Inventory', '--keyword', '铜管', '--page', '1', '--page-size', '20']);
  assert.ok(byKeyword.rows.length > 0);
  assert.deepEqual(found.rows, shownRows(byKeyword.rows));
  await page.click('#picker button[value=cancel]');
});

// Each kind with a condition chosen in the pickers: months, two warehouses and an inventory or
// position bound.
const KINDS = [
  {kind: 'inventory', bound: '.ref[data-table=inventory] button.pick[data-target=inventoryTo]', boundPage: 8,
    classFrom: true},
  {kind: 'batch', bound: '.ref[data-table=inventory] button.pick[data-target=inventoryTo]', boundPage: 10},
  {kind: 'position', bound: '.ref[data-table=position] button.pick[data-target=positionFrom]', boundPage: 1},
];

for (const {kind, bound, boundPage, classFrom} of KINDS) {
  test(`the ${kind} ledger's grid is q9strep's summary for the same condition`, async () => {
    await page.goto(`${server.base}/`);
    await page.waitForSelector('#report-view:not([hidden])');
    await idle();
    await page.selectOption('#condition [name=kind]', kind);
    await page.selectOption('#condition [name=fromMonth]', '2');
    await page.selectOption('#condition [name=toMonth]', '11');
    await pick('.ref[data-table=warehouse] button.pick', {rows: [1, 2]});
    await pick(bound, {pageNo: boundPage, rows: [3]});
    if (classFrom) {
      await pick('.ref[data-table=class] button.pick[data-target=classFrom]', {rows: [2]});
      await pick('.ref[data-table=class] button.pick[data-target=classTo]', {rows: [15]});
    }
    const periods = cliJson(db, ['periods']).rows;
    assert.equal(await page.inputValue('#condition [name=from]'), periods[1][1]);
    assert.equal(await page.inputValue('#condition [name=to]'), periods[10][2]);
    await runReport();
    assert.equal(await errorText(), '');
    await page.selectOption('#page-size', String(PAGE_SIZE));
    await idle();
    await shot(`03-${kind}-grid`);
    const args = await conditionArgs();
    const expected = cliJson(db, ['ledger', '--kind', kind, '--summary-only', ...args]).summary;
    assert.ok(expected.rows.length > PAGE_SIZE, `${kind}: ${expected.rows.length} rows are one page`);

    const grid = await readTable('#grid');
    assert.deepEqual(grid.captions, expected.captions);
    assert.deepEqual(grid.names, expected.columns);
    assert.equal(await page.textContent('#summary-count'), `${expected.rows.length} rows`);
    assert.deepEqual(grid.rows, shownRows(expected.rows.slice(0, PAGE_SIZE)));
    const total = sums(expected);
    assert.deepEqual(grid.foot, total.map((t, j) => (t === null ? (j === 0 ? 'Total' : '') : shown(t))));
    // Numbers right-aligned, text not.
    const numericColumns = expected.columns.filter((_, j) => isNumericColumn(expected, j));
    assert.deepEqual(grid.names.filter((_, j) => grid.numeric[j]), numericColumns);

    await page.click('.pager [data-page=next]');
    await idle();
    const second = await readTable('#grid');
    assert.deepEqual(second.rows, shownRows(expected.rows.slice(PAGE_SIZE, 2 * PAGE_SIZE)));
    const last = Math.min(2 * PAGE_SIZE, expected.rows.length);
    assert.equal(await page.textContent('#page-info'),
        `Rows ${PAGE_SIZE + 1}–${last} of ${expected.rows.length}`);
  });
}

test('sorting on a column asks the server and keeps every row', async () => {
  // The position ledger of the last test is on screen.
  const args = await conditionArgs();
  const expected = cliJson(db, ['ledger', '--kind', 'position', '--summary-only', ...args]).summary;
  const j = expected.columns.indexOf('iBeginQtty');
  await page.click('#grid thead th[data-col=iBeginQtty] button');
  await idle();
  await page.selectOption('#page-size', '500');
  await idle();
  const up = await readTable('#grid');
  assert.equal(up.rows.length, expected.rows.length);
  const byQtty = (a, b) => (a[j] ?? -Infinity) - (b[j] ?? -Infinity);
  const column = (rows) => rows.map((r) => r[j]);
  assert.deepEqual(column(up.rows), column(shownRows([...expected.rows].sort(byQtty))));
  assert.deepEqual([...up.rows].sort(), shownRows(expected.rows).sort());
  await page.click('#grid thead th[data-col=iBeginQtty] button');
  await idle();
  const down = await readTable('#grid');
  assert.deepEqual(column(down.rows), column(shownRows([...expected.rows].sort(byQtty).reverse())));
  assert.equal(await page.getAttribute('#grid thead th[data-col=iBeginQtty]', 'aria-sort'), 'descending');

  // The first line of the sorted grid opens the card of its own summary row (equal cells keep
  // the summary's order).
  const order = expected.rows.map((_, i) => i)
      .sort((a, b) => byQtty(expected.rows[b], expected.rows[a]));
  await page.click('#grid tbody tr[data-index="0"]');
  await page.waitForSelector('#card:not([hidden])');
  await idle();
  assert.equal(await errorText(), '');
  await checkCard('position', args, order[0]);
  assert.match(await page.textContent('#card-title'), new RegExp(`row ${order[0] + 1} `));
});

// The stock card of a summary row as q9strep computes it: the first line of the card shows the
// opening balance, each detail line the running balance, the last the closing balance.
async function checkCard(kind, args, row) {
  const detail = cliJson(db, ['ledger', '--kind', kind, '--row', String(row + 1), ...args]).details[0];
  const table = cli(db, ['ledger', '--kind', kind, '--row', String(row + 1), ...args]).stdout.trim().split('\n');
  const card = await readTable('#card-grid');
  assert.equal(card.rows.length, detail.rows.length + 2);
  const col = (name) => card.names.indexOf(name);
  const balance = (name) => card.rows.map((r) => r[col(name)]);
  const d = (name) => detail.rows.map((r) => r[detail.columns.indexOf(name)]);
  for (const name of ['iBalQtty', 'iBalNum']) {
    assert.ok(col(name) >= 0, `${name} missing from the card`);
    assert.deepEqual(balance(name), [detail.opening[name], ...d(name), detail.closing[name]].map(shown), name);
  }
  // The labels of the opening and closing lines are those of the tool's stock card.
  const labels = [table.find((l) => l.startsWith('期初')), table[table.length - 1]].map((l) => l.split(/\s+/)[0]);
  assert.equal(card.rows[0][0], labels[0]);
  assert.equal(card.rows.at(-1)[0], labels[1]);
  const sum = (name) => d(name).reduce((t, x) => t + (x || 0), 0);
  for (const name of ['iInQtty', 'iOutQtty']) {
    if (col(name) >= 0) assert.equal(card.rows.at(-1)[col(name)], shown(sum(name)), `closing ${name}`);
  }
  return detail;
}

test('a row of the batch ledger opens its stock card with running balances', async () => {
  await page.selectOption('#condition [name=kind]', 'batch');
  await page.selectOption('#page-size', String(PAGE_SIZE));
  await runReport();
  const args = await conditionArgs();
  const all = cliJson(db, ['ledger', '--kind', 'batch', '--all-rows', ...args]);
  // A new summary keeps the page size chosen before.
  assert.equal(await page.textContent('#page-info'), `Rows 1–${PAGE_SIZE} of ${all.summary.rows.length}`);
  assert.equal((await readTable('#grid')).rows.length, PAGE_SIZE);
  const row = all.details.findIndex((x) => x.rows.length >= 3);
  assert.ok(row >= 0 && row < PAGE_SIZE, `no row with three lines on the first page (${row})`);
  await page.click(`#grid tbody tr[data-index="${row}"]`);
  await page.waitForSelector('#card:not([hidden])');
  await idle();
  assert.equal(await errorText(), '');
  await shot('04-card');
  await checkCard('batch', args, row);
  assert.match(await page.textContent('#card-title'), new RegExp(`row ${row + 1} `));
});

test('a column layout is saved in the company and restored after a reload', async () => {
  const name = '批次台账';
  const before = cliJson(db, ['format', 'get', name]);
  const f = (rs, order, field) => rs.rows.find((r) => r[1] === order)[rs.columns.indexOf(field)];
  const summaryCaption = f(before, 3, 'FldCaption');
  const memoCaption = f(before, 11, 'FldCaption');
  assert.equal(f(before, 3, 'Visible'), -1);
  assert.equal(f(before, 11, 'Visible'), 0);
  await page.click('#card-columns');
  await page.waitForSelector('#columns-dialog[open]');
  await page.uncheck('#columns-form [name=visible-3]');
  await page.check('#columns-form [name=visible-11]');
  await page.fill('#columns-form [name=width-1]', '95');
  await shot('05-columns');
  await page.click('#columns-save');
  await idle();
  assert.equal(await errorText(), '');
  await page.waitForSelector('#columns-dialog', {state: 'hidden'});

  const saved = cliJson(db, ['format', 'get', name]);
  assert.equal(f(saved, 3, 'Visible'), 0);
  assert.equal(f(saved, 11, 'Visible'), -1);
  assert.equal(String(f(saved, 1, 'Width')), '95');
  assert.equal(saved.rows.length, before.rows.length);

  const fields = await page.$$eval('#condition input:not([type=checkbox])',
      (inputs) => inputs.filter((i) => i.value && !i.disabled).map((i) => [i.name, i.value]));
  await page.reload();
  await page.waitForSelector('#report-view:not([hidden])');
  await idle();
  await page.selectOption('#condition [name=kind]', 'batch');
  for (const [field, value] of fields) await page.fill(`#condition [name=${field}]`, value);
  await runReport();
  await page.click('#grid tbody tr[data-index="0"]');
  await page.waitForSelector('#card:not([hidden])');
  await idle();
  const card = await readTable('#card-grid');
  assert.ok(card.captions.includes(memoCaption), `${memoCaption} not shown: ${card.captions}`);
  assert.ok(!card.captions.includes(summaryCaption), `${summaryCaption} still shown`);
  assert.deepEqual(card.captions.slice(-2), ['结存数量', '结存件数']);
  await page.click('#card-columns');
  await page.waitForSelector('#columns-dialog[open]');
  assert.equal(await page.isChecked('#columns-form [name=visible-3]'), false);
  assert.equal(await page.isChecked('#columns-form [name=visible-11]'), true);
  assert.equal(await page.inputValue('#columns-form [name=width-1]'), '95');
  await page.click('#columns-dialog button[value=cancel]');
});

test('the CSV export is byte for byte what q9strep prints', async () => {
  const args = await conditionArgs();
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#export-csv')]);
  const got = fs.readFileSync(await download.path());
  const file = path.join(dir, 'expected.csv');
  const r = cli(db, ['print', `csv:${file}`, '--kind', 'batch', ...args]);
  assert.equal(r.status, 0, r.stderr);
  assert.ok(got.length > 0);
  assert.ok(got.equals(fs.readFileSync(file)), 'the download differs from q9strep print csv:');

  // The open card's lines alone: the detail of its row.
  const row = Number(/row (\d+)/.exec(await page.textContent('#card-title'))[1]);
  const [cardDownload] = await Promise.all([page.waitForEvent('download'), page.click('#card-export-csv')]);
  const cardFile = path.join(dir, 'expected-card.csv');
  const rc = cli(db, ['print', `csv:${cardFile}`, '--kind', 'batch', ...args, '--row', String(row)]);
  assert.equal(rc.status, 0, rc.stderr);
  assert.ok(fs.readFileSync(await cardDownload.path()).equals(fs.readFileSync(cardFile)),
      'the card download differs from q9strep print csv: --row');
});

test('the print view holds every row and the totals', async () => {
  const grid = await readTable('#grid');
  await page.click('#print-view');
  await page.waitForSelector('#print-area:not([hidden])');
  await idle();
  await shot('06-print');
  const args = await conditionArgs();
  const expected = cliJson(db, ['ledger', '--kind', 'batch', '--summary-only', ...args]).summary;
  const printed = await readTable('#print-grid');
  assert.deepEqual(printed.rows, shownRows(expected.rows));
  assert.deepEqual(printed.foot, grid.foot);
  assert.equal(await page.isVisible('#condition'), false);
  await page.click('#print-back');
  await page.waitForSelector('#report-view:not([hidden])');
});

// Free and define items are found by their captions; each filters the ledger as the same item
// number does in q9strep, and a free item adds its column.
const ITEMS = [
  {group: 'define', index: 0, from: '上海', to: '江苏'},
  {group: 'free', index: 0, from: '白', to: ''},
];

test('free and define fields, labelled with their captions, filter the ledger', async () => {
  for (const {group, index, from, to} of ITEMS) {
    await page.goto(`${server.base}/`);
    await page.waitForSelector('#report-view:not([hidden])');
    await idle();
    await page.selectOption('#condition [name=kind]', 'batch');
    await page.click('#items summary');
    const caption = cliJson(db, ['captions', group]).rows[index][1];
    await page.getByLabel(`${caption} from`, {exact: true}).fill(from);
    await page.getByLabel(`${caption} to`, {exact: true}).fill(to);
    await runReport();
    assert.equal(await errorText(), '', `${group} ${caption}`);
    const args = await conditionArgs();
    assert.deepEqual(args, [`--${group}`, `${index + 1}=${to ? `${from}:${to}` : from}`]);
    const expected = cliJson(db, ['ledger', '--kind', 'batch', '--summary-only', ...args]).summary;
    const grid = await readTable('#grid');
    assert.deepEqual(grid.names, expected.columns);
    assert.equal(await page.textContent('#summary-count'), `${expected.rows.length} rows`);
    assert.deepEqual(grid.rows, shownRows(expected.rows.slice(0, grid.rows.length)));
  }
});

test('a condition nothing matches shows the component\'s message', async () => {
  await page.fill('#condition [name=inventoryFrom]', 'ZZZZ');
  await page.fill('#condition [name=inventoryTo]', '');
  await page.selectOption('#condition [name=kind]', 'inventory');
  const args = await conditionArgs();
  await page.click('#run');
  await idle();
  await page.waitForSelector('#error:not([hidden])');
  await shot('07-no-data');
  const r = cli(db, ['ledger', '--kind', 'inventory', '--summary-only', ...args]);
  assert.equal(r.status, 1);
  assert.equal(await errorText(), cliMessage(r));
  // The summary of the run before is gone with its card, and with it the export.
  assert.equal(await page.isVisible('#summary'), false);
  assert.equal(await page.isVisible('#card'), false);
});

// What the page does when the answer is not the server's JSON, or comes late: the routes of the
// real server are replaced for one request each.
const TRANSPORT = [
  {name: 'no connection', route: (r) => r.abort('connectionrefused'), message: /^The server cannot be reached \(/, view: 'report'},
  {name: 'a proxy page', route: (r) => r.fulfill({status: 502, contentType: 'text/html', body: 'Bad gateway'}),
    message: /^Bad gateway$/, view: 'report'},
  {name: 'broken JSON', route: (r) => r.fulfill({status: 200, contentType: 'application/json', body: '{"ok": tr'}),
    message: /^The server's answer is not valid JSON \(/, view: 'report'},
  {name: 'an ended session', route: (r) => r.fulfill({status: 401, contentType: 'application/json',
    body: JSON.stringify({ok: false, message: 'session ended'})}), message: /^session ended$/, view: 'login'},
];

test('a failed request shows its message, never a blank page', async () => {
  for (const {name, route, message, view} of TRANSPORT) {
    await page.goto(`${server.base}/`);
    await page.waitForSelector('#report-view:not([hidden])');
    await idle();
    await page.route('**/api/ledger', route, {times: 1});
    await page.click('#run');
    await page.waitForSelector('#error:not([hidden])');
    assert.match(await errorText(), message, name);
    assert.equal(await page.isVisible(`#${view}-view`), true, name);
    assert.equal(await page.isVisible('#busy'), false, name);
  }
  // Only the answer was faked: the session itself lives on.
  await page.goto(`${server.base}/`);
  await page.waitForSelector('#report-view:not([hidden])');
  await idle();
});

test('long work shows the loading indicator until the answer is in', async () => {
  let release;
  const held = new Promise((resolve) => { release = resolve; });
  await page.route('**/api/ledger', async (r) => {
    await held;
    await r.continue();
  }, {times: 1});
  await page.selectOption('#condition [name=kind]', 'position');
  await page.click('#run');
  await page.waitForSelector('#busy:not([hidden])');
  assert.equal(await page.textContent('#busy-text'), 'Running the position ledger…');
  assert.equal(await page.getAttribute('body', 'aria-busy'), 'true');
  release();
  await idle();
  await page.waitForSelector('#summary:not([hidden])');
  assert.equal(await page.getAttribute('body', 'aria-busy'), 'false');
});

test('a write without the CSRF token and a forged session cookie are refused', async () => {
  const before = cliJson(db, ['format', 'get', '批次台账']);
  const xml = '<format><col1 visible="false" width="10"><queryid value="2"/></col1></format>';
  const noToken = await page.evaluate(async (body) => {
    const r = await fetch('/api/format', {method: 'POST', headers: {'Content-Type': 'application/json'}, body});
    return {status: r.status, body: await r.json()};
  }, JSON.stringify({xml}));
  assert.equal(noToken.status, 403);
  assert.equal(noToken.body.ok, false);
  assert.ok(noToken.body.message.length > 0);
  const forged = await page.evaluate(async (body) => {
    const session = await (await fetch('/api/session')).json();
    const r = await fetch('/api/format', {method: 'POST', body,
      headers: {'Content-Type': 'application/json', 'X-CSRF-Token': session.csrf.replace(/./, (c) => (c === '0' ? '1' : '0'))}});
    return {status: r.status, body: await r.json()};
  }, JSON.stringify({xml}));
  assert.equal(forged.status, 403);
  assert.deepEqual(cliJson(db, ['format', 'get', '批次台账']), before);

  // A cookie the server never gave: the page asks for a login and the API answers 401.
  const context = browser.context;
  const cookiePage = await context.newPage();
  await context.clearCookies();
  await context.addCookies([{name: 'q9session', value: 'f'.repeat(64), url: server.base}]);
  await cookiePage.goto(`${server.base}/`);
  await cookiePage.waitForSelector('#login-view:not([hidden])');
  const ledger = await cookiePage.evaluate(async () => {
    const r = await fetch('/api/ledger', {method: 'POST', headers: {'Content-Type': 'application/json'},
      body: JSON.stringify({kind: 'inventory', condition: {}})});
    return {status: r.status, body: await r.json()};
  });
  assert.equal(ledger.status, 401);
  assert.equal(ledger.body.ok, false);
  await cookiePage.close();
  assert.deepEqual(cliJson(db, ['format', 'get', '批次台账']), before);
});

test('a wrong password is refused with the server\'s message and no session', async () => {
  await login('demo', `${passwordOf('demo')}-wrong`);
  await page.waitForSelector('#error:not([hidden])');
  assert.notEqual(await errorText(), '');
  assert.equal(await page.isVisible('#login-view'), true);
  const session = await page.evaluate(async () => (await fetch('/api/session')).status);
  assert.equal(session, 401);
});

// The demo company's tasks of the three ledgers.
const TASKS = {inventory: 'ST0301', batch: 'ST0302', position: 'ST0303'};
const TITLES = {inventory: 'Stock ledger by inventory', batch: 'Stock ledger by batch', position: 'Position ledger'};

test('a user without the task right of a ledger sees the component\'s refusal', async () => {
  const user = 'auditor';
  const refusals = Object.entries(TASKS).map(([kind, task]) => [kind, cli(db, ['task', task], {user})])
      .filter(([, r]) => r.status !== 0);
  assert.ok(refusals.length > 0 && refusals.length < 3, `${user} is refused ${refusals.length} ledgers`);
  await login(user);
  await page.waitForSelector('#report-view:not([hidden])');
  await shot('08-refused');
  assert.equal(await page.textContent('#refusals'),
      refusals.map(([kind, r]) => `${TITLES[kind]}: ${cliMessage(r)}`).join('\n'));
  const disabled = await page.$$eval('#condition [name=kind] option', (os) => os.filter((o) => o.disabled).map((o) => o.value));
  assert.deepEqual(disabled, refusals.map(([kind]) => kind));
  // The server refuses the ledger itself too, whatever the page offers.
  const [kind, r] = refusals[0];
  const answer = await page.evaluate(async (k) => {
    const {csrf} = await (await fetch('/api/session')).json();
    const res = await fetch('/api/ledger', {method: 'POST',
      headers: {'Content-Type': 'application/json', 'X-CSRF-Token': csrf},
      body: JSON.stringify({kind: k, condition: {}})});
    return {status: res.status, body: await res.json()};
  }, kind);
  assert.equal(answer.status, 403);
  assert.equal(answer.body.message, cliMessage(r));

  // Refused every ledger: no report, only the message.
  await page.route('**/api/auth*', (route) => route.fulfill({status: 403, contentType: 'application/json',
    body: JSON.stringify({ok: false, message: cliMessage(r)})}));
  await page.reload();
  await page.waitForSelector('#refused-view:not([hidden])');
  assert.equal(await page.textContent('#refused-message'), cliMessage(r));
  assert.equal(await page.isVisible('#condition'), false);
  await page.unroute('**/api/auth*');
  await logout();
});

test('the page ran without a script error or a blocked inline script', () => {
  assert.deepEqual(pageErrors, []);
});
