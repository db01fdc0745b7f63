// The backup list in a real browser against zentri-host serve: what it shows
// is what the folders hold, what a person does there reaches the disk, and
// the bridge behind it lets no other site in.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { before, describe, test } from 'node:test';
import { at, confirmDelete, groupsOnPage, notice, openPage, saveDateOf, screenshot, sharedHost, waitUntil } from './support/host.mjs';

const dayName = (date) => new Intl.DateTimeFormat('en-GB', { day: 'numeric', month: 'long', year: 'numeric' }).format(date);

// The groups (document, day) the folders hold, read from the copies' names.
function groupsOnDisk(folders) {
  const groups = new Set();
  for (const folder of folders) {
    for (const name of fs.readdirSync(folder)) {
      const m = /^(.*)\.[0-9a-f]{32}\.(\d{4})(\d{2})(\d{2})\d{6}\.[a-z]+$/.exec(name);
      if (m) groups.add(`${m[2]}/${m[3]}/${m[4]} ${m[1]}`);
    }
  }
  return [...groups].sort();
}

describe('the backup list', () => {
  let home;
  let page;
  const copies = {};
  let earlier;
  const shared = sharedHost((h) => {
    home = h;
    earlier = home.dir('backup-old');
    home.setEarlierFolders([earlier]);
    copies.reportNew = home.copy(home.backup, 'quarterly report.docx', at(0, 15, 0), 20 * 1024);
    copies.reportOld = home.copy(home.backup, 'quarterly report.docx', at(0, 14, 30), 16 * 1024);
    copies.budget = home.copy(home.backup, 'budget.xlsx', at(0, 10, 15), 1992294);
    copies.slidesNew = home.copy(home.backup, 'slides.pptx', at(1, 17, 2), 10 * 1024);
    copies.slidesOld = home.copy(home.backup, 'slides.pptx', at(1, 9, 15), 9 * 1024);
    copies.contract = home.copy(home.backup, 'contract.pdf', at(1, 12, 0), 200 * 1024);
    copies.thesis = home.copy(earlier, 'thesis.docx', at(2, 21, 0), 512 * 1024);
    copies.angebot = home.copy(earlier, 'Müller Angebot.docx', at(2, 8, 30), 30 * 1024);
    home.conflict(copies.reportNew, at(0, 15, 5));
    fs.writeFileSync(path.join(home.backup, 'readme.txt'), 'not a backup copy');
  });

  // The list renders only what is on screen: tall enough for every group.
  before(async () => { page = await openPage(shared.browser, shared.host, { height: 2400 }); });

  // What the bridge answers each request and message is tst_pageserver's; here only what needs a browser.
  test('the bridge refuses a page of another site, even one on this machine that knows the token', async () => {
    const site = http.createServer((request, response) => response.writeHead(200, { 'Content-Type': 'text/html' }).end('<!doctype html><title>other site</title>'));
    await new Promise((resolve) => site.listen(0, '127.0.0.1', resolve));
    try {
      const other = await shared.browser.newPage();
      await other.goto(`http://127.0.0.1:${site.address().port}/`);
      const outcome = await other.evaluate((url) => new Promise((resolve) => {
        const socket = new WebSocket(url);
        socket.onopen = () => resolve('open');
        socket.onclose = () => resolve('closed');
      }), `ws://127.0.0.1:${shared.host.port}/bridge?token=${shared.host.token}`);
      assert.equal(outcome, 'closed');
      assert.match(shared.host.errors, /refused a bridge connection from the origin/);
      await other.close();
    } finally {
      site.close();
    }
  });

  test('shows the groups the folders hold, newest day first, and opens a copy', async () => {
    const onDisk = groupsOnDisk([home.backup, earlier]);
    // Rows are drawn a frame after the list is read.
    await page.waitForFunction((n) => document.querySelectorAll('#list .row.group').length >= n, onDisk.length);
    const onPage = await groupsOnPage(page);
    assert.deepEqual([...onPage].sort(), onDisk);
    const days = onPage.map((entry) => entry.slice(0, 10));
    assert.deepEqual(days, [...days].sort().reverse());
    assert.match(await page.textContent('#summary'), /^8 copies of 6 documents · about 2\.\d+ MB$/);
    // The newest document starts open: its copies newest first, with their exact
    // times, sizes, the change against the copy before and the conflict time.
    const toggle = page.getByRole('button', { name: /^quarterly report\.docx, / });
    assert.equal(await toggle.getAttribute('aria-expanded'), 'true');
    await page.waitForFunction(() => [...document.querySelectorAll('.row.copy .copy-time')].every((el) => el.textContent.length === 8));
    const rows = await page.$$eval('.row.copy', (els) => els
      .sort((a, b) => a.getBoundingClientRect().top - b.getBoundingClientRect().top)
      .map((el) => el.innerText.replace(/\s+/g, ' ').trim()));
    assert.equal(rows.length, 2);
    // The copies hold no document, so they may be marked damaged by now.
    assert.match(rows[0], /^15:00:00 20 KB \+4 KB Conflict 15:05:00 (Damaged )?in backup/);
    assert.match(rows[1], /^14:30:00 16 KB first copy (Damaged )?in backup/);
    assert.equal(await page.getAttribute('.row.copy .copy-size', 'title'), '20,480 bytes');
    assert.match(await toggle.getAttribute('aria-label'), /· 2 copies · about 37 KB · Conflict, /);
    await screenshot(page, 'list-default.png');
    await page.getByRole('button', { name: `Open quarterly report.docx, copy of 14:30:00, ${dayName(at(0, 0))}` }).click();
    await notice(page, 'Opening quarterly report.docx');
    const launch = await waitUntil(() => home.launches().at(-1), 'the launcher');
    assert.deepEqual(launch.slice(1), ['/zentri', copies.reportOld]);
    assert.deepEqual(page.problems, []);
  });

  test('the search, the type and the conflicts filters each reach the list and its summary', async () => {
    const showing = (pattern) => page.waitForFunction((source) => new RegExp(source).test(document.getElementById('summary').textContent), pattern.source);
    assert.equal(await page.textContent('#conflict-count'), '1');
    const filters = [
      [() => page.fill('#search', 'report'), /^Showing 2 copies of 1 document · about 37 KB · 8 in all$/, `${saveDateOf(at(0, 0))} quarterly report.docx`, () => page.fill('#search', '')],
      [() => page.selectOption('#type-filter', 'pdf'), /^Showing 1 copy of 1 document · /, `${saveDateOf(at(1, 0))} contract.pdf`, () => page.selectOption('#type-filter', 'all')],
      [() => page.getByRole('button', { name: /^Conflicts only/ }).click(), /^Showing 1 copy of 1 document · about 21 KB/, `${saveDateOf(at(0, 0))} quarterly report.docx`],
    ];
    for (const [apply, summary, group, undo] of filters) {
      await apply();
      await showing(summary);
      assert.deepEqual(await groupsOnPage(page), [group]);
      if (undo) await undo().then(() => showing(/^8 copies/));
    }
    assert.equal(await page.getAttribute('#conflict-filter', 'aria-pressed'), 'true');
    assert.equal(await page.locator('.row.copy').count(), 1);
    await page.fill('#search', 'nothing like this');
    await page.getByRole('heading', { name: 'No copies match' }).waitFor();
    await page.getByRole('button', { name: 'Clear the filters' }).click();
    await showing(/^8 copies/);
  });

  test('deleting a copy or a group asks first, then removes it from disk and page', async () => {
    const name = `Delete slides.pptx, copy of 09:15:00, ${dayName(at(1, 0))}`;
    await page.getByRole('button', { name: /^slides\.pptx, / }).click();
    await page.getByRole('button', { name }).click();
    assert.match(await page.getByRole('dialog').innerText(), /slides\.pptx[\s\S]*09:15[\s\S]*9 KB[\s\S]*cannot be brought back/);
    await confirmDelete(page, null);
    assert.deepEqual([fs.existsSync(copies.slidesOld), fs.existsSync(copies.slidesNew)], [false, true]);
    assert.equal(await page.getByRole('button', { name }).count(), 0);
    // The keyboard stays in the list, on the row that took the copy's place.
    assert.match(await page.evaluate(() => document.activeElement.closest('#list') && document.activeElement.getAttribute('aria-label')), /^(Open|Delete|Show)/);

    await page.getByRole('button', { name: /^quarterly report\.docx, / }).focus();
    const all = page.getByRole('button', { name: `Delete all 2 copies of quarterly report.docx, ${dayName(at(0, 0))}` });
    await confirmDelete(page, all, 'Delete 2 copies permanently', 'Copies deleted');
    assert.equal(fs.existsSync(copies.reportNew) || fs.existsSync(copies.reportOld), false);
    assert.deepEqual([...await groupsOnPage(page)].sort(), groupsOnDisk([home.backup, earlier]));

    // A copy that vanishes from disk leaves the page by itself.
    fs.rmSync(copies.contract);
    await page.getByRole('button', { name: /^contract\.pdf, / }).waitFor({ state: 'detached' });
  });
});
