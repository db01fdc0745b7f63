// The page follows the suite's skin and language: the ones it has when the
// page opens, and every change of skin after that, which the plug-in
// announces as "event.arkivo.onskinmodechanged". The bridge's token leaves
// the page's address, and a reload still connects.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { at, axeFindings, screenshot, setSkin, withHost } from './support/host.mjs';

test('the page follows the suite skin and language, both skins readable', async () => {
  await withHost((home) => {
    home.set('theme', 'skin', 'dark');
    home.set('ui', 'language', 'zh_CN');
    const earlier = home.dir('backup-old');
    home.setEarlierFolders([earlier]);
    const conflicted = home.copy(home.backup, 'quarterly report.docx', at(0, 15, 0), 20 * 1024);
    home.copy(home.backup, 'quarterly report.docx', at(0, 14, 30), 16 * 1024);
    home.copy(home.backup, 'budget.xlsx', at(0, 10, 15), 1992294);
    home.copy(home.backup, 'slides.pptx', at(1, 17, 2), 10 * 1024);
    home.copy(home.backup, 'contract.pdf', at(1, 12, 0), 200 * 1024);
    home.copy(earlier, 'thesis.docx', at(3, 21, 0), 512 * 1024);
    home.conflict(conflicted, at(0, 15, 5));
    return { skinControl: home.skinControl };
  }, async ({ home, page }) => {
    await page.waitForFunction(() => document.documentElement.dataset.skin === 'dark');
    // A page opened again learns the language the suite has then.
    const languages = [
      ['zh_CN', 'zh-CN', '备份中心', /^5 个文档的 6 个副本 · /, /^今天 · \d{4}年/],
      ['en', 'en', 'Backup center', /^6 copies of 5 documents · /, /^Today · \w+, \d+ \w+ \d{4}$/],
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
      assert.match(await page.textContent('.day-title'), today);
      // Each change recolours the page; text against its background meets WCAG AA in both skins.
      for (const name of ['default', 'dark']) {
        await setSkin(page, home, name);
        await screenshot(page, `page-${language}-${name}.png`);
        assert.deepEqual(await axeFindings(page, { runOnly: ['color-contrast'] }), [], `${language} ${name}`);
      }
    }
    // The suite remembers the skin, as its own switch does.
    assert.match(fs.readFileSync(path.join(home.path, 'suite.ini'), 'utf8'), /skin=dark/);
  }, { bypassCSP: true, reducedMotion: 'reduce' });
});
