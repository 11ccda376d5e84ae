// The raw view: the bytes the page holds drawn as device pixels, a chosen
// number of them to a row, from the offset of the top-left pixel, at a zoom.
// Only what is on screen is drawn. Every mark (outlines, labels, selection,
// hover, the rectangle being dragged) goes on the ruler above or the gutter
// to the left, so nothing ever covers a pixel.
//
//   word, low byte first:  bit 15 | 14..10 red | 9..5 green | 4..0 blue
//   each 5-bit level L shows as the 8-bit level L << 3, as kvpull writes it

const VIEW_WIDTH_MAX = 1024;
const ZOOM_MAX = 8;
const DRAG_MIN = 4; // screen pixels the pointer moves before a press is a drag
// Colours no device pixel has (their low three bits are not 0), so the
// margins and the bytes the page does not hold never pass for pixels.
const NO_BYTES = "#d3cdc5", MARGIN = "#f3f1ed";

function mod(a, n) {
    return ((a % n) + n) % n;
}

function clamp(v, lo, hi) {
    return Math.min(Math.max(v, lo), hi);
}

function deviceRgb(v) {
    return [((v >> 10) & 31) << 3, ((v >> 5) & 31) << 3, (v & 31) << 3];
}

// A w x h picture from bytes[at...] as kvpull writes it, as ImageData.
function pictureImage(bytes, at, w, h) {
    const img = new ImageData(w, h);
    for (let i = 0; i < w * h; i++) {
        const [r, g, b] = deviceRgb(bytes[at + 2 * i] | (bytes[at + 2 * i + 1] << 8));
        img.data.set([r, g, b, 255], 4 * i);
    }
    return img;
}

// Each device pixel value as the 32-bit word an ImageData holds, in the
// machine's byte order.
function colourTable() {
    const little = new Uint8Array(new Uint32Array([1]).buffer)[0] === 1;
    const table = new Uint32Array(32768);
    for (let v = 0; v < 32768; v++) {
        const [r, g, b] = deviceRgb(v);
        table[v] = little ? (0xff000000 | (b << 16) | (g << 8) | r) >>> 0 : ((r << 24) | (g << 16) | (b << 8) | 0xff) >>> 0;
    }
    const css = (hex) => {
        const [r, g, b] = [1, 3, 5].map((i) => parseInt(hex.substr(i, 2), 16));
        return little ? (0xff000000 | (b << 16) | (g << 8) | r) >>> 0 : ((r << 24) | (g << 16) | (b << 8) | 0xff) >>> 0;
    };
    return { table, noBytes: css(NO_BYTES), margin: css(MARGIN) };
}

// A scroll bar of our own: a native one cannot span 32 million rows.
class ScrollBar {
    constructor(track, vertical, onMove) {
        this.track = track;
        this.thumb = track.firstElementChild;
        this.vertical = vertical;
        this.onMove = onMove; // (fraction, pages): dragged to a fraction, or paged
        this.at = 0;
        this.shown = 1;
        track.addEventListener("pointerdown", (ev) => {
            if (ev.button !== 0) return;
            ev.preventDefault();
            const box = this.thumb.getBoundingClientRect();
            const p = vertical ? ev.clientY : ev.clientX;
            const lo = vertical ? box.top : box.left, hi = vertical ? box.bottom : box.right;
            if (p < lo) onMove(null, -1);
            else if (p > hi) onMove(null, 1);
            else this.dragFrom = { p, at: this.at };
            track.setPointerCapture(ev.pointerId);
        });
        track.addEventListener("pointermove", (ev) => {
            if (!this.dragFrom) return;
            const size = this.length() * (1 - this.shown);
            const p = vertical ? ev.clientY : ev.clientX;
            if (size > 0) onMove(clamp(this.dragFrom.at + (p - this.dragFrom.p) / size, 0, 1), 0);
        });
        const end = () => (this.dragFrom = null);
        track.addEventListener("pointerup", end);
        track.addEventListener("pointercancel", end);
    }
    length() {
        return this.vertical ? this.track.clientHeight : this.track.clientWidth;
    }
    // Where the thumb stands (0 to 1) and how much of the whole is on screen.
    set(at, shown) {
        this.at = at;
        this.shown = clamp(shown, 0, 1);
        const len = this.length();
        const size = Math.max(16, Math.round(len * this.shown));
        const pos = Math.round((len - size) * clamp(at, 0, 1));
        const s = this.thumb.style;
        if (this.vertical) [s.top, s.height] = [pos + "px", size + "px"];
        else [s.left, s.width] = [pos + "px", size + "px"];
        this.track.style.visibility = shown >= 1 ? "hidden" : "visible";
    }
}

class RawView {
    // bytes: what the page holds, from the file's offset first on. els: the
    // pixel, ruler and gutter canvases and the two scroll bar tracks. hooks:
    // marks() the entries to outline; moved(), hover(cell), click(cell),
    // dragged(from, to).
    constructor(bytes, first, els, hooks) {
        this.bytes = bytes;
        this.first = first;
        this.stop = first + bytes.length; // the offset after the last byte held
        this.els = els;
        this.hooks = hooks;
        this.width = 128;
        this.zoom = 2;
        this.top = first;
        this.col0 = 0; // the first column on screen
        this.colours = colourTable();
        this.hoverCell = null;
        this.dragging = null;
        this.drawn = ""; // what the pixel canvas shows, to draw it again only when that changes
        this.pending = false;
        this.layout();
        this.vbar = new ScrollBar(els.vbar, true, (f, pages) => {
            if (pages) this.scrollRows(pages * Math.max(1, this.rows() - 1));
            else {
                const { minTop, maxTop } = this.bounds();
                this.setTop(minTop + Math.round((f * (maxTop - minTop)) / this.stride()) * this.stride());
            }
        });
        this.hbar = new ScrollBar(els.hbar, false, (f, pages) => {
            const most = Math.max(0, this.width - this.cols());
            this.col0 = clamp(pages ? this.col0 + pages * this.cols() : Math.round(f * most), 0, most);
            this.changed();
        });
        this.listen();
    }

    stride() {
        return 2 * this.width;
    }

    // The canvases' sizes in device pixels of the screen; cell is a device
    // pixel of the firmware at this zoom.
    layout() {
        const scale = window.devicePixelRatio || 1;
        this.scale = scale;
        this.cell = Math.max(1, Math.round(this.zoom * scale));
        for (const c of [this.els.pixels, this.els.ruler, this.els.gutter]) {
            const box = c.parentElement;
            const w = box.clientWidth, h = box.clientHeight;
            c.style.width = w + "px";
            c.style.height = h + "px";
            c.width = Math.max(1, Math.round(w * scale));
            c.height = Math.max(1, Math.round(h * scale));
        }
        this.drawn = "";
    }

    rows() {
        return Math.max(1, Math.ceil(this.els.pixels.height / this.cell));
    }

    cols() {
        return Math.max(1, Math.ceil(this.els.pixels.width / this.cell));
    }

    // The tops the view may scroll to: from the first row that shows a
    // pixel to the one that puts the last row at the bottom; lastRow is the
    // top that shows only the last row.
    bounds(top = this.top) {
        const s = this.stride();
        const lowest = Math.max(0, this.first - s + 2);
        const minTop = lowest + mod(top - lowest, s);
        const lastRow = Math.max(minTop, this.stop - 2 - mod(this.stop - 2 - top, s));
        const maxTop = Math.max(minTop, lastRow - (this.rows() - 1) * s);
        return { minTop, maxTop, lastRow };
    }

    setTop(top) {
        const { minTop, maxTop } = this.bounds(top);
        this.top = clamp(top, minTop, maxTop);
        this.changed();
    }

    // The pixel at offset becomes the top-left one, as far as the bytes go.
    goTo(offset) {
        const { minTop, lastRow } = this.bounds(offset);
        this.top = clamp(offset, minTop, lastRow);
        this.col0 = 0;
        this.changed();
    }

    scrollRows(n) {
        const { minTop, maxTop } = this.bounds();
        const t = this.top + n * this.stride();
        this.top = n > 0 ? Math.min(t, Math.max(this.top, maxTop)) : Math.max(t, minTop);
        this.changed();
    }

    // By bytes: 2 is a pixel, 1 the other parity.
    scrollBytes(n) {
        const { minTop, lastRow } = this.bounds(this.top + n);
        this.top = clamp(this.top + n, minTop, lastRow);
        this.changed();
    }

    home() {
        this.top = this.bounds().minTop;
        this.changed();
    }

    end() {
        this.top = this.bounds().maxTop;
        this.changed();
    }

    setWidth(w) {
        w = clamp(Math.round(w) || 1, 1, VIEW_WIDTH_MAX);
        if (w === this.width) return;
        this.width = w;
        this.col0 = clamp(this.col0, 0, Math.max(0, w - this.cols()));
        const { minTop, lastRow } = this.bounds();
        this.top = clamp(this.top, minTop, lastRow);
        this.changed();
    }

    setZoom(z) {
        z = clamp(Math.round(z) || 1, 1, ZOOM_MAX);
        if (z === this.zoom) return;
        this.zoom = z;
        this.layout();
        this.changed();
    }

    changed() {
        this.hooks.moved();
        this.schedule();
    }

    schedule() {
        if (this.pending) return;
        this.pending = true;
        requestAnimationFrame(() => {
            this.pending = false;
            this.draw();
        });
    }

    // The firmware pixel under a point of the screen, or null.
    cellAt(clientX, clientY) {
        const c = this.els.pixels, box = c.getBoundingClientRect();
        const x = Math.floor(((clientX - box.left) * this.scale) / this.cell);
        const y = Math.floor(((clientY - box.top) * this.scale) / this.cell);
        const col = this.col0 + x;
        if (x < 0 || y < 0 || y >= this.rows() || col >= this.width) return null;
        const offset = this.top + y * this.stride() + 2 * col;
        const at = offset - this.first;
        const value = at >= 0 && offset + 2 <= this.stop ? this.bytes[at] | (this.bytes[at + 1] << 8) : null;
        return { row: y, col, offset, value };
    }

    // Where an entry lies on screen when the view has its width and parity:
    // the row and column of its first pixel, or null.
    place(m) {
        const d = m.offset - this.top;
        if (m.w !== this.width || mod(d, 2) !== 0) return null;
        const row = Math.floor(d / this.stride()), col = mod(d / 2, this.width);
        const rowsSpanned = m.h + (col > 0 ? 1 : 0);
        if (row + rowsSpanned <= 0 || row >= this.rows()) return null;
        return { row, col, rowsSpanned };
    }

    listen() {
        const px = this.els.pixels;
        px.addEventListener("pointermove", (ev) => {
            const cell = this.cellAt(ev.clientX, ev.clientY);
            const d = this.dragging;
            this.hoverCell = cell;
            // A click that slips a little is still a click, even at zoom 1.
            if (d && Math.hypot(ev.clientX - d.x, ev.clientY - d.y) >= DRAG_MIN) d.moved = true;
            if (d && d.moved && cell) d.to = cell;
            this.hooks.hover(cell);
            this.schedule();
        });
        px.addEventListener("pointerleave", () => {
            this.hoverCell = null;
            this.hooks.hover(null);
            this.schedule();
        });
        px.addEventListener("pointerdown", (ev) => {
            if (ev.button !== 0) return;
            const cell = this.cellAt(ev.clientX, ev.clientY);
            if (!cell) return;
            ev.preventDefault();
            px.setPointerCapture(ev.pointerId);
            this.dragging = { from: cell, to: cell, x: ev.clientX, y: ev.clientY, moved: false };
        });
        px.addEventListener("pointerup", (ev) => {
            const d = this.dragging;
            this.dragging = null;
            if (!d) return;
            const cell = (d.moved && this.cellAt(ev.clientX, ev.clientY)) || d.to;
            if (!d.moved || (cell.row === d.from.row && cell.col === d.from.col)) this.hooks.click(d.from);
            else this.hooks.dragged(d.from, cell);
            this.schedule();
        });
        px.addEventListener("pointercancel", () => (this.dragging = null));
        let rest = 0; // the part of a row the wheel has moved but not yet scrolled
        this.els.view.addEventListener(
            "wheel",
            (ev) => {
                if (ev.ctrlKey) return; // the browser's own zoom
                ev.preventDefault();
                const unit = ev.deltaMode === 1 ? 16 : ev.deltaMode === 2 ? this.els.pixels.clientHeight : 1;
                const across = ev.shiftKey && !ev.deltaX ? ev.deltaY : ev.deltaX;
                if (across) {
                    const most = Math.max(0, this.width - this.cols());
                    this.col0 = clamp(this.col0 + Math.round((across * unit * this.scale) / this.cell), 0, most);
                    this.changed();
                }
                if (ev.shiftKey || !ev.deltaY) return;
                rest += (ev.deltaY * unit * this.scale) / this.cell;
                const n = Math.trunc(rest);
                rest -= n;
                if (n) this.scrollRows(n);
            },
            { passive: false }
        );
    }

    draw() {
        const start = performance.now();
        const key = [this.top, this.width, this.zoom, this.col0, this.els.pixels.width, this.els.pixels.height].join();
        if (key !== this.drawn) {
            this.drawPixels();
            this.drawn = key;
        }
        this.drawRuler();
        this.drawGutter();
        const { minTop, maxTop } = this.bounds();
        const s = this.stride();
        const rowsAll = (maxTop - minTop) / s + this.rows();
        this.vbar.set(maxTop > minTop ? (this.top - minTop) / (maxTop - minTop) : 0, this.rows() / rowsAll);
        const most = this.width - this.cols();
        this.hbar.set(most > 0 ? this.col0 / most : 0, this.cols() / this.width);
        // Seen in the browser's performance tools, and read by bench/bench_view.py.
        performance.clearMeasures("redraw");
        performance.measure("redraw", { start });
    }

    drawPixels() {
        const c = this.els.pixels, W = c.width, H = c.height, cell = this.cell;
        const ctx = c.getContext("2d");
        if (!this.image || this.image.width !== W || this.image.height !== H) {
            this.image = ctx.createImageData(W, H);
            this.words = new Uint32Array(this.image.data.buffer);
        }
        const px = this.words, bytes = this.bytes, size = bytes.length, { table, noBytes, margin } = this.colours;
        const rows = this.rows(), s = this.stride();
        const cols = Math.min(this.cols(), this.width - this.col0); // columns of the row on screen
        for (let k = 0; k < rows; k++) {
            const y0 = k * cell, line = y0 * W;
            let at = this.top + k * s + 2 * this.col0 - this.first, x = 0;
            // A row wholly inside the bytes held, at zoom 1, is most of every screen: no checks per pixel.
            if (cell === 1 && at >= 0 && at + 2 * cols <= size) {
                for (const end = line + cols; x + line < end; x++, at += 2) px[line + x] = table[(bytes[at] | (bytes[at + 1] << 8)) & 0x7fff];
            } else {
                for (let j = 0; j < cols; j++, at += 2) {
                    const v = at >= 0 && at + 2 <= size ? table[(bytes[at] | (bytes[at + 1] << 8)) & 0x7fff] : noBytes;
                    for (const xEnd = Math.min(W, x + cell); x < xEnd; x++) px[line + x] = v;
                }
            }
            if (x < W) px.fill(margin, line + x, line + W);
            for (let y = y0 + 1; y < Math.min(H, y0 + cell); y++) px.copyWithin(y * W, line, line + W);
        }
        ctx.putImageData(this.image, 0, 0);
    }

    // The ruler: column ticks, the selected entry's first row, the hovered
    // column and the columns being dragged.
    drawRuler() {
        const c = this.els.ruler, ctx = c.getContext("2d"), sc = this.scale;
        const cw = this.cell / sc, h = c.height / sc;
        ctx.setTransform(sc, 0, 0, sc, 0, 0);
        ctx.fillStyle = MARGIN;
        ctx.fillRect(0, 0, c.width / sc, h);
        const x = (col) => (col - this.col0) * cw;
        const span = Math.min(this.width, this.col0 + this.cols());
        ctx.fillStyle = "#888";
        ctx.font = "10px sans-serif";
        ctx.textBaseline = "top";
        const step = [8, 16, 32, 64, 128, 256, 512, 1024].find((n) => n * cw >= 32) || 1024;
        for (let col = Math.ceil(this.col0 / 8) * 8; col <= span; col += 8) {
            const major = col % step === 0;
            ctx.fillRect(Math.round(x(col)), major ? h - 7 : h - 3, 1, major ? 7 : 3);
            if (major && cw * 8 >= 2) ctx.fillText(String(col), Math.round(x(col)) + 2, 0);
        }
        ctx.fillRect(Math.round(x(span)), 0, 1, h); // the end of a row
        for (const m of this.hooks.marks()) {
            const p = m.selected && this.place(m);
            if (!p) continue;
            ctx.fillStyle = "#c62828";
            ctx.fillRect(x(p.col), h - 3, x(this.width) - x(p.col), 3);
        }
        const d = this.dragging;
        if (d && d.moved) {
            ctx.fillStyle = "#1565c0";
            const c0 = Math.min(d.from.col, d.to.col);
            ctx.fillRect(x(c0), h - 4, x(this.width) - x(c0), 4);
        }
        if (this.hoverCell) {
            ctx.fillStyle = "#000";
            ctx.fillRect(x(this.hoverCell.col), h - 6, Math.max(1, cw), 6);
        }
    }

    // The gutter: a bracket beside the rows of every entry the view shows at
    // its width and parity, its name, the hovered row and the rows dragged.
    drawGutter() {
        const c = this.els.gutter, ctx = c.getContext("2d"), sc = this.scale;
        const gw = c.width / sc, gh = c.height / sc, rh = this.cell / sc;
        ctx.setTransform(sc, 0, 0, sc, 0, 0);
        ctx.fillStyle = MARGIN;
        ctx.fillRect(0, 0, gw, gh);
        ctx.font = "11px sans-serif";
        ctx.textAlign = "right";
        ctx.textBaseline = "top";
        const shown = [];
        for (const m of this.hooks.marks()) {
            const p = this.place(m);
            if (p) shown.push({ m, p });
        }
        shown.sort((a, b) => a.m.offset - b.m.offset || a.m.selected - b.m.selected);
        // Each bracket is a [ beside the rows its entry covers, in the first of
        // two lanes that no bracket above still holds or touches, so that
        // entries back to back stay apart; its name beside it, pushed down past
        // the name above while it stays by its rows.
        let labelEnd = -Infinity;
        const laneEnd = [-Infinity, -Infinity];
        shown.forEach(({ m, p }) => {
            const y0 = p.row * rh, y1 = (p.row + p.rowsSpanned) * rh;
            const lane = laneEnd[0] < y0 ? 0 : laneEnd[1] < y0 ? 1 : laneEnd[0] <= laneEnd[1] ? 0 : 1;
            laneEnd[lane] = y1;
            const x = gw - 6 - lane * 6;
            const colour = m.selected ? "#c62828" : m.flagged ? "#ef6c00" : "#546e7a";
            const thick = m.selected ? 2 : 1;
            ctx.fillStyle = colour;
            ctx.fillRect(x, y0, thick, y1 - y0);
            ctx.fillRect(x, Math.round(y0), 4, thick);
            ctx.fillRect(x, Math.round(y1) - thick, 4, thick);
            const ly = Math.max(0, y0, m.selected ? 0 : labelEnd);
            if (ly + 12 > y1 && !m.selected && ly > Math.max(0, y0)) return;
            const text = (y0 < 0 ? "\u2191 " : "") + m.label + (p.col > 0 ? ", column " + p.col : "");
            ctx.font = (m.selected ? "bold " : "") + "11px sans-serif";
            if (m.selected) {
                ctx.fillStyle = MARGIN;
                ctx.fillRect(0, ly, x - 2, 13);
                ctx.fillStyle = colour;
            }
            ctx.fillText(text, x - 4, ly, x - 8);
            labelEnd = Math.max(labelEnd, ly + 13);
        });
        if (this.dragging && this.dragging.moved) {
            const r0 = Math.min(this.dragging.from.row, this.dragging.to.row);
            const r1 = Math.max(this.dragging.from.row, this.dragging.to.row) + 1;
            ctx.fillStyle = "#1565c0";
            ctx.fillRect(gw - 2, r0 * rh, 2, (r1 - r0) * rh);
        }
        if (this.hoverCell) {
            ctx.fillStyle = "#000";
            ctx.fillRect(0, this.hoverCell.row * rh, 6, Math.max(1, rh));
        }
    }
}
