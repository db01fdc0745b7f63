// The backup list on screen: day headings, document groups and, for the
// groups that are open, their copies and group actions. Only the rows in
// and near the visible part exist in the document, so a list of any length
// scrolls as fast as a short one.

import { h, typeIcon, typeName } from './dom.js';
import { asciiDigits, dayHeading, dayName, baseName, folderOf, formatTotal } from './format.js';
import { copyFigures } from './copydetails.js';
import { damagedTitle } from './verify.js';
import { t } from './i18n.js';
import { WindowedRows } from './windowedrows.js';

const HEIGHTS = { day: 48, group: 64, copy: 52, actions: 52 };
const OVERSCAN_PX = 600;
const STICKY_GROUP_PX = 30;

// What a row shows, in short: a row element already drawn for the same face
// is kept when the view changes, so that a keystroke or a change of the
// folders redraws only the rows that differ (and keeps their focus).
function rowFace(row, expanded, today) {
  switch (row.kind) {
  case 'day': return `${today}|${row.day.entries.length}|${row.copies}|${row.bytes}|${row.day.entries[0].copies[0]?.fileSize}`;
  case 'group': {
    const { group, copies, bytes } = row.entry;
    return `${expanded}|${group.isConflict}|${copies.length}|${bytes}|${copies[0]?.fileSize}|${copies[0]?.saveTime}`;
  }
  case 'copy': return row.copy;
  default: return `${row.entry.copies.length}|${row.entry.group.copies.length}`;
  }
}

// A conflict's time as the row shows it: without its date when that is the
// day the row stands under ("2024-03-05 15:05:00" under 5 March is "15:05:00").
function conflictTimeIn(conflictTime, saveDate) {
  const sameDay = asciiDigits(conflictTime).slice(0, 10).replace(/-/g, '/') === asciiDigits(saveDate);
  return sameDay ? conflictTime.slice(11) : conflictTime;
}

export class BackupListView extends WindowedRows {
  constructor(scroller, callbacks) {
    super();
    this.scroller = scroller;
    // A tree of documents (level 1) and their copies (level 2) under day
    // headings; each row says where it stands, as only some rows exist.
    scroller.setAttribute('role', 'treegrid');
    this.canvas = h('div', { class: 'list-canvas', role: 'presentation' });
    scroller.append(this.canvas);
    // The heading of the day at the top stays in sight while its groups scroll.
    this.stickyDay = h('div', { class: 'row day sticky-day', 'aria-hidden': 'true', hidden: true });
    this.stickyDay.style.height = `${HEIGHTS.day}px`;
    // The name of an open document whose row went up out of sight, over its copies.
    this.stickyGroup = h('div', { class: 'sticky-group', 'aria-hidden': 'true', hidden: true });
    scroller.after(this.stickyDay, this.stickyGroup);
    this.stickyIndex = -1;
    this.callbacks = callbacks;
    this.view = null;
    this.expanded = new Set();
    this.currentKey = null;
    this.now = new Date();

    scroller.addEventListener('scroll', () => this.scheduleRender(), { passive: true });
    new ResizeObserver(() => this.scheduleRender()).observe(scroller);
    document.fonts?.ready.then(() => this.scheduleRender());
    scroller.addEventListener('keydown', (event) => this.onKeyDown(event));
    scroller.addEventListener('focusin', (event) => this.onFocusIn(event));
    scroller.addEventListener('click', (event) => this.onClick(event));
  }

  // Shows a filtered view (see filterCatalogue). The open groups, the row
  // with the keyboard focus and the scroll position stay where they can;
  // with `keepPlace` (the same list, changed) the rows in sight stay in sight.
  setView(view, { keepPlace = false } = {}) {
    const hadFocus = this.scroller.contains(document.activeElement);
    const focusedAction = document.activeElement?.dataset?.act;
    const anchor = keepPlace ? this.anchor() : null;
    const current = this.currentKey;
    const previousRows = this.rows;
    this.view = view;
    this.now = new Date();
    this.spare = this.elements;
    this.elements = new Map();
    this.buildRows();
    if (anchor) {
      const keys = new Set(anchor.keys);
      const index = this.rows.findIndex((row) => keys.has(row.key));
      if (index >= 0) this.scroller.scrollTop = this.offsets[index] + anchor.delta;
    }
    // One look-up: a plain search costs less than the map of every row.
    if (!current || !this.rows.some((row) => row.key === current)) {
      // The row went (a deleted copy): the keyboard stays where it was.
      this.currentKey = this.focusableNear(current ? previousRows.findIndex((row) => row.key === current) : -1);
    }
    this.render();
    for (const element of this.spare.values()) element.remove();
    this.spare = null;
    // Once more after the layout around the list has settled: the first pass
    // may have measured the list before its final height.
    this.scheduleRender();
    if (hadFocus && this.currentKey && !this.elements.get(this.currentKey)?.contains(document.activeElement)) this.focusRow(this.currentKey, focusedAction);
  }

  face(row) {
    return rowFace(row, row.kind === 'group' && this.expanded.has(row.entry.group.key), this.now.toDateString());
  }

  // The rows from the top of the view down, and how far the view's top lies
  // into the first of them.
  anchor() {
    if (!this.rows.length) return null;
    const top = this.scroller.scrollTop;
    const first = this.rowAt(top);
    const last = this.rowAt(top + this.scroller.clientHeight);
    const keys = [];
    for (let i = first; i <= last && i < this.rows.length; i++) keys.push(this.rows[i].key);
    return { keys, delta: top - this.offsets[first] };
  }

  // The language changed: every row is drawn again.
  relabel() {
    for (const element of this.elements.values()) element.remove();
    this.elements.clear();
    this.stickyIndex = -1;
    this.stickyGroup.textContent = '';
    this.render();
  }

  isExpanded(group) {
    return this.expanded.has(group.key);
  }

  setExpanded(group, open) {
    if (open === this.expanded.has(group.key)) return;
    if (open) this.expanded.add(group.key);
    else this.expanded.delete(group.key);
    const keepFocus = this.scroller.contains(document.activeElement);
    this.buildRows();
    const element = this.elements.get(`g:${group.key}`);
    if (element) {
      const row = this.rows[this.indexOf(`g:${group.key}`)];
      this.fillGroup(element, row);
      element._face = this.face(row);
    }
    this.render();
    if (keepFocus) this.focusRow(`g:${group.key}`);
  }

  buildRows() {
    const rows = [];
    let groupPos = 0;
    if (this.view) {
      const groupCount = this.view.groupCount;
      for (const day of this.view.days) {
        let copies = 0;
        let bytes = 0;
        for (const entry of day.entries) {
          copies += entry.copies.length;
          bytes += entry.bytes;
        }
        rows.push({ kind: 'day', key: `d:${day.saveDate}`, day, copies, bytes });
        for (const entry of day.entries) {
          // Keys are made once per group and copy: a new text for each of
          // twenty thousand rows at every keystroke costs more than the rest.
          const group = entry.group;
          rows.push({ kind: 'group', key: group.rowKey ??= `g:${group.key}`, entry, pos: ++groupPos, size: groupCount });
          if (this.expanded.has(group.key)) {
            const size = entry.copies.length;
            let pos = 0;
            for (const copy of entry.copies) rows.push({ kind: 'copy', key: copy.rowKey ??= `c:${copy.filePath}`, entry, copy, pos: ++pos, size });
            rows.push({ kind: 'actions', key: `a:${entry.group.key}`, entry, pos: size + 1, size: size + 1 });
          }
        }
      }
    }
    const dayOf = new Int32Array(rows.length);
    for (let i = 0; i < rows.length; i++) dayOf[i] = rows[i].kind === 'day' ? i : dayOf[i - 1];
    this.setRows(rows, HEIGHTS);
    this.dayOf = dayOf;
    this.stickyIndex = -1;
    this.scroller.setAttribute('aria-rowcount', String(rows.length));
  }

  // Where a drawn row stands in the whole list, for assistive technology.
  placeRow(element, row, index) {
    const place = `${index}|${row.pos}|${row.size}`;
    if (element._place === place) return;
    element._place = place;
    element.setAttribute('aria-rowindex', String(index + 1));
    if (row.kind === 'day') return;
    element.setAttribute('aria-posinset', String(row.pos));
    element.setAttribute('aria-setsize', String(row.size));
  }

  render() {
    if (!this.rows.length) {
      this.stickyDay.hidden = true;
      this.stickyGroup.hidden = true;
      return;
    }
    const top = this.scroller.scrollTop;
    this.renderStickyDay(top);
    this.renderStickyGroup(top);
    const [first, last] = this.rowsNearView(OVERSCAN_PX);
    const wanted = new Set();
    const drawn = [];
    for (let i = first; i <= last; i++) {
      const row = this.rows[i];
      wanted.add(row.key);
      if (row.kind === 'copy') drawn.push(row.copy);
      let element = this.elements.get(row.key);
      if (!element) {
        element = this.spare?.get(row.key);
        if (element && element._face === this.face(row)) {
          this.spare.delete(row.key);
          this.applyTabStops(element, row.key === this.currentKey);
        } else {
          element = this.createRow(row);
          this.canvas.append(element);
        }
        this.elements.set(row.key, element);
      }
      this.placeRow(element, row, i);
      const y = this.offsets[i];
      if (element._y !== y) {
        element._y = y;
        element.style.transform = `translateY(${y}px)`;
      }
    }
    this.dropRowsBut(wanted, '.row', (element, index) => {
      this.placeRow(element, this.rows[index], index);
      element.style.transform = `translateY(${this.offsets[index]}px)`;
    });
    if (drawn.length) this.callbacks.wantDetails(drawn);
  }

  // Exact figures arrived for `copies`: their rows on screen show them.
  detailsArrived(copies) {
    for (const copy of copies) {
      const element = this.elements.get(`c:${copy.filePath}`);
      if (element) this.paintCopy(element, this.rows[this.indexOf(`c:${copy.filePath}`)]);
    }
  }

  renderStickyDay(top) {
    const index = this.dayOf[this.rowAt(top)];
    const sticky = this.stickyDay;
    sticky.hidden = top <= this.offsets[index];
    if (sticky.hidden) return;
    if (index !== this.stickyIndex) {
      this.stickyIndex = index;
      this.fillDay(sticky, this.rows[index], { sticky: true });
      sticky.style.right = `${this.scroller.offsetWidth - this.scroller.clientWidth}px`;
    }
    // The next day's heading pushes this one out.
    let next = index + 1;
    while (next < this.rows.length && this.rows[next].kind !== 'day') next++;
    const push = next < this.rows.length ? Math.min(0, this.offsets[next] - top - HEIGHTS.day) : 0;
    sticky.style.transform = `translateY(${push}px)`;
  }

  renderStickyGroup(top) {
    const sticky = this.stickyGroup;
    const below = top + HEIGHTS.day;
    const row = this.rows[this.rowAt(below)];
    const inside = row && (row.kind === 'copy' || row.kind === 'actions');
    const groupRow = inside ? this.indexOf(`g:${row.entry.group.key}`) : -1;
    sticky.hidden = groupRow < 0 || this.offsets[groupRow + 1] > below;
    if (sticky.hidden) return;
    const { group, copies } = row.entry;
    const text = t('list.stickyGroup', { name: group.name, count: copies.length });
    if (sticky.textContent !== text) sticky.textContent = text;
    sticky.style.right = `${this.scroller.offsetWidth - this.scroller.clientWidth}px`;
    // The end of its copies pushes it out, as the next day does the day's heading.
    const end = this.offsets[this.indexOf(`a:${group.key}`) + 1];
    sticky.style.transform = `translateY(${HEIGHTS.day + Math.min(0, end - below - STICKY_GROUP_PX)}px)`;
  }

  // --- rows -----------------------------------------------------------

  createRow(row) {
    const element = h('div', { class: `row ${row.kind}`, 'data-key': row.key, role: 'row', 'aria-level': row.kind === 'day' ? null : row.kind === 'group' ? '1' : '2' });
    element.style.height = `${HEIGHTS[row.kind]}px`;
    if (row.kind === 'day') this.fillDay(element, row);
    else if (row.kind === 'group') this.fillGroup(element, row);
    else if (row.kind === 'copy') this.fillCopy(element, row);
    else this.fillActions(element, row);
    this.applyTabStops(element, row.key === this.currentKey);
    element._face = this.face(row);
    return element;
  }

  // A day's heading is named by the day; its counts describe it.
  fillDay(element, row, { sticky = false } = {}) {
    const documents = row.day.entries.length;
    const metaId = sticky ? null : `day-meta-${row.day.saveDate.replace(/[^\p{L}\p{N}]/gu, '-')}`;
    element.replaceChildren(
      h('span', { class: 'day-cell', role: sticky ? null : 'gridcell' },
        h('span', { class: 'day-title', role: sticky ? null : 'heading', 'aria-level': sticky ? null : '2', 'aria-describedby': metaId, text: dayHeading(row.day.saveDate, this.now) }),
        h('span', { class: 'day-meta', id: metaId, text: t('list.dayMeta', { documents, count: row.copies, size: formatTotal(row.bytes, row.copies, documents === 1 ? row.day.entries[0].copies[0]?.fileSize : '') }) })),
    );
  }

  fillGroup(element, row) {
    const { group, copies, bytes } = row.entry;
    const open = this.expanded.has(group.key);
    const total = formatTotal(bytes, copies.length, copies[0]?.fileSize);
    const latest = copies[0]?.saveTime ?? '';
    element.classList.toggle('expanded', open);
    element.classList.toggle('conflict', group.isConflict);
    element.setAttribute('aria-expanded', String(open));
    // The spoken name holds the words shown, in their order, then the day.
    const meta = t('list.groupMeta', { type: typeName(group.type), count: copies.length, size: total });
    const label = group.isConflict ? t('list.groupLabelConflict', { name: group.name, meta, day: dayName(group.saveDate) })
      : t('list.groupLabel', { name: group.name, meta, day: dayName(group.saveDate) });
    element.replaceChildren(h('span', { class: 'cell cell-main', role: 'gridcell' },
      h('button', { type: 'button', class: 'group-toggle', 'data-act': 'toggle', 'aria-expanded': String(open), 'aria-label': label },
        h('span', { class: 'chevron', 'aria-hidden': 'true' }),
        typeIcon(group.type),
        h('span', { class: 'group-text' },
          h('span', { class: 'group-name', text: group.name, title: group.name }),
          ' ', h('span', { class: 'group-meta', text: meta })),
        group.isConflict ? ' ' : null,
        group.isConflict ? h('span', { class: 'badge conflict-badge', text: t('list.conflict') }) : null,
        h('span', { class: 'group-latest', 'data-time': latest, 'aria-hidden': 'true' }))),
    h('span', { class: 'cell', role: 'gridcell' },
      h('button', { type: 'button', class: 'btn small timeline-open', 'data-act': 'timeline', 'aria-label': t('list.allVersionsOf', { name: group.name }), text: t('list.allVersions') })),
    );
  }

  fillCopy(element, row) {
    const { copy } = row;
    element.classList.toggle('conflict', Boolean(copy.conflictTime));
    element.replaceChildren(
      h('span', { class: 'copy-time', role: 'gridcell' }),
      h('span', { class: 'copy-size', role: 'gridcell' }),
      h('span', { class: 'copy-change', role: 'gridcell' }),
      h('span', { class: 'copy-detail', role: 'gridcell' },
        copy.conflictTime ? h('span', { class: 'badge conflict-badge', title: t('list.conflictAt', { time: copy.conflictTime }), text: t('list.conflictAt', { time: conflictTimeIn(copy.conflictTime, row.entry.group.saveDate) }) }) : null,
        h('span', { class: 'badge damaged-badge', text: t('list.damaged'), title: damagedTitle(), hidden: true }),
        h('span', { class: 'copy-folder', title: copy.filePath, text: t('list.inFolder', { folder: baseName(folderOf(copy.filePath)) }) })),
      h('span', { class: 'row-actions', role: 'gridcell' },
        h('button', { type: 'button', class: 'btn small', 'data-act': 'open-copy', text: t('copy.open') }),
        h('button', { type: 'button', class: 'btn small', 'data-act': 'restore-copy', text: t('copy.restore') }),
        h('button', { type: 'button', class: 'btn small ghost-danger', 'data-act': 'delete-copy', text: t('copy.delete') })),
    );
    this.paintCopy(element, row);
  }

  // The figures of a copy row, in place: the focus stays on its buttons.
  paintCopy(element, row) {
    const { group } = row.entry;
    const figures = copyFigures(row.copy);
    const damaged = row.copy.verified === 'damaged';
    const params = { name: group.name, time: figures.time, day: dayName(group.saveDate) };
    element.classList.toggle('damaged', damaged);
    element.querySelector('.damaged-badge').hidden = !damaged;
    element.querySelector('.copy-time').textContent = figures.time;
    const size = element.querySelector('.copy-size');
    size.textContent = figures.size;
    if (figures.title) size.title = figures.title;
    const change = element.querySelector('.copy-change');
    change.textContent = figures.change;
    if (figures.changeLabel) change.title = figures.changeLabel;
    for (const act of ['open', 'restore', 'delete']) {
      const label = t(damaged ? `list.${act}CopyDamaged` : `list.${act}Copy`, params);
      element.querySelector(`[data-act="${act}-copy"]`).setAttribute('aria-label', label);
    }
  }

  fillActions(element, row) {
    const { group, copies } = row.entry;
    const params = { count: copies.length, name: group.name, day: dayName(group.saveDate) };
    // One copy has its own Open and Delete; the group adds only its folder.
    const several = copies.length > 1;
    const part = copies.length < group.copies.length;
    element.replaceChildren(
      h('span', { class: 'row-actions', role: 'gridcell' },
        several ? h('button', { type: 'button', class: 'btn small', 'data-act': 'open-group', 'aria-label': part ? t('list.openAllShownOf', params) : t('list.openAllOf', params), text: t('list.openAll') }) : null,
        h('button', { type: 'button', class: 'btn small', 'data-act': 'show-folder', 'aria-label': t('list.showFolderOf', params), text: t('list.showFolder') }),
        several ? h('button', { type: 'button', class: 'btn small ghost-danger', 'data-act': 'delete-group', 'aria-label': part ? t('list.deleteAllShownOf', params) : t('list.deleteAllOf', params), text: t('list.deleteAll', params) }) : null),
    );
  }

  // --- keyboard -------------------------------------------------------

  // One row at a time is in the Tab order; arrow keys move between rows.
  applyTabStops(element, current) {
    for (const control of element.querySelectorAll('button')) control.tabIndex = current ? 0 : -1;
  }

  setCurrent(key) {
    if (key === this.currentKey) return;
    const previous = this.elements.get(this.currentKey);
    if (previous) this.applyTabStops(previous, false);
    this.currentKey = key;
    const next = this.elements.get(key);
    if (next) this.applyTabStops(next, true);
  }

  // The key of the first row at or after `index` that takes the focus, else the last one before it.
  focusableNear(index) {
    for (let i = Math.max(index, 0); i < this.rows.length; i++) if (this.rows[i].kind !== 'day') return this.rows[i].key;
    for (let i = Math.min(index, this.rows.length) - 1; i >= 0; i--) if (this.rows[i].kind !== 'day') return this.rows[i].key;
    return null;
  }

  firstFocusableKey() {
    const row = this.rows.find((r) => r.kind !== 'day');
    return row ? row.key : null;
  }

  // Scrolls a row into view and puts the keyboard focus on it.
  focusRow(key, action) {
    const index = this.indexOf(key);
    if (index < 0) return;
    this.reveal(index, HEIGHTS.day);
    this.setCurrent(key);
    this.render();
    const element = this.elements.get(key);
    const target = (action && element?.querySelector(`[data-act="${action}"]`)) || element?.querySelector('button');
    target?.focus({ preventScroll: true });
  }

  onFocusIn(event) {
    const element = event.target.closest('.row');
    if (element && element.dataset.key) this.setCurrent(element.dataset.key);
  }

  onKeyDown(event) {
    if (event.altKey || event.ctrlKey || event.metaKey) return;
    const index = this.indexOf(this.currentKey);
    if (index < 0) return;
    const row = this.rows[index];
    let target = this.moveTarget(event.key, index);
    if (target < 0) {
      switch (event.key) {
      case 'ArrowRight':
        if (row.kind === 'group') {
          if (!this.isExpanded(row.entry.group)) this.setExpanded(row.entry.group, true);
          else target = index + 1;
        }
        break;
      case 'ArrowLeft':
        if (row.kind === 'group') this.setExpanded(row.entry.group, false);
        else target = this.indexOf(`g:${row.entry.group.key}`);
        break;
      case 'Delete':
        if (row.kind === 'copy') this.callbacks.deleteCopy(row.entry, row.copy);
        else if (row.kind === 'group' || row.kind === 'actions') this.callbacks.deleteGroup(row.entry);
        else return;
        break;
      default:
        return;
      }
    }
    event.preventDefault();
    if (target >= 0 && target < this.rows.length) {
      // Up and Down keep to the same button of rows of one kind (Delete to Delete).
      const action = this.rows[target].kind === row.kind ? document.activeElement?.dataset?.act : undefined;
      this.focusRow(this.rows[target].key, action);
    }
  }

  onClick(event) {
    const button = event.target.closest('button[data-act]');
    if (!button) return;
    const element = button.closest('.row');
    const row = this.rows[this.indexOf(element?.dataset.key)];
    if (!row) return;
    const { entry } = row;
    switch (button.dataset.act) {
    case 'toggle': this.setExpanded(entry.group, !this.isExpanded(entry.group)); break;
    case 'open-copy': this.callbacks.openCopy(entry, row.copy); break;
    case 'restore-copy': this.callbacks.restoreCopy(entry, row.copy); break;
    case 'timeline': this.callbacks.showTimeline(entry); break;
    case 'delete-copy': this.callbacks.deleteCopy(entry, row.copy); break;
    case 'open-group': this.callbacks.openGroup(entry); break;
    case 'show-folder': this.callbacks.showFolder(entry); break;
    case 'delete-group': this.callbacks.deleteGroup(entry); break;
    }
  }
}
