// Words and numbers as the page shows them, in the page's language.

import { formatDate, formatNumber, t } from './i18n.js';

const DAY = { weekday: 'long', day: 'numeric', month: 'long', year: 'numeric' };
const SHORT_DAY = { day: 'numeric', month: 'long', year: 'numeric' };

export function formatCount(n) {
  return formatNumber(n);
}

// Bytes as a short text: 512 KB, 1.9 MB, 2.30 GB.
export function formatBytes(bytes) {
  const kb = bytes / 1024;
  if (kb < 1024) return `${formatCount(Math.round(kb))} KB`;
  const mb = kb / 1024;
  if (mb < 1024) return `${mb < 10 ? mb.toFixed(2) : mb.toFixed(1)} MB`;
  return `${(mb / 1024).toFixed(2)} GB`;
}

// Sizes summed from the list's rounded texts ("20 KB", "1.90 MB") are
// approximate; a single text is shown as it came.
export function formatTotal(bytes, copies, singleText) {
  if (copies === 1 && singleText) return singleText;
  return t('size.about', { size: formatBytes(bytes) });
}

// Any Unicode decimal digits as ASCII ones ("٢٠٢٤" is "2024"). The plug-in
// writes dates with the system locale's digits; this is for reading them
// only, callers pass its texts back unchanged.
export function asciiDigits(text) {
  return String(text ?? '').replace(/\p{Nd}/gu, (digit) => {
    // Decimal digits come in runs of ten from zero: the value is the place in the run.
    let code = digit.codePointAt(0);
    let value = 0;
    while (/\p{Nd}/u.test(String.fromCodePoint(code - 1))) {
      code--;
      value++;
    }
    return String(value % 10);
  });
}

// Text for matching: lower case, without accents ("Müller" is "muller").
export function foldText(text) {
  return String(text ?? '').normalize('NFD').replace(/\p{M}/gu, '').toLowerCase();
}

const MONTHS = ['january', 'february', 'march', 'april', 'may', 'june', 'july', 'august', 'september', 'october', 'november', 'december'];
const monthOf = (word) => (word.length >= 3 ? MONTHS.findIndex((m) => m.startsWith(word)) + 1 : 0);

// A search text that names a day ("2026-12-05", "2026/12", "5 Dec",
// "December 5, 2026", "12月5日") as a test of save dates, else null.
export function dayMatcher(query) {
  const q = asciiDigits(foldText(query)).trim().replace(/,/g, ' ').replace(/\s+/g, ' ');
  let year = 0;
  let month = 0;
  let day = 0;
  let m;
  if ((m = /^(\d{4})[-/.](\d{1,2})(?:[-/.](\d{1,2}))?$/.exec(q))) [year, month, day] = [+m[1], +m[2], +(m[3] ?? 0)];
  else if ((m = /^(\d{1,2})\.? ([a-z]+)\.?(?: (\d{4}))?$/.exec(q))) [day, month, year] = [+m[1], monthOf(m[2]), +(m[3] ?? 0)];
  else if ((m = /^([a-z]+)\.? (\d{1,2})(?: (\d{4}))?$/.exec(q))) [month, day, year] = [monthOf(m[1]), +m[2], +(m[3] ?? 0)];
  // As Chinese writes a day: "2026年12月5日", "12月5日", "12月".
  else if ((m = /^(?:(\d{4}) ?年 ?)?(\d{1,2}) ?月(?: ?(\d{1,2}) ?[日号])?$/.exec(q))) [year, month, day] = [+(m[1] ?? 0), +m[2], +(m[3] ?? 0)];
  else return null;
  if (!month || month > 12 || day > 31) return null;
  return (saveDate) => {
    const date = parseSaveDate(saveDate);
    return Boolean(date) && (!year || date.getFullYear() === year) && date.getMonth() + 1 === month && (!day || date.getDate() === day);
  };
}

// "2024/03/05" (in any decimal digits) to a local date, or null.
export function parseSaveDate(text) {
  const m = /^(\d{4})\/(\d{2})\/(\d{2})$/.exec(asciiDigits(text));
  if (!m) return null;
  const date = new Date(Number(m[1]), Number(m[2]) - 1, Number(m[3]));
  return Number.isNaN(date.getTime()) ? null : date;
}

function sameDay(a, b) {
  return a.getFullYear() === b.getFullYear() && a.getMonth() === b.getMonth() && a.getDate() === b.getDate();
}

// The heading of a day: "Today", "Yesterday" or "Tuesday, 5 March 2024".
export function dayHeading(saveDate, now = new Date()) {
  const date = parseSaveDate(saveDate);
  if (!date) return saveDate;
  const yesterday = new Date(now.getFullYear(), now.getMonth(), now.getDate() - 1);
  const full = formatDate(date, DAY);
  if (sameDay(date, now)) return t('day.today', { date: full });
  if (sameDay(date, yesterday)) return t('day.yesterday', { date: full });
  return full;
}

// "5 March 2024", used inside accessible names and messages.
export function dayName(saveDate) {
  const date = parseSaveDate(saveDate);
  return date ? formatDate(date, SHORT_DAY) : saveDate;
}

// The folder part of a path with "/" separators.
export function folderOf(path) {
  const slash = path.lastIndexOf('/');
  return slash > 0 ? path.slice(0, slash) : path;
}

export function baseName(path) {
  const slash = path.lastIndexOf('/');
  return slash >= 0 ? path.slice(slash + 1) : path;
}

// An exact size for a tooltip: "20,480 bytes".
export function formatExactBytes(bytes) {
  return t('size.bytes', { count: bytes });
}

// A size read from the disk: under 1 KB in bytes, never "0 KB".
export function formatSize(bytes) {
  return bytes < 1024 ? formatExactBytes(bytes) : formatBytes(bytes);
}

// The change in size from one copy to the next: "+12 KB", "−3 KB",
// "+512 bytes", "same size".
export function formatSizeChange(bytes, previousBytes) {
  const change = bytes - previousBytes;
  if (change === 0) return t('size.same');
  return `${change > 0 ? '+' : '−'}${formatSize(Math.abs(change))}`;
}

// "2024-03-05 14:30:07" (local time) to a Date, or null.
export function parseDateTime(text) {
  const m = /^(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2})$/.exec(asciiDigits(text));
  if (!m) return null;
  const date = new Date(Number(m[1]), Number(m[2]) - 1, Number(m[3]), Number(m[4]), Number(m[5]), Number(m[6]));
  return Number.isNaN(date.getTime()) ? null : date;
}

// How long ago `date` was: "just now", "5 minutes ago", "2 hours ago", "3 days ago".
export function timeAgo(date, now = new Date()) {
  const minutes = Math.floor((now - date) / 60000);
  if (minutes < 1) return t('ago.now');
  if (minutes < 60) return t('ago.minutes', { count: minutes });
  const hours = Math.floor(minutes / 60);
  if (hours < 24) return t('ago.hours', { count: hours });
  return t('ago.days', { count: Math.floor(hours / 24) });
}

// How long `date` lies back, without "ago": "5 minutes", "2 hours", "3 days";
// null when it is just now.
export function timeSince(date, now = new Date()) {
  const minutes = Math.floor((now - date) / 60000);
  if (minutes < 1) return null;
  if (minutes < 60) return t('since.minutes', { count: minutes });
  const hours = Math.floor(minutes / 60);
  if (hours < 24) return t('since.hours', { count: hours });
  return t('since.days', { count: Math.floor(hours / 24) });
}
