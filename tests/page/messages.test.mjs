// The page's catalogues: every language has every text the page uses, with
// the same placeholders and only the plural forms the language has.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import { test } from 'node:test';
import { CATALOGUES, setLanguage, t } from '../../suite/page/i18n.js';

const page = new URL('../../suite/page/', import.meta.url);
const sources = fs.readdirSync(page).filter((f) => /\.(js|html)$/.test(f)).map((f) => fs.readFileSync(new URL(f, page), 'utf8')).join('\n');
const used = [...sources.matchAll(/\bt(?:Parts)?\('([^']+)'|data-i18n(?:-\w+)?="([^"]+)"/g)].map((m) => m[1] ?? m[2]);
// "{name}" and "{name, plural, …}" over all forms of an entry; not a form's own "one {…}".
const placeholders = (entry) => [...new Set([...Object.values(typeof entry === 'string' ? [entry] : entry).join('\n')
  .matchAll(/(?<!\b(?:zero|one|two|few|many|other)\s*)\{(\w+)[,}]/g)].map((m) => m[1]))].sort();

test('every catalogue has every key the page uses, with the same placeholders', () => {
  assert.ok(used.length > 100, `the scan found ${used.length} keys`);
  for (const [language, catalogue] of Object.entries(CATALOGUES)) {
    const categories = new Intl.PluralRules(language.replace('_', '-')).resolvedOptions().pluralCategories;
    for (const key of used) assert.ok(key in catalogue, `${language} lacks ${key}`);
    for (const key of Object.keys({ ...CATALOGUES.en, ...catalogue })) {
      assert.deepEqual(placeholders(catalogue[key] ?? ''), placeholders(CATALOGUES.en[key] ?? ''), `${language} ${key}`);
      if (typeof catalogue[key] !== 'object') continue;
      assert.ok('other' in catalogue[key], `${language} ${key} has no other form`);
      for (const form of Object.keys(catalogue[key])) assert.ok(categories.includes(form) || /^=\d+$/.test(form), `${language} ${key}: ${form}`);
    }
  }
});

test('texts take the form and the digits of their numbers', () => {
  const rows = [
    ['en', 'summary.shown', { count: 1, documents: 2, size: '20 KB' }, '1 copy of 2 documents · 20 KB'],
    ['en', 'size.bytes', { count: 20480 }, '20,480 bytes'],
    ['en', 'delete.countPermanently', { count: 1 }, 'Delete permanently'],
    ['zh_CN', 'delete.countPermanently', { count: 1 }, '永久删除'],
    ['zh_CN', 'delete.countPermanently', { count: 3 }, '永久删除 3 个副本'],
    ['zh_CN', 'textSearch.found', { count: 1200, documents: 2, query: 'x' }, '2 个文档的 1,200 个副本包含“x”'],
    ['zh_CN', 'no.such.key', {}, 'no.such.key'],
  ];
  for (const [language, key, params, text] of rows) {
    setLanguage(language);
    assert.equal(t(key, params), text, `${language} ${key}`);
  }
  setLanguage('en');
});
