// Finding a document as a person types it, and dates written in any digits.

import assert from 'node:assert/strict';
import { test } from 'node:test';
import { buildCatalogue, filterCatalogue } from '../../suite/page/backuplist.js';
import { asciiDigits, dayHeading } from '../../suite/page/format.js';

const group = (groupName, saveDate) => ({ groupName, saveDate, groupType: 'doc', backupFiles: [{ filePath: `/b/${groupName}`, fileSize: '1 KB', saveTime: '09:00' }] });
const catalogue = () => buildCatalogue([
  group('Müller Angebot.docx', '2026/12/05'),
  group('ÉTÉ plan.docx', '2026/12/04'),
  group('report 5 dec.docx', '2025/01/02'),
  group('notes.docx', '2025/12/05'),
]);

test('search ignores case and accents and finds the days it names', () => {
  const rows = [
    ['muller', ['Müller Angebot.docx']],
    ['MÜLLER angebot', ['Müller Angebot.docx']],
    ['ete', ['ÉTÉ plan.docx']],
    ['2026-12-05', ['Müller Angebot.docx']],
    ['2026/12', ['Müller Angebot.docx', 'ÉTÉ plan.docx']],
    ['5 Dec', ['Müller Angebot.docx', 'notes.docx', 'report 5 dec.docx']],
    ['December 5, 2025', ['notes.docx']],
    ['4 déc', ['ÉTÉ plan.docx']],
    ['٢٠٢٦-١٢-٠٤', ['ÉTÉ plan.docx']],
    ['32 dec', []],
  ];
  for (const [query, names] of rows) {
    const view = filterCatalogue(catalogue(), { query });
    assert.deepEqual(view.days.flatMap((d) => d.entries.map((e) => e.group.name)), names, query);
  }
});

test('dates in Arabic, Persian and Bengali digits read as days', () => {
  const rows = [['٢٠٢٤/٠٣/٠٩', '2024/03/09'], ['۲۰۲۴/۰۳/۰۹', '2024/03/09'], ['২০২৪/০৩/০৯', '2024/03/09'], ['2024/03/09', '2024/03/09'], ['𝟐𝟎𝟐𝟒', '2024']];
  for (const [text, ascii] of rows) {
    assert.equal(asciiDigits(text), ascii);
    if (text.length > 8) assert.equal(dayHeading(text, new Date(2026, 0, 1)), 'Saturday, 9 March 2024');
  }
});
