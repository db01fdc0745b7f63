// Asks before something permanent happens. Resolves true only when the
// person chose the confirming button; Escape and Cancel keep everything.

import { h } from './dom.js';
import { t } from './i18n.js';

export function confirmAction({ title, lines = [], confirmLabel, danger = true }) {
  return new Promise((resolve) => {
    const titleId = `confirm-title-${Date.now()}`;
    const cancel = h('button', { type: 'button', class: 'btn', text: t('confirm.cancel') });
    const confirm = h('button', { type: 'button', class: danger ? 'btn danger' : 'btn primary', text: confirmLabel });
    const dialog = h('dialog', { class: 'confirm', 'aria-labelledby': titleId },
      h('h2', { id: titleId, text: title }),
      ...lines.map((line) => h('p', { text: line })),
      h('div', { class: 'dialog-buttons' }, cancel, confirm));
    let answer = false;
    const close = (value) => {
      answer = value;
      dialog.close();
    };
    cancel.addEventListener('click', () => close(false));
    confirm.addEventListener('click', () => close(true));
    dialog.addEventListener('close', () => {
      const opener = dialog._opener;
      dialog.remove();
      if (opener?.isConnected) opener.focus({ preventScroll: true });
      resolve(answer);
    });
    dialog._opener = document.activeElement;
    document.body.append(dialog);
    dialog.showModal();
    // The safe choice has the focus: Enter alone never deletes.
    cancel.focus();
  });
}
