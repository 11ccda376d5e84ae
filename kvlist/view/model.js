// The list as kvlist read it, the edits made to it since, and the list file
// they give. No line is parsed here: kvlist gave each line's bytes with its
// entry or its refusal, and where the text after an entry's name starts.

const COMMENT = 0, ENTRY = 1, REFUSED = 2;

// The bytes of a JSON string that holds one byte a character.
function bytesOf(text) {
    const out = new Uint8Array(text.length);
    for (let i = 0; i < text.length; i++) out[i] = text.charCodeAt(i);
    return out;
}

function concatBytes(parts) {
    let size = 0;
    for (const p of parts) size += p.length;
    const out = new Uint8Array(size);
    let at = 0;
    for (const p of parts) {
        out.set(p, at);
        at += p.length;
    }
    return out;
}

function sameBytes(a, b) {
    if (a.length !== b.length) return false;
    for (let i = 0; i < a.length; i++) if (a[i] !== b[i]) return false;
    return true;
}

// RFC 4648 base64, decoded once into bytes: a 64 MiB firmware is 89 million
// characters, so no intermediate string.
function fromBase64(text) {
    const codes = new Uint8Array(128);
    const digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (let i = 0; i < 64; i++) codes[digits.charCodeAt(i)] = i;
    let n = text.length;
    while (n > 0 && text.charCodeAt(n - 1) === 61) n--; // the '=' padding
    const out = new Uint8Array(Math.floor((n * 3) / 4));
    const c = (i) => codes[text.charCodeAt(i) & 127];
    let i = 0, o = 0;
    for (; i + 4 <= n; i += 4, o += 3) {
        const v = (c(i) << 18) | (c(i + 1) << 12) | (c(i + 2) << 6) | c(i + 3);
        out[o] = v >> 16;
        out[o + 1] = (v >> 8) & 255;
        out[o + 2] = v & 255;
    }
    if (n - i >= 2) {
        const v = (c(i) << 18) | (c(i + 1) << 12) | (n - i === 3 ? c(i + 2) << 6 : 0);
        out[o] = v >> 16;
        if (n - i === 3) out[o + 1] = (v >> 8) & 255;
    }
    return out;
}

// Bytes as text to show: UTF-8 as its characters; control characters and
// bytes that are no UTF-8 as \xHH, as kvlist prints names.
function shownBytes(b) {
    let out = "";
    const escape = (byte) => "\\x" + byte.toString(16).toUpperCase().padStart(2, "0");
    for (let i = 0; i < b.length; ) {
        const c = b[i];
        if (c < 0x80) {
            out += c < 0x20 || c === 0x7f ? escape(c) : String.fromCharCode(c);
            i++;
            continue;
        }
        // Lead bytes of 2, 3 and 4-byte sequences, with the least code point
        // each may give, so that overlong forms count as no UTF-8.
        const n = c >= 0xc2 && c <= 0xdf ? 2 : c >= 0xe0 && c <= 0xef ? 3 : c >= 0xf0 && c <= 0xf4 ? 4 : 0;
        let cp = n === 2 ? c & 0x1f : n === 3 ? c & 0x0f : c & 0x07;
        let ok = n > 0 && i + n <= b.length;
        for (let k = 1; ok && k < n; k++) {
            ok = (b[i + k] & 0xc0) === 0x80;
            cp = (cp << 6) | (b[i + k] & 0x3f);
        }
        ok = ok && cp >= [0, 0, 0x80, 0x800, 0x10000][n] && cp <= 0x10ffff && (cp < 0xd800 || cp > 0xdfff);
        if (ok) {
            out += String.fromCodePoint(cp);
            i += n;
        } else {
            out += escape(c);
            i++;
        }
    }
    return out;
}

function hex8(n) {
    return "0x" + n.toString(16).toUpperCase().padStart(8, "0");
}

// An entry's fields: where it starts, its width and height as the list gives
// them (a list may hold -3), and its name's bytes. Never changed in place:
// an edit makes a new one, so undo keeps the old.
function sameState(a, b) {
    if (a === b) return true;
    if (!a || !b) return false;
    return a.offset === b.offset && a.w === b.w && a.h === b.h && sameBytes(a.name, b.name);
}

// What kvpull makes of an entry, tested in its order: sizes as the unsigned
// numbers kvpull reads them as.
function pictureState(s, fileSize, maxPixels) {
    const w = s.w >>> 0, h = s.h >>> 0;
    if (!(h === 0 || w <= Math.floor(maxPixels / h))) return "too large";
    const bytes = w * h * 2;
    if (bytes === 0) return "no pixels";
    if (s.offset > fileSize || bytes > fileSize - s.offset) return "runs past the end of the file";
    return "";
}

let nextEntryId = 1;

class Entry {
    constructor(line, state) {
        this.id = nextEntryId++;
        this.line = line; // null for an entry added here
        this.orig = state; // as the list gave it; null when added
        this.cur = state; // null once deleted
        this.full = true; // its line gives all five fields
        this.tail = new Uint8Array(0); // the bytes after its name: a note, kept when rewritten
        this.note = new Uint8Array(0); // find's note
    }
    edited() {
        return !sameState(this.cur, this.orig);
    }
}

class ListModel {
    constructor(data) {
        this.raw = fromBase64(data.listBytes);
        this.bom = data.bom;
        this.lines = [];
        this.entries = [];
        this.done = [];
        this.undone = [];
        this.version = 0;
        let before = null;
        data.lines.forEach((l, i) => {
            const line = { kind: l[0], start: l[1], size: l[2], eol: l[3], number: i + 1 };
            if (line.kind === ENTRY) {
                const e = new Entry(line, { offset: l[4], w: l[5], h: l[6], name: bytesOf(l[7]) });
                e.full = l[8] >= 0;
                if (e.full) e.tail = this.raw.subarray(line.start + l[8], line.start + line.size - line.eol);
                e.note = bytesOf(l[9]);
                line.entry = e;
                line.before = before; // the entry whose fields a line that leaves some out takes
                before = e;
                this.entries.push(e);
            } else if (line.kind === REFUSED) {
                line.why = l[4];
            }
            this.lines.push(line);
        });
        // New lines end as the list's first line does; LF in a list without one.
        const ended = this.lines.find((line) => line.eol > 0);
        this.eol = ended ? this.lineEnd(ended) : new Uint8Array([10]);
    }

    lineBytes(line) {
        return this.raw.subarray(line.start, line.start + line.size);
    }

    lineEnd(line) {
        return this.raw.subarray(line.start + line.size - line.eol, line.start + line.size);
    }

    // Applies one edit, a list of [entry, state] (null deletes it), as one
    // step that undo takes back whole; false when it changes nothing.
    apply(changes) {
        const step = changes.map(([e, after]) => ({ e, before: e.cur, after })).filter((s) => !sameState(s.before, s.after));
        if (!step.length) return false;
        for (const s of step) s.e.cur = s.after;
        this.done.push(step);
        this.undone = [];
        this.version++;
        return true;
    }

    // A new entry, added by the edit that gives it its state.
    create() {
        const e = new Entry(null, null);
        this.entries.push(e);
        return e;
    }

    undo() {
        const step = this.done.pop();
        if (!step) return null;
        for (let i = step.length - 1; i >= 0; i--) step[i].e.cur = step[i].before;
        this.undone.push(step);
        this.version++;
        return step;
    }

    redo() {
        const step = this.undone.pop();
        if (!step) return null;
        for (const s of step) s.e.cur = s.after;
        this.done.push(step);
        this.version++;
        return step;
    }

    // Every line in list order with its entry, deleted ones too, and the
    // entries added here placed by offset: each goes before the first entry
    // of the list that starts after it, or at the end.
    order() {
        const added = this.entries
            .filter((e) => !e.line && e.cur)
            .sort((a, b) => a.cur.offset - b.cur.offset || a.id - b.id);
        const rows = [];
        let k = 0;
        for (const line of this.lines) {
            const e = line.entry;
            if (e && e.cur) while (k < added.length && added[k].cur.offset < e.cur.offset) rows.push({ line: null, entry: added[k++] });
            rows.push({ line, entry: e || null });
        }
        while (k < added.length) rows.push({ line: null, entry: added[k++] });
        return rows;
    }

    // The entries that are there now, in list order.
    live() {
        return this.order()
            .filter((r) => r.entry && r.entry.cur)
            .map((r) => r.entry);
    }

    // The list file the edits give. Every line is kept byte for byte but an
    // edited entry, rewritten with all five fields and the text that followed
    // its name; a line that takes fields from the entry before is rewritten
    // too when that entry is no longer the same one, unchanged, right before it.
    bytes() {
        const parts = [this.raw.subarray(0, this.bom)];
        let ended = true, before = null;
        const put = (b) => {
            if (!ended) parts.push(this.eol);
            parts.push(b);
            ended = b.length === 0 || b[b.length - 1] === 10;
        };
        for (const { line, entry: e } of this.order()) {
            if (!e) {
                put(this.lineBytes(line));
                continue;
            }
            if (!e.cur) continue;
            const kept =
                line &&
                !e.edited() &&
                (e.full || (before !== null && before === line.before && !before.edited()));
            if (kept) put(this.lineBytes(line));
            else put(concatBytes([entryText(e.cur), e.tail, line ? this.lineEnd(line) : this.eol]));
            before = e;
        }
        return concatBytes(parts);
    }
}

// An entry line with all five fields: 0x%08X 0x0000 W H NAME.
function entryText(s) {
    const head = hex8(s.offset) + " 0x0000 " + s.w + " " + s.h + " ";
    return concatBytes([bytesOf(head), s.name]);
}
