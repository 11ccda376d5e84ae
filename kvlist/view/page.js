// The page around the raw view: the list panel, the selected entry and its
// picture, keys and buttons, the address that holds the view's place, and
// saving the list.

const $ = (id) => document.getElementById(id);
const NUMBER_MAX = 999; // a width or height takes three characters in a list line

// What kvlist gave: the list read (kv-data) and the firmware's bytes
// (kv-bytes), decoded once; their text is let go.
const data = JSON.parse($("kv-data").textContent);
const firmware = fromBase64($("kv-bytes").textContent);
$("kv-bytes").textContent = "";
const model = new ListModel(data);
const firmwareName = shownBytes(bytesOf(data.firmware));
const saveName = (() => {
    const path = data.list === null ? "" : new TextDecoder().decode(bytesOf(data.list));
    return path.split(/[\\/]/).pop() || "pictures.lst";
})();

let selected = null; // the selected entry
let problems = new Map(); // each entry there now: what is wrong with it, as the sheet words it
let outlines = []; // what the view outlines
let surveyed = -1; // the model's version the two above were made from
let saved = savedStates(); // each entry's state as last saved, or as the list came
let dirty = false;

const view = new RawView(
    firmware,
    data.first,
    {
        view: $("view"),
        pixels: $("pixels"),
        ruler: $("ruler"),
        gutter: $("gutter"),
        vbar: $("vbar"),
        hbar: $("hbar"),
    },
    {
        marks: () => outlines,
        moved: showPlace,
        hover: showHover,
        click: clickAt,
        dragged: addDragged,
    }
);

// The list file is a function of the entries' states: it is unsaved when one
// of them differs from what was saved.
function savedStates() {
    return new Map(model.entries.map((e) => [e, e.cur]));
}

function unsaved() {
    return model.entries.some((e) => !sameState(e.cur, saved.has(e) ? saved.get(e) : null));
}

// Names as text, made once for each name's bytes (an edit makes new bytes).
const shownCache = new WeakMap();

function shown(bytes) {
    let text = shownCache.get(bytes);
    if (text === undefined) shownCache.set(bytes, (text = shownBytes(bytes)));
    return text;
}

function say(text) {
    $("message").textContent = text;
}

// Problems and outlines for the entries there now: the picture's state as
// kvpull finds it, the kvpush window, the bytes the page holds, and
// entries that share bytes with another.
function survey() {
    if (surveyed === model.version) return;
    surveyed = model.version;
    problems = new Map();
    const spans = [];
    for (const e of model.live()) {
        const s = e.cur, words = [];
        const state = pictureState(s, data.fileSize, data.maxPixels);
        if (state) words.push(state);
        if (!(s.offset >= data.window[0] && s.offset <= data.window[1])) words.push("outside the kvpush window");
        if (!state) {
            const end = s.offset + s.w * s.h * 2;
            if (s.offset < data.first || end > data.first + data.held) words.push("outside the bytes this page holds");
            spans.push({ e, start: s.offset, end });
        }
        problems.set(e, words);
    }
    // Sorted by start, a span overlaps one before it exactly when it starts
    // before the furthest end so far.
    spans.sort((a, b) => a.start - b.start || a.end - b.end);
    const overlapping = new Set();
    let reach = null;
    for (const sp of spans) {
        if (reach && sp.start < reach.end) overlapping.add(sp.e).add(reach.e);
        if (!reach || sp.end > reach.end) reach = sp;
    }
    for (const e of overlapping) problems.get(e).push("overlaps another entry");
    dirty = unsaved();
}

function refreshOutlines() {
    outlines = [];
    for (const [e, words] of problems)
        outlines.push({ offset: e.cur.offset, w: e.cur.w, h: e.cur.h, label: shown(e.cur.name), selected: e === selected, flagged: words.length > 0 });
}

// The panel: every line's entry in list order, refused lines with their
// refusal. Nodes are kept and only redrawn when what they show changes.
const panelNodes = new Map();

function panelNode(key, sig, fill) {
    let li = panelNodes.get(key);
    if (!li) {
        li = document.createElement("li");
        panelNodes.set(key, li);
    }
    if (li.sig !== sig) {
        li.sig = sig;
        li.replaceChildren();
        fill(li);
    }
    return li;
}

function part(parent, tag, cls, text) {
    const el = document.createElement(tag);
    el.className = cls;
    el.textContent = text;
    parent.appendChild(el);
    return el;
}

function entryNode(e) {
    const s = e.cur, words = problems.get(e) || [], chosen = e === selected;
    const known = panelNodes.get(e);
    if (known && known.state === s && known.words === words.join() && known.chosen === chosen) return known;
    const where = hex8(s.offset) + ", " + s.w + " \u00d7 " + s.h;
    const line = e.line ? "line " + e.line.number + (e.edited() ? ", edited" : "") : "new";
    const li = panelNode(e, [where, line, shown(s.name), words.join(), chosen].join("\n"), (li) => {
        li.className = "entry" + (chosen ? " selected" : "") + (words.length ? " flagged" : "");
        li.dataset.id = e.id;
        part(li, "span", "name", shown(s.name));
        li.append(" ");
        part(li, "span", "line", line);
        part(li, "div", "where", where);
        if (e.note.length) part(li, "div", "note", shown(e.note));
        for (const w of words) part(li, "div", "problem", w);
    });
    [li.state, li.words, li.chosen] = [s, words.join(), chosen];
    return li;
}

function refusedNode(line) {
    return panelNode(line, "refused", (li) => {
        li.className = "refused";
        part(li, "span", "line", "line " + line.number + ": ");
        part(li, "span", "why", line.why);
        const text = model.lineBytes(line).subarray(0, line.size - line.eol);
        part(li, "div", "text", shownBytes(text));
    });
}

let panelOrder = [];

function renderPanel() {
    const nodes = [];
    const byId = new Map();
    for (const { line, entry } of model.order()) {
        if (entry && entry.cur) {
            nodes.push(entryNode(entry));
            byId.set(String(entry.id), entry);
        } else if (line && line.kind === REFUSED) nodes.push(refusedNode(line));
    }
    renderPanel.byId = byId;
    if (nodes.length !== panelOrder.length || nodes.some((n, i) => n !== panelOrder[i])) {
        $("entries").replaceChildren(...nodes);
        panelOrder = nodes;
    }
}

// The selected entry: its fields, what is wrong with it, and its picture
// at twice its size as kvpull writes it.
function renderChosen() {
    const box = $("chosen-text"), canvas = $("preview");
    box.replaceChildren();
    canvas.hidden = true;
    if (!selected) {
        box.textContent = "No entry selected: n selects the next one, dragging on the view adds one.";
        return;
    }
    const s = selected.cur, words = problems.get(selected) || [];
    part(box, "b", "name", shown(s.name));
    part(box, "span", "where", " " + hex8(s.offset) + ", " + s.w + " \u00d7 " + s.h);
    for (const w of words) part(box, "div", "problem", w);
    const at = s.offset - data.first;
    if (!words.some((w) => /too large|no pixels|past the end|outside the bytes/.test(w))) {
        canvas.width = s.w;
        canvas.height = s.h;
        canvas.style.width = 2 * s.w + "px";
        canvas.style.height = 2 * s.h + "px";
        canvas.getContext("2d").putImageData(pictureImage(firmware, at, s.w, s.h), 0, 0);
        canvas.hidden = false;
    }
}

function refresh() {
    if (selected && !selected.cur) selected = null; // deleted, or its adding undone
    survey();
    refreshOutlines();
    renderPanel();
    renderChosen();
    document.title = (dirty ? "* " : "") + "kvlist view: " + firmwareName;
    $("save").classList.toggle("unsaved", dirty);
    view.schedule();
}

// Selecting an entry; with jump, the view goes to it at its width, a few
// rows above its first one.
function select(e, jump) {
    selected = e;
    refresh();
    if (!e) return;
    const node = panelNodes.get(e);
    if (node && node.scrollIntoView) node.scrollIntoView({ block: "nearest" });
    if (jump) jumpTo(e);
    else if (!onScreen(e)) jumpTo(e);
}

function jumpTo(e) {
    const s = e.cur;
    if (s.w >= 1 && s.w <= VIEW_WIDTH_MAX) view.setWidth(s.w);
    const margin = Math.min(8, Math.floor(view.rows() / 4));
    view.goTo(s.offset - margin * view.stride());
    if (s.offset < data.first || s.offset >= data.first + data.held) say(hex8(s.offset) + " lies outside the bytes this page holds");
}

function onScreen(e) {
    const d = e.cur.offset - view.top;
    return d >= 0 && d < view.rows() * view.stride();
}

function edit(changes) {
    if (!model.apply(changes)) return false;
    refresh();
    return true;
}

function needSelected() {
    if (!selected) say("Select an entry first: n, p, or a click on it in the list or the view.");
    return selected;
}

function moveBy(bytes) {
    const s = selected.cur;
    const offset = clamp(s.offset + bytes, 0, 0xffffffff);
    if (!edit([[selected, { ...s, offset }]])) return;
    if (bytes % 2) view.scrollBytes(bytes); // the view follows to the entry's parity
    if (!onScreen(selected)) jumpTo(selected);
}

function rowBytes() {
    const w = selected.cur.w;
    return 2 * (w >= 1 && w <= NUMBER_MAX ? w : view.width);
}

function resize(dw, dh) {
    const s = selected.cur;
    const w = clamp(s.w + dw, 1, NUMBER_MAX), h = clamp(s.h + dh, 1, NUMBER_MAX);
    if (!edit([[selected, { ...s, w, h }]])) return;
    if (dw && w <= VIEW_WIDTH_MAX) {
        // The view takes the entry's new width, its first row where it was.
        const row = Math.floor((s.offset - view.top) / view.stride());
        view.setWidth(w);
        view.goTo(s.offset - clamp(row, 0, view.rows() - 1) * view.stride());
    }
}

function remove() {
    const live = model.live(), i = live.indexOf(selected);
    const next = live[i + 1] || live[i - 1] || null;
    const name = shown(selected.cur.name);
    edit([[selected, null]]);
    say("Deleted " + name + ": Ctrl+Z brings it back.");
    select(next, true);
}

// A name kvpull takes: 1 to nameMax bytes, no blanks or control characters.
function nameProblem(text) {
    const b = new TextEncoder().encode(text);
    if (b.length === 0) return "A name needs at least one character.";
    if (b.length > data.nameMax) return b.length + " bytes: a name holds at most " + data.nameMax + ".";
    for (const c of b) if (c <= 0x20 || c === 0x7f) return "A name holds no blanks or control characters.";
    return "";
}

// The name with "_" and a number after it, cut to fit at a character's start.
function numbered(name, k) {
    const tail = bytesOf("_" + k);
    let keep = Math.min(name.length, data.nameMax - tail.length);
    while (keep > 0 && keep < name.length && (name[keep] & 0xc0) === 0x80) keep--;
    return concatBytes([name.subarray(0, keep), tail]);
}

function split() {
    const e = selected, s = e.cur;
    if (!(s.w >= 1 && s.h >= 2)) return say("Only an entry of 1 pixel or wider and 2 rows or taller splits.");
    ask("Split " + shown(s.name) + " (" + s.h + " rows) into how many frames of equal height?", "2", (text) => {
        const n = Number(text.trim());
        if (!/^\d+$/.test(text.trim()) || n < 2) return "Give a number of frames, 2 or more.";
        if (s.h % n) return s.h + " rows do not split into " + n + " frames of equal height.";
        return "";
    }, (text) => {
        const n = Number(text.trim()), h = s.h / n, changes = [[e, { ...s, h }]];
        for (let k = 1; k < n; k++)
            changes.push([model.create(), { offset: s.offset + k * h * 2 * s.w, w: s.w, h, name: numbered(s.name, k + 1) }]);
        if (edit(changes)) say("Split into " + n + " frames of " + h + " rows.");
    });
}

function rename() {
    const e = selected, s = e.cur;
    let value = "";
    try {
        value = new TextDecoder("utf-8", { fatal: true }).decode(s.name);
    } catch (err) {
        value = ""; // a name of bytes that are no UTF-8 is typed anew
    }
    ask("New name for " + shown(s.name) + ":", value, nameProblem, (text) => {
        edit([[e, { ...s, name: new TextEncoder().encode(text) }]]);
    });
}

function undoRedo(redo) {
    const step = redo ? model.redo() : model.undo();
    if (!step) return say(redo ? "Nothing to redo." : "Nothing to undo.");
    const back = step.find((s) => s.e.cur);
    select(back ? back.e : null, false);
    say(redo ? "Redone." : "Undone.");
}

// A click on the view selects the entry outlined there; a drag adds one.
function clickAt(cell) {
    let found = null;
    for (const e of model.live()) {
        const s = e.cur;
        if (s.w !== view.width || mod(s.offset - view.top, 2) || (problems.get(e) || []).some((w) => /too large|no pixels/.test(w))) continue;
        if (cell.offset >= s.offset && cell.offset < s.offset + s.w * s.h * 2 && (!found || e === selected || s.offset > found.cur.offset)) found = e;
    }
    select(found, false);
}

// The rows dragged over, from the first pixel of the rectangle, at the
// view's width: where a picture lies once the view has its width.
function addDragged(from, to) {
    const row = Math.min(from.row, to.row), col = Math.min(from.col, to.col);
    const h = Math.min(Math.abs(to.row - from.row) + 1, NUMBER_MAX);
    const offset = view.top + row * view.stride() + 2 * col;
    if (view.width > NUMBER_MAX) return say("A list line holds widths up to " + NUMBER_MAX + ".");
    if (offset > 0xffffffff) return say("A list line holds offsets up to 0xFFFFFFFF.");
    const e = model.create();
    const name = bytesOf("at" + hex8(offset).slice(2));
    if (edit([[e, { offset, w: view.width, h, name }]])) {
        select(e, false);
        say("Added " + shown(name) + ": F2 renames it.");
    }
}

function save() {
    const out = model.bytes();
    const url = URL.createObjectURL(new Blob([out], { type: "application/octet-stream" }));
    const a = document.createElement("a");
    a.href = url;
    a.download = saveName;
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
    saved = savedStates();
    dirty = false;
    refresh();
    const told = "Saved " + saveName + ", " + model.live().length + " entries";
    let text = null;
    try {
        text = new TextDecoder("utf-8", { fatal: true, ignoreBOM: true }).decode(out);
    } catch (err) {
        return say(told + "; not copied: it holds bytes that are no UTF-8 text.");
    }
    if (!navigator.clipboard || !navigator.clipboard.writeText) return say(told + "; this browser gives no clipboard here.");
    navigator.clipboard.writeText(text).then(
        () => say(told + ", and copied to the clipboard."),
        () => say(told + "; the browser kept it from the clipboard.")
    );
    say(told + ".");
}

// The dialog that asks for a number of frames or a name; check gives what is
// wrong with the text, or "".
function ask(label, value, check, done) {
    const dialog = $("ask"), input = $("ask-input");
    $("ask-label").textContent = label;
    input.value = value;
    const valid = () => {
        const why = check(input.value);
        $("ask-error").textContent = why;
        $("ask-ok").disabled = why !== "";
        return why === "";
    };
    input.oninput = valid;
    dialog.onclose = () => {
        dialog.onclose = null;
        if (dialog.returnValue === "ok" && valid()) done(input.value);
    };
    dialog.returnValue = "";
    dialog.showModal();
    input.select();
    valid();
}

const commands = {
    next: () => step(1),
    previous: () => step(-1),
    left: () => (selected ? moveBy(-2) : view.scrollBytes(-2)),
    right: () => (selected ? moveBy(2) : view.scrollBytes(2)),
    up: () => (selected ? moveBy(-rowBytes()) : view.scrollRows(-1)),
    down: () => (selected ? moveBy(rowBytes()) : view.scrollRows(1)),
    byteBack: () => (selected ? moveBy(-1) : view.scrollBytes(-1)),
    byteOn: () => (selected ? moveBy(1) : view.scrollBytes(1)),
    narrower: () => (selected ? resize(-1, 0) : view.setWidth(view.width - 1)),
    wider: () => (selected ? resize(1, 0) : view.setWidth(view.width + 1)),
    shorter: () => needSelected() && resize(0, -1),
    taller: () => needSelected() && resize(0, 1),
    remove: () => needSelected() && remove(),
    split: () => needSelected() && split(),
    rename: () => needSelected() && rename(),
    clear: () => select(null, false),
    undo: () => undoRedo(false),
    redo: () => undoRedo(true),
    save,
    parity: () => view.scrollBytes(mod(view.top, 2) ? -1 : 1),
    pageUp: () => view.scrollRows(-Math.max(1, view.rows() - 1)),
    pageDown: () => view.scrollRows(Math.max(1, view.rows() - 1)),
    home: () => view.home(),
    end: () => view.end(),
    goto: () => $("offset").select(),
    viewNarrower: () => view.setWidth(view.width - 1),
    viewWider: () => view.setWidth(view.width + 1),
    zoomIn: () => view.setZoom(view.zoom + 1),
    zoomOut: () => view.setZoom(view.zoom - 1),
    help: () => ($("help").open = !$("help").open),
};

const keys = {
    n: "next", p: "previous", ArrowLeft: "left", ArrowRight: "right", ArrowUp: "up", ArrowDown: "down",
    ",": "byteBack", ".": "byteOn", w: "narrower", W: "wider", h: "shorter", H: "taller",
    Delete: "remove", s: "split", F2: "rename", Escape: "clear", PageUp: "pageUp", PageDown: "pageDown",
    Home: "home", End: "end", g: "goto", "[": "viewNarrower", "]": "viewWider", "+": "zoomIn", "=": "zoomIn",
    "-": "zoomOut", "?": "help",
};

function commandFor(ev) {
    if (ev.altKey) return null;
    if (ev.ctrlKey || ev.metaKey) {
        const k = ev.key.toLowerCase();
        return k === "s" ? "save" : k === "z" ? (ev.shiftKey ? "redo" : "undo") : k === "y" ? "redo" : null;
    }
    return keys[ev.key] || null;
}

// n and p: the entry after or before the selected one in list order; with
// none selected, the first one from the view's top on, or the last before it.
function step(dir) {
    const live = model.live();
    if (!live.length) return say("The list has no entries: drag on the view to add one.");
    let i = live.indexOf(selected);
    if (i < 0) {
        i = dir > 0 ? live.findIndex((e) => e.cur.offset >= view.top) : live.map((e) => e.cur.offset < view.top).lastIndexOf(true);
        if (i < 0) i = dir > 0 ? 0 : live.length - 1;
    } else if (!live[i + dir]) return say(dir > 0 ? "That is the last entry." : "That is the first entry.");
    else i += dir;
    select(live[i], true);
}

document.addEventListener("keydown", (ev) => {
    if ($("ask").open) return; // the dialog's own keys
    const name = commandFor(ev);
    const t = ev.target;
    if (t instanceof HTMLInputElement || t instanceof HTMLSelectElement) {
        if (name === "save") {
            ev.preventDefault();
            save();
        } else if (ev.key === "Escape") t.blur();
        return;
    }
    if (!name) return;
    ev.preventDefault();
    commands[name]();
});

document.addEventListener("click", (ev) => {
    const button = ev.target.closest("[data-command]");
    if (button) {
        commands[button.dataset.command]();
        button.blur();
        return;
    }
    const li = ev.target.closest("#entries li.entry");
    if (li) select(renderPanel.byId.get(li.dataset.id), true);
});

function parseHex(text) {
    const m = /^\s*(?:0x)?([0-9a-f]{1,8})\s*$/i.exec(text || "");
    return m ? parseInt(m[1], 16) : null;
}

$("offset").addEventListener("keydown", (ev) => {
    if (ev.key !== "Enter") return;
    const offset = parseHex(ev.target.value);
    if (offset === null) return say("An offset is up to 8 hexadecimal digits, 0x or not.");
    ev.target.blur(); // first, so that the field shows the place the view went to
    view.goTo(offset);
});
$("width").addEventListener("change", (ev) => view.setWidth(Number(ev.target.value)));
$("width").addEventListener("keydown", (ev) => ev.key === "Enter" && ev.target.blur());
$("zoom").addEventListener("change", (ev) => {
    view.setZoom(Number(ev.target.value));
    ev.target.blur();
});

// The address holds the view's place, so that it can be bookmarked and sent:
// #offset=0x0054DF26&width=128&parity=0&zoom=2. Written a moment after the
// view stops, so that scrolling does not flood the browser's history.
let addressTimer = 0;

function showPlace() {
    if (document.activeElement !== $("offset")) $("offset").value = hex8(view.top);
    if (document.activeElement !== $("width")) $("width").value = view.width;
    $("zoom").value = view.zoom;
    $("parity").textContent = "parity " + mod(view.top, 2);
    clearTimeout(addressTimer);
    addressTimer = setTimeout(() => {
        const hash = "#offset=" + hex8(view.top) + "&width=" + view.width + "&parity=" + mod(view.top, 2) + "&zoom=" + view.zoom;
        if (location.hash !== hash) history.replaceState(null, "", hash);
    }, 300);
}

// Goes where the address says, and selects the entry that starts there.
function readAddress() {
    const q = new URLSearchParams(location.hash.replace(/^#/, ""));
    const width = Number(q.get("width")), zoom = Number(q.get("zoom")), parity = q.get("parity");
    if (Number.isInteger(width) && width >= 1) view.setWidth(width);
    if (Number.isInteger(zoom) && zoom >= 1) view.setZoom(zoom);
    let offset = parseHex(q.get("offset"));
    if (offset === null) return;
    if (parity === "0" || parity === "1") offset += Number(parity) - mod(offset, 2);
    view.goTo(offset);
    const starts = model.live().filter((e) => e.cur.offset === offset);
    const e = starts.find((x) => x.cur.w === view.width) || starts[0];
    if (e) select(e, false);
}

function showHover(cell) {
    if (!cell) return ($("hover").textContent = "");
    let text = hex8(cell.offset) + ", row " + cell.row + " column " + cell.col + ": ";
    if (cell.value === null) text += "not held";
    else {
        const [r, g, b] = deviceRgb(cell.value);
        text += "0x" + cell.value.toString(16).toUpperCase().padStart(4, "0") + ", red " + (r >> 3) + " green " + (g >> 3) + " blue " + (b >> 3);
        if (cell.value & 0x8000) text += ", bit 15 set";
    }
    const inside = model.live().filter((e) => cell.offset >= e.cur.offset && cell.offset < e.cur.offset + Math.max(0, e.cur.w * e.cur.h * 2));
    if (inside.length) text += ", in " + inside.map((e) => shown(e.cur.name)).join(", ");
    $("hover").textContent = text;
}

window.addEventListener("hashchange", readAddress);
window.addEventListener("resize", () => {
    view.layout();
    view.schedule();
});
window.addEventListener("beforeunload", (ev) => {
    if (!dirty) return;
    ev.preventDefault();
    ev.returnValue = "";
});

(function start() {
    $("title").textContent = firmwareName + (data.list === null ? "" : ", list " + shownBytes(bytesOf(data.list)));
    $("range").textContent = data.range
        ? hex8(data.range[0]) + " to " + hex8(data.range[1]) + " and the " + data.pastLast + " bytes after it, of " + data.fileSize + " bytes"
        : data.fileSize + " bytes";
    const live = model.live().length, refused = model.lines.filter((l) => l.kind === REFUSED).length;
    say(live + (live === 1 ? " entry" : " entries") + (refused ? ", " + refused + (refused === 1 ? " refused line" : " refused lines") : "") + ". Keys: see below the list.");
    // Without a place in the address, the view opens at the list's first entry that the page holds.
    view.goTo(data.first);
    const first = model.live().find((e) => e.cur.offset >= data.first && e.cur.offset < data.first + data.held);
    if (first && !/offset=/.test(location.hash)) jumpTo(first);
    readAddress();
    refresh();
    showPlace();
    view.draw();
    performance.mark("first-screen");
})();
