// The page's texts, in Node: every language has every text the page uses,
// with the same placeholders and only the plural forms the language has; the
// status strip's alerts each say what is wrong and offer what to do about it.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import { test } from 'node:test';
import { CATALOGUES, setLanguage, t } from '../../suite/page/i18n.js';
import { statusAlerts, statusFacts } from '../../suite/page/status.js';

const page = new URL('../../suite/page/', import.meta.url);
const sources = fs.readdirSync(page).filter((f) => /\.(js|html)$/.test(f)).map((f) => fs.readFileSync(new URL(f, page), 'utf8')).join('\n');
const used = [...sources.matchAll(/\bt(?:Parts)?\('([^']+)'|data-i18n(?:-\w+)?="([^"]+)"/g)].map((m) => m[1] ?? m[2]);
// What failed is said by "failed.<action>", the action named where the call is made.
used.push(...[...sources.matchAll(/(?:(?:showError\(error|fail\(error|\}|runTool\('\w+'),|action:) '(\w+)'/g)].map((m) => `failed.${m[1]}`));
// "{name}" and "{name, plural, …}" over all forms of an entry, not a form's own "one {…}".
const placeholders = (entry) => [...new Set([...Object.values(typeof entry === 'string' ? [entry] : entry ?? {}).join('\n')
  .matchAll(/(?<!\b(?:zero|one|two|few|many|other)\s*)\{(\w+)[,}]/g)].map((m) => m[1]))].sort();

test('every catalogue has every key the page uses and the others have, with the same placeholders', () => {
  assert.ok(used.length > 100, `the scan found ${used.length} keys`);
  for (const [language, catalogue] of Object.entries(CATALOGUES)) {
    const categories = new Intl.PluralRules(language.replace('_', '-')).resolvedOptions().pluralCategories;
    for (const key of new Set([...used, ...Object.keys(CATALOGUES.en), ...Object.keys(catalogue)])) {
      assert.ok(key in catalogue && key in CATALOGUES.en, `${language} ${key}`);
      assert.deepEqual(placeholders(catalogue[key]), placeholders(CATALOGUES.en[key]), `${language} ${key}`);
      const forms = typeof catalogue[key] === 'object' ? Object.keys(catalogue[key]) : ['other'];
      assert.ok(forms.includes('other') && forms.every((f) => categories.includes(f) || /^=\d+$/.test(f)), `${language} ${key}: ${forms}`);
    }
  }
});

test('a text takes the plural forms and the digits of its numbers', () => {
  const rows = [
    ['en', 'summary.shown', { count: 1, documents: 20480, size: '20 KB' }, '1 copy of 20,480 documents · 20 KB'],
    ['en', 'delete.countPermanently', { count: 1 }, 'Delete permanently'],
    ['zh_CN', 'delete.countPermanently', { count: 1 }, '永久删除'],
    ['zh_CN', 'delete.countPermanently', { count: 3 }, '永久删除 3 个副本'],
    ['zh_CN', 'no.such.key', {}, 'no.such.key'],
  ];
  for (const [language, key, params, text] of rows) {
    setLanguage(language);
    assert.equal(t(key, params), text, `${language} ${key}`);
  }
  setLanguage('en');
});

const base = { result: true, mode: 1, enabled: true, interval: 10, folder: '/media/usb/backup', folderReachable: true, folderWritable: true,
  freeBytes: 512 * 1024 * 1024, totalBytes: 64 * 1024 ** 3, retentionDays: 30, lastCopyTime: '2024-03-01 09:00:00', alerts: [] };
const now = new Date(2024, 2, 11, 10, 0, 0);

test('each alert kind reads as a sentence with its remedy', () => {
  const rows = [
    ['backupOff', /^Backups are off — /, 'Turn on', 'settings'],
    ['folderUnreachable', /^The backup drive or folder \/media\/usb\/backup is not connected\. /, 'Choose another folder', 'settings'],
    ['folderReadOnly', /^The backup folder \/media\/usb\/backup is read-only/, 'Choose another folder', 'settings'],
    ['lowDiskSpace', /^Only 512\.0 MB is free on the drive/, 'Choose another folder', 'settings'],
    ['noRecentCopy', /^No backup copy was made for 10 days\./, 'Backup settings', 'settings'],
    ['damagedCopies', /^2 copies are damaged\. An earlier copy/, 'Show damaged', 'damaged'],
  ];
  for (const [kind, sentence, label, act] of rows) {
    const [alert] = statusAlerts({ ...base, alerts: [{ kind, text: '2 copies are damaged.' }] }, now);
    assert.match(alert.text, sentence, kind);
    assert.deepEqual(alert.action, { label, act }, kind);
  }
  assert.deepEqual(statusFacts({ ...base, mode: 0, enabled: false, lastCopyTime: '' }, now).map((f) => f.text),
    ['Backups off', 'No copy made yet', 'Copies go to /media/usb/backup · 512.0 MB free', 'Kept for 30 days']);
});
