// The page's reading of the backup list and what it builds from it, in Node:
// the Base64 text and its filters, the list changing under the page, search
// as a person types it (dates in any digits), a document's timeline, the
// exact figures of copies and how sizes read.

import assert from 'node:assert/strict';
import { test } from 'node:test';
import { ListFormatError, applyListChange, buildCatalogue, decodeBackupTable, filterCatalogue, indexCatalogue, sizeTextToBytes, sortTimeline, timelineOf } from '../../suite/page/backuplist.js';
import { CopyDetails, copyFigures } from '../../suite/page/copydetails.js';
import { asciiDigits, dayHeading, formatSize, formatSizeChange } from '../../suite/page/format.js';
import { snippetParts } from '../../suite/page/textsearch.js';

const copy = (filePath, saveTime, fileSize = '1 KB', conflictTime = '') => ({ conflictTime, filePath, fileSize, saveTime });
const group = (groupName, saveDate, backupFiles, groupType = 'doc') => ({
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
  group('plan.xlsx', '2024/03/04', [copy('/b/plan-1', '08:00', '1.50 MB')], 'xls'),
  group('Bericht über Qualität.docx', '2024/03/05', [
    copy('/b/bericht-1', '09:05', '20 KB'),
    copy('/b/bericht-2', '16:40', '16 KB', '2024-03-05 16:45:00'),
    copy('/old/bericht-3', '12:00', '0 KB'),
  ]),
  group('slides.pptx', '2024/03/05', [copy('/b/slides-1', '10:00', '2048.00 MB')], 'ppt'),
  group('odd', '2024/03/05', [copy('odd-1', '07:00', 'n/a')], 'something else'),
];

test('reads the Base64 text, non-ASCII names included, days and copies newest first', () => {
  const catalogue = decodeBackupTable(encode(list));
  assert.equal(catalogue.copyCount, 6);
  assert.deepEqual(catalogue.days.map((d) => d.saveDate), ['2024/03/05', '2024/03/04']);
  // Within a day the groups keep the list's order.
  assert.deepEqual(catalogue.days[0].groups.map((g) => g.name), ['Bericht über Qualität.docx', 'slides.pptx', 'odd']);
  const bericht = catalogue.days[0].groups[0];
  assert.deepEqual(bericht.copies.map((c) => [c.saveTime, c.filePath]), [['16:40', '/b/bericht-2'], ['12:00', '/old/bericht-3'], ['09:05', '/b/bericht-1']]);
  assert.deepEqual([bericht.isConflict, bericht.conflicts, bericht.bytes], [true, 1, 36 * 1024 + 3 * 512]);
  assert.deepEqual([catalogue.days[0].groups[2].copies[0].filePath, catalogue.days[0].groups[2].type], ['odd-1', 'unknown']);
});

test('sizes come back from their texts', () => {
  const rows = [['0 KB', 512], ['1023 KB', 1023 * 1024 + 512], ['1.00 MB', 1048576], ['1.50 MB', 1572864],
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
  assert.deepEqual([all.copyCount, all.documentCount, all.conflictCount], [6, 4, 1]);
  assert.deepEqual(all.typeCounts, { all: 6, doc: 3, xls: 1, ppt: 1, pdf: 0, unknown: 1 });

  const searched = filterCatalogue(catalogue, { query: '  ÜBER ' });
  assert.deepEqual(searched.days.flatMap((d) => d.entries.map((e) => e.group.name)), ['Bericht über Qualität.docx']);
  assert.equal(searched.typeCounts.all, 3);

  const typed = filterCatalogue(catalogue, { type: 'xls' });
  assert.deepEqual(typed.days.map((d) => d.saveDate), ['2024/03/04']);
  assert.equal(typed.bytes, 1572864);
  assert.equal(typed.typeCounts.doc, 3, 'the type counts ignore the type filter');

  const conflicts = filterCatalogue(catalogue, { conflictsOnly: true });
  assert.deepEqual([conflicts.copyCount, conflicts.bytes], [1, 16 * 1024 + 512]);
  assert.deepEqual(conflicts.days[0].entries[0].copies.map((c) => c.filePath), ['/b/bericht-2']);

  const none = filterCatalogue(catalogue, { query: 'plan', conflictsOnly: true });
  assert.deepEqual([none.copyCount, none.days.length, none.conflictCount], [0, 0, 0]);
});

const added = (groupName, saveDate, filePath, saveTime, fileSize = '2 KB') => ({ ...copy(filePath, saveTime, fileSize), groupName, groupType: 'doc', isConflict: false, saveDate });

// Each day as "date: name [paths newest first] | name [...]".
const shape = (catalogue) => catalogue.days.map((day) => `${day.saveDate}: ${day.groups.map((g) => `${g.name} [${g.copies.map((c) => c.filePath).join(' ')}]`).join(' | ')}`);

const rows = [
  ['a copy goes; its group stays in place', { removed: ['/b/a2'] },
    ['2024/03/05: a [/b/a1] | b [/b/b1]', '2024/03/04: c [/b/c1]'], 3],
  ['the last copy of a group goes, and its empty day', { removed: ['/b/c1', '/b/gone'] },
    ['2024/03/05: a [/b/a1 /b/a2] | b [/b/b1]'], 3],
  ['a copy joins its group in time order', { added: [added('a', '2024/03/05', '/b/a3', '10:30')] },
    ['2024/03/05: a [/b/a1 /b/a3 /b/a2] | b [/b/b1]', '2024/03/04: c [/b/c1]'], 5],
  ['a new document goes on top of its day; a new day in date order', { added: [added('d', '2024/03/05', '/b/d1', '12:00'), added('e', '2024/03/06', '/b/e1', '08:00')] },
    ['2024/03/06: e [/b/e1]', '2024/03/05: d [/b/d1] | a [/b/a1 /b/a2] | b [/b/b1]', '2024/03/04: c [/b/c1]'], 6],
  ['a changed copy keeps its group and place', { removed: ['/b/b1'], added: [added('b', '2024/03/05', '/b/b1', '09:00', '3 KB')] },
    ['2024/03/05: a [/b/a1 /b/a2] | b [/b/b1]', '2024/03/04: c [/b/c1]'], 4],
  ['a copy seen twice counts once', { added: [added('c', '2024/03/04', '/b/c1', '07:00')] },
    ['2024/03/05: a [/b/a1 /b/a2] | b [/b/b1]', '2024/03/04: c [/b/c1]'], 4],
];

for (const [name, change, expected, count] of rows) {
  test(`a list change: ${name}`, () => {
    // Before and after the page indexed the catalogue in idle time.
    for (const indexed of [false, true]) {
      const catalogue = buildCatalogue([group('a', '2024/03/05', [copy('/b/a1', '11:00'), copy('/b/a2', '09:00')]),
        group('b', '2024/03/05', [copy('/b/b1', '09:00')]), group('c', '2024/03/04', [copy('/b/c1', '07:00')])]);
      if (indexed) indexCatalogue(catalogue);
      applyListChange(catalogue, change);
      assert.deepEqual(shape(catalogue), expected);
      assert.equal(catalogue.copyCount, count);
      // Counts and sizes agree with a catalogue read afresh.
      const view = filterCatalogue(catalogue);
      const fresh = filterCatalogue(buildCatalogue(catalogue.groups.map((g) => group(g.name, g.saveDate, g.copies.map((c) => copy(c.filePath, c.saveTime, c.fileSize)), g.type))));
      assert.deepEqual([view.copyCount, view.bytes, view.groupCount], [fresh.copyCount, fresh.bytes, fresh.groupCount]);
    }
  });
}

test('snippets split into plain and marked text', () => {
  const cases = [
    ['the \u0001budget\u0002 for \u0001March\u0002.', [['the ', false], ['budget', true], [' for ', false], ['March', true], ['.', false]]],
    ['<b>no markup</b>', [['<b>no markup</b>', false]]],
    ['\u0001open', [['open', true]]],
    ['', []],
  ];
  for (const [snippet, parts] of cases) assert.deepEqual(snippetParts(snippet).map((p) => [p.text, p.mark]), parts, JSON.stringify(snippet));
});

const searched = () => buildCatalogue([['Müller Angebot.docx', '2026/12/05'], ['ÉTÉ plan.docx', '2026/12/04'], ['report 5 dec.docx', '2025/01/02'],
  ['notes.docx', '2025/12/05']].map(([name, saveDate]) => group(name, saveDate, [copy(`/b/${name}`, '09:00')])));

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
    ['12月5日', ['Müller Angebot.docx', 'notes.docx']],
    ['2025年12月5号', ['notes.docx']],
    ['32 dec', []],
  ];
  for (const [query, names] of rows) {
    const view = filterCatalogue(searched(), { query });
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

test('a timeline spans days and folders, newest first; seconds order the copies of one minute', () => {
  const catalogue = buildCatalogue([group('plan.docx', '2024/03/05', [copy('/b/p1', '15:00'), copy('/b/p3', '09:00'), copy('/b/p2', '15:00')]),
    group('other.docx', '2024/03/06', [copy('/b/o1', '16:00')]), group('plan.docx', '2024/03/04', [copy('/old/p0', '18:00')]),
    group('plan.docx', '2024/03/06', [copy('/old/p4', '08:00')])]);
  const items = timelineOf(catalogue, 'plan.docx');
  assert.deepEqual(items.map((i) => i.copy.filePath), ['/old/p4', '/b/p1', '/b/p2', '/b/p3', '/old/p0']);
  items[1].copy.exact = { saveTime: '15:00:10' };
  items[2].copy.exact = { saveTime: '15:00:40' };
  assert.deepEqual(sortTimeline(items).map((i) => i.copy.filePath), ['/old/p4', '/b/p2', '/b/p1', '/b/p3', '/old/p0']);
});

test('sizes under 1 KB read in bytes, and changes carry their sign', () => {
  const rows = [[20480, 8192, '+12 KB'], [1024, 4096, '−3 KB'], [1536, 1024, '+512 bytes'], [700, 700, 'same size'], [0, 1, '−1 byte']];
  for (const [bytes, previous, text] of rows) assert.equal(formatSizeChange(bytes, previous), text);
  assert.equal(formatSize(512), '512 bytes');
  assert.equal(formatSize(0), '0 bytes');
});

test('exact figures are asked for in calls of at most 1000 paths, once per copy', async () => {
  const copies = Array.from({ length: 2500 }, (_, i) => copy(`/b/c${i}`, '10:00'));
  const calls = [];
  let done;
  const finished = new Promise((resolve) => { done = resolve; });
  let arrived = 0;
  const details = new CopyDetails(async (method, { backupFiles }) => {
    calls.push([method, backupFiles.length]);
    // A path the catalogue no longer knows is left out of the answer.
    const files = backupFiles.filter((p) => p !== '/b/c7').map((filePath) => ({ filePath, saveTime: '10:00:05', bytes: 700, previousBytes: 1200 }));
    return { result: true, files };
  }, (batch) => {
    arrived += batch.length;
    if (arrived === copies.length) done();
  });
  details.want(copies);
  details.want(copies.slice(0, 10));
  await finished;
  assert.deepEqual(calls, [['getBackupFileDetails', 1000], ['getBackupFileDetails', 1000], ['getBackupFileDetails', 500]]);
  assert.equal(copies[7].exact, null);
  assert.deepEqual(copyFigures(copies[0]), { time: '10:00:05', size: '700 bytes', title: '700 bytes', change: '−500 bytes', changeLabel: '−500 bytes against the copy before' });
  assert.deepEqual(copyFigures(copies[7]), { time: '10:00', size: '1 KB', title: '', change: '', changeLabel: '' });
  details.want(copies);
  await Promise.resolve();
  assert.equal(calls.length, 3);
});

test('a sync conflict reads as what happened, on the day of the copy or another', async () => {
  const { conflictText } = await import('../../suite/page/preview.js');
  const item = (conflictTime) => ({ group: { saveDate: '2024/03/05' }, copy: { saveTime: '15:00', conflictTime } });
  assert.equal(conflictText(item('2024-03-05 15:05:12')), 'Saved on this computer at 15:00; the cloud had a newer version at 15:05.');
  assert.match(conflictText(item('2024-03-06 08:00:00')), /newer version at 08:00 on 6 March 2024\.$/);
});
