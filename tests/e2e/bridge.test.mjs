// The bridge is a door into the person's files: only its own page, with the
// token of its address, gets in, and only the page methods are called.

import assert from 'node:assert/strict';
import http from 'node:http';
import { after, before, describe, test } from 'node:test';
import { SuiteHome, at, launchBrowser, openPage, startHost } from './support/host.mjs';

// The status the server answers a WebSocket handshake with.
function handshake(host, { path = `/bridge?token=${host.token}`, origin = host.origin } = {}) {
  return new Promise((resolve, reject) => {
    const headers = {
      Connection: 'Upgrade',
      Upgrade: 'websocket',
      'Sec-WebSocket-Key': 'dGhlIHNhbXBsZSBub25jZQ==',
      'Sec-WebSocket-Version': '13',
    };
    if (origin) headers.Origin = origin;
    const request = http.request({ host: '127.0.0.1', port: host.port, path, headers });
    request.on('upgrade', (response, socket) => {
      socket.destroy();
      resolve(response.statusCode);
    });
    request.on('response', (response) => {
      response.resume();
      resolve(response.statusCode);
    });
    request.on('error', reject);
    request.end();
  });
}

describe('the bridge', () => {
  let home;
  let host;
  let browser;

  before(async () => {
    home = new SuiteHome();
    home.copy(home.backup, 'report.docx', at(0, 9, 0));
    host = await startHost(home);
    browser = await launchBrowser();
  });

  after(async () => {
    await browser?.close();
    await host?.stop();
    home?.remove();
  });

  test('opens for its own page with the token', async () => {
    assert.equal(await handshake(host), 101);
  });

  test('refuses a WebSocket without the token', async () => {
    assert.equal(await handshake(host, { path: '/bridge' }), 403);
    assert.equal(await handshake(host, { path: `/bridge?token=${'0'.repeat(host.token.length)}` }), 403);
  });

  test('refuses a WebSocket from a foreign origin', async () => {
    assert.equal(await handshake(host, { origin: 'http://attacker.example' }), 403);
    assert.equal(await handshake(host, { origin: null }), 403);
  });

  test('refuses a page of another site, even one on this machine that knows the token', async () => {
    const bridgeUrl = `ws://127.0.0.1:${host.port}/bridge?token=${host.token}`;
    const site = http.createServer((request, response) => {
      response.writeHead(200, { 'Content-Type': 'text/html' });
      response.end('<!doctype html><title>other site</title>');
    });
    await new Promise((resolve) => site.listen(0, '127.0.0.1', resolve));
    try {
      const page = await browser.newPage();
      await page.goto(`http://127.0.0.1:${site.address().port}/`);
      const outcome = await page.evaluate((url) => new Promise((resolve) => {
        const socket = new WebSocket(url);
        socket.onopen = () => resolve('open');
        socket.onclose = () => resolve('closed');
      }), bridgeUrl);
      assert.equal(outcome, 'closed');
      await page.close();
    } finally {
      site.close();
    }
  });

  test('answers reply slots, internal slots and QObject methods with an error', async () => {
    const page = await openPage(browser, host);
    const answers = await page.evaluate(async (token) => {
      const socket = new WebSocket(`ws://${location.host}/bridge?token=${token}`);
      await new Promise((resolve) => { socket.onopen = resolve; });
      const replies = new Map();
      socket.onmessage = (event) => {
        const message = JSON.parse(event.data);
        if ('id' in message) replies.set(message.id, message);
      };
      const methods = ['onGetRoamingMode', 'doOpenSearchPanel', 'deleteLater', 'getAppInfo'];
      methods.forEach((method, i) => socket.send(JSON.stringify({ id: i + 1, method, args: {} })));
      while (replies.size < methods.length) await new Promise((resolve) => setTimeout(resolve, 20));
      socket.close();
      return methods.map((method, i) => ({ method, ...replies.get(i + 1) }));
    }, host.token);
    for (const answer of answers.slice(0, 3)) {
      assert.match(answer.error ?? '', /unknown page method/, answer.method);
      assert.equal(answer.answer, undefined);
    }
    assert.equal(answers[3].answer.result, true, 'the connection stays usable');
    assert.equal(typeof answers[3].answer.src, 'string');
    await page.close();
  });

  test('takes the token out of its address and still connects after a reload', async () => {
    const page = await openPage(browser, host);
    assert.equal(await page.evaluate(() => location.search), '');
    await page.reload();
    await page.waitForSelector('html[data-list-state="ready"]');
    assert.equal(await page.evaluate(() => location.search), '');
    assert.deepEqual(page.problems, []);
    await page.close();
  });

  test('serves nothing but the page', async () => {
    for (const path of ['/etc/passwd', '/../suite.ini', '/%2e%2e/suite.ini', '/launches.jsonl']) {
      const status = await new Promise((resolve) => {
        http.get({ host: '127.0.0.1', port: host.port, path }, (response) => {
          response.resume();
          resolve(response.statusCode);
        });
      });
      assert.equal(status, 404, path);
    }
  });
});
