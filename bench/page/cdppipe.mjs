// A headless Chromium driven over its DevTools pipe with nothing but the
// calls the benchmark makes. Playwright mirrors every WebSocket frame into
// its own connection, which for a list of tens of megabytes costs the
// browser seconds that a person's browser never spends; this does not.

import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

export async function launchPipeBrowser(executable) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'arkivo-bench-profile-'));
  const child = spawn(executable, [
    '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--remote-debugging-pipe', `--user-data-dir=${profile}`, 'about:blank',
  ], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });
  const toBrowser = child.stdio[3];
  const fromBrowser = child.stdio[4];
  let nextId = 1;
  const pending = new Map();
  let buffer = '';
  fromBrowser.on('data', (chunk) => {
    buffer += chunk.toString('utf8');
    let end;
    while ((end = buffer.indexOf('\0')) >= 0) {
      const message = JSON.parse(buffer.slice(0, end));
      buffer = buffer.slice(end + 1);
      const call = pending.get(message.id);
      if (!call) continue;
      pending.delete(message.id);
      if (message.error) call.reject(new Error(`${call.method}: ${message.error.message}`));
      else call.resolve(message.result);
    }
  });
  const send = (method, params = {}, sessionId) => new Promise((resolve, reject) => {
    const id = nextId++;
    pending.set(id, { resolve, reject, method });
    toBrowser.write(`${JSON.stringify({ id, method, params, ...(sessionId ? { sessionId } : {}) })}\0`);
  });

  return {
    async newPage(width, height) {
      const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
      const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
      await send('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: 1, mobile: false }, sessionId);
      return {
        goto: (url) => send('Page.navigate', { url }, sessionId),
        // Any DevTools call on the page (a profile, say).
        send: (method, params) => send(method, params, sessionId),
        // Evaluates `fn(arg)` in the page; answers its (awaited) value.
        async evaluate(fn, arg) {
          const { result, exceptionDetails } = await send('Runtime.evaluate', {
            expression: `(${fn})(${JSON.stringify(arg)})`, awaitPromise: true, returnByValue: true,
          }, sessionId);
          if (exceptionDetails) throw new Error(exceptionDetails.exception?.description ?? exceptionDetails.text);
          return result.value;
        },
        async waitFor(fn, arg, timeoutMs = 120000) {
          const deadline = Date.now() + timeoutMs;
          for (;;) {
            try {
              if (await this.evaluate(fn, arg)) return;
            } catch { /* the page is still loading */ }
            if (Date.now() > deadline) throw new Error('timed out waiting in the page');
            await new Promise((resolve) => setTimeout(resolve, 50));
          }
        },
      };
    },
    async close() {
      const exited = new Promise((resolve) => child.once('exit', resolve));
      send('Browser.close').catch(() => {});
      await exited;
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}
