// The status strip's sentences, in Node: each alert says what is wrong and
// offers what to do about it.

import assert from 'node:assert/strict';
import { test } from 'node:test';
import { statusAlerts, statusFacts } from '../../suite/page/status.js';

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
