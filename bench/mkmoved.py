#!/usr/bin/env python3
"""A second version of a synthetic firmware file, for measuring `kvlist move`.

    bench/mkmoved.py OLD.bin OLD.lst NEW.bin ANSWERS [--seed N]
    bench/mkmoved.py --stand-in OLD.bin OLD.lst [--seed N] [--mib N] [--pictures N]

The first form reads a file and its true list (such as bench/mkcorpus.py writes) and writes
the new version: bytes inserted into and deleted from the filler between pictures, odd amounts
included; about one picture in ten redrawn in up to a twentieth of its pixels, scattered; about
one in twenty gone, its bytes replaced. ANSWERS gets one line per entry, in list order:
`same OFFSET`, `moved OFFSET`, `changed OFFSET` or `not-found -`, OFFSET in hexadecimal.

The second form makes an old file without any picture source: asymmetric pictures (gradients,
shapes on plain backgrounds, noise, a few plain colours and repeated frames) among random,
code-like and zero bytes, with its true list.
"""
import argparse
import glob
import os
import random
import struct
import sys


def read_list(path):
    entries = []
    with open(path) as f:
        for line in f:
            fields = line.split()
            if len(fields) >= 5 and not line.startswith("#"):
                entries.append((int(fields[0], 16), int(fields[2]), int(fields[3]), fields[4]))
    return entries


def move(old, entries, rng):
    """The new file's bytes and the answer for each entry of the list."""
    order = sorted(range(len(entries)), key=lambda i: entries[i][0])
    out = bytearray()
    answers = [None] * len(entries)
    at = 0  # next old byte not yet copied
    fate = {}
    for i in order:
        offset, w, h, _ = entries[i]
        start = max(offset, at)
        if start > at or rng.random() < 0.3:
            filler = old[at:start]
            # Bytes inserted and deleted somewhere in this stretch of filler.
            if filler and rng.random() < 0.4:
                k = rng.randrange(len(filler) + 1)
                n = min(len(filler) - k, rng.choice([1, 2, 3, 7, 64, 255, 1000]))
                filler = filler[:k] + filler[k + n:]
            if rng.random() < 0.5:
                k = rng.randrange(len(filler) + 1)
                n = rng.choice([1, 2, 5, 16, 99, 512, 4097])
                filler = filler[:k] + rng.randbytes(n) + filler[k:]
            out += filler
        size = 2 * w * h
        if offset < at:  # overlaps the one before: carried with it
            answers[i] = None
            continue
        picture = bytearray(old[offset:offset + size])
        roll = rng.random()
        new_offset = len(out)
        if roll < 0.05:
            picture = bytearray(rng.randbytes(size))
            fate[i] = ("not-found", None)
        elif roll < 0.15 and size >= 16:
            pixels = w * h
            for p in rng.sample(range(pixels), rng.randrange(1, max(1, pixels // 20) + 1)):
                old_value = picture[2 * p] | picture[2 * p + 1] << 8
                value = old_value
                while value == old_value:
                    value = rng.randrange(0x8000)
                picture[2 * p:2 * p + 2] = struct.pack("<H", value)
            fate[i] = ("changed", new_offset)
        else:
            fate[i] = ("same" if new_offset == offset else "moved", new_offset)
        out += picture
        at = offset + size
    out += old[at:]
    for i, (word, offset) in fate.items():
        answers[i] = "%s %s" % (word, "-" if offset is None else "%X" % offset)
    for i, a in enumerate(answers):
        if a is None:
            answers[i] = "skip -"
    return bytes(out), answers


def code_bytes(rng, n):
    libs = sorted(p for p in glob.glob("/usr/lib/x86_64-linux-gnu/*.so*") if os.path.isfile(p))[:50]
    if not libs:
        return rng.randbytes(n)
    with open(rng.choice(libs), "rb") as f:
        data = f.read()
    start = rng.randrange(max(1, len(data) - n))
    return (data[start:start + n] + bytes(n))[:n]


def stand_in_picture(rng, w, h):
    kind = rng.random()
    if kind < 0.03:
        return struct.pack("<H", rng.randrange(0x8000)) * (w * h)
    a, b, c = rng.randrange(1, 7), rng.randrange(1, 7), rng.randrange(32)
    if kind < 0.5:  # gradient with a diagonal band
        values = [((x * 31 // max(1, w - 1)) << 10) | ((y * 31 // max(1, h - 1)) << 5)
                  | ((x * a + y * b + c) & 31) for y in range(h) for x in range(w)]
    elif kind < 0.85:  # a shape on a plain background
        bg = rng.choice([0, 0x7FFF, 0x001F, 0x7C1F, rng.randrange(0x8000)])
        cx, cy, r = rng.randrange(w), rng.randrange(h), rng.randrange(2, max(3, min(w, h)))
        values = [((x * a + 3 * y) & 31) << 5 | ((y * b) & 31) << 10 | (x & 31)
                  if (x - cx) ** 2 + 2 * (y - cy) ** 2 < r * r else bg
                  for y in range(h) for x in range(w)]
    else:  # noise over a ramp
        values = [((y * 32 // h) << 10) | rng.randrange(1024) for y in range(h) for x in range(w)]
    return struct.pack("<%dH" % len(values), *values)


def stand_in(rng, mib, count):
    size = int(mib * 1024 * 1024)
    shapes = [(rng.choice([16, 24, 32, 37, 48, 64, 95, 128]), rng.randrange(4, 61)) for _ in range(count)]
    picture_bytes = sum(2 * w * h for w, h in shapes)
    spare = max(0, size - picture_bytes)
    out, entries = bytearray(), []
    frames = None
    for k, (w, h) in enumerate(shapes):
        gap = int(spare / count * rng.uniform(0.2, 1.8))
        kind = rng.random()
        filler = rng.randbytes(gap) if kind < 0.4 else bytes(gap) if kind < 0.5 else code_bytes(rng, gap)
        if len(out) + len(filler) + 2 * w * h > size:
            break
        out += filler
        if frames and rng.random() < 0.5:  # a frame again, as animations repeat them
            w, h, data = frames
        else:
            data = stand_in_picture(rng, w, h)
            frames = (w, h, data) if rng.random() < 0.1 else None
        entries.append((len(out), w, h, "p%04d" % k))
        out += data
    out += rng.randbytes(size - len(out))
    return bytes(out[:size]), entries


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("paths", nargs="+")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--stand-in", action="store_true")
    parser.add_argument("--mib", type=float, default=4)
    parser.add_argument("--pictures", type=int, default=400)
    args = parser.parse_args()
    rng = random.Random("moved-%d" % args.seed)
    if args.stand_in:
        if len(args.paths) != 2:
            sys.exit("usage: mkmoved.py --stand-in OLD.bin OLD.lst")
        data, entries = stand_in(rng, args.mib, args.pictures)
        with open(args.paths[0], "wb") as f:
            f.write(data)
        with open(args.paths[1], "w") as f:
            f.write("# the true pictures: %d\n" % len(entries))
            for offset, w, h, name in entries:
                f.write("0x%08X 0x0000 %d %d %s\n" % (offset, w, h, name))
        return
    if len(args.paths) != 4:
        sys.exit("usage: mkmoved.py OLD.bin OLD.lst NEW.bin ANSWERS")
    with open(args.paths[0], "rb") as f:
        old = f.read()
    entries = read_list(args.paths[1])
    new, answers = move(old, entries, rng)
    with open(args.paths[2], "wb") as f:
        f.write(new)
    with open(args.paths[3], "w") as f:
        for (offset, w, h, name), answer in zip(entries, answers):
            f.write("%s %s\n" % (name, answer))


if __name__ == "__main__":
    main()
