// The cloud side of the page: the roaming switch, which learns the mode only
// from the plug-in's event, and the manual upload with its progress.

import { BridgeError } from './bridge.js';
import { h } from './dom.js';
import { formatCount, plural } from './format.js';

const ROAMING_ANSWER_MS = 10000;
const POLL_MS = 500;
const STALL_MS = 30000;

// ", about 3 minutes left" from how far an upload came in `elapsedMs`.
function timeLeft(percent, elapsedMs) {
  if (percent <= 0 || percent >= 100 || elapsedMs < 2000) return '';
  const seconds = (elapsedMs / percent) * (100 - percent) / 1000;
  if (seconds < 60) return ' · less than a minute left';
  return ` · about ${plural(Math.round(seconds / 60), 'minute', 'minutes')} left`;
}

// What the file list says of each file of an upload.
const FILE_STATES = {
  waiting: () => 'waiting',
  uploading: (file) => `${file.percent}%`,
  done: () => 'uploaded',
  failed: () => 'not uploaded',
  cancelled: () => 'cancelled',
};

// "a.docx, b.xlsx and 3 more".
function namesOf(names, shown = 3) {
  if (names.length <= shown) return names.join(', ');
  return `${names.slice(0, shown).join(', ')} and ${formatCount(names.length - shown)} more`;
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
          title: `Automatic roaming stayed ${roaming.mode ? 'on' : 'off'}`,
          text: 'The cloud service did not take the change. Check that you are signed in, then try again.',
        });
      } else {
        this.notices.show({ kind: 'success', title: `Automatic roaming is ${roaming.mode ? 'on' : 'off'}` });
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
      this.fail(error, 'Switching automatic roaming');
    });
    clearTimeout(roaming.timer);
    roaming.timer = setTimeout(() => {
      if (roaming.requested === null) return;
      roaming.requested = null;
      this.renderRoaming();
      this.notices.show({ kind: 'warning', title: 'Automatic roaming did not change', text: 'The cloud service did not answer in time. Try again in a moment.' });
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
      note = 'Nobody is signed in. Sign in to Zentri to keep the documents you work on in the cloud.';
    } else if (!r.known) {
      if (r.waiting) note = 'Asking the cloud service…';
      else if (r.unavailable) note = 'Roaming cannot be read in this version of the backup center.';
      else note = 'The cloud service did not answer, so the roaming mode is not known. Sign in to the suite and reload the page.';
    } else if (r.control === 'force_upload') {
      note = 'Set by your organisation: documents are always kept in the cloud.';
    } else if (r.control === 'forbid_upload') {
      note = 'Set by your organisation: documents are not uploaded to the cloud.';
    } else if (pending) {
      note = `Switching ${r.requested ? 'on' : 'off'}…`;
    } else {
      note = r.mode ? 'Documents you work on are kept in the cloud automatically.' : 'Documents go to the cloud only when you upload them.';
    }
    roamingNote.textContent = note;
  }

  // --- manual upload -----------------------------------------------------

  async chooseAndUpload() {
    if (this.upload.phase !== 'idle') return;
    this.upload.phase = 'choosing';
    this.el.uploadButton.disabled = true;
    this.showWaiting('Choose the files to upload', 'A file window of the suite is open. Choose one or more files there; they go to today’s folder of your cloud backup.');
    let answer = null;
    try {
      answer = await this.bridge.call('manualBackupFiles');
    } catch (error) {
      this.fail(error, 'Uploading files');
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
      this.notices.show({ kind: 'info', title: 'Nothing was uploaded', text: 'No file was chosen. Choose Upload files again and pick at least one file.' });
    } else if (typeof answer.errormsg === 'string') {
      this.notices.show({ kind: 'error', title: 'The upload did not start', text: `The suite answered: ${answer.errormsg}.` });
    } else if (answer.uploading === false) {
      this.notices.show({ kind: 'error', title: 'The upload did not start', text: 'The cloud service did not take the files. Check that you are signed in, then try again.' });
    } else {
      this.notices.show({ kind: 'error', title: 'The upload did not start', text: 'The upload service of the suite is not available right now. Try again later.' });
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
      this.fail(error, 'Following the upload');
      return;
    }
    if (upload.phase !== 'uploading') return;
    const progress = answer?.progress;
    if (answer?.result !== true || typeof progress !== 'number') {
      this.endUpload();
      this.notices.show({ kind: 'error', title: 'The upload cannot be followed', text: 'The upload service gave no progress. Look in your cloud backup folder to see what arrived.' });
      return;
    }
    if (progress !== upload.progress) {
      upload.progress = progress;
      upload.changedAt = performance.now();
    } else if (!upload.warned && performance.now() - upload.changedAt > STALL_MS) {
      upload.warned = true;
      this.notices.show({ kind: 'warning', title: 'The upload is not moving', text: 'The cloud service may be busy or not running. You can wait, or cancel and try again later.' });
    }
    this.renderProgress(answer);
    if (progress >= 100) {
      this.endUpload();
      const done = answer.done ?? 0;
      if (done > 0) {
        const failed = (answer.files ?? []).filter((file) => file.state === 'failed').map((file) => file.fileName);
        this.notices.show({
          kind: failed.length ? 'warning' : 'success',
          title: failed.length ? `Upload finished: ${formatCount(done)} of ${formatCount(answer.total)} files arrived` : 'Upload finished',
          text: failed.length
            ? `Not uploaded: ${namesOf(failed)}. The others are in today’s folder of your cloud backup.`
            : `${plural(done, 'file is', 'files are')} in today’s folder of your cloud backup.`,
          action: { label: 'Open cloud backup folder', run: () => this.openCloudFolder() },
        });
      } else {
        this.notices.show({ kind: 'error', title: 'No file was uploaded', text: 'The cloud service refused every file. Check that you are signed in and have room in the cloud, then try again.' });
      }
      return;
    }
    upload.timer = setTimeout(() => this.poll(), POLL_MS);
  }

  // The bar, "45% · 1 of 3 files uploaded · about 2 minutes left" and a line per file.
  renderProgress({ progress = 0, done = 0, total = 0, files = [] }) {
    const value = Math.max(0, Math.min(100, Math.trunc(progress)));
    const counted = total > 0 ? `${formatCount(done)} of ${plural(total, 'file', 'files')} uploaded` : 'starting';
    this.el.uploadBar.setAttribute('aria-valuenow', String(value));
    this.el.uploadBar.setAttribute('aria-valuetext', `${value}%, ${counted}`);
    this.el.uploadBar.style.setProperty('--progress', `${value}%`);
    this.el.uploadStatus.textContent = `${value}% · ${counted}${timeLeft(value, performance.now() - this.upload.startedAt)}`;
    this.el.uploadFiles.replaceChildren(...files.map((file) => h('li', {},
      h('span', { class: 'name', title: file.filePath }, file.fileName),
      h('span', { class: `state ${file.state === 'failed' ? 'failed' : ''}` }, FILE_STATES[file.state]?.(file) ?? ''))));
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
      this.fail(error, 'Cancelling the upload');
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
        title: 'Upload cancelled',
        text: !arrived ? 'Look in your cloud backup folder to see which files had arrived.'
          : arrived.length > 0 ? `Arrived before the cancel: ${namesOf(arrived)}. ${arrived.length === 1 ? 'It stays' : 'They stay'} in today’s folder of your cloud backup.`
            : 'No file had arrived yet, so nothing was left in your cloud backup.',
      });
    } else {
      this.el.uploadCancel.disabled = false;
      this.notices.show({ kind: 'error', title: 'The upload was not cancelled', text: 'The upload service did not take the request. Try Cancel again.' });
    }
  }

  async openCloudFolder() {
    if (this.signedIn === false) {
      this.notices.show({ kind: 'warning', title: 'Sign in to open your cloud backup folder', text: 'Your cloud backup folder belongs to your Zentri account. Sign in to Zentri, then try again.' });
      return;
    }
    try {
      // The suite answers nothing: whether the folder opens is not known here.
      await this.bridge.call('enterBackupCenterPage');
      this.notices.show({ kind: 'info', title: 'Asked for your cloud backup folder', text: 'It opens in the browser once the cloud service has found it. If nothing opens, check that you are signed in to Zentri.' });
    } catch (error) {
      this.fail(error, 'Opening the cloud backup folder');
    }
  }
}
