// The backup list in a real browser against zentri-host serve: what it shows
// is what the folders hold, and what a person does there reaches the disk.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { SuiteHome, at, launchBrowser, notice, openPage, saveDateOf, screenshot, startHost, waitUntil } from './support/host.mjs';

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

// The groups the page shows, top to bottom, each under its day.
async function groupsOnPage(page) {
  return page.$$eval('#list .row.day, #list .row.group', (rows) => {
    const sorted = rows.map((row) => ({ row, y: row.getBoundingClientRect().top })).sort((a, b) => a.y - b.y);
    const seen = [];
    let day = '';
    for (const { row } of sorted) {
      if (row.classList.contains('day')) day = row.dataset.key.slice(2);
      else seen.push(`${day} ${row.querySelector('.group-name').textContent}`);
    }
    return seen;
  });
}

async function summaryMatches(page, pattern) {
  await page.waitForFunction((source) => new RegExp(source).test(document.getElementById('summary').textContent), pattern.source);
}

describe('the backup list', () => {
  let home;
  let host;
  let browser;
  let page;
  const copies = {};
  let earlier;

  before(async () => {
    home = new SuiteHome();
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
    host = await startHost(home);
    browser = await launchBrowser();
    // The list renders only what is on screen: tall enough for every group.
    page = await openPage(browser, host, { height: 2400 });
  });

  after(async () => {
    await browser?.close();
    await host?.stop();
    home?.remove();
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
    assert.match(rows[0], /^15:00:00 20 KB \+4 KB Conflict \d{4}-\d{2}-\d{2} 15:05:00 (Damaged )?in backup/);
    assert.match(rows[1], /^14:30:00 16 KB first copy (Damaged )?in backup/);
    assert.equal(await page.getAttribute('.row.copy .copy-size', 'title'), '20,480 bytes');
    assert.match(await toggle.getAttribute('aria-label'), /· 2 copies · about 36 KB · Conflict, /);
    // Every button has a name that says what it acts on.
    const unnamed = await page.$$eval('button', (buttons) => buttons
      .filter((b) => !b.closest('[hidden]') && !(b.getAttribute('aria-label') || b.getAttribute('aria-labelledby') || b.textContent.trim())).length);
    assert.equal(unnamed, 0);
    await screenshot(page, 'list-default.png');
    await page.getByRole('button', { name: `Open quarterly report.docx, copy of 14:30:00, ${dayName(at(0, 0))}` }).click();
    await notice(page, 'Opening quarterly report.docx');
    const launch = await waitUntil(() => home.launches().at(-1), 'the launcher');
    assert.deepEqual(launch.slice(1), ['/zentri', copies.reportOld]);
    assert.deepEqual(page.problems, []);
  });

  test('the filters combine and their counts follow', async () => {
    await page.fill('#search', 'report');
    await summaryMatches(page, /^Showing/);
    assert.deepEqual(await groupsOnPage(page), [`${saveDateOf(at(0, 0))} quarterly report.docx`]);
    assert.match(await page.textContent('#summary'), /^Showing 2 copies of 1 document · about 36 KB · 8 in all$/);
    await page.fill('#search', '');
    await summaryMatches(page, /^8 copies/);
    await page.selectOption('#type-filter', 'pdf');
    assert.deepEqual((await groupsOnPage(page)).map((g) => g.slice(11)), ['contract.pdf']);
    await page.selectOption('#type-filter', 'all');
    assert.equal(await page.textContent('#conflict-count'), '1');
    await page.getByRole('button', { name: /^Conflicts only/ }).click();
    assert.equal(await page.getAttribute('#conflict-filter', 'aria-pressed'), 'true');
    assert.equal(await page.locator('.row.copy').count(), 1);
    assert.match(await page.textContent('#summary'), /^Showing 1 copy of 1 document · about 20 KB/);
    await page.fill('#search', 'nothing like this');
    await page.getByRole('heading', { name: 'No copies match' }).waitFor();
    await page.getByRole('button', { name: 'Clear the filters' }).click();
    assert.match(await page.textContent('#summary'), /^8 copies/);
  });

  test('deleting a copy or a group asks first, then removes it from disk and page', async () => {
    // The keyboard reaches the last group's copy; Escape in the question keeps it.
    await page.focus('#search');
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('End');
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('Delete');
    await page.getByRole('dialog').waitFor();
    await page.keyboard.press('Escape');
    await page.getByRole('dialog').waitFor({ state: 'detached' });
    assert.ok(fs.existsSync(copies.thesis) && fs.existsSync(copies.angebot), 'Escape keeps the copy');

    const name = `Delete slides.pptx, copy of 09:15:00, ${dayName(at(1, 0))}`;
    await page.getByRole('button', { name: /^slides\.pptx, / }).click();
    await page.getByRole('button', { name }).click();
    const dialog = page.getByRole('dialog');
    assert.match(await dialog.innerText(), /slides\.pptx[\s\S]*09:15[\s\S]*9 KB[\s\S]*cannot be brought back/);
    await dialog.getByRole('button', { name: 'Delete permanently' }).click();
    await notice(page, 'Copy deleted');
    assert.equal(fs.existsSync(copies.slidesOld), false);
    assert.equal(fs.existsSync(copies.slidesNew), true);
    assert.equal(await page.getByRole('button', { name }).count(), 0);
    // The keyboard stays in the list, on the row that took the copy's place.
    assert.match(await page.evaluate(() => document.activeElement.closest('#list') && document.activeElement.getAttribute('aria-label')), /^(Open|Delete|Show)/);

    await page.getByRole('button', { name: /^quarterly report\.docx, / }).focus();
    const all = `Delete all 2 copies of quarterly report.docx, ${dayName(at(0, 0))}`;
    await page.getByRole('button', { name: all }).click();
    await page.getByRole('dialog').getByRole('button', { name: 'Delete 2 copies permanently' }).click();
    await notice(page, 'Copies deleted');
    assert.equal(fs.existsSync(copies.reportNew) || fs.existsSync(copies.reportOld), false);
    assert.deepEqual([...await groupsOnPage(page)].sort(), groupsOnDisk([home.backup, earlier]));

    // A copy that vanishes from disk leaves the page by itself.
    fs.rmSync(copies.contract);
    await page.getByRole('button', { name: /^contract\.pdf, / }).waitFor({ state: 'detached' });
  });
});
