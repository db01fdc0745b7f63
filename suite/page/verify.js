// Whether the copies on screen can still be opened: the rows being drawn ask
// verifyBackupFiles about theirs, in batches, and keep the answer on the copy
// object as `verified` ("pending", "ok", "damaged" or "unknown"). Copies still
// being read are answered later by the event backupFilesVerified.

import { BatchedAsker } from './batchedasker.js';
import { t } from './i18n.js';

export class CopyVerifier extends BatchedAsker {
  // `arrived(copies)` is told which copies have a new state.
  constructor(call, arrived) {
    super(call, 'verifyBackupFiles', 'askedVerify');
    this.arrived = arrived;
    this.pending = new Map();
  }

  isKnown(copy) {
    return copy.verified !== undefined;
  }

  answered(copies, answer) {
    const byPath = new Map(copies.map((c) => [c.filePath, c]));
    this.settle(Array.isArray(answer?.files) ? answer.files : [], byPath);
  }

  // The event's results: {files: [{filePath, state}]}.
  verified(payload) {
    this.settle(Array.isArray(payload?.files) ? payload.files : [], this.pending);
  }

  settle(files, copies) {
    const changed = [];
    for (const file of files) {
      const copy = copies.get(file?.filePath);
      if (!copy || typeof file.state !== 'string') continue;
      if (file.state === 'pending') this.pending.set(copy.filePath, copy);
      else this.pending.delete(copy.filePath);
      if (copy.verified !== file.state) {
        copy.verified = file.state;
        changed.push(copy);
      }
    }
    if (changed.length) this.arrived(changed);
  }
}

export const damagedTitle = () => t('copy.damagedTitle');
