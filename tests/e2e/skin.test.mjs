// The page follows the suite's skin: the skin it has when the page opens,
// and every change after that, which the plug-in announces as
// "event.arkivo.onskinmodechanged".

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { SuiteHome, at, launchBrowser, openPage, screenshot, startHost } from './support/host.mjs';

test('the page follows the suite skin, both skins readable', async () => {
  const home = new SuiteHome();
  home.set('theme', 'skin', 'dark');
  const earlier = home.dir('backup-old');
  home.setEarlierFolders([earlier]);
  const conflicted = home.copy(home.backup, 'quarterly report.docx', at(0, 15, 0), 20 * 1024);
  home.copy(home.backup, 'quarterly report.docx', at(0, 14, 30), 16 * 1024);
  home.copy(home.backup, 'budget.xlsx', at(0, 10, 15), 1992294);
  home.copy(home.backup, 'slides.pptx', at(1, 17, 2), 10 * 1024);
  home.copy(home.backup, 'contract.pdf', at(1, 12, 0), 200 * 1024);
  home.copy(earlier, 'thesis.docx', at(3, 21, 0), 512 * 1024);
  home.conflict(conflicted, at(0, 15, 5));
  const control = path.join(home.path, 'skin-control');
  const host = await startHost(home, { skinControl: control });
  const browser = await launchBrowser();
  try {
    const page = await openPage(browser, host);
    await page.waitForFunction(() => document.documentElement.dataset.skin === 'dark');
    // Each change recolours the page; body text against its background
    // meets WCAG AA (4.5:1) in both skins.
    for (const name of ['default', 'dark']) {
      fs.writeFileSync(control, `${name}\n`);
      await page.waitForFunction((s) => document.documentElement.dataset.skin === s, name);
      await screenshot(page, `page-${name}.png`);
      const ratios = await page.evaluate(() => {
        const luminance = (rgb) => {
          const [r, g, b] = rgb.match(/\d+(\.\d+)?/g).slice(0, 3).map(Number).map((c) => {
            const v = c / 255;
            return v <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4;
          });
          return 0.2126 * r + 0.7152 * g + 0.0722 * b;
        };
        const background = (el) => {
          for (let e = el; e; e = e.parentElement) {
            const c = getComputedStyle(e).backgroundColor;
            if (c && !c.endsWith(', 0)') && c !== 'transparent') return c;
          }
          return getComputedStyle(document.documentElement).backgroundColor;
        };
        const selectors = ['.summary', '.group-name', '.group-meta', '.day-meta', '.copy-folder', '.note', '.conflict-badge', '.btn.ghost-danger', '.place'];
        return selectors.map((s) => document.querySelector(s)).filter(Boolean).map((el) => {
          const a = luminance(getComputedStyle(el).color);
          const b = luminance(background(el));
          return { what: el.className, ratio: (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05) };
        });
      });
      for (const { what, ratio } of ratios) assert.ok(ratio >= 4.5, `${name}: ${what} has contrast ${ratio.toFixed(2)}`);
    }
    // The suite remembers the skin, as its own switch does.
    assert.match(fs.readFileSync(path.join(home.path, 'suite.ini'), 'utf8'), /skin=dark/);
    assert.deepEqual(page.problems, []);
  } finally {
    await browser.close();
    await host.stop();
    home.remove();
  }
});
