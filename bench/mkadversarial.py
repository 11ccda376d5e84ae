#!/usr/bin/env python3
"""Version pairs made to mislead `kvlist move`, with the answer for every list line.

    bench/mkadversarial.py FOLDER [--seed N] [--kib N]

Writes FOLDER/OLD.bin, OLD.lst, NEW.bin and ANSWERS; the same seed gives the same files.

OLD is a row of scenes, each between two anchors (unique asymmetric pictures, listed), with
filler around them (random bytes, zeros, 0xFF, short repeated patterns). A scene holds one of:
a unique asymmetric picture; 2 or 3 identical copies of a picture, each listed or not, back to
back or apart; a plain picture, sometimes inside a longer run of its colour; a picture of rows
all alike, or a checker; icons of one ground colour (2 or 3 grounds per file). The list mixes
in lines kvpull refuses. Widths 8 to 64, heights 4 to 48, offsets odd and even.

NEW copies the filler with bytes inserted and deleted, and each picture kept, redrawn (1 to 5 %
of its distinctive pixels, those unlike its most common colour), or gone (its bytes replaced by
random ones); a gone icon may leave a look-alike (another icon on its ground) elsewhere between
the same anchors.

ANSWERS has one line per entry or refused line, in list order:
    LINE NAME EXPECTED_WORD EXPECTED_OFFSET TRUE_OFFSET
offsets hexadecimal or '-', words same, moved, changed, not-found or refused. TRUE_OFFSET is
where the picture's bytes (intact or redrawn) really are in NEW; for a picture inside a longer
run of its own bytes (a plain colour in a run of it) that is as long in NEW as in OLD, its place
in the run, as bytes deleted on one side and inserted on the other leave no trace. Between the
nearest intact anchors before and after an entry, its bytes' places (overlapping ones too,
listed or not) are counted in OLD; in NEW their exact places plus the redrawn copies of them
that can be told apart. When the counts match and the entry's place among them in OLD, taken
in order, leads to its true place, the entry is expected found there (changed when redrawn);
otherwise not found. A picture with fewer than 16 distinctive pixels, once redrawn, cannot be
told from its surroundings: not found.
"""
import argparse
import os
import random
import struct

FEW_DISTINCTIVE = 16  # a redrawn picture with fewer distinctive pixels is not to be found


def pack(values):
    return struct.pack("<%dH" % len(values), *values)


def rgb(r, g, b):
    return (r & 31) << 10 | (g & 31) << 5 | (b & 31)


class Pictures:
    """Procedural pictures, drawn from one random generator."""

    def __init__(self, rng):
        self.rng = rng
        self.grounds = [rng.randrange(0x8000) for _ in range(rng.choice([2, 3]))]
        self.ink = [rng.randrange(0x8000) for _ in range(4)]  # icon colours, shared by look-alikes

    def size(self):
        return self.rng.randrange(8, 65), self.rng.randrange(4, 49)

    def asymmetric(self, w, h, noise=4):
        """A gradient with a band and noise: no two alike, nothing mirrored."""
        rng = self.rng
        a, b, c, d = rng.randrange(1, 9), rng.randrange(1, 9), rng.randrange(32), rng.randrange(2, 7)
        out = []
        for y in range(h):
            for x in range(w):
                out.append(rgb(x * 31 // (w - 1) + rng.randrange(noise), (x * a + y * b + c) // d,
                               (y * 31 // max(1, h - 1)) ^ (x * y & 7)))
        return out

    def plain(self, w, h):
        rng = self.rng
        roll = rng.random()
        # Black and byte-doubled colours also match zero filler and runs of one byte.
        colour = 0 if roll < 0.2 else rng.randrange(0x80) * 0x101 if roll < 0.35 else rng.randrange(0x8000)
        return [colour] * (w * h)

    def rows(self, w, h):
        row = self.asymmetric(w, 1, noise=8)
        return row * h

    def checker(self, w, h):
        rng = self.rng
        one, two = rng.sample(range(0x8000), 2)
        cw, ch = rng.randrange(1, 9), rng.randrange(1, 9)
        sx, sy = rng.randrange(cw), rng.randrange(ch)
        return [one if ((x + sx) // cw + (y + sy) // ch) % 2 else two for y in range(h) for x in range(w)]

    def icon(self, w, h, ground):
        """Shapes of the file's icon colours over 20 to 40 % of a ground colour."""
        rng = self.rng
        out = [ground] * (w * h)
        want = int(w * h * rng.uniform(0.2, 0.4))
        drawn = 0
        colours = rng.sample(self.ink, rng.choice([1, 2, 3]))
        while drawn < want:
            cx, cy = rng.randrange(w), rng.randrange(h)
            rx, ry = rng.randrange(1, max(2, w // 3)), rng.randrange(1, max(2, h // 3))
            colour = rng.choice(colours)
            for y in range(max(0, cy - ry), min(h, cy + ry + 1)):
                for x in range(max(0, cx - rx), min(w, cx + rx + 1)):
                    if (x - cx) ** 2 * ry * ry + (y - cy) ** 2 * rx * rx <= rx * rx * ry * ry and drawn < want:
                        drawn += out[y * w + x] == ground
                        out[y * w + x] = colour
        return out


def distinctive(values):
    """Indices of the pixels unlike the picture's most common colour."""
    counts = {}
    for v in values:
        counts[v] = counts.get(v, 0) + 1
    mode = max(sorted(counts), key=lambda v: counts[v])
    return [i for i, v in enumerate(values) if v != mode]


def redraw(rng, values):
    """1 to 5 % of the distinctive pixels (of all, for a plain picture) given new values."""
    out = list(values)
    pool = distinctive(values) or list(range(len(values)))
    for i in rng.sample(pool, max(1, round(len(pool) * rng.uniform(0.01, 0.05)))):
        v = out[i]
        while v == out[i]:
            v = rng.randrange(0x8000)
        out[i] = v
    return out


class Placement:
    """A picture at its place in OLD; several placements may hold the same pixels."""

    def __init__(self, values, w, h, name, anchor=False):
        self.values, self.w, self.h, self.name, self.anchor = values, w, h, name, anchor
        self.data = pack(values)
        self.fate = "keep"
        self.lookalike = None  # for a gone icon: the values of the icon left elsewhere
        self.old = self.new = None


def filler(rng, n):
    kind = rng.random()
    if kind < 0.4:
        return rng.randbytes(n)
    if kind < 0.55:
        return bytes(n)
    if kind < 0.65:
        return b"\xff" * n
    pattern = rng.randbytes(rng.randrange(1, 8))
    return (pattern * (n // len(pattern) + 1))[:n]


def filler_size(rng):
    roll = rng.random()
    return 0 if roll < 0.15 else rng.randrange(1, 33) if roll < 0.5 else rng.randrange(33, 1500)


class Maker:
    def __init__(self, seed, size):
        self.rng = random.Random("adversarial-%d" % seed)
        self.draw = Pictures(self.rng)
        self.size = size
        self.segments = []  # bytes of filler, or a Placement
        self.count = 0

    def name(self, prefix):
        self.count += 1
        return "%s%04d" % (prefix, self.count)

    def fill(self, n=None):
        n = filler_size(self.rng) if n is None else n
        if n:
            self.segments.append(filler(self.rng, n))

    def put(self, values, w, h, prefix, listed=True, anchor=False):
        p = Placement(values, w, h, self.name(prefix) if listed else None, anchor)
        self.segments.append(p)
        return p

    def fate(self, p, keep, redrawn, gone):
        roll = self.rng.random() * (keep + redrawn + gone)
        p.fate = "keep" if roll < keep else "redraw" if roll < keep + redrawn else "gone"

    def anchor(self):
        w, h = self.draw.size()
        p = self.put(self.draw.asymmetric(w, h), w, h, "anchor", anchor=True)
        self.fate(p, 0.92, 0.04, 0.04)

    def scene(self):
        rng, draw = self.rng, self.draw
        kind = rng.random()
        self.fill()
        if kind < 0.2:  # a unique asymmetric picture
            w, h = draw.size()
            self.fate(self.put(draw.asymmetric(w, h), w, h, "unique"), 0.7, 0.15, 0.15)
        elif kind < 0.45:  # identical copies, listed or not, one of them redrawn or gone
            w, h = draw.size()
            values = rng.choice([draw.asymmetric, draw.asymmetric, draw.rows, draw.checker, draw.plain])(w, h)
            copies = rng.choice([2, 2, 3])
            listed = [rng.random() < 0.6 for _ in range(copies)]
            listed[rng.randrange(copies)] = True
            placed = []
            for k in range(copies):
                if k:
                    between = rng.random()
                    if between < 0.35:
                        pass  # back to back
                    elif between < 0.75:
                        self.fill(rng.randrange(1, 600))
                    else:
                        ow, oh = draw.size()
                        self.fill(rng.randrange(0, 40))
                        self.fate(self.put(draw.asymmetric(ow, oh), ow, oh, "other"), 0.8, 0.1, 0.1)
                        self.fill(rng.randrange(0, 40))
                placed.append(self.put(values, w, h, "twin", listed[k]))
            roll = rng.random()
            if roll > 0.35:
                rng.choice(placed).fate = "gone" if roll < 0.7 else "redraw"
        elif kind < 0.6:  # a plain picture, sometimes inside a longer run of its colour
            w, h = draw.size()
            values = draw.plain(w, h)
            run = struct.pack("<H", values[0])
            inside = rng.random() < 0.5
            if inside:
                self.segments.append(run * rng.randrange(1, 200))
            self.fate(self.put(values, w, h, "plain"), 0.75, 0.1, 0.15)
            if inside and rng.random() < 0.7:
                self.segments.append(run * rng.randrange(1, 200) + run[:rng.randrange(2)])
        elif kind < 0.75:  # rows all alike, or a checker
            w, h = draw.size()
            values = (draw.rows if rng.random() < 0.5 else draw.checker)(w, h)
            self.fate(self.put(values, w, h, "rows"), 0.7, 0.15, 0.15)
        else:  # icons on one ground; a gone one may leave a look-alike elsewhere
            ground = rng.choice(draw.grounds)
            w, h = draw.size()
            for k in range(rng.randrange(2, 6)):
                if k:
                    self.fill(0 if rng.random() < 0.3 else None)
                if rng.random() < 0.3:
                    w, h = draw.size()
                p = self.put(draw.icon(w, h, ground), w, h, "icon")
                self.fate(p, 0.6, 0.15, 0.25)
                if p.fate == "gone" and rng.random() < 0.6:
                    p.lookalike = draw.icon(w, h, ground)
        self.fill()

    def make_old(self):
        self.fill(self.rng.randrange(1, 300))
        self.anchor()
        while sum(len(s) if isinstance(s, bytes) else len(s.data) for s in self.segments) < self.size - 12000:
            self.scene()
            self.anchor()
        self.fill(self.rng.randrange(1, 300))
        old = bytearray()
        for s in self.segments:
            if isinstance(s, Placement):
                s.old = len(old)
                s = s.data
            old += s
        return bytes(old)

    def edit_filler(self, data):
        """Bytes inserted and deleted, odd and even amounts; now and then more of its own kind."""
        rng = self.rng
        data = bytearray(data)
        for _ in range(rng.choice([0, 0, 1, 1, 2])):
            at = rng.randrange(len(data) + 1)
            roll = rng.random()
            if roll < 0.45:
                data[at:at] = rng.randbytes(rng.choice([1, 2, 3, 5, 16, 99, 512]))
            elif roll < 0.85:
                n = rng.choice([1, 2, 3, 7, 64, 255])
                del data[at:at + n]
            elif data:  # the filler's own bytes again: a run grows
                n = rng.choice([1, 2, 4, 7, 20])
                data[at:at] = (bytes(data[max(0, at - 2):at]) or bytes(data[:2])) * n
        return bytes(data)

    def make_new(self):
        """NEW, and the placements of the look-alikes left in it."""
        rng = self.rng
        # Each look-alike goes at another filler boundary of its own scene (between the same anchors).
        scene_start, lookalikes = 0, {}
        for i, s in enumerate(self.segments):
            if isinstance(s, Placement) and s.anchor:
                scene_start = i
            if isinstance(s, Placement) and s.lookalike is not None:
                scene_end = next(j for j in range(i + 1, len(self.segments))
                                 if isinstance(self.segments[j], Placement) and self.segments[j].anchor)
                spots = [j for j in range(scene_start + 1, scene_end + 1) if j not in (i, i + 1)]
                if spots:
                    lookalikes.setdefault(rng.choice(spots), []).append(s)
        new = bytearray()
        for i, s in enumerate(self.segments):
            for gone in lookalikes.get(i, []):
                new += rng.randbytes(rng.randrange(0, 40)) + pack(gone.lookalike)
            if isinstance(s, bytes):
                new += self.edit_filler(s)
                continue
            s.new = len(new)
            if s.fate == "keep":
                new += s.data
            elif s.fate == "redraw":
                s.redrawn = redraw(rng, s.values)
                new += pack(s.redrawn)
            else:
                new += rng.randbytes(len(s.data))
        return bytes(new)

    def refused_line(self, target):
        rng = self.rng
        kind = rng.randrange(4)
        w, h = target.w, target.h
        name = "bad%04d" % rng.randrange(10000)
        if kind == 0:
            return "0X%08X 0x0000 %d %d %s" % (target.old, w, h, name), name
        if kind == 1:
            return "0x%08X 0x0000 %d %s" % (target.old, w, name), name
        if kind == 2:
            return " 0x%08X 0x0000 %d %d %s" % (target.old, w, h, name), name
        name = "long" + "x" * rng.randrange(124, 200)
        return "0x%08X 0x0000 %d %d %s" % (target.old, w, h, name), name

    def make_list(self):
        """The list's lines, and per line (name, placement) for an entry, (name, None) for a refused line."""
        rng = self.rng
        placements = [s for s in self.segments if isinstance(s, Placement)]
        lines, kinds = ["# adversarial version pair"], [None]
        for p in placements:
            if p.name is None:
                continue
            note = "  # note" if rng.random() < 0.1 else ""
            lines.append("0x%08X 0x0000 %d %d %s%s" % (p.old, p.w, p.h, p.name, note))
            kinds.append((p.name, p))
            if rng.random() < 0.05:
                line, name = self.refused_line(rng.choice(placements))
                lines.append(line)
                kinds.append((name, None))
                if rng.random() < 0.3:  # a blank line after a refused line is refused too
                    lines.append("")
                    kinds.append(("-", None))
            elif rng.random() < 0.03:
                lines.append("# a comment")
                kinds.append(None)
        return lines, kinds


def occurrences(data, pattern, lo, hi):
    """Every place of pattern wholly inside data[lo:hi], overlapping ones too."""
    out, at = [], data.find(pattern, lo, hi)
    while at >= 0:
        out.append(at)
        at = data.find(pattern, at + 1, hi)
    return out


def period(data):
    """The smallest step at which the bytes repeat themselves (at most half their length), or None."""
    for step in range(1, len(data) // 2 + 1):
        if data[step:] == data[:-step]:
            return step
    return None


def stretch(data, at, length, step):
    """The longest stretch around data[at:at + length] that repeats with this step."""
    lo, hi = at, at + length
    while lo > 0 and data[lo - 1] == data[lo - 1 + step]:
        lo -= 1
    while hi < len(data) and data[hi] == data[hi - step]:
        hi += 1
    return lo, hi


def seen_place(p, old, new):
    """Where p's bytes are in NEW as far as the bytes tell: inside a stretch that repeats with the
    picture's own step (a plain picture in a run of its colour) and is as long in NEW as in OLD,
    bytes deleted on one side and inserted on the other leave no trace, so the picture keeps its
    place in the stretch."""
    step = period(p.data)
    if p.fate != "keep" or step is None:
        return p.new
    old_lo, old_hi = stretch(old, p.old, len(p.data), step)
    new_lo, new_hi = stretch(new, p.new, len(p.data), step)
    return new_lo + p.old - old_lo if old_hi - old_lo == new_hi - new_lo else p.new


def answers(maker, old, new, kinds):
    placements = [s for s in maker.segments if isinstance(s, Placement)]
    anchors = [p for p in placements if p.anchor and p.fate == "keep"]
    out = []
    for number, kind in enumerate(kinds, 1):
        if kind is None:
            continue
        name, p = kind
        if p is None:
            out.append("%d %s refused - -" % (number, name))
            continue
        truth = None if p.fate == "gone" else seen_place(p, old, new)
        before = [a for a in anchors if a.old < p.old]
        after = [a for a in anchors if a.old > p.old]
        old_lo, new_lo = (before[-1].old + len(before[-1].data), before[-1].new + len(before[-1].data)) \
            if before else (0, 0)
        old_hi, new_hi = (after[0].old, after[0].new) if after else (len(old), len(new))
        in_old = occurrences(old, p.data, old_lo, old_hi)
        in_new = occurrences(new, p.data, new_lo, new_hi)
        # Redrawn copies count where they can be told apart; any other makes the count fall short.
        telling = len(distinctive(p.values)) >= FEW_DISTINCTIVE
        redrawn = [q.new for q in placements
                   if telling and q.fate == "redraw" and q.data == p.data and old_lo <= q.old < old_hi]
        places = sorted(set(in_new + redrawn))
        word, offset = "not-found", None
        if (p.fate == "keep" or (p.fate == "redraw" and telling)) and len(places) == len(in_old) \
                and places[in_old.index(p.old)] == truth:
            word = "changed" if p.fate == "redraw" else "same" if truth == p.old else "moved"
            offset = truth
        out.append("%d %s %s %s %s" % (number, name, word, "-" if offset is None else "%X" % offset,
                                       "-" if truth is None else "%X" % truth))
    return out


def make(folder, seed, kib):
    maker = Maker(seed, kib * 1024)
    old = maker.make_old()
    new = maker.make_new()
    lines, kinds = maker.make_list()
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "OLD.bin"), "wb") as f:
        f.write(old)
    with open(os.path.join(folder, "NEW.bin"), "wb") as f:
        f.write(new)
    with open(os.path.join(folder, "OLD.lst"), "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    with open(os.path.join(folder, "ANSWERS"), "w", newline="\n") as f:
        f.write("\n".join(answers(maker, old, new, kinds)) + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--kib", type=int, default=1024)
    args = parser.parse_args()
    make(args.folder, args.seed, args.kib)


if __name__ == "__main__":
    main()
