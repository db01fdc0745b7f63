// The backup list as the plug-in sends it (Base64 of a compact JSON table),
// turned into days of groups of copies, and the filters over it.

import { dayMatcher, foldText } from './format.js';

export const TYPES = ['doc', 'xls', 'ppt', 'pdf', 'unknown'];

// The text that `base64` holds, read as UTF-8. A list of plain ASCII names
// (most are) decodes straight to its text, without the copy into bytes and
// the UTF-8 pass that cost a large list a fifth of a second.
export function base64ToText(base64) {
  if (typeof Uint8Array.fromBase64 === 'function') return new TextDecoder('utf-8').decode(Uint8Array.fromBase64(base64));
  const binary = atob(base64);
  if (!/[\x80-\xff]/.test(binary)) return binary;
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
  return new TextDecoder('utf-8').decode(bytes);
}

// "20 KB" and "1.90 MB" back to bytes, as near as the text tells. The
// plug-in writes whole KB cut down ("0 KB" is anything under 1,024 bytes):
// such a size is taken as the middle of its kilobyte, so that totals of many
// small copies come out near the truth rather than at "0 KB".
export function sizeTextToBytes(text) {
  if (typeof text !== 'string' || text.length < 4) return 0;
  const unit = text.slice(-2);
  const scale = unit === 'KB' ? 1024 : unit === 'MB' ? 1024 * 1024 : unit === 'GB' ? 1024 * 1024 * 1024 : 0;
  const number = Number(text.slice(0, -3));
  if (!scale || text.charCodeAt(text.length - 3) !== 32 || !Number.isFinite(number)) return 0;
  return Math.round(number * scale) + (unit === 'KB' ? 512 : 0);
}

export class ListFormatError extends Error {}

// Decodes the "backupTable" text of getBackupFileListCompact: Base64 of
// {"folders": [...], "groups": [[groupName, groupType, saveDate, isConflict,
// [[folder, fileName, fileSize, saveTime, conflictTime]...]]...]} into the
// groups and copies getBackupFileList would have listed.
export function decodeBackupTable(text) {
  if (typeof text !== 'string') throw new ListFormatError('the answer holds no list');
  let table;
  try {
    table = JSON.parse(base64ToText(text));
  } catch (error) {
    throw new ListFormatError(`the list cannot be read (${error.message})`);
  }
  if (!table || !Array.isArray(table.groups) || !Array.isArray(table.folders)) throw new ListFormatError('the list has no "groups" and "folders"');
  const folders = table.folders.map((folder) => `${folder}/`);
  const list = new Array(table.groups.length);
  for (let g = 0; g < table.groups.length; g++) {
    const [groupName, groupType, saveDate, isConflict, rows] = Array.isArray(table.groups[g]) ? table.groups[g] : [];
    const backupFiles = new Array(Array.isArray(rows) ? rows.length : 0);
    for (let c = 0; c < backupFiles.length; c++) {
      const [folder, fileName, fileSize, saveTime, conflictTime] = Array.isArray(rows[c]) ? rows[c] : [];
      backupFiles[c] = { conflictTime, filePath: (folders[folder] ?? '') + (fileName ?? ''), fileSize, saveTime };
    }
    list[g] = { groupName, groupType, saveDate, isConflict, backupFiles };
  }
  return buildCatalogue(list);
}

export function groupKey(name, saveDate) {
  return `${saveDate}\u0000${name}`;
}

// The list's copy object with the types the page relies on, and its size in bytes.
function normalizeCopy(copy, order) {
  if (typeof copy.filePath !== 'string') copy.filePath = String(copy.filePath ?? '');
  if (typeof copy.fileSize !== 'string') copy.fileSize = String(copy.fileSize ?? '');
  if (typeof copy.saveTime !== 'string') copy.saveTime = String(copy.saveTime ?? '');
  if (typeof copy.conflictTime !== 'string') copy.conflictTime = String(copy.conflictTime ?? '');
  copy.bytes = sizeTextToBytes(copy.fileSize);
  copy.order = order;
  return copy;
}

// The name as a search matches it; most names are plain ASCII and need no
// look at their accents.
const searchName = (name) => (/[^\x00-\x7f]/.test(name) ? foldText(name) : name.toLowerCase());

function newGroup(name, saveDate, type, isConflict, copies) {
  return { key: groupKey(name, saveDate), name, nameFolded: searchName(name), type, saveDate, isConflict, copies, bytes: 0, conflicts: 0 };
}

export function buildCatalogue(list) {
  const groups = [];
  const byDay = new Map();
  let copyCount = 0;
  for (let i = 0; i < list.length; i++) {
    const raw = list[i] || {};
    const name = String(raw.groupName ?? '');
    const saveDate = String(raw.saveDate ?? '');
    const type = TYPES.includes(raw.groupType) ? raw.groupType : 'unknown';
    // The list's own copy objects are kept (a large list holds a hundred
    // thousand of them); only the size in bytes and the list order are added.
    const copies = Array.isArray(raw.backupFiles) ? raw.backupFiles : [];
    let bytes = 0;
    let conflicts = 0;
    for (let j = 0; j < copies.length; j++) {
      let copy = copies[j];
      if (!copy || typeof copy !== 'object') copies[j] = copy = {};
      normalizeCopy(copy, j);
      bytes += copy.bytes;
      if (copy.conflictTime) conflicts++;
    }
    // Newest first; copies of one minute keep the list's order.
    if (copies.length > 1) copies.sort((a, b) => (a.saveTime < b.saveTime ? 1 : a.saveTime > b.saveTime ? -1 : a.order - b.order));
    const group = newGroup(name, saveDate, type, raw.isConflict === true || conflicts > 0, copies);
    group.bytes = bytes;
    group.conflicts = conflicts;
    groups.push(group);
    copyCount += copies.length;
    let day = byDay.get(saveDate);
    if (!day) byDay.set(saveDate, (day = []));
    day.push(group);
  }
  // Newest day first ("yyyy/MM/dd" sorts as text); groups keep the list's order.
  const days = [...byDay.keys()].sort((a, b) => (a < b ? 1 : a > b ? -1 : 0)).map((saveDate) => ({ saveDate, groups: byDay.get(saveDate) }));
  return { groups, days, copyCount };
}

// Where each copy and group of the catalogue is: made a slice at a time
// while the page is idle (see indexCatalogue) and kept up to date by
// applyListChange.
function catalogueIndex(catalogue) {
  catalogue.index ??= { byPath: new Map(), byKey: new Map(), next: 0, complete: false };
  return catalogue.index;
}

// Indexes groups while `more()` answers true; answers whether the index is complete.
export function indexCatalogue(catalogue, more = () => true) {
  const index = catalogueIndex(catalogue);
  const groups = catalogue.groups;
  while (index.next < groups.length && more()) {
    const end = Math.min(index.next + 500, groups.length);
    for (let g = index.next; g < end; g++) {
      const group = groups[g];
      index.byKey.set(group.key, group);
      for (const copy of group.copies) index.byPath.set(copy.filePath, group);
    }
    index.next = end;
  }
  index.complete = index.next >= groups.length;
  return index.complete;
}

function removeCopy(catalogue, group, path) {
  const at = group.copies.findIndex((c) => c.filePath === path);
  if (at < 0) return false;
  const [copy] = group.copies.splice(at, 1);
  group.bytes -= copy.bytes;
  if (copy.conflictTime) group.conflicts--;
  group.isConflict = group.conflicts > 0;
  catalogue.copyCount--;
  return true;
}

// The groups that hold the copies of `paths`: through the index where it is
// complete, else by one pass over every copy.
function groupsHolding(catalogue, paths) {
  const index = catalogue.index;
  const found = new Map();
  if (index?.complete) {
    for (const path of paths) {
      const group = index.byPath.get(path);
      if (group) found.set(path, group);
    }
    return found;
  }
  for (const group of catalogue.groups) {
    for (const copy of group.copies) if (paths.has(copy.filePath)) found.set(copy.filePath, group);
  }
  return found;
}

function addCopy(catalogue, byKey, raw) {
  const name = String(raw.groupName ?? '');
  const saveDate = String(raw.saveDate ?? '');
  const key = groupKey(name, saveDate);
  let group = byKey.get(key);
  if (!group) {
    group = newGroup(name, saveDate, TYPES.includes(raw.groupType) ? raw.groupType : 'unknown', false, []);
    byKey.set(key, group);
    catalogue.groups.push(group);
    let day = catalogue.days.find((d) => d.saveDate === saveDate);
    if (!day) {
      day = { saveDate, groups: [] };
      const after = catalogue.days.findIndex((d) => d.saveDate < saveDate);
      catalogue.days.splice(after < 0 ? catalogue.days.length : after, 0, day);
    }
    // A document that was not on this day before has just been saved: on top.
    day.groups.unshift(group);
  }
  const copy = normalizeCopy({ conflictTime: raw.conflictTime, filePath: raw.filePath, fileSize: raw.fileSize, saveTime: raw.saveTime }, -1);
  // Newest first; a new copy goes after the copies of its own minute.
  let at = group.copies.findIndex((c) => c.saveTime < copy.saveTime);
  if (at < 0) at = group.copies.length;
  group.copies.splice(at, 0, copy);
  group.bytes += copy.bytes;
  if (copy.conflictTime) group.conflicts++;
  group.isConflict = group.isConflict || raw.isConflict === true || group.conflicts > 0;
  catalogue.copyCount++;
  return group;
}

// Applies a change of the backup folders ({added: [copy...], removed: [path...]},
// a changed copy in both) to the catalogue in place. Groups stay where they
// are; a group left without copies goes, and so does a day left without
// groups. Answers whether anything changed.
export function applyListChange(catalogue, { added = [], removed = [] } = {}) {
  const copies = (Array.isArray(added) ? added : []).filter((raw) => raw && typeof raw === 'object' && typeof raw.filePath === 'string');
  // A copy added again (a change seen after the page removed it itself) replaces the one listed.
  const paths = new Set([...(Array.isArray(removed) ? removed : []).map(String), ...copies.map((raw) => raw.filePath)]);
  const index = catalogueIndex(catalogue);
  // A copy finds its group by key: every group must be known.
  if (copies.length) indexCatalogue(catalogue);
  const touched = new Set();
  for (const [path, group] of groupsHolding(catalogue, paths)) {
    if (!removeCopy(catalogue, group, path)) continue;
    index.byPath.delete(path);
    touched.add(group);
  }
  for (const raw of copies) {
    const group = addCopy(catalogue, index.byKey, raw);
    index.byPath.set(raw.filePath, group);
    touched.add(group);
  }
  for (const group of touched) {
    if (group.copies.length) continue;
    index.byKey.delete(group.key);
    const at = catalogue.groups.indexOf(group);
    catalogue.groups.splice(at, 1);
    if (at < index.next) index.next--;
    const day = catalogue.days.find((d) => d.saveDate === group.saveDate);
    day.groups.splice(day.groups.indexOf(group), 1);
    if (!day.groups.length) catalogue.days.splice(catalogue.days.indexOf(day), 1);
  }
  return touched.size > 0;
}

// The catalogue seen through the filters. Counts and sizes follow the filter.
// `damagedOnly` keeps the copies found damaged (copy.verified). A query finds
// names without regard to case or accents, and the days it names.
export function filterCatalogue(catalogue, { query = '', type = 'all', conflictsOnly = false, damagedOnly = false } = {}) {
  const needle = foldText(query.trim());
  const isDay = needle ? dayMatcher(needle) : null;
  const days = [];
  const typeCounts = { all: 0, doc: 0, xls: 0, ppt: 0, pdf: 0, unknown: 0 };
  const names = new Set();
  let copyCount = 0;
  let groupCount = 0;
  let bytes = 0;
  let conflictCount = 0;
  for (const day of catalogue.days) {
    let shown = null;
    const wholeDay = isDay?.(day.saveDate) ?? false;
    for (const group of day.groups) {
      if (needle && !wholeDay && !group.nameFolded.includes(needle)) continue;
      const copiesForType = conflictsOnly ? group.conflicts : group.copies.length;
      typeCounts.all += copiesForType;
      typeCounts[group.type] += copiesForType;
      if (type !== 'all' && group.type !== type) continue;
      conflictCount += group.conflicts;
      let copies = group.copies;
      let groupBytes = group.bytes;
      if (conflictsOnly) {
        if (!group.conflicts) continue;
        if (group.conflicts !== group.copies.length) {
          copies = group.copies.filter((c) => c.conflictTime);
          groupBytes = copies.reduce((sum, c) => sum + c.bytes, 0);
        }
      }
      if (damagedOnly) {
        copies = copies.filter((c) => c.verified === 'damaged');
        groupBytes = copies.reduce((sum, c) => sum + c.bytes, 0);
      }
      if (!copies.length) continue;
      if (!shown) shown = [];
      shown.push({ group, copies, bytes: groupBytes });
      names.add(group.name);
      groupCount++;
      copyCount += copies.length;
      bytes += groupBytes;
    }
    if (shown) days.push({ saveDate: day.saveDate, entries: shown });
  }
  return { days, copyCount, groupCount, documentCount: names.size, bytes, conflictCount, typeCounts };
}

// Every copy of the document `name` across days and backup folders (the same
// name on another day is the same document), newest first, as {group, copy}.
export function timelineOf(catalogue, name) {
  const items = [];
  for (const group of catalogue.groups) {
    if (group.name !== name) continue;
    for (const copy of group.copies) items.push({ group, copy });
  }
  return sortTimeline(items);
}

// Newest first by day and minute, then by the seconds where both copies have
// their exact time; otherwise the order stays (the sort is stable).
export function sortTimeline(items) {
  const time = (item) => item.copy.exact?.saveTime ?? item.copy.saveTime;
  return items.sort((a, b) => {
    if (a.group.saveDate !== b.group.saveDate) return a.group.saveDate < b.group.saveDate ? 1 : -1;
    const ta = time(a);
    const tb = time(b);
    const minute = tb.slice(0, 5).localeCompare(ta.slice(0, 5));
    if (minute || ta.length < 8 || tb.length < 8) return minute;
    return tb.localeCompare(ta);
  });
}
