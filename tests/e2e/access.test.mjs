// The page for every person and every screen: the suite's skin and language,
// the ones it has when the page opens and every change of skin after that
// (which the plug-in announces as "event.arkivo.onskinmodechanged"); a list
// a screen reader can walk, no serious axe-core findings in either skin, the
// main actions by keyboard alone, forced colours, and small or zoomed windows
// where the panels below the list are reached by wheel and by Tab.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { describe, test } from 'node:test';
import { at, axeFindings, confirmDelete, notice, openPage, screenshot, setSkin, sharedHost, waitUntil } from './support/host.mjs';

const frames = (page) => page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
const inView = (page, selector) => page.$eval(selector, (el) => {
  const r = el.getBoundingClientRect();
  return r.height > 0 && r.top >= 0 && r.bottom <= innerHeight + 0.5;
});

describe('the page for every person and screen', () => {
  const copies = {};
  const shared = sharedHost((home) => {
    home.set('theme', 'skin', 'dark');
    home.set('ui', 'language', 'zh_CN');
    const earlier = home.dir('backup-old');
    home.setEarlierFolders([earlier]);
    copies.reportNew = home.copy(home.backup, 'quarterly report.docx', at(0, 15, 0), 20 * 1024);
    copies.reportOld = home.copy(home.backup, 'quarterly report.docx', at(0, 14, 30), 16 * 1024);
    home.conflict(copies.reportNew, at(0, 15, 5));
    home.copy(home.backup, 'budget.xlsx', at(0, 10, 15), 1992294);
    home.copy(home.backup, 'slides.pptx', at(1, 17, 2), 10 * 1024);
    home.copy(home.backup, 'contract.pdf', at(1, 12, 0), 200 * 1024);
    home.copy(earlier, 'thesis.docx', at(3, 21, 0), 512 * 1024);
    for (let i = 0; i < 24; i++) home.copy(home.backup, `notes ${i}.docx`, at(1 + (i % 4), 9, i));
    return { skinControl: home.skinControl };
  });

  // First: the suite starts dark and in Chinese. axe-core goes in past the
  // page's policy; without motion no colour is caught mid-change.
  test('the page follows the suite skin and language, rows say where they stand, both skins pass axe-core, the main actions by keyboard', async () => {
    const { home } = shared;
    const page = await openPage(shared.browser, shared.host, { bypassCSP: true, reducedMotion: 'reduce' });
    await page.waitForFunction(() => document.documentElement.dataset.skin === 'dark');
    // A page opened again learns the language the suite has then.
    const languages = [
      ['zh_CN', 'zh-CN', '备份中心', /^29 个文档的 30 个副本 · /, /^今天 · \d{4}年/],
      ['en', 'en', 'Backup center', /^30 copies of 29 documents · /, /^Today · \w+, \d+ \w+ \d{4}$/],
    ];
    for (const [language, lang, title, summary, today] of languages) {
      if (language === 'en') {
        home.set('ui', 'language', 'en');
        await page.reload();
      }
      await page.waitForFunction((l) => document.documentElement.lang === l && document.documentElement.dataset.listState === 'ready', lang);
      assert.equal(await page.evaluate(() => location.search), '', 'the token left the address');
      assert.deepEqual([await page.title(), (await page.textContent('h1')).trim()], [title, title]);
      assert.match(await page.textContent('#summary'), summary);
      await page.getByRole('heading', { level: 2, name: today }).first().waitFor();
      // Each change recolours the page; text against its background meets WCAG AA in both skins.
      for (const name of ['default', 'dark']) {
        await setSkin(page, home, name);
        await screenshot(page, `page-${language}-${name}.png`);
        assert.deepEqual(await axeFindings(page, { runOnly: ['color-contrast'] }), [], `${language} ${name}`);
      }
    }
    // The suite remembers the skin, as its own switch does.
    assert.match(fs.readFileSync(path.join(home.path, 'suite.ini'), 'utf8'), /skin=dark/);

    await page.setViewportSize({ width: 1366, height: 768 });
    assert.equal(await page.getAttribute('#list', 'role'), 'treegrid');
    const first = page.locator('#list [role="row"][aria-level="1"]').first();
    assert.deepEqual(await first.evaluate((row) => ['aria-posinset', 'aria-setsize', 'aria-expanded'].map((a) => row.getAttribute(a))), ['1', '29', 'true']);
    await page.getByRole('button', { name: 'Refresh', exact: true }).waitFor();

    // Search, open the document, open a copy, ask to delete another and change one's mind.
    await page.keyboard.press('/');
    await page.keyboard.type('QUARTERLY');
    await page.waitForFunction(() => document.querySelectorAll('#list [aria-level="1"]').length === 1);
    const place = () => page.evaluate(() => {
      const row = document.activeElement.closest('[role="row"]');
      return [row.getAttribute('aria-level'), row.getAttribute('aria-posinset'), row.getAttribute('aria-setsize'), row.getAttribute('aria-expanded') ?? document.activeElement.textContent];
    });
    await page.keyboard.press('ArrowDown');
    for (const [key, where] of [['ArrowLeft', ['1', '1', '1', 'false']], ['ArrowRight', ['1', '1', '1', 'true']], ['ArrowRight', ['2', '1', '2', 'Open']]]) {
      await page.keyboard.press(key);
      assert.deepEqual(await place(), where, key);
    }
    await page.keyboard.press('Enter');
    await waitUntil(() => home.launches().some((l) => JSON.stringify(l).includes(path.basename(copies.reportNew))), 'the copy opening');
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('Delete');
    await page.getByRole('dialog').waitFor();
    await page.keyboard.press('Escape');
    await page.getByRole('dialog').waitFor({ state: 'detached' });
    assert.deepEqual(await place(), ['2', '2', '2', 'Open']);
    assert.ok(fs.existsSync(copies.reportOld));

    for (const skin of ['default', 'dark']) {
      await setSkin(page, home, skin);
      assert.deepEqual(await axeFindings(page), [], skin);
      await screenshot(page, `access-${skin}.png`);
    }
    assert.deepEqual(page.problems, []);
    await page.close();
  });

  async function open(options) {
    const page = await openPage(shared.browser, shared.host, options);
    await page.waitForSelector('#list [role="row"][aria-level="1"]');
    return page;
  }

  const screens = [
    ['1366x768', { width: 1366, height: 768 }],
    ['800x600', { width: 800, height: 600 }],
    ['200% zoom', { width: 683, height: 384, deviceScaleFactor: 2 }],
  ];
  for (const [name, options] of screens) {
    test(`at ${name} the side panels are reached by wheel and by Tab, and the last row shows whole`, async () => {
      const page = await open(options);
      const box = await page.locator('#list').boundingBox();
      await page.mouse.move(box.x + box.width / 2, box.y + Math.min(box.height / 2, 40));
      for (let i = 0; i < 60 && !await inView(page, '#radar-button'); i++) {
        await page.mouse.wheel(0, 300);
        await frames(page);
      }
      assert.ok(await inView(page, '#radar-button'), 'File radar in sight by wheel');
      const last = await page.$eval('#list', async (list) => {
        list.scrollTop = list.scrollHeight;
        await new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
        const rows = [...list.querySelectorAll('[role="row"]')].map((row) => row.getBoundingClientRect().bottom);
        return { row: Math.max(...rows), list: list.getBoundingClientRect().bottom };
      });
      assert.ok(last.row <= last.list + 0.5, `last row ends at ${last.row}, the list at ${last.list}`);
      await page.focus('#search');
      for (let i = 0; i < 40 && await page.evaluate(() => document.activeElement.id) !== 'radar-button'; i++) await page.keyboard.press('Tab');
      assert.ok(await inView(page, '#radar-button'), 'File radar in sight by Tab');
      if (name === '800x600') await screenshot(page, 'access-800x600.png');
      assert.deepEqual(page.problems, []);
      await page.close();
    });
  }

  test('in forced colours icons, chevrons and the switch stay visible', async () => {
    const page = await open({ width: 1366, height: 768, forcedColors: 'active' });
    assert.ok(await page.evaluate(() => matchMedia('(forced-colors: active)').matches));
    await page.waitForFunction(() => !document.getElementById('roaming-switch').disabled);
    const contrasts = await page.evaluate(() => {
      const luminance = (c) => c.match(/[\d.]+/g).slice(0, 3).map((v) => v / 255)
        .reduce((sum, v, i) => sum + (v <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4) * [0.2126, 0.7152, 0.0722][i], 0);
      const behind = (el) => {
        let e = el.parentElement;
        while (e && /, 0\)$|transparent/.test(getComputedStyle(e).backgroundColor)) e = e.parentElement;
        return e ? getComputedStyle(e).backgroundColor : 'rgb(255, 255, 255)';
      };
      return ['.row.group .chevron', '#refresh-button .btn-icon', '#radar-button .btn-icon', '#roaming-switch .switch-knob'].map((s) => {
        const [a, b] = [luminance(getComputedStyle(document.querySelector(s)).backgroundColor), luminance(behind(document.querySelector(s)))];
        return [s, Math.round((Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05))];
      });
    });
    for (const [what, ratio] of contrasts) assert.ok(ratio >= 3, `${what}: ${ratio}`);
    await screenshot(page, 'access-forced-colors.png');
    await page.close();
  });

  test('conflicts only: a group shows the copies it counts and deletes only those', async () => {
    const page = await open({ width: 1366, height: 768 });
    await page.getByRole('button', { name: /^Conflicts only/ }).click();
    await page.locator('#list .row.actions').waitFor();
    assert.deepEqual(await page.$$eval('#list .row.copy button, #list .row.actions button', (b) => b.map((x) => x.textContent)), ['Open', 'Restore a copy…', 'Delete', 'Show in folder']);
    await page.getByRole('button', { name: /^quarterly report\.docx, / }).press('Delete');
    await confirmDelete(page, null, 'Delete permanently', 'Copies deleted');
    assert.deepEqual([fs.existsSync(copies.reportNew), fs.existsSync(copies.reportOld)], [false, true]);
    await page.close();
  });

  // Last: it stops the host.
  test('a lost connection is one banner with Reconnect, and one message however often it is met', async () => {
    const page = await open({ width: 800, height: 600 });
    await shared.host.stop();
    const banner = page.getByRole('status').filter({ hasText: 'The backup center lost its connection to Zentri.' });
    await banner.getByRole('button', { name: 'Reconnect' }).waitFor();
    for (const button of ['Refresh', 'Refresh', 'Repair a document']) await page.getByRole('button', { name: button, exact: true }).click();
    await notice(page, 'Starting document repair did not work');
    assert.equal(await page.locator('.notice-error').count(), 1);
    assert.equal(await page.locator('#connection').count(), 1);
    await page.close();
  });
});
