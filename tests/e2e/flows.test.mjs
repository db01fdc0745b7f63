// Flows that open the host's native windows (the file chooser of a manual
// upload, the settings dialog and its boxes), driven headless through
// `zentri-host serve --automation FILE`, and the cloud's roaming switch.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { afterReload, at, notice, screenshot, withHost } from './support/host.mjs';

const readIni = (home) => fs.readFileSync(path.join(home.path, 'suite.ini'), 'utf8');

// Every file under `folder`, recursively.
const filesUnder = (folder) => (fs.existsSync(folder) ? fs.readdirSync(folder, { withFileTypes: true, recursive: true }) : [])
  .filter((entry) => entry.isFile()).map((entry) => path.join(entry.parentPath ?? entry.path, entry.name));

// The organisation's strategy that disables the switch: tst_roamingapi.
test('the roaming switch both ways, then a manual upload: a closed chooser uploads nothing, a chosen file reaches the cloud drive as progress reaches 100', async () => {
  let chosen;
  await withHost((home) => {
    home.copy(home.backup, 'report.docx', at(0, 9, 0));
    home.set('cloud', 'roamingMode', 'auto');
    home.set('cloud', 'uploadBytesPerSecond', 400000);
    chosen = path.join(home.dir('documents'), 'annual report.docx');
    fs.writeFileSync(chosen, Buffer.alloc(1500000, 65));
    return { automation: `key Escape\nchoose-files ${chosen}\n` };
  }, async ({ home, host, page }) => {
    const roaming = page.getByRole('switch', { name: 'Automatic roaming' });
    const settled = (checked) => page.waitForFunction((value) => {
      const s = document.getElementById('roaming-switch');
      return s.getAttribute('aria-checked') === value && !s.disabled;
    }, String(checked));
    await settled(true);
    await roaming.click();
    await settled(false);
    assert.match(readIni(home), /roamingMode=manual/);
    await roaming.press('Space');
    await settled(true);
    assert.match(readIni(home), /roamingMode=auto/);

    const upload = page.getByRole('button', { name: 'Upload files to the cloud…' });
    await upload.click();
    await notice(page, 'Nothing was uploaded');
    assert.equal(await page.locator('#upload-progress').isVisible(), false);
    assert.deepEqual(filesUnder(path.join(home.path, 'clouddrive')), []);

    const seen = [];
    await page.exposeFunction('recordProgress', (value) => seen.push(Number(value)));
    await page.evaluate(() => new MutationObserver(() => window.recordProgress(document.getElementById('upload-bar').getAttribute('aria-valuenow')))
      .observe(document.getElementById('upload-bar'), { attributes: true, attributeFilter: ['aria-valuenow'] }));
    await upload.click();
    await page.locator('#upload-progress').waitFor();
    await screenshot(page, 'upload-progress.png');
    await page.locator('.notice-title', { hasText: 'Upload finished' }).waitFor({ timeout: 30000 });
    assert.equal(seen.at(-1), 100);
    assert.ok(seen.some((value) => value > 0 && value < 100), `progress went ${seen.join(', ')}`);
    assert.match(await page.textContent('#upload-status'), /^100% · 1 of 1 file uploaded$/);
    assert.deepEqual(await page.locator('#upload-files li').evaluateAll((rows) => rows.map((row) => [...row.children].map((cell) => cell.textContent))),
      [['annual report.docx', 'uploaded']]);
    const uploaded = filesUnder(path.join(home.path, 'clouddrive')).filter((file) => path.basename(file) === 'annual report.docx');
    assert.equal(uploaded.length, 1);
    assert.ok(fs.readFileSync(uploaded[0]).equals(fs.readFileSync(chosen)));
    assert.equal(host.errors.includes('automation'), false, host.errors);
  });
});

test('the settings window: the page waits for it, and a new location is announced and listed', async () => {
  await withHost((home) => {
    home.copy(home.backup, 'report.docx', at(0, 9, 0));
    // The dialog keeps backups in a "backup" folder inside the chosen one.
    const target = home.dir('new-location');
    home.copy(home.dir('new-location/backup'), 'moved plan.xlsx', at(0, 11, 0));
    return { automation: `click localBackupSetting_timedBackupOptBtn\nclick text:Change location\nchoose-dir ${target}\nclick text:OK\nkey Escape\n` };
  }, async ({ home, page }) => {
    await afterReload(page, () => page.getByRole('button', { name: 'Backup settings' }).click());
    assert.equal(await page.locator('#waiting').isVisible(), false);
    assert.match(readIni(home), /mode=2/);
    await notice(page, 'The backup location changed');
    await page.getByRole('button', { name: /^moved plan\.xlsx, / }).waitFor();
    await page.getByRole('button', { name: /^report\.docx, / }).waitFor();
  });
});
