// The strip above the list: whether backups are made and how, when the last
// copy was made, where copies go and for how long they stay, and each
// problem (getBackupStatus "alerts") as a sentence with what to do about it.

import { h } from './dom.js';
import { formatBytes, parseDateTime, timeAgo, timeSince } from './format.js';
import { formatDate, t } from './i18n.js';

const EXACT = { dateStyle: 'long', timeStyle: 'medium' };

// "Backups on" with the way they are made, or null for a mode not known.
function backupsOnText(status) {
  switch (Number(status.mode)) {
  case 1: return t('status.onSmart');
  case 2: return status.interval > 0 ? t('status.onTimedEvery', { count: Number(status.interval) }) : t('status.onTimed');
  case 3: return t('status.onIncrement');
  default: return null;
  }
}

export function backupsOn(status) {
  return status.enabled === true && Number(status.mode) > 0;
}

// The facts of the strip as texts: [{key, text, title?}].
export function statusFacts(status, now = new Date()) {
  const facts = [];
  const on = backupsOn(status) ? backupsOnText(status) : null;
  facts.push({ key: 'state', text: on ?? t('status.off') });
  const last = parseDateTime(status.lastCopyTime);
  facts.push(last
    ? { key: 'last', text: t('status.last', { ago: timeAgo(last, now) }), title: t('status.lastTitle', { date: formatDate(last, EXACT) }) }
    : { key: 'last', text: t('status.noCopy') });
  if (status.folder) {
    const text = status.folderReachable && status.totalBytes > 0
      ? t('status.folderFree', { folder: status.folder, free: formatBytes(status.freeBytes) })
      : t('status.folder', { folder: status.folder });
    facts.push({ key: 'folder', text, title: status.folder });
  }
  if (status.retentionDays > 0) facts.push({ key: 'retention', text: t('status.kept', { count: Number(status.retentionDays) }) });
  return facts;
}

// Each alert as {kind, text, action: {label, act}}; `act` names what the
// page does: "settings" or "damaged".
export function statusAlerts(status, now = new Date()) {
  const folder = status.folder;
  const since = parseDateTime(status.lastCopyTime) ? timeSince(parseDateTime(status.lastCopyTime), now) : null;
  const settings = (label) => ({ label, act: 'settings' });
  return (Array.isArray(status.alerts) ? status.alerts : []).map((alert) => {
    switch (alert?.kind) {
    case 'backupOff':
      return { kind: alert.kind, text: t('alert.off'), action: settings(t('alert.turnOn')) };
    case 'folderUnreachable':
      return { kind: alert.kind, text: folder ? t('alert.unreachable', { folder }) : t('alert.unreachableNoFolder'), action: settings(t('alert.chooseFolder')) };
    case 'folderReadOnly':
      return { kind: alert.kind, text: folder ? t('alert.readOnly', { folder }) : t('alert.readOnlyNoFolder'), action: settings(t('alert.chooseFolder')) };
    case 'lowDiskSpace':
      return { kind: alert.kind, text: t('alert.lowSpace', { free: formatBytes(Number(status.freeBytes) || 0) }), action: settings(t('alert.chooseFolder')) };
    case 'noRecentCopy':
      return { kind: alert.kind, text: since ? t('alert.noRecent', { since }) : t('alert.noRecentLately'), action: settings(t('tools.settings')) };
    case 'damagedCopies':
      // The plug-in's own sentence, when it sends one, comes first as it came.
      return {
        kind: alert.kind,
        text: alert.text !== undefined && alert.text !== null ? t('alert.damagedWith', { text: String(alert.text) }) : t('alert.damaged'),
        action: { label: t('alert.showDamaged'), act: 'damaged' },
      };
    default:
      return { kind: String(alert?.kind ?? ''), text: String(alert?.text ?? ''), action: null };
    }
  }).filter((alert) => alert.text);
}

export class StatusStrip {
  // actions: {settings(), damaged()}.
  constructor(element, actions) {
    this.element = element;
    this.actions = actions;
    this.status = null;
    this.facts = h('p', { class: 'status-facts' });
    this.alerts = h('ul', { class: 'status-alerts', 'aria-label': t('status.problems') });
    element.replaceChildren(this.facts, this.alerts);
    element.hidden = true;
    // "2 hours ago" stays true while the page is open.
    setInterval(() => this.paintFacts(), 60000);
  }

  show(status) {
    this.status = status;
    this.paint();
  }

  // Draws the last status again, in the page's language.
  paint() {
    const status = this.status;
    if (!status) return;
    this.alerts.setAttribute('aria-label', t('status.problems'));
    this.element.hidden = false;
    this.element.dataset.on = String(backupsOn(status));
    this.paintFacts();
    const alerts = statusAlerts(status);
    this.alerts.hidden = !alerts.length;
    this.alerts.replaceChildren(...alerts.map((alert) => h('li', { class: `status-alert alert-${alert.kind === 'damagedCopies' ? 'danger' : 'warning'}`, 'data-kind': alert.kind },
      h('span', { class: 'alert-mark', 'aria-hidden': 'true', text: '!' }),
      h('span', { class: 'alert-text', text: alert.text }),
      alert.action ? h('button', { type: 'button', class: 'btn small', text: alert.action.label, onclick: () => this.actions[alert.action.act]() }) : null)));
  }

  has(kind) {
    return Boolean(this.status?.alerts?.some?.((alert) => alert?.kind === kind));
  }

  paintFacts() {
    if (!this.status) return;
    this.facts.replaceChildren(...statusFacts(this.status).map((fact) => h('span', { class: `status-fact fact-${fact.key}`, title: fact.title, text: fact.text })));
  }
}
