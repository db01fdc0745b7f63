// A small element builder: texts always go in as text, never as markup.

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
export const TYPE_NAMES = { doc: 'Document', xls: 'Spreadsheet', ppt: 'Presentation', pdf: 'PDF', unknown: 'Other file' };

// The coloured mark of a document type.
export function typeIcon(type) {
  return h('span', { class: `type-icon type-${type}`, 'aria-hidden': 'true' },
    h('span', { class: 'type-fold' }),
    // Drawn by the style sheet: a picture, not words of the control it sits in.
    h('span', { class: 'type-label', 'data-label': TYPE_LABELS[type] ?? 'FILE' }));
}
