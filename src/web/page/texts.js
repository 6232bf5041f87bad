// The page's words from the server's translation tables, and numbers, sizes and dates written
// in the page's language.

let words = {};
let language = 'en';
// Made once per language: a list redraw formats hundreds of figures, and each formatter is
// costly to make.
let formats = makeFormats(language);

function makeFormats(lang) {
  return {
    plural: new Intl.PluralRules(lang),
    number: new Intl.NumberFormat(lang),
    size: new Intl.NumberFormat(lang, { minimumFractionDigits: 2, maximumFractionDigits: 2 }),
    bytes: new Intl.NumberFormat(lang, { style: 'unit', unit: 'byte', unitDisplay: 'long' }),
    date: new Intl.DateTimeFormat(lang, { dateStyle: 'medium', timeStyle: 'short' }),
    age: new Intl.RelativeTimeFormat(lang, { numeric: 'auto' }),
  };
}

export async function loadTexts(wanted) {
  const query = wanted ? '?lang=' + encodeURIComponent(wanted) : '';
  const response = await fetch('/api/v1/texts' + query, { credentials: 'same-origin' });
  const answer = await response.json();
  words = answer.texts;
  language = answer.language;
  formats = makeFormats(language);
  document.documentElement.lang = language === 'zh' ? 'zh-CN' : language;
  return language;
}

export const currentLanguage = () => language;

// A text with its "%1", "%2"... filled in order.
export function t(key, ...args) {
  const text = words[key];
  if (typeof text !== 'string') return key;
  return fill(text, args);
}

// A text with a count: its plural form, "%n" as the count in the page's language.
export function tn(key, count, ...args) {
  const forms = words[key];
  if (!forms || typeof forms !== 'object') return key;
  const form = formats.plural.select(count) === 'one' ? forms.one : forms.other;
  return fill(form.replaceAll('%n', formatNumber(count)), args);
}

function fill(text, args) {
  return text.replace(/%(\d)/g, (whole, digit) => {
    const value = args[Number(digit) - 1];
    return value === undefined ? whole : String(value);
  });
}

export const formatNumber = (n) => formats.number.format(n);

// Sizes as the window and the CLI write them (gigabytes of 2^30 bytes, two decimals), with the
// page's separators.
export function formatSize(bytes) {
  const gigabytes = bytes / 1073741824;
  return formats.size.format(gigabytes) + ' GB';
}

export function exactBytes(bytes) {
  return formats.bytes.format(bytes);
}

// "2026-12-07T10:20:30.123456789Z": the server's times keep nanoseconds, a Date takes
// milliseconds.
export function parseTime(text) {
  if (typeof text === 'number') return new Date(text * 1000);
  const match = /^(.*T\d\d:\d\d:\d\d)(\.\d{1,3})?\d*Z$/.exec(text || '');
  return match ? new Date(match[1] + (match[2] || '') + 'Z') : new Date(NaN);
}

export function formatDate(time) {
  const date = parseTime(time);
  if (Number.isNaN(date.getTime())) return '';
  return formats.date.format(date);
}

// "5 minutes ago", "昨天".
export function formatAge(time) {
  const seconds = (parseTime(time).getTime() - Date.now()) / 1000;
  for (const [unit, size] of [['day', 86400], ['hour', 3600], ['minute', 60]])
    if (Math.abs(seconds) >= size) return formats.age.format(Math.round(seconds / size), unit);
  return formats.age.format(Math.round(seconds), 'second');
}

// Fills every element that names its text: data-text (its content), data-text-placeholder,
// data-text-label (its accessible name).
export function applyTexts(root = document) {
  for (const element of root.querySelectorAll('[data-text]')) element.textContent = t(element.dataset.text);
  for (const element of root.querySelectorAll('[data-text-placeholder]'))
    element.placeholder = t(element.dataset.textPlaceholder);
  for (const element of root.querySelectorAll('[data-text-label]'))
    element.setAttribute('aria-label', t(element.dataset.textLabel));
}
