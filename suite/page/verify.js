// Whether the copies on screen can still be opened: the rows being drawn ask
// verifyBackupFiles about theirs, in batches, and keep the answer on the copy
// object as `verified` ("pending", "ok", "damaged" or "unknown"). Copies still
// being read are answered later by the event backupFilesVerified.

import { BridgeError } from './bridge.js';

const BATCH = 1000;

export class CopyVerifier {
  // `call(method, args)` resolves with the answer; `arrived(copies)` is told
  // which copies have a new state.
  constructor(call, arrived) {
    this.call = call;
    this.arrived = arrived;
    this.queue = new Map();
    this.pending = new Map();
    this.scheduled = false;
    this.available = true;
  }

  // Asks about the copies not asked about yet, in the order given (the list
  // draws the newest first).
  want(copies) {
    if (!this.available) return;
    for (const copy of copies) {
      if (copy.verified !== undefined || copy.askedVerify) continue;
      copy.askedVerify = true;
      this.queue.set(copy.filePath, copy);
    }
    if (this.queue.size && !this.scheduled) {
      this.scheduled = true;
      queueMicrotask(() => this.flush());
    }
  }

  async flush() {
    this.scheduled = false;
    const waiting = [...this.queue.values()];
    this.queue.clear();
    for (let start = 0; start < waiting.length && this.available; start += BATCH) {
      await this.ask(waiting.slice(start, start + BATCH));
    }
  }

  async ask(copies) {
    let answer;
    try {
      answer = await this.call('verifyBackupFiles', { backupFiles: copies.map((c) => c.filePath) });
    } catch (error) {
      const refused = error instanceof BridgeError && error.kind === 'refused';
      if (refused && /unknown page method|not available/i.test(error.message)) this.available = false;
      // After a lost connection the copies ask again when drawn.
      if (!refused) for (const copy of copies) copy.askedVerify = false;
      return;
    }
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

export const DAMAGED_TITLE = 'This copy is damaged: it cannot be opened as it is. An earlier copy may be whole.';
