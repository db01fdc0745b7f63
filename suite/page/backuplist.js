// The backup list as the plug-in sends it (Base64 of a JSON document
// {"backupList": [group...]}), turned into days of groups of copies, and the
// filters over it.

export const TYPES = ['doc', 'xls', 'ppt', 'pdf', 'unknown'];

export function base64ToBytes(text) {
  if (typeof Uint8Array.fromBase64 === 'function') return Uint8Array.fromBase64(text);
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

// "20 KB" and "1.90 MB" back to bytes; the texts are rounded, so is this.
export function sizeTextToBytes(text) {
  if (typeof text !== 'string' || text.length < 4) return 0;
  const unit = text.slice(-2);
  const scale = unit === 'KB' ? 1024 : unit === 'MB' ? 1024 * 1024 : unit === 'GB' ? 1024 * 1024 * 1024 : 0;
  const number = Number(text.slice(0, -3));
  return scale && text.charCodeAt(text.length - 3) === 32 && Number.isFinite(number) ? Math.round(number * scale) : 0;
}

export class ListFormatError extends Error {}

// Decodes the "backupList" text of getBackupFileList.
export function decodeBackupList(text) {
  if (typeof text !== 'string') throw new ListFormatError('the answer holds no list');
  let document;
  try {
    document = JSON.parse(new TextDecoder('utf-8').decode(base64ToBytes(text)));
  } catch (error) {
    throw new ListFormatError(`the list cannot be read (${error.message})`);
  }
  if (!document || !Array.isArray(document.backupList)) throw new ListFormatError('the list has no "backupList" array');
  return buildCatalogue(document.backupList);
}

export function groupKey(name, saveDate) {
  return `${saveDate}\u0000${name}`;
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
      if (typeof copy.filePath !== 'string') copy.filePath = String(copy.filePath ?? '');
      if (typeof copy.fileSize !== 'string') copy.fileSize = String(copy.fileSize ?? '');
      if (typeof copy.saveTime !== 'string') copy.saveTime = String(copy.saveTime ?? '');
      if (typeof copy.conflictTime !== 'string') copy.conflictTime = String(copy.conflictTime ?? '');
      copy.bytes = sizeTextToBytes(copy.fileSize);
      copy.order = j;
      bytes += copy.bytes;
      if (copy.conflictTime) conflicts++;
    }
    // Newest first; copies of one minute keep the list's order.
    if (copies.length > 1) copies.sort((a, b) => (a.saveTime < b.saveTime ? 1 : a.saveTime > b.saveTime ? -1 : a.order - b.order));
    const group = {
      key: groupKey(name, saveDate),
      name,
      nameLower: name.toLowerCase(),
      type,
      saveDate,
      isConflict: raw.isConflict === true || conflicts > 0,
      copies,
      bytes,
      conflicts,
    };
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

// The catalogue seen through the filters. Counts and sizes follow the filter.
export function filterCatalogue(catalogue, { query = '', type = 'all', conflictsOnly = false } = {}) {
  const needle = query.trim().toLowerCase();
  const days = [];
  const typeCounts = { all: 0, doc: 0, xls: 0, ppt: 0, pdf: 0, unknown: 0 };
  const names = new Set();
  let copyCount = 0;
  let groupCount = 0;
  let bytes = 0;
  let conflictCount = 0;
  for (const day of catalogue.days) {
    let shown = null;
    for (const group of day.groups) {
      if (needle && !group.nameLower.includes(needle)) continue;
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
