// Getting the right copy back: one document's versions across days and
// backup folders, a preview of one, a comparison with the copy before it,
// and a restore through the host's save window.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { at, docx, notice, saveDateOf, screenshot, setSkin, withHost } from './support/host.mjs';

const seconds = (date, s) => new Date(date.getTime() + s * 1000);
const focusedLabel = (page) => page.evaluate(() => document.activeElement?.getAttribute('aria-label') ?? document.activeElement?.textContent);

test('a document\'s timeline: choose a copy, preview it, compare it with the one before, restore it', async () => {
  let afternoon;
  let target;
  await withHost((home) => {
    const earlier = home.dir('backup-old');
    home.setEarlierFolders([earlier]);
    home.copy(earlier, 'plan.docx', at(1, 9, 0), docx(['Plan for spring', 'The old budget line'], 'Spring plan'));
    // Two copies within one minute: only their seconds tell them apart.
    afternoon = home.copy(home.backup, 'plan.docx', seconds(at(0, 15, 0), 10),
      docx(['Plan for spring', 'The afternoon edits, three hours of them'], 'Spring plan'));
    home.copy(home.backup, 'plan.docx', seconds(at(0, 15, 0), 40),
      docx(['Plan for spring', 'The afternoon edits, three hours of them', 'A late line'], 'Spring plan'));
    home.copy(home.backup, 'other.docx', at(0, 10, 0));
    target = path.join(home.dir('documents'), 'plan restored.docx');
    return { automation: `key Escape\nsave-as ${target}\n`, skinControl: home.skinControl };
  }, async ({ home, page }) => {
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
    const exact = fs.statSync(afternoon).size;
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
    assert.ok(fs.readFileSync(target).equals(fs.readFileSync(afternoon)));
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
  }, { reducedMotion: 'reduce' }); // screenshots without colours half way through a transition
});
