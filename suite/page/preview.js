// The pane beside a document's timeline: what the chosen copy holds (its
// text and facts), how it differs from another copy, and the ways to get it
// back. Everything the plug-in sends is shown as text.

import { h } from './dom.js';
import { copyFigures } from './copydetails.js';
import { DAMAGED_TITLE } from './verify.js';
import { dayName, folderOf, formatCount, plural } from './format.js';

const modifiedFormat = new Intl.DateTimeFormat('en-GB', { dateStyle: 'long', timeStyle: 'short' });

// The document's own ISO date in words; a text that is no date is shown as it came.
function modifiedText(iso) {
  const date = iso ? new Date(iso) : null;
  return date && !Number.isNaN(date.getTime()) ? modifiedFormat.format(date) : iso;
}

const COUNTS = [['pages', 'Pages'], ['slides', 'Slides'], ['sheets', 'Sheets'], ['words', 'Words']];

// A sync conflict in words: the suite kept this copy because the cloud had a
// newer version of the document when it was saved here.
export function conflictText(item) {
  const { group, copy } = item;
  const m = /^(\d{4})-(\d{2})-(\d{2}) (\d{2}:\d{2})/.exec(copy.conflictTime ?? '');
  if (!m) return copy.conflictTime ?? '';
  const cloudDay = `${m[1]}/${m[2]}/${m[3]}`;
  const when = cloudDay === group.saveDate ? m[4] : `${m[4]} on ${dayName(cloudDay)}`;
  return `Saved on this computer at ${copyTime(copy)}; the cloud had a newer version at ${when}.`;
}

export function copyTime(copy) {
  return copy.exact?.saveTime ?? copy.saveTime;
}

// "the copy of 15:00:12 on 5 March 2024"
export function copyName(item) {
  return `the copy of ${copyTime(item.copy)} on ${dayName(item.group.saveDate)}`;
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
      this.facts.replaceChildren(h('p', { class: 'preview-note', text: 'This copy is no longer in the backup folders.' }));
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
      h('span', { class: 'badge damaged-badge', text: 'Damaged' }), ` ${DAMAGED_TITLE}`);
    this.content = h('div', { class: 'preview-content', 'aria-live': 'polite', 'aria-busy': 'true' });
    this.compareButton = h('button', { type: 'button', class: 'btn small', text: 'Compare with previous copy', onclick: () => this.comparePrevious() });
    this.compareSelect = h('select', { id: 'compare-with' });
    this.compareBox = h('section', { class: 'compare', 'aria-labelledby': 'compare-title', hidden: true });
    this.element.replaceChildren(
      h('div', { class: 'preview-head' },
        this.title,
        h('button', { type: 'button', class: 'btn small', text: 'Close preview', onclick: () => this.callbacks.close() })),
      h('div', { class: 'preview-actions', role: 'group', 'aria-label': 'Get this copy back' },
        h('button', { type: 'button', class: 'btn small', text: 'Open', 'aria-label': `Open ${group.name} from the backup folder`, onclick: () => this.callbacks.openCopy(group, copy) }),
        h('button', { type: 'button', class: 'btn small primary', text: 'Restore a copy…', onclick: () => this.callbacks.restoreCopy(group, copy) })),
      this.damaged,
      this.facts,
      this.content,
      h('div', { class: 'preview-compare', role: 'group', 'aria-label': 'Compare' },
        this.compareButton,
        h('label', { class: 'select-box compare-choice' },
          h('span', { class: 'compare-label', text: 'Compare with…' }),
          this.compareSelect),
        h('button', { type: 'button', class: 'btn small', text: 'Compare', 'aria-label': 'Compare with the chosen copy', onclick: () => this.compareChosen() })),
      this.compareBox);
    this.paintHeading();
    this.paintFacts();
    this.paintCompareChoices();
  }

  paintHeading() {
    const { group, copy } = this.item;
    this.title.textContent = `${group.name}: copy of ${copyTime(copy)}, ${dayName(group.saveDate)}`;
  }

  paintFacts(preview = this.preview) {
    const { copy } = this.item;
    this.damaged.hidden = copy.verified !== 'damaged';
    const figures = copyFigures(copy);
    const rows = [
      ['Size', figures.title && figures.title !== figures.size ? `${figures.size} (${figures.title})` : figures.size],
      ['Change', figures.changeLabel],
      ['Folder', folderOf(copy.filePath)],
      ['Sync conflict', conflictText(this.item)],
      ['Original', copy.exact?.originalPath],
    ];
    if (preview?.result === true) {
      rows.push(['Title', preview.title], ['Author', preview.author], ['Modified', modifiedText(preview.modified)]);
      for (const [key, label] of COUNTS) if (Number.isFinite(preview[key])) rows.push([label, formatCount(preview[key])]);
    }
    this.facts.replaceChildren(...rows.filter(([, value]) => value).flatMap(([label, value]) => [
      h('dt', { text: label }), h('dd', { text: String(value) })]));
  }

  paintCompareChoices() {
    const previous = this.previousItem();
    this.compareButton.disabled = !previous;
    this.compareButton.title = previous ? '' : 'This is the first copy of the document';
    const chosen = this.compareSelect.value;
    const others = this.items.filter((i) => i.copy !== this.item.copy);
    this.compareSelect.replaceChildren(...others.map((i) => h('option', {
      value: i.copy.filePath,
      text: `${dayName(i.group.saveDate)}, ${copyTime(i.copy)}`,
    })));
    if (chosen && others.some((i) => i.copy.filePath === chosen)) this.compareSelect.value = chosen;
    else if (previous) this.compareSelect.value = previous.copy.filePath;
  }

  async loadPreview() {
    const request = ++this.request;
    const item = this.item;
    this.preview = null;
    this.content.setAttribute('aria-busy', 'true');
    this.content.replaceChildren(h('p', { class: 'preview-note', text: 'Reading the copy…' }));
    const answer = item.copy.preview ?? await this.callbacks.call('getBackupFilePreview', { backupFile: item.copy.filePath }, 'Showing the copy');
    if (request !== this.request) return;
    this.content.removeAttribute('aria-busy');
    if (!answer) {
      this.content.replaceChildren(h('p', { class: 'preview-note', text: 'The preview could not be read.' }));
      return;
    }
    if (answer.result !== true) {
      this.content.replaceChildren(h('p', { class: 'preview-note', text: `No preview: ${answer.errormsg || 'the backup center could not read this copy'}. Choose Refresh to read the list again.` }));
      return;
    }
    item.copy.preview = answer;
    this.preview = answer;
    this.paintFacts(answer);
    const parts = [];
    if (answer.damaged === true) {
      parts.push(h('p', { class: 'preview-warning', role: 'note' },
        h('strong', { text: 'This copy is damaged. ' }),
        `${answer.errormsg ? `${answer.errormsg}. ` : ''}What could be read is shown; an earlier copy may be whole.`));
    }
    if (answer.kind === 'none') {
      parts.push(h('p', { class: 'preview-note', text: 'This kind of file has no preview. Open it to see what it holds.' }));
    } else {
      const paragraphs = String(answer.text ?? '').split('\n').filter((p) => p.trim());
      parts.push(h('h3', { class: 'preview-subtitle', text: 'Beginning of the text' }));
      parts.push(paragraphs.length
        ? h('div', { class: 'preview-text' }, paragraphs.map((p) => h('p', { text: p })))
        : h('p', { class: 'preview-note', text: 'The copy holds no text.' }));
    }
    if (answer.partial === true) parts.push(h('p', { class: 'preview-note', text: 'The copy is long: only part of it was read. Open it to see all of it.' }));
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
    box.replaceChildren(h('p', { class: 'preview-note', text: 'Comparing…' }));
    const answer = await this.callbacks.call('compareBackupFiles', { older: older.copy.filePath, newer: newer.copy.filePath }, 'Comparing the copies');
    if (request !== this.request) return;
    box.removeAttribute('aria-busy');
    const title = h('h3', { id: 'compare-title', class: 'preview-subtitle', text: `From ${copyName(older)} to ${copyName(newer)}` });
    if (!answer || answer.result !== true) {
      box.replaceChildren(title, h('p', { class: 'preview-note', text: `The copies could not be compared${answer?.errormsg ? `: ${answer.errormsg}` : ''}.` }));
      return;
    }
    const added = Array.isArray(answer.added) ? answer.added : [];
    const removed = Array.isArray(answer.removed) ? answer.removed : [];
    const summary = added.length || removed.length
      ? `${plural(added.length, 'paragraph', 'paragraphs')} added, ${plural(removed.length, 'paragraph', 'paragraphs')} removed, ${plural(Number(answer.unchanged) || 0, 'paragraph', 'paragraphs')} the same; ${plural(Number(answer.changedWords) || 0, 'word', 'words')} changed.`
      : 'The two copies hold the same text.';
    const changes = (list, tag, marker, label) => h('ul', { class: `changes changes-${tag}`, 'aria-label': label },
      list.map((text) => h('li', {}, h(tag, {}, h('span', { class: 'change-mark', 'aria-hidden': 'true', text: marker }), h('span', { class: 'visually-hidden', text: `${label}: ` }), String(text)))));
    box.replaceChildren(title,
      h('p', { class: 'compare-summary', text: summary }),
      added.length ? h('h4', { text: `Added in the newer copy (${formatCount(added.length)})` }) : null,
      added.length ? changes(added, 'ins', '+', 'Added') : null,
      removed.length ? h('h4', { text: `Removed from the older copy (${formatCount(removed.length)})` }) : null,
      removed.length ? changes(removed, 'del', '−', 'Removed') : null);
  }
}
