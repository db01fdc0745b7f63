// Asks the plug-in about the copies being drawn: everything wanted while one
// frame is drawn goes in one call of at most 1000 paths, and each copy is
// asked about once. Subclasses say what is known of a copy and keep the answer.

import { BridgeError } from './bridge.js';

const BATCH = 1000;

export class BatchedAsker {
  // `call(method, args)` resolves with the answer; `method` takes
  // {"backupFiles": [path, ...]}; `askedKey` marks a copy asked about.
  constructor(call, method, askedKey) {
    this.call = call;
    this.method = method;
    this.askedKey = askedKey;
    this.queue = new Map();
    this.scheduled = false;
    this.available = true;
  }

  // Asks about the copies not known or asked about yet, in the order given
  // (the list draws the newest first).
  want(copies) {
    if (!this.available) return;
    for (const copy of copies) {
      if (this.isKnown(copy) || copy[this.askedKey]) continue;
      copy[this.askedKey] = true;
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
      answer = await this.call(this.method, { backupFiles: copies.map((c) => c.filePath) });
    } catch (error) {
      // A plug-in without the method stops the asking; after a lost
      // connection the copies ask again when drawn.
      const refused = error instanceof BridgeError && error.kind === 'refused';
      if (refused && /unknown page method|not available/i.test(error.message)) this.available = false;
      this.refused(copies, refused);
      return;
    }
    this.answered(copies, answer);
  }

  isKnown() {
    return false;
  }

  answered() {}

  refused(copies, refused) {
    if (!refused) for (const copy of copies) copy[this.askedKey] = false;
  }
}
