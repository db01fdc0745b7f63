// The page's words in the suite's language. Each text is a whole sentence in
// a catalogue (messages/<language>.js) with named placeholders ("{count}
// copies"); a text that depends on a number has one form per plural category
// of the language ({one, other}). Numbers and dates follow the language too.

import en from './messages/en.js';
import zhCN from './messages/zh_CN.js';

export const CATALOGUES = { en, zh_CN: zhCN };
// The locale each language formats numbers and dates in.
const LOCALES = { en: 'en-GB', zh_CN: 'zh-CN' };

let language = /^zh-CN$/i.test(globalThis.navigator?.language ?? '') ? 'zh_CN' : 'en';
const formats = new Map();
let pluralRules = new Intl.PluralRules(LOCALES[language]);

// Switches to `name` ("en" or "zh_CN"); any other name is English. Answers
// whether the language changed.
export function setLanguage(name) {
  const next = Object.hasOwn(CATALOGUES, name) ? name : 'en';
  if (next === language) return false;
  language = next;
  formats.clear();
  pluralRules = new Intl.PluralRules(LOCALES[language]);
  return true;
}

export function formatNumber(n) {
  return numberFormat().format(n);
}

function numberFormat() {
  if (!formats.has('number')) formats.set('number', new Intl.NumberFormat(LOCALES[language]));
  return formats.get('number');
}

// A date in the language's words: `options` as for Intl.DateTimeFormat.
export function formatDate(date, options) {
  const key = JSON.stringify(options);
  if (!formats.has(key)) formats.set(key, new Intl.DateTimeFormat(LOCALES[language], options));
  return formats.get(key).format(date);
}

// Names joined as the language joins a list: "a, b and c", "a、b和c".
export function formatList(items) {
  if (!formats.has('list')) formats.set('list', new Intl.ListFormat(LOCALES[language], { type: 'conjunction' }));
  return formats.get('list').format(items);
}

// "{days, plural, one {# day} other {# days}}" inside a text: the form for
// the number `days`, where "#" stands for the number. A form may hold plain
// placeholders, not other plurals.
const PLURAL = /\{(\w+), plural,((?:\s*\w+\s*\{(?:[^{}]|\{\w+\})*\})+)\s*\}/g;
const FORM = /(\w+)\s*\{((?:[^{}]|\{\w+\})*)\}/g;

// The text of `key` with its placeholders filled from `params`; numbers are
// written in the language's digits and separators. An entry of forms
// ({one, other}, or "=1" for exactly one) takes the form for `params.count`.
// A key missing from the catalogue falls back to English, then to the key.
export function t(key, params = {}) {
  const entry = CATALOGUES[language][key] ?? en[key] ?? key;
  const count = Number(params.count);
  const template = typeof entry === 'string' ? entry
    : entry[`=${count}`] ?? entry[pluralRules.select(count)] ?? entry.other;
  return template
    .replace(PLURAL, (whole, name, forms) => {
      const n = Number(params[name]);
      const byCategory = Object.fromEntries([...forms.matchAll(FORM)].map((m) => [m[1], m[2]]));
      return (byCategory[pluralRules.select(n)] ?? byCategory.other ?? '').replace(/#/g, formatNumber(n));
    })
    .replace(/\{(\w+)\}/g, (whole, name) => {
      const value = params[name];
      if (value === undefined || value === null) return whole;
      return typeof value === 'number' ? formatNumber(value) : String(value);
    });
}

// The parts of `key` as a list of texts and the nodes given for its
// placeholders, for a sentence with elements inside.
export function tParts(key, nodes) {
  const template = t(key);
  return template.split(/(\{\w+\})/).filter(Boolean).map((piece) => {
    const m = /^\{(\w+)\}$/.exec(piece);
    return m && nodes[m[1]] ? nodes[m[1]] : piece;
  });
}

// The fixed texts of the page's markup, marked with data-i18n (the text),
// data-i18n-label (aria-label), data-i18n-title and data-i18n-placeholder.
// An element whose text holds other elements names them with data-slot.
export function translateDocument(root = document) {
  root.documentElement.lang = language === 'zh_CN' ? 'zh-CN' : 'en';
  for (const element of root.querySelectorAll('[data-i18n]')) {
    const slots = element.querySelectorAll(':scope > [data-slot]');
    if (!slots.length) {
      element.textContent = t(element.dataset.i18n);
      continue;
    }
    const nodes = {};
    for (const slot of slots) nodes[slot.dataset.slot] = slot;
    element.replaceChildren(...tParts(element.dataset.i18n, nodes));
  }
  const attributes = { i18nLabel: 'aria-label', i18nTitle: 'title', i18nPlaceholder: 'placeholder' };
  for (const [data, attribute] of Object.entries(attributes)) {
    const name = `data-${data.replace(/[A-Z]/g, (c) => `-${c.toLowerCase()}`)}`;
    for (const element of root.querySelectorAll(`[${name}]`)) element.setAttribute(attribute, t(element.dataset[data]));
  }
}
