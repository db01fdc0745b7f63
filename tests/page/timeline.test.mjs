// A document's timeline, the exact figures of copies and how sizes read, in Node.

import assert from 'node:assert/strict';
import { test } from 'node:test';
import { buildCatalogue, sortTimeline, timelineOf } from '../../suite/page/backuplist.js';
import { CopyDetails, copyFigures } from '../../suite/page/copydetails.js';
import { formatSize, formatSizeChange } from '../../suite/page/format.js';

const copy = (filePath, saveTime) => ({ conflictTime: '', filePath, fileSize: '1 KB', saveTime });

test('a timeline spans days and folders, newest first; seconds order the copies of one minute', () => {
  const catalogue = buildCatalogue([
    { groupName: 'plan.docx', saveDate: '2024/03/05', groupType: 'doc', backupFiles: [copy('/b/p1', '15:00'), copy('/b/p3', '09:00'), copy('/b/p2', '15:00')] },
    { groupName: 'other.docx', saveDate: '2024/03/06', groupType: 'doc', backupFiles: [copy('/b/o1', '16:00')] },
    { groupName: 'plan.docx', saveDate: '2024/03/04', groupType: 'doc', backupFiles: [copy('/old/p0', '18:00')] },
    { groupName: 'plan.docx', saveDate: '2024/03/06', groupType: 'doc', backupFiles: [copy('/old/p4', '08:00')] },
  ]);
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
