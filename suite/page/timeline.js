// One document's timeline: every copy of it across days and backup folders,
// newest first under day headings, where a person picks the version they
// want and sees it in the preview pane. Only the rows in sight exist.

import { h } from './dom.js';
import { sortTimeline, timelineOf } from './backuplist.js';
import { copyFigures } from './copydetails.js';
import { damagedTitle } from './verify.js';
import { PreviewPane } from './preview.js';
import { baseName, dayHeading, dayName, folderOf } from './format.js';
import { t } from './i18n.js';
import { WindowedRows } from './windowedrows.js';

const HEIGHTS = { day: 40, copy: 56 };
const OVERSCAN_PX = 400;

export class TimelineView extends WindowedRows {
  // callbacks: call, openCopy, restoreCopy (see PreviewPane), wantDetails(copies), close().
  constructor(element, callbacks) {
    super();
    this.element = element;
    this.callbacks = callbacks;
    this.name = null;
    this.items = [];
    this.selected = null;
    this.currentPath = null;

    this.title = h('h2', { id: 'timeline-title', class: 'timeline-title' });
    this.summary = h('p', { class: 'timeline-summary' });
    this.jump = h('select', { id: 'timeline-jump' });
    this.scroller = h('div', { class: 'timeline-list', role: 'group', 'aria-label': t('timeline.listLabel') });
    this.canvas = h('div', { class: 'list-canvas', role: 'presentation' });
    this.scroller.append(this.canvas);
    const paneElement = h('section', { class: 'preview', hidden: true });
    this.pane = new PreviewPane(paneElement, { ...callbacks, close: () => this.closePane() });
    element.setAttribute('aria-labelledby', 'timeline-title');
    element.replaceChildren(
      h('div', { class: 'timeline-head' },
        h('button', { type: 'button', class: 'btn link back', onclick: () => this.callbacks.close() },
          h('span', { class: 'back-arrow', 'aria-hidden': 'true', text: '←' }), h('span', { class: 'back-label', text: t('timeline.back') })),
        h('div', { class: 'timeline-heading' }, this.title, this.summary),
        h('label', { class: 'select-box jump' }, h('span', { class: 'jump-label', text: t('timeline.jump') }), this.jump)),
      h('div', { class: 'timeline-body' }, this.scroller, paneElement));

    this.scroller.addEventListener('scroll', () => this.scheduleRender(), { passive: true });
    new ResizeObserver(() => this.scheduleRender()).observe(this.scroller);
    this.scroller.addEventListener('keydown', (event) => this.onKeyDown(event));
    this.scroller.addEventListener('click', (event) => {
      const button = event.target.closest('button[data-path]');
      if (button) this.select(button.dataset.path);
    });
    this.scroller.addEventListener('focusin', (event) => {
      const button = event.target.closest('button[data-path]');
      if (button) this.setCurrent(button.dataset.path);
    });
    this.jump.addEventListener('change', () => this.jumpTo(this.jump.value));
    element.addEventListener('keydown', (event) => {
      if (event.key === 'Escape' && !event.defaultPrevented && !this.pane.element.contains(event.target)) {
        event.preventDefault();
        this.callbacks.close();
      }
    });
  }

  get open() {
    return !this.element.hidden;
  }

  // Shows the timeline of the document `name` from `catalogue`; with `path`,
  // that copy is chosen and shown in the preview.
  show(catalogue, name, path) {
    this.name = name;
    this.selected = null;
    this.currentPath = null;
    this.pane.hide();
    this.element.hidden = false;
    this.setCatalogue(catalogue);
    this.scroller.scrollTop = 0;
    if (path && this.indexOf(`c:${path}`) >= 0) {
      this.currentPath = path;
      this.select(path);
    }
    this.render();
    this.focusCurrent();
  }

  // The language changed: the fixed texts, the rows and the pane are said again.
  relabel() {
    this.scroller.setAttribute('aria-label', t('timeline.listLabel'));
    this.element.querySelector('.back-label').textContent = t('timeline.back');
    this.element.querySelector('.jump-label').textContent = t('timeline.jump');
    if (!this.open || !this.name) return;
    for (const element of this.elements.values()) element.remove();
    this.elements.clear();
    this.paintHead();
    this.render();
    if (this.pane.open) this.pane.relabel();
  }

  hide() {
    this.element.hidden = true;
    this.pane.hide();
    this.name = null;
    for (const element of this.elements.values()) element.remove();
    this.elements.clear();
  }

  // The list was read again: the same document, the same chosen copy where it is still there.
  setCatalogue(catalogue) {
    if (!this.name) return;
    this.items = timelineOf(catalogue, this.name);
    const byPath = new Map(this.items.map((item) => [item.copy.filePath, item]));
    if (this.selected && !byPath.has(this.selected)) this.selected = null;
    if (!byPath.has(this.currentPath)) this.currentPath = this.items[0]?.copy.filePath ?? null;
    for (const element of this.elements.values()) element.remove();
    this.elements.clear();
    this.buildRows();
    this.paintHead();
    if (this.pane.open) this.pane.refresh(this.items);
    this.render();
  }

  // Exact figures arrived for `copies`: the order within a minute and the rows' texts may change.
  detailsArrived(copies) {
    if (!this.open || !copies.some((c) => this.elements.has(`c:${c.filePath}`) || c.filePath === this.selected)) return;
    sortTimeline(this.items);
    this.buildRows();
    for (const [key, element] of this.elements) if (key.startsWith('c:')) this.paintCopy(element, this.rows[this.indexOf(key)]);
    if (this.pane.open) this.pane.refresh(this.items);
    this.render();
  }

  buildRows() {
    const rows = [];
    const days = [];
    for (const item of this.items) {
      const last = days.at(-1);
      if (last?.saveDate !== item.group.saveDate) {
        const day = { saveDate: item.group.saveDate, count: 0 };
        days.push(day);
        rows.push({ kind: 'day', key: `d:${day.saveDate}`, day });
      }
      days.at(-1).count++;
      rows.push({ kind: 'copy', key: `c:${item.copy.filePath}`, item });
    }
    this.setRows(rows, HEIGHTS);
    this.days = days;
  }

  paintHead() {
    const folders = new Set(this.items.map((item) => folderOf(item.copy.filePath)));
    const conflicts = this.items.filter((item) => item.copy.conflictTime).length;
    this.title.textContent = t('list.allVersionsOf', { name: this.name });
    const counts = { count: this.items.length, days: this.days.length, folders: folders.size, conflicts };
    this.summary.textContent = !this.items.length ? t('timeline.none')
      : conflicts ? t('timeline.summaryConflicts', counts) : t('timeline.summary', counts);
    this.jump.replaceChildren(...this.days.map((day) => h('option', { value: day.saveDate, text: t('timeline.jumpDay', { day: dayName(day.saveDate), count: day.count }) })));
    this.jump.disabled = this.days.length < 2;
  }

  // --- drawing ----------------------------------------------------------

  render() {
    if (!this.open || !this.rows.length) return;
    const top = this.scroller.scrollTop;
    // The date chooser follows the day in sight.
    if (document.activeElement !== this.jump) {
      let day = this.rowAt(top);
      while (day > 0 && this.rows[day].kind !== 'day') day--;
      this.jump.value = this.rows[day].day.saveDate;
    }
    const [first, last] = this.rowsNearView(OVERSCAN_PX);
    const wanted = new Set();
    const drawn = [];
    for (let i = first; i <= last; i++) {
      const row = this.rows[i];
      wanted.add(row.key);
      if (row.kind === 'copy') drawn.push(row.item.copy);
      let element = this.elements.get(row.key);
      if (!element) {
        element = this.createRow(row);
        this.elements.set(row.key, element);
        this.canvas.append(element);
      }
      element.style.transform = `translateY(${this.offsets[i]}px)`;
    }
    this.dropRowsBut(wanted, '.trow', (element, index) => {
      element.style.transform = `translateY(${this.offsets[index]}px)`;
    });
    this.callbacks.wantDetails(drawn);
  }

  createRow(row) {
    const element = h('div', { class: `trow ${row.kind}`, 'data-key': row.key });
    element.style.height = `${HEIGHTS[row.kind]}px`;
    if (row.kind === 'day') {
      element.setAttribute('role', 'heading');
      element.setAttribute('aria-level', '3');
      const heading = dayHeading(row.day.saveDate);
      element.append(h('span', { class: 'day-title', text: heading, title: heading }),
        h('span', { class: 'day-meta', text: t('timeline.dayCopies', { count: row.day.count }) }));
      return element;
    }
    element.append(h('button', { type: 'button', class: 'tcopy', 'data-path': row.item.copy.filePath },
      h('span', { class: 'copy-time' }),
      h('span', { class: 'copy-size' }),
      h('span', { class: 'copy-change' }),
      h('span', { class: 'copy-detail' },
        row.item.copy.conflictTime ? h('span', { class: 'badge conflict-badge', text: t('list.conflict'), title: t('timeline.conflictTitle', { time: row.item.copy.conflictTime }) }) : null,
        h('span', { class: 'badge damaged-badge', text: t('list.damaged'), title: damagedTitle(), hidden: true }),
        h('span', { class: 'copy-folder', title: row.item.copy.filePath, text: t('list.inFolder', { folder: baseName(folderOf(row.item.copy.filePath)) }) }))));
    this.paintCopy(element, row);
    return element;
  }

  paintCopy(element, row) {
    const { copy, group } = row.item;
    const figures = copyFigures(copy);
    const button = element.firstElementChild;
    button.querySelector('.copy-time').textContent = figures.time;
    const size = button.querySelector('.copy-size');
    size.textContent = figures.size;
    if (figures.title) size.title = figures.title;
    button.querySelector('.copy-change').textContent = figures.change;
    const damaged = copy.verified === 'damaged';
    button.querySelector('.damaged-badge').hidden = !damaged;
    element.classList.toggle('damaged', damaged);
    // The facts of the row, one after the other, as the row shows them.
    button.setAttribute('aria-label', [t('timeline.when', { time: figures.time, day: dayName(group.saveDate) }), figures.size, figures.changeLabel,
      copy.conflictTime ? t('timeline.syncConflict') : '', damaged ? t('timeline.damaged') : '',
      t('list.inFolder', { folder: baseName(folderOf(copy.filePath)) })].filter(Boolean).join(t('list.separator')));
    const chosen = copy.filePath === this.selected;
    element.classList.toggle('selected', chosen);
    element.classList.toggle('conflict', Boolean(copy.conflictTime));
    if (chosen) button.setAttribute('aria-current', 'true');
    else button.removeAttribute('aria-current');
    button.tabIndex = copy.filePath === this.currentPath ? 0 : -1;
  }

  // --- choosing ---------------------------------------------------------

  select(path) {
    const item = this.items.find((i) => i.copy.filePath === path);
    if (!item) return;
    this.selected = path;
    this.setCurrent(path);
    for (const [key, element] of this.elements) if (key.startsWith('c:')) this.paintCopy(element, this.rows[this.indexOf(key)]);
    this.pane.show(item, this.items);
  }

  closePane() {
    this.pane.hide();
    if (this.selected) this.currentPath = this.selected;
    this.selected = null;
    for (const [key, element] of this.elements) if (key.startsWith('c:')) this.paintCopy(element, this.rows[this.indexOf(key)]);
    this.focusCurrent();
  }

  setCurrent(path) {
    if (path === this.currentPath) return;
    const previous = this.elements.get(`c:${this.currentPath}`);
    this.currentPath = path;
    if (previous) previous.firstElementChild.tabIndex = -1;
    const next = this.elements.get(`c:${path}`);
    if (next) next.firstElementChild.tabIndex = 0;
  }

  focusCurrent() {
    const index = this.indexOf(`c:${this.currentPath}`);
    if (index < 0) {
      this.element.querySelector('.back')?.focus();
      return;
    }
    this.reveal(index, HEIGHTS.day);
    this.render();
    this.elements.get(`c:${this.currentPath}`)?.firstElementChild.focus({ preventScroll: true });
  }

  jumpTo(saveDate) {
    const index = this.indexOf(`d:${saveDate}`);
    if (index < 0) return;
    this.scroller.scrollTop = this.offsets[index];
    this.setCurrent(this.rows[index + 1].item.copy.filePath);
    this.render();
  }

  onKeyDown(event) {
    if (event.altKey || event.ctrlKey || event.metaKey) return;
    const index = this.indexOf(`c:${this.currentPath}`);
    if (index < 0) return;
    const target = this.moveTarget(event.key, index);
    if (target < 0) return;
    event.preventDefault();
    this.setCurrent(this.rows[target].item.copy.filePath);
    this.focusCurrent();
  }
}
