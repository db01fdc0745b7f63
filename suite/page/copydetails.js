// The exact figures of the copies on screen: the list carries only "HH:mm"
// and a rounded size, so the rows being drawn ask getBackupFileDetails for
// theirs, in batches, and keep the answer on the copy object.

import { BridgeError } from './bridge.js';
import { formatExactBytes, formatSize, formatSizeChange } from './format.js';

const BATCH = 1000;

export class CopyDetails {
  // `call(method, args)` resolves with the answer; `arrived(copies)` is told
  // which copies have their figures now.
  constructor(call, arrived) {
    this.call = call;
    this.arrived = arrived;
    this.queue = new Map();
    this.scheduled = false;
    this.available = true;
  }

  // Asks for the copies that have no figures yet. A copy holds `exact`
  // ({saveTime, bytes, previousBytes, originalPath}) once answered, or
  // `exact === null` when the catalogue no longer knows it.
  want(copies) {
    if (!this.available) return;
    for (const copy of copies) {
      if (copy.exact !== undefined || copy.askedExact) continue;
      copy.askedExact = true;
      this.queue.set(copy.filePath, copy);
    }
    if (this.queue.size && !this.scheduled) {
      this.scheduled = true;
      // Everything drawn in one frame goes in one call.
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
      answer = await this.call('getBackupFileDetails', { backupFiles: copies.map((c) => c.filePath) });
    } catch (error) {
      // A plug-in without the method, or a refused call: the rounded figures
      // stay. After a lost connection the copies ask again when drawn.
      const refused = error instanceof BridgeError && error.kind === 'refused';
      if (refused && /unknown page method|not available/i.test(error.message)) this.available = false;
      for (const copy of copies) {
        if (refused) copy.exact = null;
        else copy.askedExact = false;
      }
      return;
    }
    const byPath = new Map(copies.map((c) => [c.filePath, c]));
    for (const file of Array.isArray(answer?.files) ? answer.files : []) {
      const copy = byPath.get(file?.filePath);
      if (!copy) continue;
      copy.exact = {
        saveTime: typeof file.saveTime === 'string' ? file.saveTime : copy.saveTime,
        bytes: Number.isFinite(file.bytes) ? file.bytes : null,
        previousBytes: Number.isFinite(file.previousBytes) ? file.previousBytes : null,
        originalPath: typeof file.originalPath === 'string' ? file.originalPath : '',
      };
    }
    for (const copy of copies) if (copy.exact === undefined) copy.exact = null;
    this.arrived(copies);
  }
}

// What a copy row shows: the time with seconds, the size (exact under 1 KB),
// its bytes for the tooltip and the change against the copy before it.
export function copyFigures(copy) {
  const exact = copy.exact;
  if (!exact || exact.bytes === null) {
    return { time: exact?.saveTime ?? copy.saveTime, size: copy.fileSize, title: '', change: '', changeLabel: '' };
  }
  const change = exact.previousBytes === null ? '' : formatSizeChange(exact.bytes, exact.previousBytes);
  return {
    time: exact.saveTime,
    size: formatSize(exact.bytes),
    title: formatExactBytes(exact.bytes),
    change: exact.previousBytes === null ? 'first copy' : change,
    changeLabel: exact.previousBytes === null ? 'the first copy of this document' : `${change} against the copy before`,
  };
}
