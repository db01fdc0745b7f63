// Search inside the copies: searchBackupText's hits grouped by document, each
// copy with its day, time and the words around the match, and how much of
// the backup folders the index has read so far.

import { h } from './dom.js';
import { dayName } from './format.js';
import { t } from './i18n.js';

// The snippet's parts: the plug-in marks each match with \u0001…\u0002.
export function snippetParts(snippet) {
  const parts = [];
  let mark = false;
  for (const piece of String(snippet ?? '').split(/([\u0001\u0002])/)) {
    if (piece === '\u0001') mark = true;
    else if (piece === '\u0002') mark = false;
    else if (piece) parts.push({ text: piece, mark });
  }
  return parts;
}

// The snippet as text nodes and <mark> elements.
export function snippetNodes(snippet) {
  return snippetParts(snippet).map((part) => (part.mark ? h('mark', { text: part.text }) : document.createTextNode(part.text)));
}

// Hits by document, in the order of each document's best hit.
export function hitsByDocument(hits) {
  const documents = new Map();
  for (const hit of hits) {
    const name = String(hit?.groupName ?? '');
    if (!documents.has(name)) documents.set(name, []);
    documents.get(name).push(hit);
  }
  return [...documents].map(([name, list]) => ({ name, hits: list }));
}

export function progressText(indexed, total) {
  if (!(total > 0)) return '';
  return indexed < total ? t('textSearch.progress', { indexed, count: total }) : t('textSearch.progressAll', { count: total });
}

const LIMIT = 200;

export class TextSearch {
  // callbacks: call(method, args) → answer (throws BridgeError), openHit(hit, button).
  constructor(element, callbacks) {
    this.element = element;
    this.callbacks = callbacks;
    this.query = '';
    this.request = 0;
    this.answeredIndexed = 0;
    this.refreshTimer = 0;
    this.heading = h('h2', { id: 'text-results-title', class: 'text-results-title' });
    this.progress = h('p', { class: 'text-progress', 'aria-live': 'polite' });
    this.body = h('div', { class: 'text-results-body' });
    element.setAttribute('aria-labelledby', 'text-results-title');
    element.replaceChildren(h('div', { class: 'text-results-head' }, this.heading, this.progress), this.body);
    element.hidden = true;
  }

  // The language changed: what is shown is asked for again.
  relabel() {
    if (!this.element.hidden && this.query) this.search(this.query);
  }

  hide() {
    this.request++;
    this.query = '';
    clearTimeout(this.refreshTimer);
    this.refreshTimer = 0;
    this.element.hidden = true;
  }

  // `again`: the same words once more, as the index grew; what is shown
  // stays until the answer comes.
  async search(query, { again = false } = {}) {
    const request = ++this.request;
    this.query = query;
    this.element.hidden = false;
    this.element.setAttribute('aria-busy', 'true');
    if (!again) this.heading.textContent = t('textSearch.searching', { query });
    let answer;
    let failure = '';
    try {
      answer = await this.callbacks.call('searchBackupText', { query, limit: LIMIT });
      if (answer?.result !== true) failure = answer?.errormsg || t('textSearch.noReason');
    } catch (error) {
      failure = error.message;
    }
    if (request !== this.request) return;
    this.element.removeAttribute('aria-busy');
    if (failure) {
      this.heading.textContent = t('textSearch.failed');
      this.progress.textContent = '';
      this.body.replaceChildren(h('p', { class: 'text-note', text: t('textSearch.failedText', { reason: failure }) }));
      return;
    }
    this.answeredIndexed = Number(answer.indexed) || 0;
    this.showProgress(answer);
    const hits = Array.isArray(answer.hits) ? answer.hits : [];
    const documents = hitsByDocument(hits);
    this.heading.textContent = hits.length
      ? t('textSearch.found', { count: hits.length, documents: documents.length, query })
      : t('textSearch.none', { query });
    this.body.replaceChildren(...documents.map((document) => h('section', { class: 'text-document' },
      h('h3', { class: 'text-document-name', text: document.name }),
      h('ul', { class: 'text-hits' }, document.hits.map((hit) => h('li', {},
        h('button', { type: 'button', class: 'text-hit', onclick: (event) => this.callbacks.openHit(hit, event.currentTarget) },
          h('span', { class: 'text-hit-when', text: t('preview.choice', { day: dayName(String(hit.saveDate ?? '')), time: String(hit.saveTime ?? '') }) }),
          h('span', { class: 'text-hit-snippet' }, snippetNodes(hit.snippet)))))))));
  }

  // {indexed, total} from an answer or the progress event.
  // While the index grows past what was searched, the hits are asked for
  // again, at most once a second, unless the person is among them.
  showProgress({ indexed, total } = {}) {
    if (this.element.hidden) return;
    this.progress.textContent = progressText(Number(indexed), Number(total));
    if (!(Number(indexed) > this.answeredIndexed) || this.refreshTimer || !this.query || this.body.contains(document.activeElement)) return;
    this.refreshTimer = setTimeout(() => {
      this.refreshTimer = 0;
      if (!this.element.hidden && this.query) this.search(this.query, { again: true });
    }, 1000);
  }
}
