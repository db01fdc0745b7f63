// The backup-center page: wires the list, the filters, the cloud panel and
// the tools to the plug-in's page methods through the bridge.

import { Bridge, BridgeError } from './bridge.js';
import { applyListChange, decodeBackupTable, filterCatalogue, groupKey, indexCatalogue } from './backuplist.js';
import { BackupListView } from './listview.js';
import { CloudPanel } from './cloudpanel.js';
import { CopyDetails } from './copydetails.js';
import { TimelineView } from './timeline.js';
import { copyTime } from './preview.js';
import { Notices } from './notices.js';
import { StatusStrip } from './status.js';
import { CopyVerifier } from './verify.js';
import { TextSearch } from './textsearch.js';
import { confirmAction } from './confirm.js';
import { h } from './dom.js';
import { dayName, folderOf, formatCount, formatTotal, plural } from './format.js';

const $ = (id) => document.getElementById(id);
const root = document.documentElement;
const notices = new Notices($('notices'));

const state = {
  catalogue: null,
  view: null,
  filters: { query: '', type: 'all', conflictsOnly: false, damagedOnly: false },
  insideDocuments: false,
  // Changes of the backup folders that came while the list was being read.
  changesWhileLoading: [],
  loading: false,
  loadAgain: false,
  listFailed: false,
  generation: 0,
  firstLoad: true,
  everConnected: false,
};

// --- plain words for what went wrong ------------------------------------

const LOST_CONNECTION = 'The backup center lost its connection to Zentri.';

function explain(error, what) {
  if (error instanceof BridgeError && error.kind === 'closed') {
    // One such message at a time, whatever was tried: the banner says the rest.
    return { title: `${what} did not happen`, text: `${LOST_CONNECTION} Try again once it is back.`, key: 'connection lost' };
  }
  if (error instanceof BridgeError && /not available|unknown page method/i.test(error.message)) {
    return { title: `${what} is not available`, text: 'This version of the backup center does not offer it yet.' };
  }
  if (error instanceof BridgeError) {
    return { title: `${what} did not work`, text: `The backup center refused the request (${error.message}).` };
  }
  return { title: `${what} did not work`, text: String(error?.message || error) };
}

function showError(error, what) {
  notices.show({ kind: 'error', ...explain(error, what) });
}

// --- connection ------------------------------------------------------------

// The token leaves the address bar, and so the browser's history, as soon as
// the page has it; the tab keeps it for reloads and reconnects.
function takeToken() {
  const params = new URLSearchParams(location.search);
  const given = params.get('token');
  let stored = null;
  try {
    if (given) sessionStorage.setItem('arkivo.token', given);
    else stored = sessionStorage.getItem('arkivo.token');
  } catch {
    // Storage may be off; a reload then needs the printed address again.
  }
  if (given) {
    params.delete('token');
    const rest = params.toString();
    history.replaceState(history.state, '', `${location.pathname}${rest ? `?${rest}` : ''}${location.hash}`);
  }
  return given ?? stored;
}

const token = takeToken();
const bridge = new Bridge(`${location.protocol === 'https:' ? 'wss' : 'ws'}://${location.host}/bridge?token=${encodeURIComponent(token ?? '')}`);

function showConnection(text, kind = 'warning', { reconnect = false } = {}) {
  const banner = $('connection');
  banner.hidden = !text;
  banner.dataset.kind = kind;
  banner.replaceChildren(text ?? '', reconnect ? h('button', { type: 'button', class: 'btn small', text: 'Reconnect', onclick: reconnectNow }) : '');
}

function reconnectNow() {
  showConnection('Connecting to Zentri…');
  bridge.retries = 0;
  bridge.connect();
}

bridge.on('open', () => {
  const reconnected = state.everConnected;
  state.everConnected = true;
  showConnection(null);
  root.dataset.connection = 'open';
  if (reconnected) notices.show({ kind: 'success', title: 'Connected again', text: 'The list is read afresh.' });
  start();
});

bridge.on('close', ({ retries }) => {
  root.dataset.connection = 'closed';
  hideWaiting();
  if (state.everConnected || retries > 6) showConnection(LOST_CONNECTION, retries > 6 ? 'error' : 'warning', { reconnect: true });
  else showConnection('Connecting to Zentri…');
});

bridge.on('event.arkivo.onskinmodechanged', (payload) => setSkin(payload?.skin));
bridge.on('event.arkivo.backupListChanged', (change) => listChanged(change));
bridge.on('event.arkivo.backupFilesVerified', (payload) => verifier.verified(payload));
bridge.on('event.arkivo.textIndexProgress', (payload) => textSearch.showProgress(payload));

function setSkin(skin) {
  const dark = skin === 'dark';
  root.dataset.skin = dark ? 'dark' : 'default';
  root.style.colorScheme = dark ? 'dark' : 'light';
}

// --- the list ---------------------------------------------------------------

const details = new CopyDetails((method, args) => bridge.call(method, args), (copies) => {
  list.detailsArrived(copies);
  timeline.detailsArrived(copies);
});

const verifier = new CopyVerifier((method, args) => bridge.call(method, args), (copies) => {
  list.detailsArrived(copies);
  timeline.detailsArrived(copies);
  if (state.filters.damagedOnly) applyFilters({ keepPlace: true });
  // The strip counts the damaged copies the backup center knows of.
  if (copies.some((copy) => copy.verified === 'damaged')) scheduleStatus();
});

const wantDetails = (copies) => {
  details.want(copies);
  verifier.want(copies);
};

const list = new BackupListView($('list'), {
  openCopy: (entry, copy) => openCopy(entry.group, copy),
  restoreCopy: (entry, copy) => restoreCopy(entry.group, copy),
  deleteCopy: (entry, copy) => deleteCopy(entry.group, copy),
  openGroup: (entry) => openGroup(entry),
  showFolder: (entry) => showFolder(entry.group),
  deleteGroup: (entry) => deleteGroup(entry),
  showTimeline: (entry) => showTimeline(entry.group),
  wantDetails,
});

const timeline = new TimelineView($('timeline'), {
  call,
  openCopy,
  restoreCopy,
  wantDetails,
  close: () => closeTimeline(),
});

// The timeline takes the list's place; closing it goes back to the row (or
// the search hit) it was opened from.
let timelineOpener = null;

function showTimeline(group, { path, opener } = {}) {
  if (!state.catalogue) return;
  timelineOpener = opener ?? group.key;
  root.dataset.mode = 'timeline';
  timeline.show(state.catalogue, group.name, path);
}

function closeTimeline({ focus = true } = {}) {
  if (!timeline.open) return;
  timeline.hide();
  delete root.dataset.mode;
  list.scheduleRender();
  if (!focus) return;
  if (timelineOpener instanceof Element) {
    if (timelineOpener.isConnected) timelineOpener.focus();
    else $('search').focus();
    return;
  }
  const key = `g:${timelineOpener}`;
  if (list.indexOf(key) >= 0) list.focusRow(key, 'timeline');
  else $('search').focus();
}

// --- the list as the backup folders change ----------------------------------

function listChanged(change) {
  // The benchmark reads when the last change arrived and was shown.
  performance.clearMarks('list-change-received');
  performance.clearMarks('list-change-applied');
  performance.mark('list-change-received');
  if (state.loading) state.changesWhileLoading.push(change);
  else if (state.catalogue) applyChange(change);
}

// Puts a change of the folders (or the page's own delete) into the list
// without reading it again.
function applyChange(change) {
  if (!applyListChange(state.catalogue, change)) return;
  applyFilters({ keepPlace: true });
  if (timeline.open) timeline.setCatalogue(state.catalogue);
  performance.mark('list-change-applied');
  scheduleStatus();
}

// Where each copy is, worked out in slices while the page has nothing else
// to do, so that a change of the folders is quick to apply.
function indexWhenIdle(catalogue) {
  const step = (idle) => {
    if (state.catalogue === catalogue && !indexCatalogue(catalogue, () => idle.timeRemaining() > 2)) requestIdleCallback(step);
  };
  requestIdleCallback(step);
}

// --- the status strip ---------------------------------------------------------

const status = new StatusStrip($('status'), { settings: () => openSettings(), damaged: () => showDamaged() });
const statusLoad = { busy: false, again: false, timer: 0 };

async function loadStatus() {
  if (statusLoad.busy) {
    statusLoad.again = true;
    return;
  }
  statusLoad.busy = true;
  try {
    const answer = await bridge.call('getBackupStatus');
    if (answer.result === true) {
      status.show(answer);
      if (state.catalogue && !state.catalogue.copyCount) updateEmptyState();
    }
  } catch (error) {
    // Without it the strip keeps what it showed; the list works as before.
    if (!(error instanceof BridgeError && error.kind === 'closed')) console.warn('getBackupStatus:', error.message);
  } finally {
    statusLoad.busy = false;
  }
  if (statusLoad.again) {
    statusLoad.again = false;
    loadStatus();
  }
}

// Copies come in bursts; the strip is read once the burst is over.
function scheduleStatus() {
  clearTimeout(statusLoad.timer);
  statusLoad.timer = setTimeout(loadStatus, 1000);
}

// Shows the copies found damaged, and has every copy not checked yet checked.
function showDamaged() {
  closeTimeline({ focus: false });
  state.filters.damagedOnly = true;
  if (state.catalogue) verifier.want(state.catalogue.groups.flatMap((group) => group.copies));
  applyFilters();
  $('damaged-filter').focus();
}

// --- search inside the copies ------------------------------------------------

const textSearch = new TextSearch($('text-results'), {
  call: (method, args) => bridge.call(method, args),
  openHit,
});
let textTimer = 0;

// Searches inside the copies after a pause in typing: always with "Inside
// documents" on, else once the words are long enough to mean something.
function scheduleTextSearch({ now = false } = {}) {
  clearTimeout(textTimer);
  const query = state.filters.query.trim();
  if (!query || (!state.insideDocuments && query.length < 3)) {
    textSearch.hide();
    return;
  }
  if (now) textSearch.search(query);
  else textTimer = setTimeout(() => textSearch.search(query), 300);
}

function openHit(hit, button) {
  const group = state.catalogue?.groups.find((g) => g.name === hit.groupName && g.saveDate === hit.saveDate);
  if (!group?.copies.some((copy) => copy.filePath === hit.filePath)) {
    notices.show({ kind: 'warning', title: 'This copy is gone', text: `The copy of ${hit.groupName} is no longer in the backup folders.` });
    return;
  }
  showTimeline(group, { path: hit.filePath, opener: button });
}

async function loadList() {
  if (state.loading) {
    state.loadAgain = true;
    return;
  }
  state.loading = true;
  root.dataset.listState = 'loading';
  if (!state.catalogue) updateEmptyState();
  $('refresh-button').setAttribute('aria-busy', 'true');
  performance.mark('list-requested');
  try {
    // The list as getBackupFileList lists it, in a fifth of the text.
    const answer = await bridge.call('getBackupFileListCompact');
    performance.mark('list-received');
    if (answer.result !== true) {
      state.listFailed = true;
      notices.show({ kind: 'error', title: 'The backup list could not be read', text: 'The backup center could not list the backup folders. If a backup folder is on a removed drive or an offline network folder, connect it and choose Refresh.' });
    } else {
      state.catalogue = decodeBackupTable(answer.backupTable);
      state.listFailed = false;
      performance.mark('list-decoded');
      // What changed while the list was read may or may not be in it;
      // applying a change twice does no harm.
      for (const change of state.changesWhileLoading) applyListChange(state.catalogue, change);
      indexWhenIdle(state.catalogue);
    }
  } catch (error) {
    state.listFailed = true;
    if (error instanceof BridgeError) showError(error, 'Reading the backup list');
    else notices.show({ kind: 'error', title: 'The backup list could not be read', text: `Its text was damaged (${error.message}). Choose Refresh to read it again.` });
  } finally {
    state.loading = false;
    state.changesWhileLoading = [];
    $('refresh-button').removeAttribute('aria-busy');
  }
  if (state.catalogue && state.firstLoad && state.catalogue.days.length) {
    // The newest document starts open: the copy a person most often wants.
    list.expanded.add(state.catalogue.days[0].groups[0].key);
  }
  if (state.catalogue) state.firstLoad = false;
  applyFilters();
  if (state.catalogue && timeline.open) timeline.setCatalogue(state.catalogue);
  performance.mark('list-rendered');
  state.generation++;
  root.dataset.listGeneration = String(state.generation);
  root.dataset.listState = state.listFailed && !state.catalogue ? 'failed' : 'ready';
  requestAnimationFrame(() => performance.mark('list-shown'));
  // The strip counts what was just listed.
  loadStatus();
  if (state.loadAgain) {
    state.loadAgain = false;
    loadList();
  }
}

// `keepPlace`: the same list changed under the person, so the rows in sight
// stay in sight.
function applyFilters({ keepPlace = false } = {}) {
  const catalogue = state.catalogue ?? { days: [], groups: [], copyCount: 0 };
  state.view = filterCatalogue(catalogue, state.filters);
  list.setView(state.view, { keepPlace });
  updateSummary();
  updateFilterControls();
  updateEmptyState();
}

function isFiltered() {
  const f = state.filters;
  return Boolean(f.query.trim()) || f.type !== 'all' || f.conflictsOnly || f.damagedOnly;
}

function updateSummary() {
  const summary = $('summary');
  const view = state.view;
  const catalogue = state.catalogue;
  if (!catalogue) {
    summary.textContent = state.listFailed ? 'The backup list could not be read.' : 'Reading your backups…';
    return;
  }
  if (catalogue.copyCount === 0) {
    summary.textContent = 'No backup copies found';
    return;
  }
  const shown = `${plural(view.copyCount, 'copy', 'copies')} of ${plural(view.documentCount, 'document', 'documents')}`;
  const size = view.copyCount ? ` · ${formatTotal(view.bytes, view.copyCount)}` : '';
  summary.textContent = isFiltered()
    ? `Showing ${shown}${size} · ${formatCount(catalogue.copyCount)} in all`
    : `${shown}${size}`;
}

const TYPE_OPTION_NAMES = { all: 'All types', doc: 'Documents', xls: 'Spreadsheets', ppt: 'Presentations', pdf: 'PDF files', unknown: 'Other files' };

function updateFilterControls() {
  const counts = state.view.typeCounts;
  for (const option of $('type-filter').options) {
    option.textContent = `${TYPE_OPTION_NAMES[option.value]} (${formatCount(counts[option.value] ?? 0)})`;
  }
  const conflicts = $('conflict-filter');
  conflicts.setAttribute('aria-pressed', String(state.filters.conflictsOnly));
  $('conflict-count').textContent = formatCount(state.view.conflictCount);
  conflicts.classList.toggle('has-conflicts', state.view.conflictCount > 0);
  $('clear-filters').hidden = !isFiltered();
  $('damaged-filter').hidden = !state.filters.damagedOnly;
}

function updateEmptyState() {
  const empty = $('empty');
  const view = state.view;
  const nothing = !state.catalogue || !view || view.copyCount === 0;
  empty.hidden = !nothing;
  $('list').hidden = nothing;
  if (empty.hidden) return;
  if (!state.catalogue && state.loading) {
    empty.replaceChildren(
      h('span', { class: 'spinner', 'aria-hidden': 'true' }),
      h('p', { text: 'Reading the backup folders…' }));
  } else if (!state.catalogue) {
    empty.replaceChildren(
      h('h2', { text: 'The backup list could not be read' }),
      h('p', { text: 'The backup center could not list the backup folders just now.' }),
      h('button', { type: 'button', class: 'btn primary', text: 'Try again', onclick: () => loadList() }));
  } else if (state.catalogue.copyCount === 0 && status.has('folderUnreachable')) {
    empty.replaceChildren(
      h('h2', { text: 'The backup folder is not connected' }),
      h('p', { text: `No copy can be listed: ${status.status.folder || 'the backup folder'} cannot be reached. Its drive may be unplugged or its network folder offline. Connect it and choose Refresh, or choose another backup folder.` }),
      h('button', { type: 'button', class: 'btn primary', text: 'Open backup settings', onclick: () => openSettings() }));
  } else if (state.catalogue.copyCount === 0 && status.has('backupOff')) {
    empty.replaceChildren(
      h('h2', { text: 'Backups are off' }),
      h('p', { text: 'No copies are made while backups are off, so there are none to show. Turn backups on to keep copies of the documents you work on.' }),
      h('button', { type: 'button', class: 'btn primary', text: 'Turn on backups', onclick: () => openSettings() }));
  } else if (state.catalogue.copyCount === 0) {
    empty.replaceChildren(
      h('div', { class: 'empty-art', 'aria-hidden': 'true' }),
      h('h2', { text: 'No backup copies yet' }),
      h('p', { text: 'The backup center looks for copies in your current backup folder and in the backup folders you used before. The suite’s editors put a copy there each time they back up a document you are working on.' }),
      h('p', { text: 'To choose where backups go, how they are made and how long they are kept, open Backup settings.' }),
      h('button', { type: 'button', class: 'btn primary', text: 'Open backup settings', onclick: () => openSettings() }));
  } else {
    const parts = [];
    if (state.filters.query.trim()) parts.push(`named like “${state.filters.query.trim()}”`);
    if (state.filters.type !== 'all') parts.push(`of the type ${TYPE_OPTION_NAMES[state.filters.type].toLowerCase()}`);
    if (state.filters.conflictsOnly) parts.push('with a sync conflict');
    if (state.filters.damagedOnly) parts.push('found damaged');
    empty.replaceChildren(
      h('h2', { text: 'No copies match' }),
      h('p', { text: `No backup copy ${parts.join(', ')} was found among ${plural(state.catalogue.copyCount, 'copy', 'copies')}.` }),
      h('button', { type: 'button', class: 'btn', text: 'Clear the filters', onclick: () => clearFilters() }));
  }
}

function clearFilters() {
  state.filters = { query: '', type: 'all', conflictsOnly: false, damagedOnly: false };
  $('search').value = '';
  $('type-filter').value = 'all';
  textSearch.hide();
  applyFilters();
  $('search').focus();
}

// --- copies and groups ----------------------------------------------------

const capitalize = (text) => text.charAt(0).toUpperCase() + text.slice(1);

function describeCopy(group, copy) {
  return `the ${copyTime(copy)} copy of ${group.name} from ${dayName(group.saveDate)}`;
}

async function call(method, args, what) {
  try {
    return await bridge.call(method, args);
  } catch (error) {
    showError(error, what);
    return null;
  }
}

async function openCopy(group, copy) {
  const answer = await call('openBackupFile', { backupFile: copy.filePath }, 'Opening the copy');
  if (!answer) return;
  if (answer.result === true) {
    notices.show({
      kind: 'info',
      title: `Opening ${group.name}`,
      text: `The copy of ${copyTime(copy)} opens from the backup folder, so what you save there stays in the backup folder. To put this copy back where you want it, safely, use “Restore a copy…”.`,
      action: { label: 'Restore a copy…', run: () => restoreCopy(group, copy) },
      timeoutMs: 12000,
    });
  } else {
    notices.show({ kind: 'error', title: `${group.name} could not be opened`, text: `The file of ${describeCopy(group, copy)} is missing or not a local file the suite may open. The list is read again.` });
    loadList();
  }
}

// A view that shows part of a group (conflicts only, damaged only) acts on
// the copies it shows, one by one: the group's own methods would take them all.
const showsPart = (entry) => entry.copies.length < entry.group.copies.length;

// Calls `method` for each copy; answers the copies it failed for, or null
// (with `done` the paths it took) when the bridge failed.
async function eachCopy(copies, method, what, done = []) {
  const failed = [];
  for (const copy of copies) {
    const answer = await call(method, { backupFile: copy.filePath }, what);
    if (!answer) return null;
    if (answer.result === true) done.push(copy.filePath);
    else failed.push(copy);
  }
  return failed;
}

const WINDOWS_WITHOUT_ASKING = 5;

async function openGroup(entry) {
  const { group, copies } = entry;
  if (copies.length > WINDOWS_WITHOUT_ASKING && !await confirmAction({
    title: `Open ${copies.length} copies of ${group.name}?`,
    lines: [`Each copy opens in a window of its own, so ${copies.length} windows start.`],
    confirmLabel: `Open ${copies.length} copies`,
    danger: false,
  })) return;
  let opened;
  if (showsPart(entry)) {
    const failed = await eachCopy(copies, 'openBackupFile', 'Opening the copies');
    opened = failed && !failed.length;
  } else {
    const answer = await call('openBackupGroup', { fileName: group.name, saveDate: group.saveDate }, 'Opening the copies');
    opened = answer ? answer.result === true : null;
  }
  if (opened === null) return;
  if (opened) {
    notices.show({ kind: 'info', title: `Opening ${group.name}`, text: `${plural(copies.length, 'copy opens', 'copies open')} in the suite.` });
  } else {
    notices.show({ kind: 'error', title: `Not every copy of ${group.name} opened`, text: 'A copy may have been moved or deleted since the list was read. The list is read again.' });
    loadList();
  }
}

async function showFolder(group) {
  const answer = await call('openBackupFolder', { fileName: group.name, saveDate: group.saveDate }, 'Showing the folder');
  if (!answer) return;
  if (answer.result === true) {
    notices.show({ kind: 'info', title: 'Showing the folder', text: `${folderOf(group.copies[0]?.filePath ?? '')} opens in the file manager.` });
  } else {
    notices.show({ kind: 'error', title: `The folder of ${group.name} could not be shown`, text: 'Its copies may have been moved or deleted. The list is read again.' });
    loadList();
  }
}

async function deleteCopy(group, copy) {
  const confirmed = await confirmAction({
    title: `Delete this copy of ${group.name}?`,
    lines: [
      `The copy saved at ${copyTime(copy)} on ${dayName(group.saveDate)} (${copy.fileSize}) is deleted from ${folderOf(copy.filePath)}.`,
      'It does not go to the recycle bin and cannot be brought back.',
    ],
    confirmLabel: 'Delete permanently',
  });
  if (!confirmed) return;
  const answer = await call('delBackupFile', { backupFile: copy.filePath }, 'Deleting the copy');
  if (answer?.result === true) {
    applyChange({ removed: [copy.filePath] });
    notices.show({ kind: 'success', title: 'Copy deleted', text: `${capitalize(describeCopy(group, copy))} is gone.` });
    return;
  }
  if (answer) {
    notices.show({ kind: 'error', title: 'The copy was not deleted', text: `${capitalize(describeCopy(group, copy))} stayed. It may be open in another program or its folder may be read-only; close it and try again.` });
  }
  await loadList();
}

async function deleteGroup(entry) {
  if (showsPart(entry)) {
    deleteShownCopies(entry);
    return;
  }
  const { group } = entry;
  const count = group.copies.length;
  const confirmed = await confirmAction({
    title: count === 1 ? `Delete the copy of ${group.name}?` : `Delete all ${count} copies of ${group.name}?`,
    lines: [
      `${plural(count, 'copy', 'copies')} from ${dayName(group.saveDate)}, ${formatTotal(group.bytes, count, group.copies[0]?.fileSize)}, ${count === 1 ? 'is' : 'are'} deleted from disk.`,
      'They do not go to the recycle bin and cannot be brought back.',
    ],
    confirmLabel: count === 1 ? 'Delete permanently' : `Delete ${count} copies permanently`,
  });
  if (!confirmed) return;
  const paths = group.copies.map((c) => c.filePath);
  const answer = await call('delBackupGroup', { fileName: group.name, saveDate: group.saveDate }, 'Deleting the copies');
  if (answer?.result === true) applyChange({ removed: paths });
  else await loadList();
  if (!answer) return;
  if (answer.result === true) {
    notices.show({ kind: 'success', title: 'Copies deleted', text: `${plural(count, 'copy', 'copies')} of ${group.name} from ${dayName(group.saveDate)} ${count === 1 ? 'is' : 'are'} gone.` });
    return;
  }
  const left = state.catalogue?.groups.find((g) => g.key === groupKey(group.name, group.saveDate));
  const stayed = left ? left.copies.map((c) => c.saveTime).join(', ') : '';
  notices.show({
    kind: 'error',
    title: `Not every copy of ${group.name} was deleted`,
    text: left
      ? `${plural(left.copies.length, 'copy', 'copies')} of ${count} stayed (${stayed}). A copy may be open in another program or its folder read-only; close it and try again.`
      : 'The backup center reported a problem although no copy is left. The list shows what is on disk now.',
  });
}

async function deleteShownCopies({ group, copies, bytes }) {
  const count = copies.length;
  const confirmed = await confirmAction({
    title: count === 1 ? `Delete the shown copy of ${group.name}?` : `Delete the ${count} shown copies of ${group.name}?`,
    lines: [
      `${plural(count, 'copy', 'copies')} from ${dayName(group.saveDate)} (${copies.map((c) => copyTime(c)).join(', ')}), ${formatTotal(bytes, count, copies[0]?.fileSize)}, ${count === 1 ? 'is' : 'are'} deleted from disk. The other ${plural(group.copies.length - count, 'copy', 'copies')} of the document ${group.copies.length - count === 1 ? 'stays' : 'stay'}.`,
      'They do not go to the recycle bin and cannot be brought back.',
    ],
    confirmLabel: count === 1 ? 'Delete permanently' : `Delete ${count} copies permanently`,
  });
  if (!confirmed) return;
  const gone = [];
  const stayed = await eachCopy([...copies], 'delBackupFile', 'Deleting the copies', gone);
  if (gone.length) applyChange({ removed: gone });
  if (!stayed) return;
  if (!stayed.length) {
    notices.show({ kind: 'success', title: 'Copies deleted', text: `${plural(count, 'copy', 'copies')} of ${group.name} from ${dayName(group.saveDate)} ${count === 1 ? 'is' : 'are'} gone.` });
    return;
  }
  notices.show({
    kind: 'error',
    title: `Not every copy of ${group.name} was deleted`,
    text: `${plural(stayed.length, 'copy', 'copies')} of ${count} stayed (${stayed.map((c) => copyTime(c)).join(', ')}). A copy may be open in another program or its folder read-only; close it and try again.`,
  });
  await loadList();
}

// Saves a copy where the person chooses, through the host's save window.
async function restoreCopy(group, copy) {
  if (waitingFor) return;
  const opener = document.activeElement;
  showWaiting('A save window is open', `Choose where to put back the copy of ${group.name} saved at ${copyTime(copy)} on ${dayName(group.saveDate)}, and under which name. The copy in the backup folder stays as it is.`);
  let answer = null;
  try {
    answer = await bridge.call('restoreBackupFile', { backupFile: copy.filePath });
  } catch (error) {
    showError(error, 'Restoring the copy');
  } finally {
    hideWaiting();
    if (opener?.isConnected) opener.focus({ preventScroll: true });
  }
  if (!answer) return;
  if (answer.result === true) {
    notices.show({ kind: 'success', title: `${group.name} restored`, text: `The copy of ${copyTime(copy)} on ${dayName(group.saveDate)} was saved as ${answer.restoredPath ?? 'the file you chose'}.`, timeoutMs: 15000 });
  } else if (answer.errormsg === 'cancelled') {
    notices.show({ kind: 'info', title: 'Nothing was restored', text: 'The save window was closed without saving.' });
  } else if (answer.errormsg === 'not a listed backup copy') {
    notices.show({ kind: 'error', title: `${group.name} was not restored`, text: `${capitalize(describeCopy(group, copy))} is no longer in the backup folders. The list is read again.` });
    loadList();
  } else {
    notices.show({ kind: 'error', title: `${group.name} was not restored`, text: `The copy could not be saved there${answer.errormsg ? ` (${answer.errormsg})` : ''}. Choose a folder you may write to, on a drive with room left, and try again.` });
  }
}

// --- settings and tools ----------------------------------------------------

let waitingFor = null;

let waitingOpener = null;

function showWaiting(title, text) {
  waitingFor = title;
  waitingOpener = document.activeElement;
  $('waiting-title').textContent = title;
  $('waiting-text').textContent = text;
  $('waiting').hidden = false;
  $('app').inert = true;
  $('waiting-front').focus();
}

function hideWaiting() {
  const hadFocus = $('waiting').contains(document.activeElement);
  waitingFor = null;
  $('waiting').hidden = true;
  $('app').inert = false;
  if (hadFocus && waitingOpener?.isConnected) waitingOpener.focus({ preventScroll: true });
}

// The native window may lie behind the browser: the page raises it. When
// none is open any more, the page stops waiting for it.
async function bringWindowToFront() {
  let answer = null;
  try {
    answer = await bridge.call('bringWindowToFront', {});
  } catch {
    // A lost connection ends the wait by itself.
  }
  if (answer?.result !== true && waitingFor) hideWaiting();
}

async function openSettings() {
  if (waitingFor) return;
  showWaiting('The Local backup settings window is open', 'Make your changes there and close it. The list is read again when it closes.');
  let answer = null;
  try {
    answer = await bridge.call('showBackupSettings');
  } catch (error) {
    showError(error, 'Opening backup settings');
  } finally {
    hideWaiting();
    $('settings-button').focus();
  }
  if (answer?.driveChanged === true) {
    notices.show({ kind: 'info', title: 'The backup location changed', text: 'The list now shows the copies in the new backup folder and in the folders used before.' });
  } else if (answer && answer.result !== true) {
    notices.show({ kind: 'warning', title: 'The settings window gave no answer', text: 'Your settings may not have changed. Open Backup settings again to check them.' });
  }
  loadStatus();
  await loadList();
}

async function runTool(method, what, started, failed) {
  const answer = await call(method, {}, what);
  if (!answer) return;
  if (answer.result === true) notices.show({ kind: 'info', title: started.title, text: started.text });
  else notices.show({ kind: 'error', title: failed.title, text: failed.text });
}

const SIGN_IN_TEXT = 'A sign-in window of the suite opens. After you sign in, it opens by itself.';

async function openSignedInPanel(method, name) {
  const answer = await call(method, {}, `Opening the ${name}`);
  if (!answer) return;
  // The suite answers a result only to someone signed in.
  cloud.setSignedIn('result' in answer);
  if (!('result' in answer)) {
    $('signin-note').hidden = false;
    notices.show({ kind: 'warning', title: `Sign in to open the ${name}`, text: SIGN_IN_TEXT });
  } else if (answer.result === true) {
    notices.show({ kind: 'info', title: `Opening the ${name}`, text: 'It opens in the suite.' });
  } else {
    notices.show({ kind: 'error', title: `The ${name} could not be opened`, text: 'The suite did not start it. Try again; if it keeps failing, restart the suite.' });
  }
}

async function openFileRadar() {
  const answer = await call('showFileRadarDlg', { radarid: '2' }, 'Opening the file radar');
  if (!answer) return;
  if (typeof answer.errormsg === 'string') {
    notices.show({
      kind: 'error',
      title: 'The file radar could not be opened',
      text: answer.errormsg === 'launchExe path is empty'
        ? 'The suite’s launcher was not found. Repairing or reinstalling the suite brings it back.'
        : `The suite answered: ${answer.errormsg}.`,
    });
  } else {
    notices.show({ kind: 'info', title: 'Opening the file radar', text: 'It opens in the cloud-office client.' });
  }
}

async function openLocalRecycleBin() {
  const answer = await call('openLoaclRecycleBin', {}, 'Opening the recycle bin');
  if (!answer) return;
  if (answer.result === true) notices.show({ kind: 'info', title: 'Opening the recycle bin', text: 'It opens in the file manager.' });
  else notices.show({ kind: 'error', title: 'The recycle bin could not be opened', text: 'Open it from the desktop instead.' });
}

async function readFeatures() {
  try {
    const answer = await bridge.call('disableFeature');
    const disabled = String(answer.disableFeature ?? '').split(',').map((s) => s.trim()).filter(Boolean);
    $('recovery-button').hidden = disabled.includes('dataRecovery');
  } catch (error) {
    // Without the answer every tool stays offered; a tool that is missing
    // says so when it is used.
    if (!(error instanceof BridgeError && error.kind === 'closed')) console.warn('disableFeature:', error.message);
  }
}

// --- wiring ---------------------------------------------------------------

const cloud = new CloudPanel({
  bridge,
  notices,
  explain,
  showWaiting,
  hideWaiting,
  elements: {
    roamingSwitch: $('roaming-switch'),
    roamingNote: $('roaming-note'),
    uploadButton: $('upload-button'),
    uploadProgress: $('upload-progress'),
    uploadBar: $('upload-bar'),
    uploadStatus: $('upload-status'),
    uploadFiles: $('upload-files'),
    uploadCancel: $('upload-cancel'),
    cloudFolderButton: $('cloud-folder-button'),
  },
});

let searchFrame = 0;
$('search').addEventListener('input', (event) => {
  closeTimeline({ focus: false });
  state.filters.query = event.target.value;
  cancelAnimationFrame(searchFrame);
  searchFrame = requestAnimationFrame(() => applyFilters());
  scheduleTextSearch();
});
$('search').addEventListener('keydown', (event) => {
  if (event.key === 'Escape' && event.target.value) {
    event.preventDefault();
    event.target.value = '';
    state.filters.query = '';
    scheduleTextSearch();
    applyFilters();
  } else if (event.key === 'Enter') {
    event.preventDefault();
    scheduleTextSearch({ now: true });
  } else if (event.key === 'ArrowDown' && state.view?.copyCount) {
    event.preventDefault();
    list.focusRow(list.currentKey ?? list.firstFocusableKey());
  }
});
$('type-filter').addEventListener('change', (event) => {
  state.filters.type = event.target.value;
  applyFilters();
});
$('conflict-filter').addEventListener('click', () => {
  state.filters.conflictsOnly = !state.filters.conflictsOnly;
  applyFilters();
});
$('inside-toggle').addEventListener('click', (event) => {
  state.insideDocuments = !state.insideDocuments;
  event.currentTarget.setAttribute('aria-pressed', String(state.insideDocuments));
  scheduleTextSearch({ now: true });
});
$('damaged-filter').addEventListener('click', () => {
  state.filters.damagedOnly = false;
  applyFilters();
  $('search').focus();
});
$('clear-filters').addEventListener('click', clearFilters);
$('waiting-front').addEventListener('click', bringWindowToFront);
$('waiting').addEventListener('keydown', (event) => {
  if (event.key !== 'Escape') return;
  event.preventDefault();
  bringWindowToFront();
});
$('refresh-button').addEventListener('click', () => loadList());
$('settings-button').addEventListener('click', openSettings);
$('repair-button').addEventListener('click', () => runTool('runDocumentRepair', 'Starting document repair',
  { title: 'Document repair is starting', text: 'It opens in a window of its own.' },
  { title: 'Document repair could not be started', text: 'The repair tool may be missing from this installation of the suite; repairing or updating the suite adds it.' }));
$('recovery-button').addEventListener('click', () => runTool('runDataRestore', 'Starting data recovery',
  { title: 'Data recovery is starting', text: 'It opens in a window of its own.' },
  { title: 'Data recovery could not be started', text: 'The recovery tool may be missing from this installation of the suite; repairing or updating the suite adds it.' }));
$('search-panel-button').addEventListener('click', () => openSignedInPanel('openSearchPanel', 'search panel'));
$('cloud-bin-button').addEventListener('click', () => openSignedInPanel('openCloudRecycleBin', 'cloud recycle bin'));
$('local-bin-button').addEventListener('click', openLocalRecycleBin);
$('radar-button').addEventListener('click', openFileRadar);

// "/" jumps to the search box, as on many list pages; Escape leaves a
// document's timeline from wherever the focus is not taken.
document.addEventListener('keydown', (event) => {
  if (event.key === 'Escape' && timeline.open && !event.defaultPrevented && !waitingFor
      && (document.activeElement === document.body || !document.activeElement)) {
    closeTimeline();
    return;
  }
  if (event.key !== '/' || event.ctrlKey || event.metaKey || event.altKey) return;
  const tag = document.activeElement?.tagName;
  if (tag === 'INPUT' || tag === 'SELECT' || tag === 'TEXTAREA' || waitingFor) return;
  event.preventDefault();
  $('search').focus();
});

// Whether someone is signed in shows before anything that needs it; the
// suite tells of later changes.
function showSignIn(signedIn) {
  if (typeof signedIn !== 'boolean') return;
  cloud.setSignedIn(signedIn);
  $('signin-note').hidden = signedIn;
}

bridge.on('event.arkivo.signInChanged', (payload) => showSignIn(payload?.signedIn));

async function readSignIn() {
  try {
    const answer = await bridge.call('getSignInState');
    if (answer?.result === true) showSignIn(answer.signedIn);
  } catch {
    // Without the answer the page learns it when a panel needs it.
  }
}

function start() {
  loadList();
  readFeatures();
  readSignIn();
  cloud.start();
}

if (!token) {
  showConnection('This page needs the address that zentri-host printed, with its token. Open that address again.', 'error');
  root.dataset.listState = 'failed';
  $('summary').textContent = 'Not connected.';
} else {
  showConnection('Connecting to Zentri…');
  bridge.connect();
}
