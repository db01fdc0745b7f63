// The pane beside a document's timeline: what the chosen copy holds (its
// text and facts), how it differs from another copy, and the ways to get it
// back. Everything the plug-in sends is shown as text.

import { h } from './dom.js';
import { copyFigures } from './copydetails.js';
import { damagedTitle } from './verify.js';
import { dayName, folderOf, formatCount } from './format.js';
import { formatDate, t } from './i18n.js';

// The document's own ISO date in words; a text that is no date is shown as it came.
function modifiedText(iso) {
  const date = iso ? new Date(iso) : null;
  return date && !Number.isNaN(date.getTime()) ? formatDate(date, { dateStyle: 'long', timeStyle: 'short' }) : iso;
}

const COUNTS = [['pages', () => t('preview.pages')], ['slides', () => t('preview.slides')], ['sheets', () => t('preview.sheets')], ['words', () => t('preview.words')]];

// A sync conflict in words: the suite kept this copy because the cloud had a
// newer version of the document when it was saved here.
export function conflictText(item) {
  const { group, copy } = item;
  const m = /^(\d{4})-(\d{2})-(\d{2}) (\d{2}:\d{2})/.exec(copy.conflictTime ?? '');
  if (!m) return copy.conflictTime ?? '';
  const cloudDay = `${m[1]}/${m[2]}/${m[3]}`;
  return cloudDay === group.saveDate ? t('preview.conflict', { time: copyTime(copy), cloudTime: m[4] })
    : t('preview.conflictOtherDay', { time: copyTime(copy), cloudTime: m[4], cloudDay: dayName(cloudDay) });
}

export function copyTime(copy) {
  return copy.exact?.saveTime ?? copy.saveTime;
}

// "the copy of 15:00:12 on 5 March 2024"
export function copyName(item) {
  return t('preview.copyName', { time: copyTime(item.copy), day: dayName(item.group.saveDate) });
}

export class PreviewPane {
  // callbacks: call(method, args, what) → answer or null, openCopy(group, copy),
  // restoreCopy(group, copy), close().
  constructor(element, callbacks) {
    this.element = element;
    this.callbacks = callbacks;
    this.item = null;
    this.items = [];
    this.request = 0;
    element.setAttribute('aria-labelledby', 'preview-title');
    element.addEventListener('keydown', (event) => {
      if (event.key !== 'Escape' || event.defaultPrevented) return;
      event.preventDefault();
      this.callbacks.close();
    });
  }

  get open() {
    return !this.element.hidden;
  }

  // The language changed: the pane is drawn again; a comparison shown goes.
  relabel() {
    if (!this.item) return;
    this.build();
    this.loadPreview();
  }

  hide() {
    this.element.hidden = true;
    this.item = null;
    this.request++;
  }

  // Shows `item` ({group, copy}) of the timeline `items` (newest first).
  show(item, items) {
    this.item = item;
    this.items = items;
    this.element.hidden = false;
    this.build();
    this.loadPreview();
  }

  // The timeline changed under the pane (figures arrived, the list was read again).
  refresh(items) {
    this.items = items;
    if (!this.item) return;
    const still = items.find((i) => i.copy.filePath === this.item.copy.filePath);
    if (!still) {
      this.facts.replaceChildren(h('p', { class: 'preview-note', text: t('preview.gone') }));
      return;
    }
    this.item = still;
    this.paintHeading();
    this.paintFacts();
    this.paintCompareChoices();
  }

  previousItem() {
    const index = this.items.findIndex((i) => i.copy === this.item.copy);
    return index >= 0 ? this.items[index + 1] ?? null : null;
  }

  build() {
    const { group, copy } = this.item;
    this.title = h('h2', { id: 'preview-title', class: 'preview-title' });
    this.facts = h('dl', { class: 'preview-facts' });
    this.damaged = h('p', { class: 'preview-warning damaged-note', role: 'note', hidden: true },
      h('span', { class: 'badge damaged-badge', text: t('list.damaged') }), ` ${damagedTitle()}`);
    this.content = h('div', { class: 'preview-content', 'aria-live': 'polite', 'aria-busy': 'true' });
    this.compareButton = h('button', { type: 'button', class: 'btn small', text: t('preview.comparePrevious'), onclick: () => this.comparePrevious() });
    this.compareSelect = h('select', { id: 'compare-with' });
    this.compareBox = h('section', { class: 'compare', 'aria-labelledby': 'compare-title', hidden: true });
    this.element.replaceChildren(
      h('div', { class: 'preview-head' },
        this.title,
        h('button', { type: 'button', class: 'btn small', text: t('preview.close'), onclick: () => this.callbacks.close() })),
      h('div', { class: 'preview-actions', role: 'group', 'aria-label': t('preview.getBack') },
        h('button', { type: 'button', class: 'btn small', text: t('copy.open'), 'aria-label': t('preview.openLabel', { name: group.name }), onclick: () => this.callbacks.openCopy(group, copy) }),
        h('button', { type: 'button', class: 'btn small primary', text: t('copy.restore'), onclick: () => this.callbacks.restoreCopy(group, copy) })),
      this.damaged,
      this.facts,
      this.content,
      h('div', { class: 'preview-compare', role: 'group', 'aria-label': t('preview.compare') },
        this.compareButton,
        h('label', { class: 'select-box compare-choice' },
          h('span', { class: 'compare-label', text: t('preview.compareWith') }),
          this.compareSelect),
        h('button', { type: 'button', class: 'btn small', text: t('preview.compare'), 'aria-label': t('preview.compareChosen'), onclick: () => this.compareChosen() })),
      this.compareBox);
    this.paintHeading();
    this.paintFacts();
    this.paintCompareChoices();
  }

  paintHeading() {
    const { group, copy } = this.item;
    this.title.textContent = t('preview.title', { name: group.name, time: copyTime(copy), day: dayName(group.saveDate) });
  }

  paintFacts(preview = this.preview) {
    const { copy } = this.item;
    this.damaged.hidden = copy.verified !== 'damaged';
    const figures = copyFigures(copy);
    const rows = [
      [t('preview.size'), figures.title && figures.title !== figures.size ? t('preview.sizeExact', { size: figures.size, exact: figures.title }) : figures.size],
      [t('preview.change'), figures.changeLabel],
      [t('preview.folder'), folderOf(copy.filePath)],
      [t('preview.syncConflict'), conflictText(this.item)],
      [t('preview.original'), copy.exact?.originalPath],
    ];
    if (preview?.result === true) {
      rows.push([t('preview.docTitle'), preview.title], [t('preview.author'), preview.author], [t('preview.modified'), modifiedText(preview.modified)]);
      for (const [key, label] of COUNTS) if (Number.isFinite(preview[key])) rows.push([label(), formatCount(preview[key])]);
    }
    this.facts.replaceChildren(...rows.filter(([, value]) => value).flatMap(([label, value]) => [
      h('dt', { text: label }), h('dd', { text: String(value) })]));
  }

  paintCompareChoices() {
    const previous = this.previousItem();
    this.compareButton.disabled = !previous;
    this.compareButton.title = previous ? '' : t('preview.firstCopy');
    const chosen = this.compareSelect.value;
    const others = this.items.filter((i) => i.copy !== this.item.copy);
    this.compareSelect.replaceChildren(...others.map((i) => h('option', {
      value: i.copy.filePath,
      text: t('preview.choice', { day: dayName(i.group.saveDate), time: copyTime(i.copy) }),
    })));
    if (chosen && others.some((i) => i.copy.filePath === chosen)) this.compareSelect.value = chosen;
    else if (previous) this.compareSelect.value = previous.copy.filePath;
  }

  async loadPreview() {
    const request = ++this.request;
    const item = this.item;
    this.preview = null;
    this.content.setAttribute('aria-busy', 'true');
    this.content.replaceChildren(h('p', { class: 'preview-note', text: t('preview.reading') }));
    const answer = item.copy.preview ?? await this.callbacks.call('getBackupFilePreview', { backupFile: item.copy.filePath }, 'showCopy');
    if (request !== this.request) return;
    this.content.removeAttribute('aria-busy');
    if (!answer) {
      this.content.replaceChildren(h('p', { class: 'preview-note', text: t('preview.unreadable') }));
      return;
    }
    if (answer.result !== true) {
      this.content.replaceChildren(h('p', { class: 'preview-note', text: answer.errormsg ? t('preview.noneReason', { reason: answer.errormsg }) : t('preview.noneNoReason') }));
      return;
    }
    item.copy.preview = answer;
    this.preview = answer;
    this.paintFacts(answer);
    const parts = [];
    if (answer.damaged === true) {
      parts.push(h('p', { class: 'preview-warning', role: 'note' },
        h('strong', { text: t('preview.damaged') }), ' ',
        answer.errormsg ? t('preview.damagedReason', { reason: answer.errormsg }) : t('preview.damagedNoReason')));
    }
    if (answer.kind === 'none') {
      parts.push(h('p', { class: 'preview-note', text: t('preview.noKind') }));
    } else {
      const paragraphs = String(answer.text ?? '').split('\n').filter((p) => p.trim());
      parts.push(h('h3', { class: 'preview-subtitle', text: t('preview.beginning') }));
      parts.push(paragraphs.length
        ? h('div', { class: 'preview-text' }, paragraphs.map((p) => h('p', { text: p })))
        : h('p', { class: 'preview-note', text: t('preview.noText') }));
    }
    if (answer.partial === true) parts.push(h('p', { class: 'preview-note', text: t('preview.partial') }));
    this.content.replaceChildren(...parts);
  }

  comparePrevious() {
    const previous = this.previousItem();
    if (previous) this.compare(previous, this.item);
  }

  compareChosen() {
    const other = this.items.find((i) => i.copy.filePath === this.compareSelect.value);
    if (!other) return;
    // The older copy of the two is the one further down the timeline.
    const otherIsOlder = this.items.indexOf(other) > this.items.indexOf(this.item);
    this.compare(otherIsOlder ? other : this.item, otherIsOlder ? this.item : other);
  }

  async compare(older, newer) {
    const request = this.request;
    const box = this.compareBox;
    box.hidden = false;
    box.setAttribute('aria-busy', 'true');
    box.replaceChildren(h('p', { class: 'preview-note', text: t('compare.comparing') }));
    const answer = await this.callbacks.call('compareBackupFiles', { older: older.copy.filePath, newer: newer.copy.filePath }, 'compare');
    if (request !== this.request) return;
    box.removeAttribute('aria-busy');
    const title = h('h3', { id: 'compare-title', class: 'preview-subtitle', text: t('compare.title', { older: copyName(older), newer: copyName(newer) }) });
    if (!answer || answer.result !== true) {
      box.replaceChildren(title, h('p', { class: 'preview-note', text: answer?.errormsg ? t('compare.failedReason', { reason: answer.errormsg }) : t('compare.failed') }));
      return;
    }
    const added = Array.isArray(answer.added) ? answer.added : [];
    const removed = Array.isArray(answer.removed) ? answer.removed : [];
    const summary = added.length || removed.length
      ? t('compare.summary', { added: added.length, removed: removed.length, same: Number(answer.unchanged) || 0, words: Number(answer.changedWords) || 0 })
      : t('compare.same');
    const changes = (list, tag, marker, label) => h('ul', { class: `changes changes-${tag}`, 'aria-label': label },
      list.map((text) => h('li', {}, h(tag, {}, h('span', { class: 'change-mark', 'aria-hidden': 'true', text: marker }), h('span', { class: 'visually-hidden', text: t('compare.itemLabel', { label }) }), String(text)))));
    box.replaceChildren(title,
      h('p', { class: 'compare-summary', text: summary }),
      added.length ? h('h4', { text: t('compare.addedHeading', { count: added.length }) }) : null,
      added.length ? changes(added, 'ins', '+', t('compare.added')) : null,
      removed.length ? h('h4', { text: t('compare.removedHeading', { count: removed.length }) }) : null,
      removed.length ? changes(removed, 'del', '−', t('compare.removed')) : null);
  }
}
