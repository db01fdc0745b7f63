// The bridge is a door into the person's files: only its own page gets in.
// What the bridge answers each request and message is tst_pageserver's; here
// only what needs a real browser.

import assert from 'node:assert/strict';
import http from 'node:http';
import { after, before, describe, test } from 'node:test';
import { SuiteHome, at, launchBrowser, openPage, startHost } from './support/host.mjs';

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

  test('takes the token out of its address and still connects after a reload', async () => {
    const page = await openPage(browser, host);
    assert.equal(await page.evaluate(() => location.search), '');
    await page.reload();
    await page.waitForSelector('html[data-list-state="ready"]');
    assert.equal(await page.evaluate(() => location.search), '');
    assert.deepEqual(page.problems, []);
    await page.close();
  });
});
