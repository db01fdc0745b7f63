// Short messages in the corner of the page: what happened and what to try.
// Errors stay until they are closed; the others go by themselves. One of a
// kind at a time: a message like one shown takes its place. The page keeps
// room below its lists for them (--notice-room), so they never hide a control
// for good.

import { h } from './dom.js';
import { t } from './i18n.js';

const MAX_SHOWN = 4;
const ICONS = { info: 'i', success: '✓', warning: '!', error: '!' };

export class Notices {
  constructor(container) {
    this.container = container;
    this.politeRegion = h('div', { class: 'visually-hidden', role: 'status', 'aria-live': 'polite' });
    this.alertRegion = h('div', { class: 'visually-hidden', role: 'alert', 'aria-live': 'assertive' });
    container.after(this.politeRegion, this.alertRegion);
    new ResizeObserver(() => {
      document.documentElement.style.setProperty('--notice-room', `${container.offsetHeight ? container.offsetHeight + 20 : 0}px`);
    }).observe(container);
  }

  // kind: info, success, warning or error. action: {label, run}. `key` makes
  // messages of different titles one of a kind.
  show({ kind = 'info', title, text = '', action, timeoutMs, key = `${kind}|${title}` }) {
    for (const shown of [...this.container.children]) if (shown._key === key) shown.remove();
    const notice = h('div', { class: `notice notice-${kind}`, 'data-kind': kind },
      h('span', { class: 'notice-icon', 'aria-hidden': 'true', text: ICONS[kind] }),
      h('div', { class: 'notice-body' },
        title ? h('p', { class: 'notice-title', text: title }) : null,
        text ? h('p', { class: 'notice-text', text }) : null,
        action ? h('button', { type: 'button', class: 'btn small notice-action', text: action.label, onclick: () => { this.dismiss(notice); action.run(); } }) : null),
      h('button', { type: 'button', class: 'notice-close', 'aria-label': title ? t('notice.closeTitled', { title }) : t('notice.close'), text: '×', onclick: () => this.dismiss(notice) }));
    notice._key = key;
    this.container.append(notice);
    while (this.container.children.length > MAX_SHOWN) this.container.firstElementChild.remove();
    // Screen readers hear it once, through a live region of the right urgency.
    const region = kind === 'error' ? this.alertRegion : this.politeRegion;
    region.textContent = [title, text].filter(Boolean).join('. ');
    const wait = timeoutMs ?? (kind === 'error' ? 0 : kind === 'warning' ? 15000 : 7000);
    if (wait > 0) setTimeout(() => this.dismiss(notice), wait);
    return notice;
  }

  dismiss(notice) {
    if (!notice.isConnected) return;
    notice.classList.add('leaving');
    setTimeout(() => notice.remove(), 180);
  }

  clear(kind) {
    for (const notice of [...this.container.children]) {
      if (!kind || notice.dataset.kind === kind) notice.remove();
    }
  }
}
