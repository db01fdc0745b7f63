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
import { dayName, folderOf, formatTotal } from './format.js';
import { formatNumber, setLanguage, t, translateDocument } from './i18n.js';

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
  loadFresh: false,
  listFailed: false,
  generation: 0,
  firstLoad: true,
  everConnected: false,
};

// --- plain words for what went wrong ------------------------------------

// `what` names what was tried ("Reading the backup list"), as the catalogue
// words it for these sentences.
// `action` names what was tried: its "failed.<action>" text is the title.
function explain(error, action) {
  const title = t(`failed.${action}`);
  if (error instanceof BridgeError && error.kind === 'closed') {
    // One such message at a time, whatever was tried: the banner says the rest.
    return { title, text: t('error.lostTryAgain'), key: 'connection lost' };
  }
  if (error instanceof BridgeError && /not available|unknown page method/i.test(error.message)) {
    return { title, text: t('error.notOffered') };
  }
  if (error instanceof BridgeError) return { title, text: t('error.refused', { reason: error.message }) };
  return { title, text: String(error?.message || error) };
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

// `text`: a function answering the banner's text, or null for none.
let connectionShown = [null];

function showConnection(text, kind = 'warning', { reconnect = false } = {}) {
  connectionShown = [text, kind, { reconnect }];
  const banner = $('connection');
  banner.hidden = !text;
  banner.dataset.kind = kind;
  banner.replaceChildren(text ? text() : '', reconnect ? h('button', { type: 'button', class: 'btn small', text: t('connection.reconnect'), onclick: reconnectNow }) : '');
}

function reconnectNow() {
  showConnection(() => t('connection.connecting'));
  bridge.retries = 0;
  bridge.connect();
}

bridge.on('open', () => {
  const reconnected = state.everConnected;
  state.everConnected = true;
  showConnection(null);
  root.dataset.connection = 'open';
  if (reconnected) notices.show({ kind: 'success', title: t('connection.again'), text: t('connection.againText') });
  start();
});

bridge.on('close', ({ retries }) => {
  root.dataset.connection = 'closed';
  hideWaiting();
  if (state.everConnected || retries > 6) showConnection(() => t('connection.lost'), retries > 6 ? 'error' : 'warning', { reconnect: true });
  else showConnection(() => t('connection.connecting'));
});

bridge.on('event.arkivo.onskinmodechanged', (payload) => setSkin(payload?.skin));
bridge.on('event.arkivo.onlanguagechanged', (payload) => {
  if (setLanguage(payload?.language)) relabel();
});
bridge.on('event.arkivo.backupListChanged', (change) => listChanged(change));
bridge.on('event.arkivo.backupFilesVerified', (payload) => verifier.verified(payload));
bridge.on('event.arkivo.textIndexProgress', (payload) => textSearch.showProgress(payload));

// Every text on screen again in the language just chosen. Messages already
// shown and an open confirmation keep theirs.
function relabel() {
  translateDocument();
  showConnection(...connectionShown);
  list.relabel();
  applyFilters({ keepPlace: true });
  status.paint();
  cloud.relabel();
  timeline.relabel();
  textSearch.relabel();
  if (waitingFor) paintWaiting();
}

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
    notices.show({ kind: 'warning', title: t('hit.goneTitle'), text: t('hit.goneText', { name: hit.groupName }) });
    return;
  }
  showTimeline(group, { path: hit.filePath, opener: button });
}

// With `fresh` (a person asked to read the folders again) the plug-in lists
// them anew; otherwise it may answer its last listing when nothing changed.
async function loadList({ fresh = false } = {}) {
  if (state.loading) {
    state.loadAgain = true;
    state.loadFresh ||= fresh;
    return;
  }
  state.loading = true;
  root.dataset.listState = 'loading';
  if (!state.catalogue) updateEmptyState();
  $('refresh-button').setAttribute('aria-busy', 'true');
  performance.mark('list-requested');
  try {
    // The list as getBackupFileList lists it, in a fifth of the text.
    const answer = await bridge.call('getBackupFileListCompact', fresh ? { fresh: true } : {});
    performance.mark('list-received');
    if (answer.result !== true) {
      state.listFailed = true;
      notices.show({ kind: 'error', title: t('list.unreadable'), text: t('list.unreadableText') });
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
    if (error instanceof BridgeError) showError(error, 'readList');
    else notices.show({ kind: 'error', title: t('list.unreadable'), text: t('list.damagedText', { reason: error.message }) });
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
    const fresh = state.loadFresh;
    state.loadFresh = false;
    loadList({ fresh });
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
    summary.textContent = state.listFailed ? t('summary.failed') : t('summary.reading');
    return;
  }
  if (catalogue.copyCount === 0) {
    summary.textContent = t('summary.none');
    return;
  }
  const params = { count: view.copyCount, documents: view.documentCount, all: catalogue.copyCount };
  if (view.copyCount) params.size = formatTotal(view.bytes, view.copyCount);
  if (!isFiltered()) summary.textContent = t('summary.shown', params);
  else summary.textContent = view.copyCount ? t('summary.filtered', params) : t('summary.filteredNone', params);
}

// Each type's option, with how many copies it has.
const typeOption = (type, count) => ({
  all: () => t('types.allCount', { count }),
  doc: () => t('types.docCount', { count }),
  xls: () => t('types.xlsCount', { count }),
  ppt: () => t('types.pptCount', { count }),
  pdf: () => t('types.pdfCount', { count }),
  unknown: () => t('types.otherCount', { count }),
})[type]();

function updateFilterControls() {
  const counts = state.view.typeCounts;
  for (const option of $('type-filter').options) option.textContent = typeOption(option.value, counts[option.value] ?? 0);
  const conflicts = $('conflict-filter');
  conflicts.setAttribute('aria-pressed', String(state.filters.conflictsOnly));
  $('conflict-count').textContent = formatNumber(state.view.conflictCount);
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
      h('p', { text: t('empty.reading') }));
  } else if (!state.catalogue) {
    empty.replaceChildren(
      h('h2', { text: t('list.unreadable') }),
      h('p', { text: t('empty.unreadableText') }),
      h('button', { type: 'button', class: 'btn primary', text: t('empty.tryAgain'), onclick: () => loadList({ fresh: true }) }));
  } else if (state.catalogue.copyCount === 0 && status.has('folderUnreachable')) {
    empty.replaceChildren(
      h('h2', { text: t('empty.unreachable') }),
      h('p', { text: status.status.folder ? t('empty.unreachableText', { folder: status.status.folder }) : t('empty.unreachableTextNoFolder') }),
      h('button', { type: 'button', class: 'btn primary', text: t('empty.openSettings'), onclick: () => openSettings() }));
  } else if (state.catalogue.copyCount === 0 && status.has('backupOff')) {
    empty.replaceChildren(
      h('h2', { text: t('empty.off') }),
      h('p', { text: t('empty.offText') }),
      h('button', { type: 'button', class: 'btn primary', text: t('empty.turnOn'), onclick: () => openSettings() }));
  } else if (state.catalogue.copyCount === 0) {
    empty.replaceChildren(
      h('div', { class: 'empty-art', 'aria-hidden': 'true' }),
      h('h2', { text: t('empty.none') }),
      h('p', { text: t('empty.noneText') }),
      h('p', { text: t('empty.noneSettings') }),
      h('button', { type: 'button', class: 'btn primary', text: t('empty.openSettings'), onclick: () => openSettings() }));
  } else {
    // Each filter in force is a condition of its own, listed under the sentence.
    const parts = [];
    if (state.filters.query.trim()) parts.push(t('empty.whereNamed', { query: state.filters.query.trim() }));
    if (state.filters.type !== 'all') parts.push(typeCondition(state.filters.type));
    if (state.filters.conflictsOnly) parts.push(t('empty.whereConflict'));
    if (state.filters.damagedOnly) parts.push(t('empty.whereDamaged'));
    empty.replaceChildren(
      h('h2', { text: t('empty.noMatch') }),
      h('p', { text: t('empty.noMatchText', { count: state.catalogue.copyCount }) }),
      h('ul', { class: 'empty-conditions' }, ...parts.map((part) => h('li', { text: part }))),
      h('button', { type: 'button', class: 'btn', text: t('empty.clearFilters'), onclick: () => clearFilters() }));
  }
}

const typeCondition = (type) => ({
  doc: () => t('empty.whereDoc'),
  xls: () => t('empty.whereXls'),
  ppt: () => t('empty.wherePpt'),
  pdf: () => t('empty.wherePdf'),
  unknown: () => t('empty.whereOther'),
})[type]();

function clearFilters() {
  state.filters = { query: '', type: 'all', conflictsOnly: false, damagedOnly: false };
  $('search').value = '';
  $('type-filter').value = 'all';
  textSearch.hide();
  applyFilters();
  $('search').focus();
}

// --- copies and groups ----------------------------------------------------

// The placeholders that name one copy: {time}, {name} and {day}.
const copyParams = (group, copy) => ({ time: copyTime(copy), name: group.name, day: dayName(group.saveDate) });

async function call(method, args, what) {
  try {
    return await bridge.call(method, args);
  } catch (error) {
    showError(error, what);
    return null;
  }
}

async function openCopy(group, copy) {
  const answer = await call('openBackupFile', { backupFile: copy.filePath }, 'openCopy');
  if (!answer) return;
  if (answer.result === true) {
    notices.show({
      kind: 'info',
      title: t('open.title', { name: group.name }),
      text: t('open.copyText', { time: copyTime(copy) }),
      action: { label: t('copy.restore'), run: () => restoreCopy(group, copy) },
      timeoutMs: 12000,
    });
  } else {
    notices.show({ kind: 'error', title: t('open.failed', { name: group.name }), text: t('open.failedText', copyParams(group, copy)) });
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
    title: t('openAll.ask', { count: copies.length, name: group.name }),
    lines: [t('openAll.askText', { count: copies.length })],
    confirmLabel: t('openAll.confirm', { count: copies.length }),
    danger: false,
  })) return;
  let opened;
  if (showsPart(entry)) {
    const failed = await eachCopy(copies, 'openBackupFile', 'openCopies');
    opened = failed && !failed.length;
  } else {
    const answer = await call('openBackupGroup', { fileName: group.name, saveDate: group.saveDate }, 'openCopies');
    opened = answer ? answer.result === true : null;
  }
  if (opened === null) return;
  if (opened) {
    notices.show({ kind: 'info', title: t('open.title', { name: group.name }), text: t('openAll.text', { count: copies.length }) });
  } else {
    notices.show({ kind: 'error', title: t('openAll.failed', { name: group.name }), text: t('openAll.failedText') });
    loadList();
  }
}

async function showFolder(group) {
  const answer = await call('openBackupFolder', { fileName: group.name, saveDate: group.saveDate }, 'showFolder');
  if (!answer) return;
  if (answer.result === true) {
    notices.show({ kind: 'info', title: t('what.showFolder'), text: t('folder.text', { folder: folderOf(group.copies[0]?.filePath ?? '') }) });
  } else {
    notices.show({ kind: 'error', title: t('folder.failed', { name: group.name }), text: t('folder.failedText') });
    loadList();
  }
}

async function deleteCopy(group, copy) {
  const confirmed = await confirmAction({
    title: t('delete.copyAsk', { name: group.name }),
    lines: [
      t('delete.copyAskText', { ...copyParams(group, copy), size: copy.fileSize, folder: folderOf(copy.filePath) }),
      t('delete.copyForever'),
    ],
    confirmLabel: t('delete.permanently'),
  });
  if (!confirmed) return;
  const answer = await call('delBackupFile', { backupFile: copy.filePath }, 'deleteCopy');
  if (answer?.result === true) {
    applyChange({ removed: [copy.filePath] });
    notices.show({ kind: 'success', title: t('delete.copyDone'), text: t('delete.copyDoneText', copyParams(group, copy)) });
    return;
  }
  if (answer) {
    notices.show({ kind: 'error', title: t('delete.copyFailed'), text: t('delete.copyFailedText', copyParams(group, copy)) });
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
    title: t('delete.groupAsk', { count, name: group.name }),
    lines: [
      t('delete.groupAskText', { count, day: dayName(group.saveDate), size: formatTotal(group.bytes, count, group.copies[0]?.fileSize) }),
      t('delete.forever'),
    ],
    confirmLabel: t('delete.countPermanently', { count }),
  });
  if (!confirmed) return;
  const paths = group.copies.map((c) => c.filePath);
  const answer = await call('delBackupGroup', { fileName: group.name, saveDate: group.saveDate }, 'deleteCopies');
  if (answer?.result === true) applyChange({ removed: paths });
  else await loadList();
  if (!answer) return;
  if (answer.result === true) {
    notices.show({ kind: 'success', title: t('delete.copiesDone'), text: t('delete.copiesDoneText', { count, name: group.name, day: dayName(group.saveDate) }) });
    return;
  }
  const left = state.catalogue?.groups.find((g) => g.key === groupKey(group.name, group.saveDate));
  const stayed = left ? left.copies.map((c) => c.saveTime).join(t('list.separator')) : '';
  notices.show({
    kind: 'error',
    title: t('delete.notEvery', { name: group.name }),
    text: left
      ? t('delete.stayedText', { count: left.copies.length, of: count, times: stayed })
      : t('delete.noneLeftText'),
  });
}

async function deleteShownCopies({ group, copies, bytes }) {
  const count = copies.length;
  const confirmed = await confirmAction({
    title: t('delete.shownAsk', { count, name: group.name }),
    lines: [
      t('delete.shownAskText', {
        count,
        others: group.copies.length - count,
        day: dayName(group.saveDate),
        times: copies.map((c) => copyTime(c)).join(t('list.separator')),
        size: formatTotal(bytes, count, copies[0]?.fileSize),
      }),
      t('delete.forever'),
    ],
    confirmLabel: t('delete.countPermanently', { count }),
  });
  if (!confirmed) return;
  const gone = [];
  const stayed = await eachCopy([...copies], 'delBackupFile', 'deleteCopies', gone);
  if (gone.length) applyChange({ removed: gone });
  if (!stayed) return;
  if (!stayed.length) {
    notices.show({ kind: 'success', title: t('delete.copiesDone'), text: t('delete.copiesDoneText', { count, name: group.name, day: dayName(group.saveDate) }) });
    return;
  }
  notices.show({
    kind: 'error',
    title: t('delete.notEvery', { name: group.name }),
    text: t('delete.stayedText', { count: stayed.length, of: count, times: stayed.map((c) => copyTime(c)).join(t('list.separator')) }),
  });
  await loadList();
}

// Saves a copy where the person chooses, through the host's save window.
async function restoreCopy(group, copy) {
  if (waitingFor) return;
  const opener = document.activeElement;
  showWaiting(() => t('restore.waiting'), () => t('restore.waitingText', copyParams(group, copy)));
  let answer = null;
  try {
    answer = await bridge.call('restoreBackupFile', { backupFile: copy.filePath });
  } catch (error) {
    showError(error, 'restore');
  } finally {
    hideWaiting();
    if (opener?.isConnected) opener.focus({ preventScroll: true });
  }
  if (!answer) return;
  if (answer.result === true) {
    notices.show({
      kind: 'success',
      title: t('restore.done', { name: group.name }),
      text: answer.restoredPath ? t('restore.doneText', { ...copyParams(group, copy), path: answer.restoredPath }) : t('restore.doneTextNoPath', copyParams(group, copy)),
      timeoutMs: 15000,
    });
  } else if (answer.errormsg === 'cancelled') {
    notices.show({ kind: 'info', title: t('restore.nothing'), text: t('restore.nothingText') });
  } else if (answer.errormsg === 'not a listed backup copy') {
    notices.show({ kind: 'error', title: t('restore.failed', { name: group.name }), text: t('restore.goneText', copyParams(group, copy)) });
    loadList();
  } else {
    notices.show({ kind: 'error', title: t('restore.failed', { name: group.name }), text: answer.errormsg ? t('restore.failedReasonText', { reason: answer.errormsg }) : t('restore.failedText') });
  }
}

// --- settings and tools ----------------------------------------------------

let waitingFor = null;

let waitingOpener = null;

// `title` and `text` are functions answering the texts, so that they can be
// said again in another language.
function showWaiting(title, text) {
  waitingFor = { title, text };
  waitingOpener = document.activeElement;
  paintWaiting();
  $('waiting').hidden = false;
  $('app').inert = true;
  $('waiting-front').focus();
}

function paintWaiting() {
  $('waiting-title').textContent = waitingFor.title();
  $('waiting-text').textContent = waitingFor.text();
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
  showWaiting(() => t('settings.waiting'), () => t('settings.waitingText'));
  let answer = null;
  try {
    answer = await bridge.call('showBackupSettings');
  } catch (error) {
    showError(error, 'openSettings');
  } finally {
    hideWaiting();
    $('settings-button').focus();
  }
  if (answer?.driveChanged === true) {
    notices.show({ kind: 'info', title: t('settings.moved'), text: t('settings.movedText') });
  } else if (answer && answer.result !== true) {
    notices.show({ kind: 'warning', title: t('settings.noAnswer'), text: t('settings.noAnswerText') });
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

// texts: {action, opening, signIn, failed}: the action's name (see explain) and the titles for one panel.
async function openSignedInPanel(method, texts) {
  const answer = await call(method, {}, texts.action);
  if (!answer) return;
  // The suite answers a result only to someone signed in.
  cloud.setSignedIn('result' in answer);
  if (!('result' in answer)) {
    $('signin-note').hidden = false;
    notices.show({ kind: 'warning', title: texts.signIn, text: t('panel.signInText') });
  } else if (answer.result === true) {
    notices.show({ kind: 'info', title: texts.opening, text: t('panel.openingText') });
  } else {
    notices.show({ kind: 'error', title: texts.failed, text: t('panel.failedText') });
  }
}

async function openFileRadar() {
  const answer = await call('showFileRadarDlg', { radarid: '2' }, 'radar');
  if (!answer) return;
  if (typeof answer.errormsg === 'string') {
    notices.show({
      kind: 'error',
      title: t('radar.failed'),
      text: answer.errormsg === 'launchExe path is empty' ? t('radar.noLauncher') : t('suite.answered', { reason: answer.errormsg }),
    });
  } else {
    notices.show({ kind: 'info', title: t('radar.opening'), text: t('radar.openingText') });
  }
}

async function openLocalRecycleBin() {
  const answer = await call('openLoaclRecycleBin', {}, 'bin');
  if (!answer) return;
  if (answer.result === true) notices.show({ kind: 'info', title: t('bin.opening'), text: t('bin.openingText') });
  else notices.show({ kind: 'error', title: t('bin.failed'), text: t('bin.failedText') });
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
$('refresh-button').addEventListener('click', () => loadList({ fresh: true }));
$('settings-button').addEventListener('click', openSettings);
$('repair-button').addEventListener('click', () => runTool('runDocumentRepair', 'repair',
  { title: t('repair.starting'), text: t('tool.ownWindow') },
  { title: t('repair.failed'), text: t('repair.failedText') }));
$('recovery-button').addEventListener('click', () => runTool('runDataRestore', 'recovery',
  { title: t('recovery.starting'), text: t('tool.ownWindow') },
  { title: t('recovery.failed'), text: t('recovery.failedText') }));
$('search-panel-button').addEventListener('click', () => openSignedInPanel('openSearchPanel',
  { action: 'searchPanel', opening: t('searchPanel.opening'), signIn: t('searchPanel.signIn'), failed: t('searchPanel.failed') }));
$('cloud-bin-button').addEventListener('click', () => openSignedInPanel('openCloudRecycleBin',
  { action: 'cloudBin', opening: t('cloudBin.opening'), signIn: t('cloudBin.signIn'), failed: t('cloudBin.failed') }));
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

translateDocument();
if (!token) {
  showConnection(() => t('connection.noToken'), 'error');
  root.dataset.listState = 'failed';
  $('summary').textContent = t('summary.notConnected');
} else {
  showConnection(() => t('connection.connecting'));
  bridge.connect();
}
