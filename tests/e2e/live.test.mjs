// The page kept current against zentri-host serve: the status strip and its
// alerts; getting the right copy back (one document's versions across days
// and backup folders, a preview, a comparison with the copy before, a restore
// through the host's save window); copies appearing and going without a new
// listing, copies found damaged, and search inside the copies.

import assert from 'node:assert/strict';
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { before, describe, test } from 'node:test';
import { at, confirmDelete, docx, groupsOnPage, notice, openPage, saveDateOf, screenshot, setSkin, sharedHost, withHost } from './support/host.mjs';

const seconds = (date, s) => new Date(date.getTime() + s * 1000);
const focusedLabel = (page) => page.evaluate(() => document.activeElement?.getAttribute('aria-label') ?? document.activeElement?.textContent);

// Signed out, the cloud panel says so before anything asks for the account.
const statusHomes = [
  ['on, with a recent copy', (home) => home.copy(home.backup, 'plan.docx', new Date(Date.now() - 2 * 3600e3)),
    [/Backups on · Smart backup/, /Last copy 2 hours ago/, /Copies go to .*backup · .* free/, /Kept for 90 days/], [], null],
  ['off, signed out', (home) => { home.set('backup', 'mode', 0); home.set('backup', 'enabled', 'false'); home.set('account', 'signedIn', 'false'); },
    [/Backups off/], [['backupOff', /^Backups are off — /, 'Turn on']], 'Backups are off'],
  ['with a folder that is not there', (home) => home.set('backup', 'path', path.join(home.path, 'unplugged')),
    [/Backups on/], [['folderUnreachable', /The backup drive or folder .*unplugged is not connected/, 'Choose another folder']], 'The backup folder is not connected'],
  ['with an old last copy', (home) => home.copy(home.backup, 'plan.docx', at(10, 9, 0)),
    [/Last copy \d+ days ago/], [['noRecentCopy', /^No backup copy was made for \d+ days\./, 'Backup settings']], null],
];

for (const [name, setup, facts, alerts, emptyTitle] of statusHomes) {
  test(`the status strip of a suite with backups ${name}`, async () => {
    await withHost((home) => { home.common.backup = { BackupKeepCacheDays: 90 }; setup(home); }, async ({ home, page }) => {
      const strip = page.getByRole('region', { name: 'Backup status' });
      await strip.waitFor();
      const text = await strip.locator('.status-facts').innerText();
      for (const fact of facts) assert.match(text, fact);
      if (/Last copy/.test(text)) assert.match(await strip.locator('.fact-last').getAttribute('title'), /^The last copy was made on \d+ \w+ \d{4}/);
      const shown = await strip.locator('.status-alert').evaluateAll((items) => items.map((item) => [item.dataset.kind, item.querySelector('.alert-text').textContent, item.querySelector('button')?.textContent]));
      assert.equal(shown.length, alerts.length, JSON.stringify(shown));
      alerts.forEach(([kind, sentence, action], i) => assert.ok(shown[i][0] === kind && sentence.test(shown[i][1]) && shown[i][2] === action, JSON.stringify(shown[i])));
      if (emptyTitle) await page.getByRole('heading', { name: emptyTitle }).waitFor();
      const signedIn = home.suite.account.signedIn === 'true';
      await page.locator('#signin-note').waitFor({ state: signedIn ? 'hidden' : 'visible' });
      await page.waitForFunction((inside) => /Nobody is signed in/.test(document.getElementById('roaming-note').textContent) !== inside, signedIn);
    });
  });
}

describe('a list that changes while the page is open', () => {
  let home;
  let page;
  let listCalls = 0;
  const copies = {};
  let target;
  const shared = sharedHost((h) => {
    home = h;
    const earlier = home.dir('backup-old');
    home.setEarlierFolders([earlier]);
    home.copy(earlier, 'plan.docx', at(1, 9, 0), docx(['Plan for spring', 'The old budget line'], 'Spring plan'));
    // Two copies within one minute: only their seconds tell them apart.
    copies.afternoon = home.copy(home.backup, 'plan.docx', seconds(at(0, 15, 0), 10),
      docx(['Plan for spring', 'The afternoon edits, three hours of them'], 'Spring plan'));
    home.copy(home.backup, 'plan.docx', seconds(at(0, 15, 0), 40),
      docx(['Plan for spring', 'The afternoon edits, three hours of them', 'A late line'], 'Spring plan'));
    home.copy(home.backup, 'minutes.docx', at(0, 11, 0), docx(['The board approved the harbour extension.']));
    copies.minutesOld = home.copy(home.backup, 'minutes.docx', at(0, 9, 0), docx(['The board discussed the harbour.']));
    home.copy(home.backup, 'notes.docx', at(1, 10, 0), docx(['Shopping list']));
    home.copy(home.backup, 'memo.docx', at(1, 9, 0), docx(['Nothing much']));
    target = path.join(home.dir('documents'), 'plan restored.docx');
    return { automation: `key Escape\nsave-as ${target}\n`, skinControl: home.skinControl };
  });

  // Counts the list calls the page sends.
  before(async () => {
    page = await openPage(shared.browser, shared.host, { height: 1600, prepare: (p) => p.on('websocket', (socket) => socket.on('framesent', ({ payload }) => {
      if (String(payload).includes('"method":"getBackupFileListCompact"')) listCalls++;
    })) });
  });

  test('a document\'s timeline: choose a copy, preview it, compare it with the one before, restore it', async () => {
    // Screenshots without colours half way through a transition.
    const page = await openPage(shared.browser, shared.host, { reducedMotion: 'reduce' });
    await page.getByRole('button', { name: 'All versions of plan.docx' }).first().click();
    const timeline = page.locator('#timeline');
    await timeline.getByRole('heading', { name: 'All versions of plan.docx' }).waitFor();
    assert.equal(await timeline.locator('.timeline-summary').textContent(), '3 copies · over 2 days · in 2 folders');
    assert.equal(await timeline.locator('.trow.day').count(), 2);
    // Exact times, newest first, and the size change against the copy before.
    await page.waitForFunction(() => document.querySelectorAll('#timeline .tcopy .copy-time')[0]?.textContent === '15:00:40');
    assert.deepEqual(await timeline.locator('.tcopy .copy-time').allTextContents(), ['15:00:40', '15:00:10', '09:00:00']);
    const changes = await timeline.locator('.tcopy .copy-change').allTextContents();
    assert.match(changes[0], /^\+\d+ bytes$/);
    assert.equal(changes[2], 'first copy');
    const exact = fs.statSync(copies.afternoon).size;
    assert.equal(await timeline.locator('.tcopy .copy-size').nth(1).getAttribute('title'), `${exact.toLocaleString('en-GB')} bytes`);

    // The keyboard picks the second copy; the pane shows what it holds.
    assert.match(await focusedLabel(page), /^15:00:40, /);
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('Enter');
    const pane = page.getByRole('region', { name: /^plan\.docx: copy of 15:00:10, / });
    await pane.locator('.preview-text', { hasText: 'The afternoon edits, three hours of them' }).waitFor();
    assert.match(await pane.locator('.preview-facts').innerText(), /Title\s+Spring plan/);

    await pane.getByRole('button', { name: 'Compare with previous copy' }).click();
    await pane.locator('ins', { hasText: 'The afternoon edits, three hours of them' }).waitFor();
    assert.deepEqual(await pane.locator('.changes del').allTextContents(), ['−Removed: The old budget line']);
    for (const skin of ['dark', 'default']) {
      await setSkin(page, home, skin);
      await screenshot(page, `timeline-${skin}.png`);
    }

    // Jumping to a day makes its newest copy the list's stop for the keyboard.
    await page.selectOption('#timeline-jump', saveDateOf(at(1, 0)));
    assert.equal(await timeline.locator('.tcopy[tabindex="0"] .copy-time').textContent(), '09:00:00');

    // Restoring: a closed save window is no error; the page waits while the
    // window is open, then names the file.
    await pane.getByRole('button', { name: 'Restore a copy…' }).click();
    await notice(page, 'Nothing was restored');
    assert.equal(await page.locator('.notice-error').count(), 0);
    await page.evaluate(() => new MutationObserver(() => { window.waited = document.getElementById('waiting-title').textContent; })
      .observe(document.getElementById('waiting'), { attributes: true }));
    await pane.getByRole('button', { name: 'Restore a copy…' }).click();
    await notice(page, 'plan.docx restored');
    assert.match(await page.locator('.notice-text').last().textContent(), new RegExp(target.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')));
    assert.ok(fs.readFileSync(target).equals(fs.readFileSync(copies.afternoon)));
    assert.equal(await page.locator('#waiting').isVisible(), false);
    assert.equal(await page.evaluate(() => window.waited), 'A save window is open');

    // Escape closes the pane, then the timeline, each back to where the person was.
    await pane.getByRole('button', { name: 'Compare with previous copy' }).focus();
    await page.keyboard.press('Escape');
    assert.equal(await page.locator('.preview').isVisible(), false);
    assert.match(await focusedLabel(page), /^15:00:10, /);
    await page.keyboard.press('Escape');
    assert.equal(await timeline.isVisible(), false);
    assert.equal(await focusedLabel(page), 'All versions of plan.docx');
    assert.deepEqual(page.problems, []);
    await page.close();
  });

  test('copies written into the backup folder appear, and deleted ones go, without a new listing; no group moves', async () => {
    const calls = listCalls;
    home.copy(home.backup, 'agenda.docx', at(0, 12, 0), docx(['Item one']));
    await page.getByRole('button', { name: /^agenda\.docx, .* 1 copy ·/ }).waitFor();
    home.copy(home.backup, 'minutes.docx', at(0, 12, 30), docx(['The board approved the harbour extension and its budget.']));
    await page.getByRole('button', { name: /^minutes\.docx, .* 3 copies ·/ }).waitFor();
    const order = await groupsOnPage(page);
    const minutes = page.getByRole('button', { name: /^minutes\.docx, / });
    if (await minutes.getAttribute('aria-expanded') !== 'true') await minutes.click();
    await confirmDelete(page, page.getByRole('button', { name: /^Delete minutes\.docx, copy of 09:00:00/ }));
    assert.equal(await page.getByRole('button', { name: /^Delete minutes\.docx, copy of 09:00:00/ }).count(), 0);
    assert.equal(fs.existsSync(copies.minutesOld), false);
    // The last copy of a group takes its group with it; the others keep their places.
    await page.getByRole('button', { name: /^notes\.docx, / }).click();
    await confirmDelete(page, page.getByRole('button', { name: /^Delete notes\.docx, copy of/ }));
    assert.deepEqual(await groupsOnPage(page), order.filter((group) => !group.endsWith(' notes.docx')));
    assert.equal(listCalls, calls);
  });

  test('a damaged copy is marked in the list, the timeline, the preview and the strip', async () => {
    // Written after the listing, so that it does not hold up the text index.
    home.copy(home.backup, 'broken.docx', at(0, 8, 0), crypto.randomBytes(4096));
    await page.getByRole('button', { name: /^broken\.docx, / }).click();
    const badge = page.locator('.row.copy.damaged .damaged-badge');
    await badge.waitFor();
    assert.equal(await badge.textContent(), 'Damaged');
    assert.match(await badge.getAttribute('title'), /cannot be opened/);
    await page.getByRole('button', { name: /^Open broken\.docx, copy of 08:00:00, .*, damaged$/ }).waitFor();
    await page.locator('.status-alert[data-kind="damagedCopies"]').waitFor();
    await page.getByRole('button', { name: 'All versions of broken.docx' }).click();
    await page.getByRole('button', { name: /^08:00:00, .*, damaged, in backup$/ }).click();
    await page.locator('.preview .damaged-note').waitFor();
    await page.getByRole('button', { name: 'Back to all copies' }).click();
  });

  test('a search inside the copies opens the document\'s timeline with the copy in the preview', async () => {
    await page.getByRole('button', { name: 'Inside documents' }).click();
    await page.fill('#search', 'harbour');
    const hit = page.locator('.text-hit', { hasText: '11:00' });
    await hit.waitFor({ timeout: 15000 });
    assert.match(await page.locator('.text-progress').textContent(), /^Searched (all )?[\d,]+ (of [\d,]+ )?copies/);
    assert.deepEqual(await hit.locator('mark').allTextContents(), ['harbour']);
    assert.match(await hit.innerText(), /approved the harbour extension/);
    await hit.click();
    await page.getByRole('heading', { name: 'All versions of minutes.docx' }).waitFor();
    await page.getByRole('heading', { name: /^minutes\.docx: copy of 11:00:00, / }).waitFor();
    assert.equal(await page.evaluate(() => document.activeElement.getAttribute('aria-current')), 'true');
    await page.locator('.preview-text', { hasText: 'approved the harbour extension' }).waitFor();
    await page.getByRole('button', { name: 'Back to all copies' }).click();
    assert.equal(await page.evaluate(() => document.activeElement.classList.contains('text-hit')), true);
    assert.deepEqual(page.problems, []);
  });
});
