// The cloud side of the page: the roaming switch, which learns the mode only
// from the plug-in's event, and the manual upload with its progress.

import { BridgeError } from './bridge.js';
import { h } from './dom.js';
import { formatList, t } from './i18n.js';

const ROAMING_ANSWER_MS = 10000;
const POLL_MS = 500;
const STALL_MS = 30000;

// "about 3 minutes left" from how far an upload came in `elapsedMs`, or ''.
function timeLeft(percent, elapsedMs) {
  if (percent <= 0 || percent >= 100 || elapsedMs < 2000) return '';
  const seconds = (elapsedMs / percent) * (100 - percent) / 1000;
  if (seconds < 60) return t('upload.lessThanMinute');
  return t('upload.minutesLeft', { count: Math.round(seconds / 60) });
}

// The states of a file of an upload, each said by "upload.file.<state>".
const FILE_STATES = ['waiting', 'uploading', 'done', 'failed', 'cancelled'];

// "a.docx, b.xlsx and c.pptx", "a.docx, b.xlsx, c.pptx and 3 more".
function namesOf(names, shown = 3) {
  if (names.length <= shown) return formatList(names);
  return t('upload.namesMore', { names: formatList(names.slice(0, shown)), count: names.length - shown });
}

export class CloudPanel {
  constructor({ bridge, notices, explain, showWaiting, hideWaiting, elements }) {
    this.bridge = bridge;
    this.notices = notices;
    this.explain = explain;
    this.showWaiting = showWaiting;
    this.hideWaiting = hideWaiting;
    this.el = elements;
    this.roaming = { known: false, mode: false, control: 'no_control', requested: null, timer: 0 };
    // Whether someone is signed in: null until the suite says so (a panel that needs it).
    this.signedIn = null;
    this.upload = { phase: 'idle', timer: 0, progress: -1, changedAt: 0, warned: false };

    bridge.on('event.arkivo.autoRoamingModeChanged', (payload) => this.onRoamingMode(payload));
    this.el.roamingSwitch.addEventListener('click', () => this.toggleRoaming());
    this.el.uploadButton.addEventListener('click', () => this.chooseAndUpload());
    this.el.uploadCancel.addEventListener('click', () => this.cancelUpload());
    this.el.cloudFolderButton.addEventListener('click', () => this.openCloudFolder());
    this.renderRoaming();
  }

  start() {
    this.askRoamingMode();
  }

  // The language changed: the note and the progress are said again.
  relabel() {
    this.renderRoaming();
    if (this.upload.phase === 'uploading') this.renderProgress(this.upload.last ?? {});
  }

  setSignedIn(signedIn) {
    this.signedIn = signedIn;
    this.renderRoaming();
  }

  fail(error, what) {
    this.notices.show({ kind: 'error', ...this.explain(error, what) });
  }

  // --- roaming -------------------------------------------------------------

  askRoamingMode() {
    clearTimeout(this.roaming.timer);
    this.roaming.waiting = true;
    this.renderRoaming();
    this.bridge.call('getRoamingMode').catch((error) => {
      this.roaming.waiting = false;
      this.roaming.unavailable = error instanceof BridgeError && /not available/i.test(error.message);
      this.renderRoaming();
    });
    this.roaming.timer = setTimeout(() => {
      this.roaming.waiting = false;
      this.renderRoaming();
    }, ROAMING_ANSWER_MS);
  }

  onRoamingMode(payload) {
    const roaming = this.roaming;
    clearTimeout(roaming.timer);
    roaming.known = true;
    roaming.waiting = false;
    roaming.mode = payload?.mode === 'true';
    const control = payload?.fileUploadControl;
    roaming.control = control === 'force_upload' || control === 'forbid_upload' ? control : 'no_control';
    if (roaming.requested !== null) {
      if (roaming.requested !== roaming.mode) {
        this.notices.show({
          kind: 'warning',
          title: roaming.mode ? t('roaming.stayedOn') : t('roaming.stayedOff'),
          text: t('roaming.stayedText'),
        });
      } else {
        this.notices.show({ kind: 'success', title: roaming.mode ? t('roaming.isOn') : t('roaming.isOff') });
      }
      roaming.requested = null;
    }
    this.renderRoaming();
  }

  toggleRoaming() {
    const roaming = this.roaming;
    if (!roaming.known || roaming.requested !== null || roaming.control !== 'no_control') return;
    roaming.requested = !roaming.mode;
    this.renderRoaming();
    this.bridge.call('changeRoamingMode', { mode: roaming.requested }).catch((error) => {
      roaming.requested = null;
      clearTimeout(roaming.timer);
      this.renderRoaming();
      this.fail(error, 'switchRoaming');
    });
    clearTimeout(roaming.timer);
    roaming.timer = setTimeout(() => {
      if (roaming.requested === null) return;
      roaming.requested = null;
      this.renderRoaming();
      this.notices.show({ kind: 'warning', title: t('roaming.unchanged'), text: t('roaming.unchangedText') });
    }, ROAMING_ANSWER_MS);
  }

  renderRoaming() {
    const { roamingSwitch, roamingNote } = this.el;
    const r = this.roaming;
    const pending = r.requested !== null;
    const shownMode = pending ? r.requested : r.mode;
    roamingSwitch.setAttribute('aria-checked', String(r.known && shownMode));
    roamingSwitch.disabled = !r.known || pending || r.control !== 'no_control';
    roamingSwitch.setAttribute('aria-busy', String(pending || Boolean(r.waiting)));
    roamingSwitch.dataset.control = r.control;
    let note;
    if (this.signedIn === false) {
      roamingSwitch.disabled = true;
      note = t('roaming.signedOut');
    } else if (!r.known) {
      if (r.waiting) note = t('roaming.asking');
      else if (r.unavailable) note = t('roaming.unavailable');
      else note = t('roaming.noAnswer');
    } else if (r.control === 'force_upload') {
      note = t('roaming.forced');
    } else if (r.control === 'forbid_upload') {
      note = t('roaming.forbidden');
    } else if (pending) {
      note = r.requested ? t('roaming.switchingOn') : t('roaming.switchingOff');
    } else {
      note = r.mode ? t('roaming.on') : t('roaming.off');
    }
    roamingNote.textContent = note;
  }

  // --- manual upload -----------------------------------------------------

  async chooseAndUpload() {
    if (this.upload.phase !== 'idle') return;
    this.upload.phase = 'choosing';
    this.el.uploadButton.disabled = true;
    this.showWaiting(() => t('upload.waiting'), () => t('upload.waitingText'));
    let answer = null;
    try {
      answer = await this.bridge.call('manualBackupFiles');
    } catch (error) {
      this.fail(error, 'upload');
    } finally {
      this.hideWaiting();
    }
    if (answer && answer.uploading === true) {
      this.beginProgress();
      return;
    }
    this.upload.phase = 'idle';
    this.el.uploadButton.disabled = false;
    this.el.uploadButton.focus();
    if (!answer) return;
    if (answer.errormsg === 'selectedFiles is empty') {
      this.notices.show({ kind: 'info', title: t('upload.nothing'), text: t('upload.nothingText') });
    } else if (typeof answer.errormsg === 'string') {
      this.notices.show({ kind: 'error', title: t('upload.notStarted'), text: t('suite.answered', { reason: answer.errormsg }) });
    } else if (answer.uploading === false) {
      this.notices.show({ kind: 'error', title: t('upload.notStarted'), text: t('upload.refusedText') });
    } else {
      this.notices.show({ kind: 'error', title: t('upload.notStarted'), text: t('upload.unavailableText') });
    }
  }

  beginProgress() {
    const upload = this.upload;
    upload.phase = 'uploading';
    upload.progress = -1;
    upload.changedAt = performance.now();
    upload.startedAt = upload.changedAt;
    upload.warned = false;
    this.el.uploadProgress.hidden = false;
    this.el.uploadCancel.disabled = false;
    this.renderProgress({});
    this.poll();
  }

  async poll() {
    const upload = this.upload;
    if (upload.phase !== 'uploading') return;
    let answer;
    try {
      answer = await this.bridge.call('getUploadFilesState');
    } catch (error) {
      this.endUpload();
      this.fail(error, 'followUpload');
      return;
    }
    if (upload.phase !== 'uploading') return;
    const progress = answer?.progress;
    if (answer?.result !== true || typeof progress !== 'number') {
      this.endUpload();
      this.notices.show({ kind: 'error', title: t('upload.lost'), text: t('upload.lostText') });
      return;
    }
    if (progress !== upload.progress) {
      upload.progress = progress;
      upload.changedAt = performance.now();
    } else if (!upload.warned && performance.now() - upload.changedAt > STALL_MS) {
      upload.warned = true;
      this.notices.show({ kind: 'warning', title: t('upload.stalled'), text: t('upload.stalledText') });
    }
    this.renderProgress(answer);
    if (progress >= 100) {
      this.endUpload();
      const done = answer.done ?? 0;
      if (done > 0) {
        const failed = (answer.files ?? []).filter((file) => file.state === 'failed').map((file) => file.fileName);
        this.notices.show({
          kind: failed.length ? 'warning' : 'success',
          title: failed.length ? t('upload.finishedPartly', { done, total: answer.total }) : t('upload.finished'),
          text: failed.length ? t('upload.finishedPartlyText', { names: namesOf(failed) }) : t('upload.finishedText', { count: done }),
          action: { label: t('cloud.openFolder'), run: () => this.openCloudFolder() },
        });
      } else {
        this.notices.show({ kind: 'error', title: t('upload.noneUploaded'), text: t('upload.noneUploadedText') });
      }
      return;
    }
    upload.timer = setTimeout(() => this.poll(), POLL_MS);
  }

  // The bar, "45% · 1 of 3 files uploaded · about 2 minutes left" and a line per file.
  renderProgress({ progress = 0, done = 0, total = 0, files = [] }) {
    const value = Math.max(0, Math.min(100, Math.trunc(progress)));
    this.upload.last = { progress, done, total, files };
    this.el.uploadBar.setAttribute('aria-valuenow', String(value));
    this.el.uploadBar.setAttribute('aria-valuetext', total > 0 ? t('upload.valueText', { percent: value, done, total }) : t('upload.starting', { percent: value }));
    this.el.uploadBar.style.setProperty('--progress', `${value}%`);
    const left = timeLeft(value, performance.now() - this.upload.startedAt);
    this.el.uploadStatus.textContent = total <= 0 ? t('upload.starting', { percent: value })
      : left ? t('upload.statusLeft', { percent: value, done, total, left }) : t('upload.status', { percent: value, done, total });
    this.el.uploadFiles.replaceChildren(...files.map((file) => h('li', {},
      h('span', { class: 'name', title: file.filePath }, file.fileName),
      h('span', { class: `state ${file.state === 'failed' ? 'failed' : ''}` }, FILE_STATES.includes(file.state) ? t(`upload.file.${file.state}`, { percent: file.percent }) : ''))));
  }

  endUpload() {
    clearTimeout(this.upload.timer);
    this.upload.phase = 'idle';
    this.el.uploadButton.disabled = false;
    // The bar and its Cancel go; the message tells how it ended.
    this.el.uploadProgress.hidden = true;
  }

  async cancelUpload() {
    if (this.upload.phase !== 'uploading') return;
    this.el.uploadCancel.disabled = true;
    let answer = null;
    try {
      answer = await this.bridge.call('cancelUploadFilesToCloud');
    } catch (error) {
      this.el.uploadCancel.disabled = false;
      this.fail(error, 'cancelUpload');
      return;
    }
    if (answer.cancelUpload === true) {
      this.endUpload();
      let arrived = null;
      try {
        const state = await this.bridge.call('getUploadFilesState');
        if (Array.isArray(state?.files)) arrived = state.files.filter((file) => file.state === 'done').map((file) => file.fileName);
      } catch {
        // Without the state the message says less.
      }
      this.notices.show({
        kind: 'info',
        title: t('upload.cancelled'),
        text: !arrived ? t('upload.cancelledUnknown')
          : arrived.length > 0 ? t('upload.cancelledArrived', { count: arrived.length, names: namesOf(arrived) }) : t('upload.cancelledNone'),
      });
    } else {
      this.el.uploadCancel.disabled = false;
      this.notices.show({ kind: 'error', title: t('upload.notCancelled'), text: t('upload.notCancelledText') });
    }
  }

  async openCloudFolder() {
    if (this.signedIn === false) {
      this.notices.show({ kind: 'warning', title: t('cloudFolder.signIn'), text: t('cloudFolder.signInText') });
      return;
    }
    try {
      // The suite answers nothing: whether the folder opens is not known here.
      await this.bridge.call('enterBackupCenterPage');
      this.notices.show({ kind: 'info', title: t('cloudFolder.asked'), text: t('cloudFolder.askedText') });
    } catch (error) {
      this.fail(error, 'openCloudFolder');
    }
  }
}
