// The libraries of a root as a list box that draws only the rows in view, so that thousands
// of libraries scroll and filter at once. Selection works as in a file manager: a click picks
// one, Ctrl (or Cmd) adds or removes one, Shift takes the range from the last picked; the
// check box at the start of a row adds or removes that row alone. From the keyboard: arrows,
// Home, End, Page Up and Down move (Shift extends, Ctrl moves without picking), Space toggles
// the row, Ctrl+A picks every row shown.

import { t, formatSize, formatDate, exactBytes } from './texts.js';

export const KINDS = [
  ['render', 'cacheSize'],
  ['proxy', 'proxySize'],
  ['optimized', 'optimizedSize'],
  ['analysis', 'analysisSize'],
];

const OVERSCAN = 6;

export class LibraryList {
  constructor(element, onChange) {
    this.element = element;
    this.onChange = onChange; // the selection changed
    this.records = new Map(); // id -> record
    this.view = []; // ids, in the order shown
    this.selected = new Set();
    this.active = -1; // the row the keyboard is on
    this.anchor = -1; // where a Shift range starts
    this.spacer = document.createElement('div');
    this.spacer.className = 'list-spacer';
    this.element.append(this.spacer);
    this.rows = new Map(); // index -> element, the rows drawn
    this.element.addEventListener('scroll', () => this.draw());
    this.element.addEventListener('keydown', (event) => this.key(event));
    this.element.addEventListener('click', (event) => this.click(event));
    this.element.addEventListener('focus', () => {
      if (this.active < 0 && this.view.length) this.moveTo(0, { pick: false });
    });
    new ResizeObserver(() => this.draw(true)).observe(this.element);
    this.head = null; // the column headings, kept in line with the rows beside a scroll bar
  }

  // New records (a new scan) and the order to show them in.
  setRecords(records) {
    this.records = new Map(records.map((record) => [record.id, record]));
    for (const id of [...this.selected]) if (!this.records.has(id)) this.selected.delete(id);
  }

  setView(ids) {
    const activeId = this.view[this.active];
    this.view = ids.filter((id) => this.records.has(id));
    this.active = activeId === undefined ? -1 : this.view.indexOf(activeId);
    this.anchor = this.active;
    this.element.scrollTop = 0;
    if (this.active >= 0) this.scrollToRow(this.active);
    this.draw(true);
  }

  selectedRecords() {
    return [...this.selected].map((id) => this.records.get(id)).filter(Boolean);
  }

  select(ids) {
    this.selected = new Set(ids);
    this.draw();
    this.onChange();
  }

  rowHeight() {
    return parseFloat(getComputedStyle(this.element).getPropertyValue('--row-height')) || 56;
  }

  // Draws the rows in view (and a few beyond). Rows still in view keep their elements, only
  // their selection marks change: a click that selects must find its row still there.
  draw(all = false) {
    const height = this.rowHeight();
    this.spacer.style.height = this.view.length * height + 'px';
    const first = Math.max(0, Math.floor(this.element.scrollTop / height) - OVERSCAN);
    const last = Math.min(this.view.length, Math.ceil((this.element.scrollTop + this.element.clientHeight) / height) + OVERSCAN);
    for (const [index, row] of this.rows)
      if (all || index < first || index >= last) {
        row.remove();
        this.rows.delete(index);
      }
    for (let index = first; index < last; index++)
      if (!this.rows.has(index)) {
        const row = this.makeRow(index, height);
        this.rows.set(index, row);
        this.element.append(row);
      }
    for (const [index, row] of this.rows) {
      row.setAttribute('aria-selected', String(this.selected.has(this.view[index])));
      row.classList.toggle('active', index === this.active);
    }
    this.element.setAttribute('aria-activedescendant', this.rows.has(this.active) ? this.rows.get(this.active).id : '');
    if (this.head) this.head.style.paddingRight = 10 + this.element.offsetWidth - this.element.clientWidth + 'px';
    this.element.dispatchEvent(new Event('rendered'));
  }

  makeRow(index, height) {
    const record = this.records.get(this.view[index]);
    const row = document.createElement('div');
    row.className = 'row';
    row.id = 'library-' + record.id;
    row.dataset.index = index;
    row.setAttribute('role', 'option');
    row.setAttribute('aria-setsize', String(this.view.length));
    row.setAttribute('aria-posinset', String(index + 1));
    row.style.transform = `translateY(${index * height}px)`;
    row.title = record.relativePath;

    const check = document.createElement('span');
    check.className = 'check';
    check.setAttribute('aria-hidden', 'true');
    const name = document.createElement('span');
    name.className = 'name';
    const title = document.createElement('strong');
    title.textContent = record.displayName;
    const path = document.createElement('small');
    path.textContent = record.relativePath;
    name.append(title, path);
    row.append(check, name, sizeBar(record, record.size), sizeCell(record.size, 'total'));
    for (const [kind, field] of KINDS) row.append(sizeCell(record[field], 'kind ' + kind, t(kind)));
    const modified = document.createElement('span');
    modified.className = 'modified';
    modified.textContent = formatDate(record.lastModified);
    row.append(modified);
    return row;
  }

  indexOf(event) {
    const row = event.target.closest('.row');
    return row ? Number(row.dataset.index) : -1;
  }

  click(event) {
    const index = this.indexOf(event);
    if (index < 0) return;
    const toggle = event.ctrlKey || event.metaKey || event.target.classList.contains('check');
    this.moveTo(index, { extend: event.shiftKey, toggle, pick: true });
    this.element.focus({ preventScroll: true });
  }

  key(event) {
    const pageRows = Math.max(1, Math.floor(this.element.clientHeight / this.rowHeight()) - 1);
    const moves = { ArrowDown: 1, ArrowUp: -1, PageDown: pageRows, PageUp: -pageRows };
    let target = null;
    if (event.key in moves) target = Math.max(0, this.active) + (this.active < 0 ? 0 : moves[event.key]);
    else if (event.key === 'Home') target = 0;
    else if (event.key === 'End') target = this.view.length - 1;
    if (target !== null) {
      event.preventDefault();
      if (!this.view.length) return;
      this.moveTo(Math.min(this.view.length - 1, Math.max(0, target)), {
        extend: event.shiftKey,
        pick: !(event.ctrlKey || event.metaKey),
      });
    } else if (event.key === ' ' && this.active >= 0) {
      event.preventDefault();
      this.moveTo(this.active, { toggle: true, pick: true });
    } else if (event.key.toLowerCase() === 'a' && (event.ctrlKey || event.metaKey)) {
      event.preventDefault();
      this.select(this.view);
    }
  }

  // Moves the keyboard's row to `index`; with `pick`, changes the selection as the modifiers say.
  moveTo(index, { extend = false, toggle = false, pick = true } = {}) {
    const id = this.view[index];
    if (pick) {
      if (extend && this.anchor >= 0) {
        const [from, to] = [Math.min(this.anchor, index), Math.max(this.anchor, index)];
        this.selected = new Set(this.view.slice(from, to + 1));
      } else if (toggle) {
        if (this.selected.has(id)) this.selected.delete(id);
        else this.selected.add(id);
        this.anchor = index;
      } else {
        this.selected = new Set([id]);
        this.anchor = index;
      }
    }
    this.active = index;
    this.scrollToRow(index);
    this.draw();
    if (pick) this.onChange();
  }

  scrollToRow(index) {
    const height = this.rowHeight();
    const top = index * height;
    if (top < this.element.scrollTop) this.element.scrollTop = top;
    else if (top + height > this.element.scrollTop + this.element.clientHeight)
      this.element.scrollTop = top + height - this.element.clientHeight;
  }
}

// A bar of the four kinds' shares of `whole`, in their colours.
export function sizeBar(record, whole) {
  const bar = document.createElement('span');
  bar.className = 'bar';
  bar.setAttribute('aria-hidden', 'true');
  for (const [kind, field] of KINDS) {
    const part = document.createElement('span');
    part.className = 'part ' + kind;
    part.style.width = whole > 0 ? (100 * record[field]) / whole + '%' : '0';
    bar.append(part);
  }
  return bar;
}

function sizeCell(bytes, className, label) {
  const cell = document.createElement('span');
  cell.className = 'size ' + className;
  cell.textContent = formatSize(bytes);
  cell.title = (label ? label + ': ' : '') + exactBytes(bytes);
  return cell;
}
