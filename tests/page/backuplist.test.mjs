// The page's reading of the backup list text and its filters, in Node.

import assert from 'node:assert/strict';
import { test } from 'node:test';
import { ListFormatError, decodeBackupTable, filterCatalogue, sizeTextToBytes } from '../../suite/page/backuplist.js';

const copy = (filePath, saveTime, fileSize = '1 KB', conflictTime = '') => ({ conflictTime, filePath, fileSize, saveTime });
const group = (groupName, saveDate, groupType, backupFiles) => ({
  backupFiles, groupName, groupType, isConflict: backupFiles.some((c) => c.conflictTime), saveDate,
});
// The text getBackupFileListCompact answers: Base64 of the compact table.
const encode = (backupList) => {
  const folders = [];
  const folderOf = (path) => {
    const slash = path.lastIndexOf('/');
    if (slash < 0) return [-1, path];
    if (!folders.includes(path.slice(0, slash))) folders.push(path.slice(0, slash));
    return [folders.indexOf(path.slice(0, slash)), path.slice(slash + 1)];
  };
  const groups = backupList.map((g) => [g.groupName, g.groupType, g.saveDate, g.isConflict,
    g.backupFiles.map((c) => [...folderOf(c.filePath), c.fileSize, c.saveTime, c.conflictTime])]);
  return Buffer.from(JSON.stringify({ groups, folders }), 'utf8').toString('base64');
};

const list = [
  group('plan.xlsx', '2024/03/04', 'xls', [copy('/b/plan-1', '08:00', '1.50 MB')]),
  group('Bericht über Qualität.docx', '2024/03/05', 'doc', [
    copy('/b/bericht-1', '09:05', '20 KB'),
    copy('/b/bericht-2', '16:40', '16 KB', '2024-03-05 16:45:00'),
    copy('/old/bericht-3', '12:00', '0 KB'),
  ]),
  group('slides.pptx', '2024/03/05', 'ppt', [copy('/b/slides-1', '10:00', '2048.00 MB')]),
  group('odd', '2024/03/05', 'something else', [copy('odd-1', '07:00', 'n/a')]),
];

test('reads the Base64 text, non-ASCII names included, days and copies newest first', () => {
  const catalogue = decodeBackupTable(encode(list));
  assert.equal(catalogue.copyCount, 6);
  assert.deepEqual(catalogue.days.map((d) => d.saveDate), ['2024/03/05', '2024/03/04']);
  // Within a day the groups keep the list's order.
  assert.deepEqual(catalogue.days[0].groups.map((g) => g.name), ['Bericht über Qualität.docx', 'slides.pptx', 'odd']);
  const bericht = catalogue.days[0].groups[0];
  assert.deepEqual(bericht.copies.map((c) => [c.saveTime, c.filePath]), [['16:40', '/b/bericht-2'], ['12:00', '/old/bericht-3'], ['09:05', '/b/bericht-1']]);
  assert.equal(catalogue.days[0].groups[2].copies[0].filePath, 'odd-1');
  assert.equal(bericht.isConflict, true);
  assert.equal(bericht.conflicts, 1);
  assert.equal(bericht.bytes, 36 * 1024);
  assert.equal(catalogue.days[0].groups[2].type, 'unknown');
});

test('sizes come back from their texts', () => {
  const rows = [['0 KB', 0], ['1023 KB', 1023 * 1024], ['1.00 MB', 1048576], ['1.50 MB', 1572864],
    ['2048.00 MB', 2048 * 1048576], ['', 0], ['12', 0], ['abc KB', 0], ['KB', 0]];
  for (const [text, bytes] of rows) assert.equal(sizeTextToBytes(text), bytes, text);
});

test('a damaged text is refused with a reason', () => {
  for (const text of [undefined, '%%%not base64', Buffer.from('{"backupList": [').toString('base64'),
    Buffer.from('{"groups": []}').toString('base64')]) {
    assert.throws(() => decodeBackupTable(text), ListFormatError, String(text));
  }
});

test('search, type and conflicts combine, and counts and sizes follow them', () => {
  const catalogue = decodeBackupTable(encode(list));
  const all = filterCatalogue(catalogue);
  assert.equal(all.copyCount, 6);
  assert.equal(all.documentCount, 4);
  assert.equal(all.conflictCount, 1);
  assert.deepEqual(all.typeCounts, { all: 6, doc: 3, xls: 1, ppt: 1, pdf: 0, unknown: 1 });

  const searched = filterCatalogue(catalogue, { query: '  ÜBER ' });
  assert.deepEqual(searched.days.flatMap((d) => d.entries.map((e) => e.group.name)), ['Bericht über Qualität.docx']);
  assert.equal(searched.typeCounts.all, 3);

  const typed = filterCatalogue(catalogue, { type: 'xls' });
  assert.deepEqual(typed.days.map((d) => d.saveDate), ['2024/03/04']);
  assert.equal(typed.bytes, 1572864);
  assert.equal(typed.typeCounts.doc, 3, 'the type counts ignore the type filter');

  const conflicts = filterCatalogue(catalogue, { conflictsOnly: true });
  assert.equal(conflicts.copyCount, 1);
  assert.deepEqual(conflicts.days[0].entries[0].copies.map((c) => c.filePath), ['/b/bericht-2']);
  assert.equal(conflicts.bytes, 16 * 1024);

  const none = filterCatalogue(catalogue, { query: 'plan', conflictsOnly: true });
  assert.deepEqual([none.copyCount, none.days.length, none.conflictCount], [0, 0, 0]);
});
