// What the browser tests stand on: a temporary suite home with backup
// copies named as the suite names them, `zentri-host serve` on it, and a
// headless Chromium.

import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { createHash } from 'node:crypto';
import { crc32 } from 'node:zlib';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { after, before } from 'node:test';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../..');
export const BIN_DIR = process.env.ARKIVO_BIN_DIR || path.join(ROOT, 'build/bin');
export const SCREENSHOT_DIR = process.env.ARKIVO_SCREENSHOT_DIR || path.join(ROOT, 'build/screenshots');
const CHROMIUM = process.env.ARKIVO_CHROMIUM || '/usr/lib/chromium/chromium';

const pad = (n, width = 2) => String(n).padStart(width, '0');

// 20240305143007 for a Date, in local time as the suite writes it.
export function stamp(date) {
  return `${date.getFullYear()}${pad(date.getMonth() + 1)}${pad(date.getDate())}${pad(date.getHours())}${pad(date.getMinutes())}${pad(date.getSeconds())}`;
}

export function saveDateOf(date) {
  return `${date.getFullYear()}/${pad(date.getMonth() + 1)}/${pad(date.getDate())}`;
}

// A date `daysAgo` days before today at hh:mm.
export function at(daysAgo, hours, minutes = 0) {
  const now = new Date();
  return new Date(now.getFullYear(), now.getMonth(), now.getDate() - daysAgo, hours, minutes, 0);
}

// Little-endian fields [value, bytes] one after another.
const fields = (list) => Buffer.concat(list.map(([value, bytes]) => {
  const field = Buffer.alloc(bytes);
  if (bytes === 2) field.writeUInt16LE(value); else field.writeUInt32LE(value);
  return field;
}));

// A zip archive of `files` ({name: text}), stored without compression.
export function zip(files) {
  const [locals, central] = [[], []];
  let offset = 0;
  for (const [name, text] of Object.entries(files)) {
    const [data, nameBytes] = [Buffer.from(text, 'utf8'), Buffer.from(name, 'utf8')];
    // Version 2.0, no flags, stored, 1 January 1980, CRC, both sizes, name length, no extra field.
    const common = [[20, 2], [0, 2], [0, 2], [0x00210000, 4], [crc32(data), 4], [data.length, 4], [data.length, 4], [nameBytes.length, 2], [0, 2]];
    const local = fields([[0x04034b50, 4], ...common]);
    central.push(fields([[0x02014b50, 4], [20, 2], ...common, [0, 2], [0, 2], [0, 2], [0, 4], [offset, 4]]), nameBytes);
    locals.push(local, nameBytes, data);
    offset += local.length + nameBytes.length + data.length;
  }
  const directory = Buffer.concat(central);
  const count = central.length / 2;
  return Buffer.concat([...locals, directory, fields([[0x06054b50, 4], [0, 4], [count, 2], [count, 2], [directory.length, 4], [offset, 4], [0, 2]])]);
}

const xmlText = (text) => text.replace(/&/g, '&amp;').replace(/</g, '&lt;');

// A word-processor document holding `paragraphs`, titled `title`.
export function docx(paragraphs, title = '') {
  return zip({
    '[Content_Types].xml': '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>',
    'docProps/core.xml': `<?xml version="1.0"?><cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties" xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title>${xmlText(title)}</dc:title></cp:coreProperties>`,
    'word/document.xml': `<?xml version="1.0"?><w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>${
      paragraphs.map((p) => `<w:p><w:r><w:t>${xmlText(p)}</w:t></w:r></w:p>`).join('')}</w:body></w:document>`,
  });
}

export class SuiteHome {
  constructor() {
    this.path = fs.mkdtempSync(path.join(os.tmpdir(), 'arkivo-e2e-'));
    this.backup = this.dir('backup');
    // The file a host started with `skinControl: home.skinControl` reads skin changes from.
    this.skinControl = path.join(this.path, 'skin-control');
    this.suite = {
      backup: { mode: 1, interval: 10, enabled: 'true', path: this.backup, defaultPath: this.backup },
      paths: { launchExe: path.join(BIN_DIR, 'zentri-recorder'), compactLaunchExe: path.join(BIN_DIR, 'zentri-recorder') },
      account: { signedIn: 'true', userType: 1 },
      cloud: { running: 'true', uploadBytesPerSecond: 0 },
    };
    this.common = {};
    this.writeSettings();
  }

  dir(relative) {
    const full = path.join(this.path, relative);
    fs.mkdirSync(full, { recursive: true });
    return full;
  }

  set(group, key, value) {
    (this.suite[group] ??= {})[key] = value;
    this.writeSettings();
  }

  writeSettings() {
    const ini = (groups) => Object.entries(groups)
      .map(([group, values]) => `[${group}]\n${Object.entries(values).map(([k, v]) => `${k}=${v}`).join('\n')}\n`).join('\n');
    fs.writeFileSync(path.join(this.path, 'suite.ini'), ini(this.suite));
    fs.writeFileSync(path.join(this.path, 'common.ini'), ini(this.common));
  }

  // Earlier backup folders the list also shows.
  setEarlierFolders(folders) {
    this.common.Backup = { AutoRecoverFilePathHis: folders.join(', ') };
    this.writeSettings();
  }

  // A backup copy of `document` saved at `date` in `folder`, `bytes` long or
  // holding the Buffer `bytes`; answers its path.
  copy(folder, document, date, bytes = 1024) {
    const extension = document.includes('.') ? document.slice(document.lastIndexOf('.') + 1) : 'docx';
    const id = createHash('md5').update(document + date.toISOString()).digest('hex');
    const file = path.join(folder, `${document}.${id}.${stamp(date)}.${extension}`);
    fs.writeFileSync(file, Buffer.isBuffer(bytes) ? bytes : Buffer.alloc(bytes, 120));
    fs.utimesSync(file, date, date);
    return file;
  }

  // Marks `copyPath` as a sync conflict of the word processor.
  conflict(copyPath, conflictTime) {
    const iso = (d) => `${d.getFullYear()}-${pad(d.getMonth() + 1)}-${pad(d.getDate())}T${pad(d.getHours())}:${pad(d.getMinutes())}:${pad(d.getSeconds())}`;
    fs.writeFileSync(path.join(this.backup, 'zentri_sync_conflict.ini'),
      `<?xml version="1.0" encoding="UTF-8"?>\n<conflicts>\n  <file fileId="1" localPath="/home/user/x.docx" backup="${copyPath}" conflictTime="${iso(conflictTime)}"/>\n</conflicts>\n`);
  }

  // The programs started through the recording launcher.
  launches() {
    const file = path.join(this.path, 'launches.jsonl');
    if (!fs.existsSync(file)) return [];
    return fs.readFileSync(file, 'utf8').split('\n').filter(Boolean).map((line) => JSON.parse(line));
  }

  remove() {
    fs.rmSync(this.path, { recursive: true, force: true });
  }
}

// Starts `zentri-host serve` on the home; resolves when it has printed its address.
export async function startHost(home, { automation, skinControl } = {}) {
  const args = ['--home', home.path];
  if (automation) {
    const file = path.join(home.path, 'automation.txt');
    fs.writeFileSync(file, automation);
    args.push('--automation', file);
  }
  args.push('serve');
  if (skinControl) args.push('--skin-control', skinControl);
  const runtime = path.join(os.tmpdir(), `arkivo-e2e-runtime-${process.getuid?.() ?? 0}`);
  fs.mkdirSync(runtime, { recursive: true, mode: 0o700 });
  const user = path.join(home.path, 'user');
  fs.mkdirSync(user, { recursive: true });
  const child = spawn(path.join(BIN_DIR, 'zentri-host'), args, {
    env: {
      ...process.env,
      QT_QPA_PLATFORM: 'offscreen',
      XDG_RUNTIME_DIR: runtime,
      ZENTRI_RECORD_FILE: path.join(home.path, 'launches.jsonl'),
      // The host's file dialogs and the desktop trash keep off the real home.
      HOME: user,
      XDG_CONFIG_HOME: path.join(user, '.config'),
      XDG_DATA_HOME: path.join(user, '.local/share'),
      XDG_CACHE_HOME: path.join(user, '.cache'),
    },
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let errors = '';
  child.stderr.on('data', (chunk) => { errors += chunk; });
  const url = await new Promise((resolve, reject) => {
    let out = '';
    const timer = setTimeout(() => reject(new Error(`zentri-host printed no address: ${errors}`)), 15000);
    timer.unref();
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const match = /^Backup center: (http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]+)$/m.exec(out);
      if (match) {
        clearTimeout(timer);
        resolve(match[1]);
      }
    });
    child.on('exit', (code) => reject(new Error(`zentri-host ended with ${code}: ${errors}`)));
  });
  const parsed = new URL(url);
  return {
    url,
    port: Number(parsed.port),
    token: parsed.searchParams.get('token'),
    get errors() { return errors; },
    async stop() {
      if (child.exitCode !== null) return;
      const exited = new Promise((resolve) => child.once('exit', resolve));
      child.kill('SIGTERM');
      await exited;
    },
  };
}

export async function launchBrowser() {
  return chromium.launch({
    executablePath: CHROMIUM,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

// Opens the page and waits until the list has been read; `prepare` sees the
// page before it loads, `options` go to the browser page (device scale,
// forced colours, ...).
export async function openPage(browser, host, { width = 1280, height = 900, prepare, ...options } = {}) {
  const page = await browser.newPage({ viewport: { width, height }, ...options });
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  page.on('console', (message) => { if (message.type() === 'error') problems.push(message.text()); });
  page.problems = problems;
  prepare?.(page);
  await page.goto(host.url);
  await page.waitForSelector('html[data-list-state="ready"]');
  return page;
}

// Waits until the list has been read again after `action`.
export async function afterReload(page, action) {
  const before = Number(await page.getAttribute('html', 'data-list-generation'));
  await action();
  await page.waitForFunction((n) => Number(document.documentElement.dataset.listGeneration) > n
    && document.documentElement.dataset.listState === 'ready', before);
}

export async function screenshot(page, name) {
  fs.mkdirSync(SCREENSHOT_DIR, { recursive: true });
  await page.screenshot({ path: path.join(SCREENSHOT_DIR, name) });
}

// Polls `check` until it answers something true; throws after `timeoutMs`.
export async function waitUntil(check, what, timeoutMs = 5000) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

// Waits for the page's message titled `title`.
export async function notice(page, title) {
  await page.locator('.notice-title', { hasText: title }).first().waitFor();
}

// Runs `body` on a page of a host on a new home; `setup` fills the home and
// answers the host's options. The page must report no errors.
export async function withHost(setup, body, pageOptions) {
  const home = new SuiteHome();
  const host = await startHost(home, setup(home));
  const browser = await launchBrowser();
  try {
    const page = await openPage(browser, host, pageOptions);
    await body({ home, host, page });
    assert.deepEqual(page.problems, []);
  } finally {
    await browser.close();
    await host.stop();
    home.remove();
  }
}

// A home filled by `setup` (which answers the host's options), a host on it
// and a browser, shared by the tests of one describe().
export function sharedHost(setup) {
  const shared = {};
  before(async () => {
    shared.home = new SuiteHome();
    shared.host = await startHost(shared.home, setup(shared.home, shared));
    shared.browser = await launchBrowser();
  });
  after(async () => {
    await shared.browser?.close();
    await shared.host?.stop();
    shared.home?.remove();
  });
  return shared;
}

// Changes the suite's skin through the home's control file; waits for the page to follow.
export async function setSkin(page, home, skin) {
  fs.writeFileSync(home.skinControl, `${skin}\n`);
  await page.waitForFunction((s) => document.documentElement.dataset.skin === s, skin);
}

const AXE = fs.readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

// axe-core's serious and critical findings as "rule: elements". axe-core goes
// in as a script of the page's own: open the page with `bypassCSP`.
export async function axeFindings(page, options = {}) {
  if (!await page.evaluate(() => 'axe' in window)) await page.addScriptTag({ content: AXE });
  return page.evaluate(async (o) => (await window.axe.run(document, { ...o, resultTypes: ['violations'] })).violations
    .filter((v) => v.impact === 'serious' || v.impact === 'critical')
    .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`), options);
}

// Clicks `button` (if the question is not open yet), answers the question with `confirm` and waits for the message `title`.
export async function confirmDelete(page, button, confirm = 'Delete permanently', title = 'Copy deleted') {
  await button?.click();
  await page.getByRole('dialog').getByRole('button', { name: confirm }).click();
  await notice(page, title);
}

// The group rows top to bottom as "yyyy/mm/dd name".
export async function groupsOnPage(page) {
  return page.$$eval('#list .row.day, #list .row.group', (rows) => {
    let day = '';
    return rows.map((row) => ({ row, y: row.getBoundingClientRect().top })).sort((a, b) => a.y - b.y).flatMap(({ row }) => {
      if (row.classList.contains('day')) day = row.dataset.key.slice(2);
      return row.classList.contains('day') ? [] : [`${day} ${row.querySelector('.group-name').textContent}`];
    });
  });
}
