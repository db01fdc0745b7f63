// A small element builder: texts always go in as text, never as markup.

import { t } from './i18n.js';

export function h(tag, attributes = {}, ...children) {
  const element = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (value === undefined || value === null || value === false) continue;
    if (name === 'class') element.className = value;
    else if (name === 'text') element.textContent = value;
    else if (name.startsWith('on') && typeof value === 'function') element.addEventListener(name.slice(2), value);
    else element.setAttribute(name, value === true ? '' : String(value));
  }
  for (const child of children.flat()) {
    if (child === undefined || child === null || child === false) continue;
    element.append(child instanceof Node ? child : document.createTextNode(String(child)));
  }
  return element;
}

const TYPE_LABELS = { doc: 'DOC', xls: 'XLS', ppt: 'PPT', pdf: 'PDF', unknown: 'FILE' };
// The name of a document type, in the page's language.
export function typeName(type) {
  switch (type) {
  case 'doc': return t('type.doc');
  case 'xls': return t('type.xls');
  case 'ppt': return t('type.ppt');
  case 'pdf': return t('type.pdf');
  default: return t('type.other');
  }
}

// The coloured mark of a document type.
export function typeIcon(type) {
  return h('span', { class: `type-icon type-${type}`, 'aria-hidden': 'true' },
    h('span', { class: 'type-fold' }),
    // Drawn by the style sheet: a picture, not words of the control it sits in.
    h('span', { class: 'type-label', 'data-label': TYPE_LABELS[type] ?? 'FILE' }));
}
