#!/usr/bin/env python3
"""Synthetic firmware files for measuring `kvlist find`: real pictures from Debian-packaged
artwork stored as device pixels among machine code, compressed data, text, padding, tables,
audio and font bitmaps, with the true list of pictures beside each file.

    bench/mkcorpus.py FOLDER [--seed N] [--mib N] [--kinds sparse,dense]

writes FOLDER/KIND.bin and FOLDER/KIND.lst for each kind. These files serve bench/bench_move.py
and CI's same-bytes check; `kvlist find` is measured on bench/mkdevcorpus.py's corpus instead. The same seed and the same
installed packages give the same bytes. Missing sources are named on standard error and
the rest is used; without any picture source the run fails.

The placement is reusable: pick_pictures() chooses the pictures, plan() lays out events of
pictures and filler, build() turns a plan into bytes and the true list; a second version of a
file can be built from the same plan with other filler (rebuild with another filler seed).
"""
import argparse
import glob
import math
import os
import random
import shutil
import struct
import subprocess
import sys
import warnings
import zlib

try:
    from PIL import Image
except ImportError:  # pragma: no cover
    sys.exit("mkcorpus: Pillow is missing (apt-get install python3-pil)")

warnings.filterwarnings("ignore", module="PIL")
MAX_WIDTH, MAX_PIXELS, MAX_HEIGHT = 160, 20480, 160
BACKGROUNDS = [(0, 0, 0), (255, 255, 255), (0, 0, 255), (255, 0, 255)]
# Each list in order of preference: the first group that finds files is used, so
# that the corpus depends on the named packages only, not on whatever else is
# installed (hicolor and pixmaps hold other packages' icons).
ICON_GLOBS = [["/usr/share/icons/Adwaita/*/legacy/*.png", "/usr/share/icons/Adwaita/*/*/*.png"],
              ["/usr/share/icons/hicolor/*/*/*.png", "/usr/share/pixmaps/*.png"]]
PHOTO_GLOBS = [["/usr/share/desktop-base/*/*/*.png", "/usr/share/desktop-base/*/*/*.jpg",
                "/usr/share/desktop-base/*/*/*/*/*.png", "/usr/share/images/desktop-base/*.png"],
               ["/usr/share/backgrounds/*/*.png", "/usr/share/backgrounds/*/*.jpg"]]
MAGICK_BUILTINS = ["rose:", "logo:", "wizard:", "granite:", "netscape:"]
CODE_GLOBS = [["/usr/aarch64-linux-gnu/lib/*.so*", "/usr/s390x-linux-gnu/lib/*.so*"],
              ["/usr/lib/x86_64-linux-gnu/*.so*", "/usr/lib/*-linux-gnu/*.so*"]]
TEXT_GLOBS = [["/usr/share/common-licenses/*"], ["/usr/share/doc/*/copyright"]]


def warn(message):
    print("mkcorpus: " + message, file=sys.stderr)


def first_found(groups, keep=os.path.exists):
    """The sorted files of the first group of globs that finds any."""
    for group in groups:
        found = sorted({p for g in group for p in glob.glob(g) if keep(p)})
        if found:
            return found
    return []


def device_pixels(rgb):
    """An RGB picture as device words, bit 15 clear."""
    data = rgb.tobytes()
    return [((data[i] >> 3) << 10) | ((data[i + 1] >> 3) << 5) | (data[i + 2] >> 3)
            for i in range(0, len(data), 3)]


class Picture:
    def __init__(self, width, height, words, name):
        self.width, self.height, self.words, self.name = width, height, words, name

    def bytes(self):
        return struct.pack("<%dH" % len(self.words), *self.words)


def fits(w, h):
    return 4 <= w <= MAX_WIDTH and 4 <= h <= MAX_HEIGHT and w * h <= MAX_PIXELS


def to_picture(image, name, min_colours=8):
    words = device_pixels(image.convert("RGB"))
    if len(set(words)) < min_colours:
        return None
    return Picture(image.width, image.height, words, name)


def on_background(rgba, colour, margin):
    canvas = Image.new("RGB", (rgba.width + 2 * margin, rgba.height + 2 * margin), colour)
    canvas.paste(rgba, (margin, margin), rgba)
    return canvas


def load_sources():
    """Sorted lists of the artwork found, and the missing kinds on standard error."""
    icons = first_found(ICON_GLOBS)
    photos = first_found(PHOTO_GLOBS)
    convert = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else shutil.which("convert")
    builtins = []
    for name in MAGICK_BUILTINS:
        try:
            out = subprocess.run([convert, name, "png:-"], capture_output=True, check=True).stdout
            import io
            builtins.append((name, Image.open(io.BytesIO(out)).convert("RGB")))
        except (OSError, subprocess.CalledProcessError, TypeError):
            pass
    if not icons:
        warn("no icon theme found (apt-get install adwaita-icon-theme hicolor-icon-theme)")
    elif not icons[0].startswith("/usr/share/icons/Adwaita"):
        warn("Adwaita icons missing (apt-get install adwaita-icon-theme): other icons instead")
    if not photos:
        warn("no desktop background found (apt-get install desktop-base)")
    if not builtins:
        warn("ImageMagick's built-in pictures missing (apt-get install imagemagick)")
    if not icons and not photos and not builtins:
        sys.exit("mkcorpus: no picture source at all")
    return icons, photos, builtins


def random_colour(rng):
    if rng.random() < 0.75:
        return rng.choice(BACKGROUNDS)
    return (rng.randrange(256), rng.randrange(256), rng.randrange(256))


def icon_picture(rng, icons, name, square=False):
    for _ in range(20):
        path = rng.choice(icons)
        try:
            image = Image.open(path).convert("RGBA")
        except OSError:
            continue
        if image.width < 8:
            continue
        scale = rng.choice([1.0, 1.0, rng.uniform(0.5, 1.7)])
        w, h = max(4, round(image.width * scale)), max(4, round(image.height * scale))
        margin = rng.choice([0, 1, 2, 3, 5])
        if not fits(w + 2 * margin, h + 2 * margin):
            continue
        image = image.resize((w, h), Image.BICUBIC)
        picture = to_picture(on_background(image, random_colour(rng), margin), name)
        if picture:
            return picture
    return None


def photo_picture(rng, photos, builtins, name):
    for _ in range(20):
        if builtins and (not photos or rng.random() < 0.3):
            source = rng.choice(builtins)[1]
        else:
            try:
                source = Image.open(rng.choice(photos)).convert("RGB")
            except OSError:
                continue
        w = rng.choice([rng.randrange(4, 16), rng.randrange(16, 161), rng.randrange(40, 129)])
        h = rng.randrange(4, min(MAX_HEIGHT, MAX_PIXELS // w) + 1)
        if not fits(w, h):
            continue
        # A crop of the source at a random zoom, shrunk to the picture's size.
        zoom = rng.uniform(1.0, max(1.0, min(source.width / w, source.height / h)))
        cw, ch = min(source.width, round(w * zoom)), min(source.height, round(h * zoom))
        x, y = rng.randrange(source.width - cw + 1), rng.randrange(source.height - ch + 1)
        image = source.crop((x, y, x + cw, y + ch)).resize((w, h), Image.BICUBIC)
        picture = to_picture(image, name)
        if picture:
            return picture
    return None


def one_picture(rng, sources, name):
    icons, photos, builtins = sources
    if icons and (rng.random() < 0.65 or not (photos or builtins)):
        return icon_picture(rng, icons, name)
    return photo_picture(rng, photos, builtins, name)


def animation(rng, sources, name):
    """A picture on black and slightly rotated copies of it, some identical, one size."""
    icons = sources[0]
    base = None
    for _ in range(20):
        if icons:
            image = Image.open(rng.choice(icons)).convert("RGBA")
            side = rng.choice([16, 24, 32, 40, 48, 64, 80, 96])
            image = image.resize((side, side), Image.BICUBIC)
            base = on_background(image, (0, 0, 0), rng.choice([1, 2, 4]))
        else:
            picture = photo_picture(rng, sources[1], sources[2], name)
            if picture is None:
                continue
            base = Image.new("RGB", (picture.width, picture.height))
            base.putdata([((v >> 10 & 31) << 3, (v >> 5 & 31) << 3, (v & 31) << 3) for v in picture.words])
        if fits(base.width, base.height):
            break
    if base is None:
        return []
    frames = []
    angle = 0.0
    for k in range(rng.randrange(3, 7)):
        if k and rng.random() < 0.7:
            angle += rng.choice([-6, -3, 3, 6])
        frame = base.rotate(angle, resample=Image.BICUBIC, fillcolor=(0, 0, 0)) if angle else base
        picture = to_picture(frame, "%s_%d" % (name, k))
        if picture is None:
            return frames
        frames.append(picture)
    return frames


def pick_pictures(rng, sources, name):
    """One event: a picture alone, two back to back, or animation frames back to back."""
    roll = rng.random()
    if roll < 0.15:
        return animation(rng, sources, name)
    first = one_picture(rng, sources, name + "a")
    if first is None:
        return []
    if roll < 0.40:
        if rng.random() < 0.2:
            second = icon_picture(rng, sources[0], name + "b") if sources[0] else None
            if second and (second.width, second.height) != (first.width, first.height):
                second = None
        else:
            second = one_picture(rng, sources, name + "b")
        return [first] + ([second] if second else [])
    return [first]


class Filler:
    """The non-picture bytes: each kind a function of (rng, length)."""

    def __init__(self):
        self.libs = first_found(CODE_GLOBS, lambda p: os.path.isfile(p) and os.path.getsize(p) > 65536)[:200]
        self.texts = first_found(TEXT_GLOBS, os.path.isfile)[:400]
        if not self.libs:
            warn("no shared libraries found for machine code; noise instead")
        elif not self.libs[0].startswith(("/usr/aarch64", "/usr/s390x")):
            warn("no cross toolchain libraries (apt-get install g++-aarch64-linux-gnu "
                 "g++-s390x-linux-gnu): the host's libraries instead")
        if not self.texts:
            warn("no text files found; text filler is generated")
        self.kinds = [self.code, self.code, self.code, self.compressed, self.ascii, self.utf16,
                      self.zeros, self.ones, self.pointers, self.smooth_table, self.audio, self.font]

    def lib_bytes(self, rng, n):
        if not self.libs:
            return bytes(rng.randrange(256) for _ in range(n))
        path = rng.choice(self.libs)
        size = os.path.getsize(path)
        with open(path, "rb") as f:
            f.seek(rng.randrange(max(1, size - n)))
            data = f.read(n)
        return data + bytes(n - len(data))

    def text_bytes(self, rng, n):
        if not self.texts:
            words = ["the", "firmware", "picture", "device", "row", "width", "value", "table"]
            return " ".join(rng.choice(words) for _ in range(n)).encode()[:n]
        out = b""
        while len(out) < n:
            with open(rng.choice(self.texts), "rb") as f:
                data = f.read()
            data = bytes(c for c in data if c < 0x80)
            start = rng.randrange(max(1, len(data) - n))
            out += data[start:start + n - len(out)] or b" "
        return out

    def code(self, rng, n):
        return self.lib_bytes(rng, n)

    def compressed(self, rng, n):
        out = b""
        while len(out) < n:
            out += zlib.compress(self.lib_bytes(rng, 4 * n) if rng.random() < 0.5 else self.text_bytes(rng, 4 * n), 9)[2:]
        return out[:n]

    def ascii(self, rng, n):
        return self.text_bytes(rng, n)

    def utf16(self, rng, n):
        return self.text_bytes(rng, n // 2 + 1).decode("latin-1").encode("utf-16-le")[:n]

    def zeros(self, rng, n):
        return bytes(n)

    def ones(self, rng, n):
        return b"\xff" * n

    def pointers(self, rng, n):
        base = rng.choice([0x08000000, 0x00400000, 0x20000000, 0xC0010000, 0x00010000])
        values, at = [], base + rng.randrange(0x10000)
        for _ in range(n // 4 + 1):
            at += rng.choice([4, 8, 12, 16, 32, 64, 100, 256, rng.randrange(1, 4096)])
            values.append(at & 0xFFFFFFFF)
        return struct.pack("<%dI" % len(values), *values)[:n]

    def smooth_table(self, rng, n):
        count = n // 2 + 1
        kind = rng.randrange(4)
        period = rng.choice([64, 256, 1024, count])
        top = rng.choice([255, 1023, 4095, 32767, 65535])
        values = []
        for i in range(count):
            t = (i % period) / max(1, period - 1)
            if kind == 0:  # gamma curve
                values.append(round(top * t ** 2.2) & 0xFFFF)
            elif kind == 1:  # signed sine
                values.append(round(32767 * math.sin(2 * math.pi * t)) & 0xFFFF)
            elif kind == 2:  # offset sine
                values.append(round(top / 2 + top / 2 * math.sin(2 * math.pi * t)) & 0xFFFF)
            else:  # logarithm
                values.append(round(top * math.log1p(9 * t) / math.log(10)) & 0xFFFF)
        return struct.pack("<%dH" % count, *values)[:n]

    def audio(self, rng, n):
        count = n // 2 + 1
        rate = rng.choice([8000, 16000, 22050, 44100])
        tones = [(rng.uniform(60, 2000), rng.uniform(500, 12000)) for _ in range(rng.randrange(1, 4))]
        values = []
        for i in range(count):
            s = sum(a * math.sin(2 * math.pi * f * i / rate) for f, a in tones) + rng.gauss(0, 200)
            values.append(max(-32768, min(32767, round(s))) & 0xFFFF)
        return struct.pack("<%dH" % count, *values)[:n]

    def font(self, rng, n):
        # 8-pixel-wide glyphs, one byte per row: strokes of a few bits.
        out = bytearray()
        while len(out) < n:
            glyph = [0] * rng.choice([8, 12, 16])
            for _ in range(rng.randrange(2, 5)):
                if rng.random() < 0.5:
                    row = rng.randrange(len(glyph))
                    a, b = sorted((rng.randrange(8), rng.randrange(8)))
                    glyph[row] |= ((0xFF >> a) & (0xFF << (7 - b))) & 0xFF
                else:
                    bit = 0x80 >> rng.randrange(8)
                    a, b = sorted((rng.randrange(len(glyph)), rng.randrange(len(glyph))))
                    for r in range(a, b + 1):
                        glyph[r] |= bit
            out += bytes(glyph)
        return bytes(out[:n])

    def make(self, rng, n):
        """n bytes of one or more kinds."""
        out = b""
        while len(out) < n:
            part = min(n - len(out), rng.choice([16, 64, 256, 1024, 4096, 16384]))
            out += rng.choice(self.kinds)(rng, part)
        return out[:n]


def plan(rng, sources, size, dense):
    """A list of events, each ('pictures', [Picture...], odd) or ('filler', length)."""
    events, used, picture_bytes, k = [], 0, 0, 0
    target = 0.95 if dense else 1 / 6
    while used < size:
        group = pick_pictures(rng, sources, "p%04d" % k)
        k += 1
        if not group:
            continue
        length = sum(2 * len(p.words) for p in group)
        if used + length + 2 > size:
            break
        # Filler so that the pictures' share tracks the target.
        want = round((picture_bytes + length) * (1 - target) / target) - (used - picture_bytes)
        filler = max(0, round(want * rng.uniform(0.5, 1.5)))
        if dense:
            filler = min(filler, rng.choice([0, 0, 2, 16, 64, 256, 1024]))
        odd = rng.random() < 0.2
        events.append(("filler", filler))
        events.append(("pictures", group, odd))
        used += filler + length + 1
        picture_bytes += length
    return events


def build(events, rng, filler, size):
    """The file's bytes and its true list (offset, width, height, name) in offset order."""
    out, truth = bytearray(), []
    for event in events:
        if event[0] == "filler":
            out += filler.make(rng, event[1])
            continue
        _, group, odd = event
        if (len(out) & 1) != odd:
            out += filler.make(rng, 1)
        for picture in group:
            truth.append((len(out), picture.width, picture.height, picture.name))
            out += picture.bytes()
    if len(out) < size:
        out += filler.make(rng, size - len(out))
    return bytes(out[:size]), [t for t in truth if t[0] + 2 * t[1] * t[2] <= size]


def write_corpus(folder, kind, seed, mib, sources, filler):
    rng = random.Random("%s-%d" % (kind, seed))
    size = int(mib * 1024 * 1024)
    events = plan(rng, sources, size, kind == "dense")
    data, truth = build(events, random.Random("filler-%s-%d" % (kind, seed)), filler, size)
    with open(os.path.join(folder, kind + ".bin"), "wb") as f:
        f.write(data)
    with open(os.path.join(folder, kind + ".lst"), "w") as f:
        f.write("# the true pictures of %s.bin: %d\n" % (kind, len(truth)))
        for offset, w, h, name in truth:
            f.write("0x%08X 0x0000 %d %d %s\n" % (offset, w, h, name))
    share = sum(2 * w * h for _, w, h, _ in truth) / size
    print("%s: %d pictures, %.1f%% of %d bytes" % (kind, len(truth), 100 * share, size))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--mib", type=float, default=4)
    parser.add_argument("--kinds", default="sparse,dense")
    args = parser.parse_args()
    os.makedirs(args.folder, exist_ok=True)
    sources, filler = load_sources(), Filler()
    for kind in args.kinds.split(","):
        if kind not in ("sparse", "dense"):
            sys.exit("mkcorpus: unknown kind %s" % kind)
        write_corpus(args.folder, kind, args.seed, args.mib, sources, filler)


if __name__ == "__main__":
    main()
