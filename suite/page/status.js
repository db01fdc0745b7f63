// The strip above the list: whether backups are made and how, when the last
// copy was made, where copies go and for how long they stay, and each
// problem (getBackupStatus "alerts") as a sentence with what to do about it.

import { h } from './dom.js';
import { formatBytes, parseDateTime, plural, timeAgo } from './format.js';

const MODES = { 1: 'Smart backup', 2: 'Timed backup', 3: 'Increment backup' };
const exactFormat = new Intl.DateTimeFormat('en-GB', { dateStyle: 'long', timeStyle: 'medium' });

export function backupsOn(status) {
  return status.enabled === true && Number(status.mode) > 0;
}

// The facts of the strip as texts: [{key, text, title?}].
export function statusFacts(status, now = new Date()) {
  const facts = [];
  const mode = MODES[status.mode];
  facts.push({ key: 'state', text: backupsOn(status) && mode
    ? `Backups on · ${mode}${Number(status.mode) === 2 && status.interval > 0 ? ` every ${plural(status.interval, 'minute', 'minutes')}` : ''}`
    : 'Backups off' });
  const last = parseDateTime(status.lastCopyTime);
  facts.push(last
    ? { key: 'last', text: `Last copy ${timeAgo(last, now)}`, title: `The last copy was made on ${exactFormat.format(last)}` }
    : { key: 'last', text: 'No copy made yet' });
  if (status.folder) {
    const free = status.folderReachable && status.totalBytes > 0 ? ` · ${formatBytes(status.freeBytes)} free` : '';
    facts.push({ key: 'folder', text: `Copies go to ${status.folder}${free}`, title: status.folder });
  }
  if (status.retentionDays > 0) facts.push({ key: 'retention', text: `Kept for ${plural(status.retentionDays, 'day', 'days')}` });
  return facts;
}

// Each alert as {kind, text, action: {label, act}}; `act` names what the
// page does: "settings" or "damaged".
export function statusAlerts(status, now = new Date()) {
  const folder = status.folder || 'the backup folder';
  const last = parseDateTime(status.lastCopyTime);
  const settings = (label) => ({ label, act: 'settings' });
  return (Array.isArray(status.alerts) ? status.alerts : []).map((alert) => {
    switch (alert?.kind) {
    case 'backupOff':
      return { kind: alert.kind, text: 'Backups are off — the documents you work on are not copied.', action: settings('Turn on') };
    case 'folderUnreachable':
      return { kind: alert.kind, text: `The backup drive or folder ${folder} is not connected. Plug in the drive or reconnect the network folder, or choose another one.`, action: settings('Choose another folder') };
    case 'folderReadOnly':
      return { kind: alert.kind, text: `The backup folder ${folder} is read-only, so no copy can be saved there. Choose a folder you may write to.`, action: settings('Choose another folder') };
    case 'lowDiskSpace':
      return { kind: alert.kind, text: `Only ${formatBytes(Number(status.freeBytes) || 0)} is free on the drive of the backup folder. Free some space there or choose a folder on another drive.`, action: settings('Choose another folder') };
    case 'noRecentCopy':
      return { kind: alert.kind, text: `No backup copy was made ${last ? `for ${timeAgo(last, now).replace(/ ago$/, '')}` : 'lately'}. Check how backups are made in the backup settings.`, action: settings('Backup settings') };
    case 'damagedCopies':
      return { kind: alert.kind, text: `${String(alert.text ?? 'Some backup copies are damaged.')} An earlier copy of the same document may be whole.`, action: { label: 'Show damaged', act: 'damaged' } };
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
    this.alerts = h('ul', { class: 'status-alerts', 'aria-label': 'Problems with backups' });
    element.replaceChildren(this.facts, this.alerts);
    element.hidden = true;
    // "2 hours ago" stays true while the page is open.
    setInterval(() => this.paintFacts(), 60000);
  }

  show(status) {
    this.status = status;
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
