// The list changing under the page and the search snippets, in Node.

import assert from 'node:assert/strict';
import { test } from 'node:test';
import { applyListChange, buildCatalogue, filterCatalogue, indexCatalogue } from '../../suite/page/backuplist.js';
import { snippetParts } from '../../suite/page/textsearch.js';

const copy = (filePath, saveTime, fileSize = '1 KB') => ({ conflictTime: '', filePath, fileSize, saveTime });
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
      const catalogue = buildCatalogue([
        { groupName: 'a', saveDate: '2024/03/05', groupType: 'doc', backupFiles: [copy('/b/a1', '11:00'), copy('/b/a2', '09:00')] },
        { groupName: 'b', saveDate: '2024/03/05', groupType: 'doc', backupFiles: [copy('/b/b1', '09:00')] },
        { groupName: 'c', saveDate: '2024/03/04', groupType: 'doc', backupFiles: [copy('/b/c1', '07:00')] },
      ]);
      if (indexed) indexCatalogue(catalogue);
      applyListChange(catalogue, change);
      assert.deepEqual(shape(catalogue), expected);
      assert.equal(catalogue.copyCount, count);
      // Counts and sizes agree with a catalogue read afresh.
      const view = filterCatalogue(catalogue);
      const fresh = filterCatalogue(buildCatalogue(catalogue.groups.map((g) => ({ groupName: g.name, saveDate: g.saveDate, groupType: g.type, backupFiles: g.copies.map((c) => copy(c.filePath, c.saveTime, c.fileSize)) }))));
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
