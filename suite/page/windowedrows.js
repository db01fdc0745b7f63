// The part that a list of tens of thousands of rows and a document's
// timeline share: rows of fixed heights by kind, of which only those near
// the view exist as elements. A subclass sets `scroller`, `canvas`, `rows`
// (each with `kind` and `key`; "day" rows are headings the keyboard skips),
// keeps `elements` (drawn rows by key) and draws in `render()`.

export class WindowedRows {
  constructor() {
    this.rows = [];
    this.offsets = new Float64Array(1);
    this.elements = new Map();
    this.index = null;
    this.frame = 0;
  }

  // Takes `rows` with the height of each kind; answers the tops of the rows.
  setRows(rows, heights) {
    const offsets = new Float64Array(rows.length + 1);
    for (let i = 0; i < rows.length; i++) offsets[i + 1] = offsets[i] + heights[rows[i].kind];
    this.rows = rows;
    this.offsets = offsets;
    this.index = null;
    this.canvas.style.height = `${offsets[rows.length]}px`;
    return offsets;
  }

  indexOf(key) {
    if (key === null || key === undefined) return -1;
    if (!this.index) {
      this.index = new Map();
      for (let i = 0; i < this.rows.length; i++) this.index.set(this.rows[i].key, i);
    }
    return this.index.get(key) ?? -1;
  }

  // The first row whose bottom lies below `y`.
  rowAt(y) {
    let low = 0;
    let high = this.rows.length - 1;
    while (low < high) {
      const mid = (low + high) >> 1;
      if (this.offsets[mid + 1] <= y) low = mid + 1;
      else high = mid;
    }
    return low;
  }

  // The first and last rows within `overscan` pixels of the view.
  rowsNearView(overscan) {
    const top = this.scroller.scrollTop;
    const last = this.rowAt(top + this.scroller.clientHeight + overscan);
    return [this.rowAt(Math.max(0, top - overscan)), Math.min(last, this.rows.length - 1)];
  }

  scheduleRender() {
    if (this.frame) return;
    this.frame = requestAnimationFrame(() => {
      this.frame = 0;
      this.render();
    });
  }

  // Removes the drawn rows not `wanted`, except the one holding the keyboard
  // focus (inside an element of `rowSelector`), which `keep(element, index)`
  // places where it belongs: focus is never lost to a scroll.
  dropRowsBut(wanted, rowSelector, keep) {
    const focused = document.activeElement?.closest?.(rowSelector);
    for (const [key, element] of this.elements) {
      if (wanted.has(key)) continue;
      const index = this.indexOf(key);
      if (element === focused && index >= 0) {
        keep(element, index);
        continue;
      }
      element.remove();
      this.elements.delete(key);
    }
  }

  // The next row from `from` in direction `delta` that is not a heading.
  step(from, delta) {
    let i = from;
    do i += delta;
    while (i >= 0 && i < this.rows.length && this.rows[i].kind === 'day');
    return i >= 0 && i < this.rows.length ? i : from;
  }

  // The row a moving key takes the focus to from row `index`, else -1.
  moveTarget(key, index) {
    const page = this.scroller.clientHeight;
    switch (key) {
    case 'ArrowDown': return this.step(index, 1);
    case 'ArrowUp': return this.step(index, -1);
    case 'Home': return this.step(-1, 1);
    case 'End': return this.step(this.rows.length, -1);
    case 'PageDown': return this.step(this.rowAt(this.offsets[index] + page) - 1, 1);
    case 'PageUp': return this.step(this.rowAt(Math.max(0, this.offsets[index] - page)) + 1, -1);
    default: return -1;
    }
  }

  // Scrolls row `index` into view; coming from below, its day heading
  // (`dayHeight` high) comes into view with it when it is just above.
  reveal(index, dayHeight) {
    const top = this.offsets[index];
    const bottom = this.offsets[index + 1];
    const viewTop = this.scroller.scrollTop;
    const viewHeight = this.scroller.clientHeight;
    if (top < viewTop) this.scroller.scrollTop = top - (index > 0 && this.rows[index - 1].kind === 'day' ? dayHeight : 0);
    else if (bottom > viewTop + viewHeight) this.scroller.scrollTop = bottom - viewHeight;
  }
}
