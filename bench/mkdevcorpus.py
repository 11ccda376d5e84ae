#!/usr/bin/env python3
"""The development corpus of `kvlist find`: synthetic firmware files of artwork from Debian
packages, stored as device pixels among filler, split BY SOURCE into a tuned part and a
held-out part, with the true list beside each file.

    bench/mkdevcorpus.py FOLDER [--seed N] [--parts tuned,heldout] [--layouts sparse,dense,mixed]
    bench/mkdevcorpus.py --packages     every package drawn on: part, what, package
    bench/mkdevcorpus.py --missing      those not installed, one a line

writes FOLDER/PART-LAYOUT.bin, its true list PART-LAYOUT.lst and the log of its filler
PART-LAYOUT.fill (offset, length, kind, source of each piece). Each part draws its pictures and its
filler only from its own packages (SOURCES and FILLERS below): the finder is tuned on the tuned
part, and the held-out part only accepts or rejects a change. Layouts: sparse (4 MiB, a sixth
pictures), dense (4 MiB, pictures back to back or a few bytes apart) and mixed (8 MiB, a few
pictures among large stretches of programs, compressed data and text). The same seed and the
same installed packages give the same bytes; a missing package is named on standard error
and the rest is used.

A line of the true list is a list entry followed by what the scorer needs:

    0x0001F2A4 0x0000 32 30 ts0042_3  # sprite pingus-data anim=ts0042 ground=plain

  kind       icon, sprite, photo, ui, few-colour or dark (dark or of little contrast)
  package    the Debian package the artwork comes from
  placement  alone; anim=ID for the frames of one animation back to back (near-copies);
             run=ID for distinct pictures of one size back to back; pair=ID for two
             pictures of other sizes back to back
  ground     plain when every border pixel has one value, else none
"""
import argparse
import bz2
import functools
import glob
import gzip
import io
import lzma
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import warnings
import wave
import zlib

MAX_WIDTH, MAX_HEIGHT = 128, 160  # the device's largest picture
MIN_SIDE = 8
SMALL_WIDTH = 24                  # 16 to 24 pixels wide: the small pictures finders miss
GROUNDS = [(0, 0, 0), (255, 255, 255), (255, 0, 255), (0, 0, 255), (0, 128, 128)]
KINDS = ("icon", "sprite", "photo", "ui", "few-colour", "dark")


def warn(message):
    print("mkdevcorpus: " + message, file=sys.stderr)


def pil():
    try:
        from PIL import Image
    except ImportError:
        sys.exit("mkdevcorpus: Pillow is missing (apt-get install python3-pil)")
    warnings.filterwarnings("ignore", module="PIL")
    return Image


def found(globs):
    return sorted({p for g in globs for p in glob.glob(g, recursive=True) if os.path.isfile(p)})


# --- artwork ----------------------------------------------------------------------------------

@functools.lru_cache(maxsize=None)
def rgb_names():
    names = {}
    for path in ("/usr/share/X11/rgb.txt", "/etc/X11/rgb.txt"):
        if os.path.exists(path):
            with open(path) as f:
                for line in f:
                    fields = line.split()
                    if len(fields) >= 4 and fields[0].isdigit():
                        names["".join(fields[3:]).lower()] = tuple(int(v) for v in fields[:3])
            break
    return names


def xpm_colour(value):
    """(r, g, b, a) of an XPM colour, None when unknown."""
    if value.lower() == "none":
        return (0, 0, 0, 0)
    if value.startswith("#"):
        digits = value[1:]
        n = len(digits) // 3
        if n == 0 or len(digits) != 3 * n:
            return None
        top = 16 ** n - 1
        return tuple(int(digits[i * n:(i + 1) * n], 16) * 255 // top for i in range(3)) + (255,)
    rgb = rgb_names().get(value.replace(" ", "").lower())
    return rgb + (255,) if rgb else None


def read_xpm(path):
    """An XPM file as an RGBA picture: Pillow reads only some of them."""
    Image = pil()
    with open(path, encoding="latin-1") as f:
        strings = re.findall(r'"([^"]*)"', re.sub(r"/\*.*?\*/", "", f.read(), flags=re.S))
    w, h, count, cpp = (int(v) for v in strings[0].split()[:4])
    colours = {}
    for line in strings[1:1 + count]:
        tokens, colour, key = line[cpp:].split(), None, None
        for i, token in enumerate(tokens):
            if token in ("c", "m", "s", "g", "g4"):
                key = token
                rest = []
                for t in tokens[i + 1:]:
                    if t in ("c", "m", "s", "g", "g4"):
                        break
                    rest.append(t)
                if key == "c" or colour is None and key == "m":
                    colour = xpm_colour(" ".join(rest))
        if colour is None:
            raise ValueError("unknown colour in " + path)
        colours[line[:cpp]] = colour
    rows = strings[1 + count:1 + count + h]
    pixels = [colours[row[x:x + cpp]] for row in rows for x in range(0, w * cpp, cpp)]
    image = Image.new("RGBA", (w, h))
    image.putdata(pixels)
    return image


@functools.lru_cache(maxsize=512)
def load(path):
    """A picture file as RGBA; JPEG files are decoded at a reduced size (only crops are taken)."""
    Image = pil()
    if path.endswith(".xpm"):
        return read_xpm(path)
    image = Image.open(path)
    if image.format == "JPEG":
        image.draft("RGB", (image.width // 4, image.height // 4))
    return image.convert("RGBA")


def has_alpha(image):
    return image.mode == "RGBA" and image.getextrema()[3][0] < 255


def flatten(image, ground, margin):
    """An RGBA picture on a plain ground of `margin` pixels, as RGB."""
    Image = pil()
    if not has_alpha(image):
        return image.convert("RGB")
    canvas = Image.new("RGB", (image.width + 2 * margin, image.height + 2 * margin), ground)
    canvas.paste(image, (margin, margin), image)
    return canvas


def fit(image):
    """A picture shrunk by a whole factor until it fits the device."""
    factor = max(1, math.ceil(image.width / MAX_WIDTH), math.ceil(image.height / MAX_HEIGHT))
    return image.reduce(factor) if factor > 1 else image


def shrink_to_small(images, rng):
    """Pictures of one size shrunk to one small size."""
    Image = pil()
    w = rng.randrange(16, SMALL_WIDTH + 1)
    h = max(MIN_SIDE, min(SMALL_WIDTH, round(images[0].height * w / images[0].width)))
    return [i.resize((w, h), Image.LANCZOS) for i in images]


class Style:
    """What the pictures of one event share: ground colour and margin."""

    def __init__(self, rng, dark=False):
        top = 48 if dark else 256
        self.ground = rng.choice(GROUNDS) if rng.random() < 0.7 and not dark else \
            (rng.randrange(top), rng.randrange(top), rng.randrange(top))
        self.margin = rng.choice([0, 0, 1, 2, 3, 5, 8])


class Art:
    """One package's pictures of one kind. pictures() gives `count` distinct pictures of one
    size (RGB), frames() the frames of one animation; both [] when nothing fits."""

    def __init__(self, package, kind, globs=()):
        self.package, self.kind, self.globs = package, kind, list(globs)

    @functools.cached_property
    def files(self):
        return found(self.globs)

    def available(self):
        return bool(self.files)

    def pictures(self, rng, count, small):
        raise NotImplementedError

    def frames(self, rng):
        return []

    def animated(self):
        return False

    def draw(self, rng, count=1, small=False, frames=False):
        """[(RGB picture, package)] of pictures() or frames()."""
        images = self.frames(rng) if frames else self.pictures(rng, count, small)
        return [(i, self.package) for i in images]


class Collection(Art):
    """Pictures of fixed sizes: whole files (or cells and frames, in subclasses)."""

    def __init__(self, package, kind, globs=(), min_side=MIN_SIDE):
        super().__init__(package, kind, globs)
        self.min_side = min_side

    def size_of(self, path):
        Image = pil()
        if path.endswith(".xpm"):
            return load(path).size
        with Image.open(path) as image:
            return image.size

    @functools.cached_property
    def items(self):
        """(width, height, key) of every picture, in a fixed order."""
        out = []
        for path in self.files:
            try:
                w, h = self.size_of(path)
            except (OSError, ValueError, KeyError, IndexError, SyntaxError):
                continue
            if min(w, h) >= self.min_side:
                out.append((w, h, path))
        return out

    def image(self, key):
        return load(key)

    @functools.cached_property
    def animations(self):
        return []

    def available(self):
        return bool(self.items)

    def animated(self):
        return bool(self.animations)

    def render(self, keys, style, rng, small):
        images = []
        for key in keys:
            try:
                images.append(self.image(key))
            except (OSError, ValueError, KeyError, IndexError, SyntaxError):
                return []
        images = [fit(flatten(i, style.ground, style.margin)) for i in images]
        if small and images[0].width > SMALL_WIDTH:
            images = shrink_to_small(images, rng)
        return images

    def pictures(self, rng, count, small):
        items = self.items
        if not items:
            return []
        style = Style(rng, self.kind == "dark")
        if count == 1:
            if small:
                few = [i for i in items if i[0] <= SMALL_WIDTH and i[0] * i[1] <= 600]
                items = few or items
            return self.render([rng.choice(items)[2]], style, rng, small)
        by_size = {}
        for w, h, key in items:
            by_size.setdefault((w, h), []).append(key)
        sizes = [s for s in by_size if len(by_size[s]) >= count]
        if small:
            sizes = [s for s in sizes if s[0] <= SMALL_WIDTH] or sizes
        if not sizes:
            return []
        keys = rng.sample(by_size[rng.choice(sizes)], count)
        return self.render(keys, style, rng, small)

    def frames(self, rng):
        if not self.animations:
            return []
        keys = rng.choice(self.animations)
        if len(keys) > 6:
            start = rng.randrange(len(keys) - 2)
            keys = keys[start:start + rng.randrange(3, 7)]
        style = Style(rng, self.kind == "dark")
        return self.render(keys, style, rng, False)


class Icons(Collection):
    """An icon theme: the size is in each file's folder name, so no file is opened to index."""

    def size_of(self, path):
        match = re.search(r"/(\d+)x(\d+)/", path) or re.search(r"/(\d+)()/", path)
        if not match:
            raise ValueError(path)
        side = int(match.group(1))
        return side, int(match.group(2) or side)


class Sheets(Collection):
    """Sprite sheets cut into cells; in sheets marked so, each row of cells is one animation."""

    def __init__(self, package, kind, sheets, globs=()):
        super().__init__(package, kind, list(globs) + [s[0] for s in sheets])
        self.sheets = sheets

    @functools.cached_property
    def items(self):
        out = [i for i in Collection.items.func(self) if not any(i[2] == s[0] for s in self.sheets)]
        for path, cw, ch, rows_animate in self.sheets:
            if not os.path.exists(path):
                continue
            sheet = load(path)
            for y in range(0, sheet.height - ch + 1, ch):
                for x in range(0, sheet.width - cw + 1, cw):
                    cell = sheet.crop((x, y, x + cw, y + ch))
                    if len(cell.getcolors(cw * ch) or ()) > 2:
                        out.append((cw, ch, (path, x, y)))
        return out

    @functools.cached_property
    def animations(self):
        out = []
        for path, cw, ch, rows_animate in self.sheets:
            if rows_animate and os.path.exists(path):
                sheet = load(path)
                for y in range(0, sheet.height - ch + 1, ch):
                    out.append([(path, x, y) for x in range(0, sheet.width - cw + 1, cw)])
        return out

    def image(self, key):
        if isinstance(key, str):
            return load(key)
        path, x, y = key
        cell = next(s for s in self.sheets if s[0] == path)
        return load(path).crop((x, y, x + cell[1], y + cell[2]))


class Frames(Collection):
    """Animations cut from sheets by a description beside them; every frame is also a picture."""

    def describe(self):
        """[(sheet path, [(x, y, w, h) of each frame])]"""
        raise NotImplementedError

    @functools.cached_property
    def cut(self):
        out = []
        for path, boxes in self.describe():
            try:
                sheet = load(path)
            except (OSError, ValueError, KeyError, IndexError, SyntaxError):
                continue
            boxes = [b for b in boxes if b[0] + b[2] <= sheet.width and b[1] + b[3] <= sheet.height]
            if boxes and min(boxes[0][2:]) >= self.min_side:
                out.append([(path,) + b for b in boxes])
        return out

    @functools.cached_property
    def items(self):
        return [(k[3], k[4], k) for frames in self.cut for k in frames]

    @functools.cached_property
    def animations(self):
        return [frames for frames in self.cut if len(frames) >= 2]

    def image(self, key):
        path, x, y, w, h = key
        return load(path).crop((x, y, x + w, y + h))


class PingusSprites(Frames):
    """Each .sprite file names its sheet, the frames' size and their rows and columns."""

    def describe(self):
        out = []
        root = self.globs[0].split("/images/")[0]
        for path in self.files:
            with open(path) as f:
                text = f.read()
            image = re.search(r'\(image "([^"]+)"\)', text)
            array = re.search(r"\(array (\d+) (\d+)\)", text)
            size = re.search(r"\(size (\d+) (\d+)\)", text)
            if not (image and array and size):
                continue
            at = re.search(r"\(position (\d+) (\d+)\)", text)
            x0, y0 = (int(at.group(1)), int(at.group(2))) if at else (0, 0)
            name = image.group(1)
            sheet = root + name if name.startswith("/") else os.path.normpath(os.path.join(os.path.dirname(path), name))
            cols, rows = int(array.group(1)), int(array.group(2))
            w, h = int(size.group(1)), int(size.group(2))
            out.append((sheet, [(x0 + c * w, y0 + r * h, w, h) for r in range(rows) for c in range(cols)]))
        return out


class XPenguins(Frames):
    """The themes' config files name each sheet with its frame size, frames and directions;
    each direction's row of frames is one animation."""

    def describe(self):
        out = []
        for config in self.files:
            with open(config, encoding="latin-1") as f:
                tokens = re.sub(r"#.*", "", f.read()).split()
            defaults = {"width": 30, "height": 30, "frames": 1, "directions": 1}
            entry = None
            entries = []
            for i, token in enumerate(tokens):
                if token in ("define", "toon"):
                    entry = {} if token == "define" else None
                    if token == "define" and i + 1 < len(tokens) and tokens[i + 1] == "default":
                        entry = defaults
                    elif entry is not None:
                        entries.append(entry)
                elif entry is not None and i + 1 < len(tokens) and token in ("pixmap", "width", "height",
                                                                             "frames", "directions"):
                    entry[token] = tokens[i + 1]
            for entry in entries:
                if "pixmap" not in entry:
                    continue
                e = dict(defaults, **entry)
                w, h, n, d = (int(e[k]) for k in ("width", "height", "frames", "directions"))
                sheet = os.path.join(os.path.dirname(config), e["pixmap"])
                for r in range(d):
                    out.append((sheet, [(c * w, r * h, w, h) for c in range(n)]))
        return out


class FrameFiles(Frames):
    """Animations kept one frame a file, numbered: name-01.png, name-02.png..."""

    @functools.cached_property
    def cut(self):
        sequences = {}
        for path in self.files:
            number = re.search(r"(\d+)\.\w+$", path)
            if number:
                stem = path[:number.start(1)]
                sequences.setdefault(stem, []).append((int(number.group(1)), path))
        out = []
        for stem in sorted(sequences):
            paths = [p for _, p in sorted(sequences[stem])]
            w, h = self.size_of(paths[0])
            if all(self.size_of(p) == (w, h) for p in paths):
                out.append([(p, 0, 0, w, h) for p in paths])
        return out


class Photos(Art):
    """Crops of photos and backgrounds at a random zoom, shrunk to the picture's size."""

    def __init__(self, package, kind, globs=(), builtins=()):
        super().__init__(package, kind, globs)
        self.builtins = list(builtins)

    @functools.cached_property
    def sources(self):
        out = list(self.files)
        convert = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else shutil.which("convert")
        for name in self.builtins if convert else ():
            try:
                data = subprocess.run([convert, name, "png:-"], capture_output=True, check=True).stdout
                out.append(pil().open(io.BytesIO(data)).convert("RGBA"))
            except (OSError, subprocess.CalledProcessError):
                pass
        return out

    def available(self):
        return bool(self.sources)

    def source(self, rng):
        for _ in range(5):
            chosen = rng.choice(self.sources)
            try:
                return (load(chosen) if isinstance(chosen, str) else chosen).convert("RGB")
            except (OSError, ValueError):
                continue
        return None

    def pictures(self, rng, count, small):
        Image = pil()
        if not self.sources:
            return []
        if small:
            w = rng.randrange(16, SMALL_WIDTH + 1)
            h = rng.randrange(MIN_SIDE, 600 // w + 1)
        else:
            w = rng.choice([rng.randrange(MIN_SIDE, MAX_WIDTH + 1), rng.randrange(32, 97)])
            h = rng.randrange(MIN_SIDE, MAX_HEIGHT + 1)
        out = []
        for _ in range(count):
            source = self.source(rng)
            if source is None:
                return []
            zoom = rng.uniform(1.0, max(1.0, min(source.width / w, source.height / h) / 2))
            cw, ch = min(source.width, round(w * zoom)), min(source.height, round(h * zoom))
            x, y = rng.randrange(source.width - cw + 1), rng.randrange(source.height - ch + 1)
            out.append(source.crop((x, y, x + cw, y + ch)).resize((w, h), Image.BICUBIC))
        return out


class Dimmed(Art):
    """Dark or low-contrast versions of other artwork of the same part: a screen that shows
    little light, or a picture drawn in a narrow range of one hue."""

    def __init__(self, arts):
        super().__init__(None, "dark")
        self.arts = arts

    def available(self):
        return any(a.available() for a in self.arts)

    def animated(self):
        return any(a.available() and a.animated() for a in self.arts)

    @staticmethod
    def dim(images, rng):
        if rng.random() < 0.5:
            scale = rng.uniform(0.08, 0.3)
            table = [round(v * scale) for v in range(256)] * 3
        else:
            scale, middle = rng.uniform(0.08, 0.25), rng.randrange(40, 216)
            table = [max(0, min(255, round(middle + (v - 128) * scale))) for v in range(256)] * 3
        return [i.point(table) for i in images]

    def draw(self, rng, count=1, small=False, frames=False):
        arts = [a for a in self.arts if a.available() and (a.animated() or not frames)]
        if not arts:
            return []
        drawn = rng.choice(arts).draw(rng, count, small, frames)
        return list(zip(self.dim([i for i, _ in drawn], rng), [p for _, p in drawn]))


def icon_globs(root, *sizes):
    return ["%s/%s/*/*.png" % (root, s) for s in sizes]


ICON_SIZES = ("16x16", "22x22", "24x24", "32x32", "48x48", "64x64", "96x96", "128x128")
LB = "/usr/share/games/lbreakout2/gfx/"
PINGUS = "/usr/share/games/pingus/data"
PLYMOUTH = "/usr/share/plymouth/themes/"
# Every artwork source, by part and kind: the split is by package, never by file. Each part has
# every kind; an animation source in each.
SOURCES = {
    "tuned": [
        Icons("adwaita-icon-theme", "icon", icon_globs("/usr/share/icons/Adwaita", *ICON_SIZES[:-1])),
        Icons("tango-icon-theme", "icon", icon_globs("/usr/share/icons/Tango", *ICON_SIZES[:4])),
        Icons("lxde-icon-theme", "icon", icon_globs("/usr/share/icons/nuoveXT2", *ICON_SIZES)),
        PingusSprites("pingus-data", "sprite", [PINGUS + "/images/**/*.sprite"]),
        Sheets("lbreakout2-data", "sprite", [(LB + "bricks.png", 40, 20, False), (LB + "extras.png", 40, 20, False),
                                             (LB + "ball.png", 12, 12, False), (LB + "explosions.png", 60, 60, True),
                                             (LB + "explosions_dark.png", 60, 60, True)],
               [LB + n for n in ("ammo.png", "balloon.png", "back0.png", "cr_back.png", "confirm_buttons.png")]),
        Collection("chromium-bsu-data", "sprite", ["/usr/share/games/chromium-bsu/png/*.png"]),
        Photos("desktop-base", "photo", ["/usr/share/desktop-base/*/*/*.png", "/usr/share/desktop-base/*/*/*.jpg",
                                         "/usr/share/desktop-base/*/*/*/*/*.png"]),
        Photos("imagemagick", "photo", builtins=["rose:", "logo:", "wizard:", "granite:", "netscape:"]),
        Photos("xplanet-images", "photo", ["/usr/share/xplanet/images/earth.jpg", "/usr/share/xplanet/images/sun.jpg"]),
        Collection("greybird-gtk-theme", "ui", ["/usr/share/themes/Greybird/**/*.png"]),
        Collection("gnome-themes-extra-data", "ui", ["/usr/share/themes/Adwaita*/gtk-2.0/assets/*.png"]),
        Collection("fvwm-icons", "few-colour", ["/usr/share/pixmaps/fvwm/*.xpm"]),
        Sheets("supertransball2-data", "few-colour",
               [("/usr/share/games/supertransball2/graphics/tiles.pcx", 16, 16, False)]),
        Photos("xfdesktop4-data", "dark", ["/usr/share/backgrounds/xfce/*.jpg", "/usr/share/backgrounds/xfce/*.png"]),
    ],
    "heldout": [
        Icons("gnome-icon-theme", "icon", icon_globs("/usr/share/icons/gnome", *ICON_SIZES[:5])),
        Icons("elementary-xfce-icon-theme", "icon", ["/usr/share/icons/elementary-xfce/*/%d/*.png" % s
                                                      for s in (16, 24, 32, 48, 64, 96, 128)]),
        XPenguins("xpenguins", "sprite", ["/usr/share/xpenguins/themes/*/config"]),
        Sheets("teeworlds-data", "sprite",
               [("/usr/share/games/teeworlds/data/mapres/%s.png" % n, 64, 64, False)
                for n in ("grass_main", "desert_main", "jungle_main", "winter_main", "generic_unhookable")],
               ["/usr/share/games/teeworlds/data/countryflags/*.png"]),
        Sheets("berusky-data", "sprite",
               [(p, 40, 40, False) for p in found(["/usr/share/berusky/Graphics/wall_*1.png",
                                                    "/usr/share/berusky/Graphics/box_*1.png"])]
               + [(p, 20, 20, False) for p in found(["/usr/share/berusky/Graphics/hraci[13].png"])]),
        Photos("mate-backgrounds", "photo", ["/usr/share/backgrounds/mate/nature/*.jpg",
                                             "/usr/share/backgrounds/mate/abstract/[FGSW]*.png",
                                             "/usr/share/backgrounds/mate/desktop/*.jpg"]),
        Collection("numix-gtk-theme", "ui", ["/usr/share/themes/Numix/**/*.png"]),
        Collection("blackbird-gtk-theme", "ui", ["/usr/share/themes/Blackbird/**/*.png"]),
        Sheets("angband-data", "few-colour", [("/usr/share/angband/xtra/graf/16x16.png", 16, 16, False),
                                              ("/usr/share/angband/xtra/graf/8x16.png", 8, 16, False)]),
        Sheets("mirrormagic-data", "few-colour",
               [("/usr/share/games/mirrormagic/graphics/gfx_classic/Rocks%s.png" % n, 32, 32, False)
                for n in ("Elements", "Heroes", "More", "SP", "DC", "EMC")]),
        FrameFiles("plymouth-themes", "dark", [PLYMOUTH + t + "/throbber-*.png" for t in ("spinner", "spinfinity")]
                   + [PLYMOUTH + "spinner/animation-*.png", PLYMOUTH + "glow/throbber-*.png"]),
    ],
}
for _part, _arts in SOURCES.items():
    # Each part also darkens its own photos, icons and sprites.
    _arts.append(Dimmed([a for a in _arts if a.kind in ("photo", "icon", "sprite")]))


# --- filler -----------------------------------------------------------------------------------

def mo_strings(path):
    """The translations of a gettext catalogue: UTF-8 text."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 28:
        return b""
    magic = struct.unpack("<I", data[:4])[0]
    order = "<" if magic == 0x950412DE else ">"
    count, _, table = struct.unpack(order + "3I", data[8:20])
    out = []
    for i in range(count):
        length, offset = struct.unpack(order + "2I", data[table + 8 * i:table + 8 * i + 8])
        out.append(data[offset:offset + length])
    return b"\n".join(out)


@functools.lru_cache(maxsize=256)
def read_bytes(path):
    if path.endswith(".mo"):
        return mo_strings(path)
    if path.endswith(".wav"):
        with wave.open(path) as w:
            return w.readframes(w.getnframes())
    opener = gzip.open if path.endswith(".gz") else open
    with opener(path, "rb") as f:
        return f.read()


class Stock:
    """A package's files of one filler kind, read whole and cut at random."""

    def __init__(self, package, globs):
        self.package, self.globs = package, globs

    @functools.cached_property
    def files(self):
        return [p for p in found(self.globs) if os.path.getsize(p) > 1024]

    def cut(self, rng, n):
        data = read_bytes(rng.choice(self.files))
        start = rng.randrange(max(1, len(data) - n))
        return (data[start:start + n] + bytes(n))[:n]


CROSS = "/usr/%s-linux-gnu%s/lib/*.so*"
X86_64 = ["/usr/lib/x86_64-linux-gnu/%s" % n for n in ("libc.so.6", "libm.so.6", "libstdc++.so.6")] + \
         ["/usr/bin/%s" % n for n in ("bash", "ls", "cp", "tar", "grep", "sed", "find", "dpkg", "gzip")]
# Every filler source, by part: each part has every kind of filler, from other packages, other
# architectures and other formats where there are others.
FILLERS = {
    "tuned": {
        "code": [Stock("libc6-arm64-cross", [CROSS % ("aarch64", "")]),
                 Stock("libc6-s390x-cross", [CROSS % ("s390x", "")]),
                 Stock("libc6-i386-cross", [CROSS % ("i686", "")]),
                 Stock("libc6-mipsel-cross", [CROSS % ("mipsel", "")])],
        "ascii": [Stock("base-files", ["/usr/share/common-licenses/*"])],
        "utf8": [Stock("dpkg", ["/usr/share/locale/*/LC_MESSAGES/dpkg.mo"])],
        "ttf": [Stock("fonts-dejavu-core", ["/usr/share/fonts/truetype/dejavu/DejaVu%s.ttf" % n
                                            for n in ("Sans", "Sans-Bold", "SansMono", "Serif")])],
        "bitmap font": [Stock("xfonts-base", ["/usr/share/fonts/X11/misc/[0-9]*-ISO8859-1.pcf.gz"])],
        "compression": ("zlib", "bz2"),
        "tables": ("pointers", "smooth", "ramps"),
        "audio": "tones",
    },
    "heldout": {
        "code": [Stock("libc6", X86_64), Stock("libc6-armhf-cross", [CROSS % ("arm", "eabihf")]),
                 Stock("libc6-riscv64-cross", [CROSS % ("riscv64", "")]),
                 Stock("libc6-ppc64el-cross", [CROSS % ("powerpc64le", "")])],
        "ascii": [Stock("libpython3.11-minimal", ["/usr/lib/python3.11/*.py"]),
                  Stock("perl-modules-5.36", ["/usr/share/perl/5.36/*.pm", "/usr/share/perl/5.36/*/*.pm"])],
        "utf8": [Stock("apt", ["/usr/share/locale/*/LC_MESSAGES/apt.mo"])],
        "ttf": [Stock("fonts-freefont-ttf", ["/usr/share/fonts/truetype/freefont/*.ttf"])],
        "bitmap font": [Stock("kbd", ["/usr/share/consolefonts/*.psf.gz"])],
        "compression": ("gzip", "xz", "lzma"),
        "tables": ("records", "smooth", "crc"),
        "audio": [Stock("alsa-utils", ["/usr/share/sounds/alsa/*.wav"])],
    },
}


class Filler:
    """The bytes between pictures of one part: each kind a function of (rng, length) that
    names its source in self.source. log holds (offset, length, kind, source) of each piece."""

    def __init__(self, part):
        self.kinds = FILLERS[part]
        self.part = part
        self.stocks = {k: [s for s in v if s.files] for k, v in self.kinds.items() if isinstance(v, list)}
        self.log, self.source = [], "-"

    def take(self, kind, rng, n):
        stocks = self.stocks.get(kind)
        if not stocks:
            return rng.randbytes(n)
        stock = rng.choice(stocks)
        self.source = stock.package
        return stock.cut(rng, n)

    def code(self, rng, n):
        return self.take("code", rng, n)

    def text(self, rng, n):
        return self.take("ascii" if rng.random() < 0.6 else "utf8", rng, n)

    def ascii(self, rng, n):
        return self.take("ascii", rng, n)

    def utf8(self, rng, n):
        return self.take("utf8", rng, n)

    def utf16(self, rng, n):
        text = self.text(rng, n).decode("utf-8", "replace")
        big = self.part == "heldout" and rng.random() < 0.3
        return text.encode("utf-16-be" if big else "utf-16-le")[:n].ljust(n, b"\0")

    def compressed(self, rng, n):
        method = rng.choice(self.kinds["compression"])
        out = b""
        while len(out) < n:
            plain = self.code(rng, 4 * n) if rng.random() < 0.5 else self.text(rng, 4 * n)
            if method == "zlib":
                out += zlib.compress(plain, 9)[2:]
            elif method == "bz2":
                out += bz2.compress(plain, 9)[10:]
            elif method == "gzip":
                out += gzip.compress(plain, mtime=0)[10:]
            elif method == "xz":
                out += lzma.compress(plain)[24:]
            else:
                out += lzma.compress(plain, format=lzma.FORMAT_ALONE)[13:]
        self.source = method
        return out[:n]

    def table(self, rng, n):
        kind = rng.choice(self.kinds["tables"])
        self.source = kind
        count = n // 2 + 1
        if kind == "pointers":
            base = rng.choice([0x08000000, 0x00400000, 0x20000000, 0xC0010000, 0x00010000])
            at, values = base + rng.randrange(0x10000), []
            for _ in range(n // 4 + 1):
                at += rng.choice([4, 8, 12, 16, 32, 64, 100, 256, rng.randrange(1, 4096)])
                values.append(at & 0xFFFFFFFF)
            return struct.pack("<%dI" % len(values), *values)[:n]
        if kind == "records":
            fields = rng.randrange(2, 7)
            limits = [rng.choice([16, 256, 320, 4096, 65536]) for _ in range(fields)]
            values, ident = [], rng.randrange(1000)
            while len(values) < count:
                ident += rng.choice([1, 1, 1, 2])
                values += [ident & 0xFFFF] + [rng.randrange(m) for m in limits[1:]]
            return struct.pack("<%dH" % len(values), *values)[:n]
        if kind == "crc":
            poly, width = rng.choice([(0xEDB88320, 4), (0x82F63B78, 4), (0xA001, 2), (0x8408, 2)])
            table = []
            for i in range(256):
                c = i
                for _ in range(8):
                    c = (c >> 1) ^ poly if c & 1 else c >> 1
                table.append(c)
            data = struct.pack("<256" + ("I" if width == 4 else "H"), *table)
            return (data * (n // len(data) + 1))[:n]
        if kind == "ramps":
            step = rng.choice([1, 2, 4, 8, 33, 257])
            return struct.pack("<%dH" % count, *[(i * step) & 0xFFFF for i in range(count)])[:n]
        shape, gamma = rng.randrange(5), rng.choice([1.8, 2.2, 2.5])
        period = rng.choice([16, 32, 64, 100, 128, 256, 1024, count])
        top = rng.choice([255, 1023, 4095, 32767, 65535])
        values = []
        for i in range(count):
            t = (i % period) / max(1, period - 1)
            if shape == 0:
                v = top * t ** gamma
            elif shape == 1:
                v = 32767 * math.sin(2 * math.pi * t)
            elif shape == 2:
                v = top / 2 + top / 2 * math.sin(2 * math.pi * t)
            elif shape == 3:
                v = top * math.log1p(9 * t) / math.log(10)
            else:
                v = top * (1 - math.exp(-4 * t))
            values.append(round(v) & 0xFFFF)
        return struct.pack("<%dH" % count, *values)[:n]

    def audio(self, rng, n):
        if self.kinds["audio"] != "tones":
            data = self.take("audio", rng, n + 1)
            if rng.random() < 0.3:  # 8-bit unsigned, as small players keep sound
                return bytes((b + 128) & 0xFF for b in data[1::2])[:n].ljust(n, b"\x80")
            return data[:n]
        count = n // 2 + 1
        self.source = "tones"
        rate = rng.choice([8000, 16000, 22050, 44100])
        tones = [(rng.uniform(60, 2000), rng.uniform(500, 12000)) for _ in range(rng.randrange(1, 4))]
        values = []
        for i in range(count):
            s = sum(a * math.sin(2 * math.pi * f * i / rate) for f, a in tones) + rng.gauss(0, 200)
            values.append(max(-32768, min(32767, round(s))) & 0xFFFF)
        return struct.pack("<%dH" % count, *values)[:n]

    def font(self, rng, n):
        roll = rng.random()
        if roll < 0.35:
            return self.take("ttf", rng, n)
        if roll < 0.7 or self.part == "heldout":
            return self.take("bitmap font", rng, n)
        # 8-pixel-wide glyphs, one byte per row: strokes of a few bits.
        self.source = "glyphs"
        out = bytearray()
        while len(out) < n:
            glyph = [0] * rng.choice([8, 12, 16])
            for _ in range(rng.randrange(2, 5)):
                if rng.random() < 0.5:
                    a, b = sorted((rng.randrange(8), rng.randrange(8)))
                    glyph[rng.randrange(len(glyph))] |= ((0xFF >> a) & (0xFF << (7 - b))) & 0xFF
                else:
                    bit = 0x80 >> rng.randrange(8)
                    a, b = sorted((rng.randrange(len(glyph)), rng.randrange(len(glyph))))
                    for r in range(a, b + 1):
                        glyph[r] |= bit
            out += bytes(glyph)
        return bytes(out[:n])

    def padding(self, rng, n):
        return (b"\0" if rng.random() < 0.6 else b"\xff") * n

    def random(self, rng, n):
        return rng.randbytes(n)

    def make(self, rng, n, layout, at):
        """n bytes of one or more kinds, in chunks of the layout's sizes, to go at offset at."""
        kinds = [getattr(self, k) for k, w in layout.filler for _ in range(w)]
        out = b""
        while len(out) < n:
            part = min(n - len(out), rng.choice(layout.chunks))
            kind, self.source = rng.choice(kinds), "-"
            out += kind(rng, part)
            self.log.append((at + len(out) - part, part, kind.__name__, self.source))
        return out[:n]


def packages():
    """(part, what, package, installed) of every source, in a fixed order."""
    out = []
    for part in SOURCES:
        for art in SOURCES[part]:
            if art.package:
                out.append((part, art.kind, art.package, art.available()))
        for kind, stocks in FILLERS[part].items():
            for stock in stocks if isinstance(stocks, list) else ():
                out.append((part, kind, stock.package, bool(stock.files)))
    return out


# --- placement --------------------------------------------------------------------------------

class Layout:
    def __init__(self, mib, share, chunks, gaps, kinds, filler):
        self.mib, self.share, self.chunks, self.gaps = mib, share, chunks, gaps
        self.kinds = kinds      # (kind, weight) of pictures
        self.filler = filler    # (filler method, weight)


ALL_KINDS = [("icon", 4), ("sprite", 5), ("photo", 4), ("ui", 3), ("few-colour", 3), ("dark", 2)]
FILLER_MIX = [("code", 6), ("compressed", 4), ("ascii", 2), ("utf8", 2), ("utf16", 2), ("table", 3),
              ("audio", 2), ("font", 2), ("padding", 3), ("random", 1)]
LAYOUTS = {
    "sparse": Layout(4, 1 / 6, [16, 64, 256, 1024, 4096, 16384], None, ALL_KINDS, FILLER_MIX),
    "dense": Layout(4, 0.95, [16, 64, 256, 1024], [0, 0, 0, 2, 16, 64, 256, 1024], ALL_KINDS, FILLER_MIX),
    # A few game sprites and icons among large stretches of programs, compressed data and text.
    "mixed": Layout(8, 0.06, [4096, 16384, 65536, 262144], None,
                    [("sprite", 6), ("icon", 2), ("ui", 1), ("few-colour", 2), ("dark", 1), ("photo", 1)],
                    [("code", 10), ("compressed", 6), ("ascii", 5), ("utf16", 1), ("table", 1), ("padding", 2),
                     ("audio", 1), ("font", 1)]),
}


class Picture:
    def __init__(self, image, kind, package, name, placement):
        data = image.tobytes()
        self.width, self.height = image.size
        self.words = [((data[i] >> 3) << 10) | ((data[i + 1] >> 3) << 5) | (data[i + 2] >> 3)
                      for i in range(0, len(data), 3)]
        self.kind, self.package, self.name, self.placement = kind, package, name, placement

    def bytes(self):
        return struct.pack("<%dH" % len(self.words), *self.words)

    def colours(self):
        return len(set(self.words))

    def plain_ground(self):
        w, p = self.width, self.words
        border = p[:w] + p[-w:] + p[::w] + p[w - 1::w]
        return border.count(border[0]) == len(border)


def distinct(a, b):
    """Two pictures of one size that no one would take for frames of one animation."""
    same = sum(x == y for x, y in zip(a.words, b.words))
    return same * 4 < len(a.words) * 3


def weighted(rng, pairs):
    total = sum(w for _, w in pairs)
    roll = rng.uniform(0, total)
    for item, w in pairs:
        roll -= w
        if roll <= 0:
            return item
    return pairs[-1][0]


def pick_event(rng, arts, layout, name):
    """The pictures of one event: one alone, the frames of one animation, a run of distinct
    pictures of one size, or a pair of other sizes; [] when the draw gave nothing usable."""
    kinds = [(k, w) for k, w in layout.kinds if any(a.kind == k and a.available() for a in arts)]
    if not kinds:
        sys.exit("mkdevcorpus: no artwork of this part is installed")
    kind = weighted(rng, kinds)
    pool = [a for a in arts if a.kind == kind and a.available()]
    roll = rng.random()
    small = rng.random() < 0.2
    if roll < 0.10:
        animated = [a for a in pool if a.animated()] or [a for a in arts if a.available() and a.animated()]
        art = rng.choice(animated)
        drawn, placement = art.draw(rng, frames=True), "anim="
    elif roll < 0.25:
        art = rng.choice(pool)
        drawn, placement = art.draw(rng, rng.randrange(2, 6), small), "run="
    elif roll < 0.40:
        art, other = rng.choice(pool), rng.choice([a for a in arts if a.available()])
        drawn = art.draw(rng, 1, small) + other.draw(rng, 1, rng.random() < 0.2)
        placement = "pair="
        if len(drawn) == 2 and drawn[0][0].size == drawn[1][0].size:
            return []
        return finish(drawn, [art, other], placement + name, name)
    else:
        art = rng.choice(pool)
        drawn, placement = art.draw(rng, 1, small), "alone"
    return finish(drawn, [art] * len(drawn), placement + name if len(drawn) > 1 else "alone", name)


def finish(drawn, arts, placement, name):
    out = []
    for k, ((image, package), art) in enumerate(zip(drawn, arts)):
        w, h = image.size
        if not (MIN_SIDE <= w <= MAX_WIDTH and MIN_SIDE <= h <= MAX_HEIGHT):
            return []
        picture = Picture(image, art.kind, package, "%s_%d" % (name, k) if len(drawn) > 1 else name, placement)
        if picture.colours() < (3 if art.kind in ("few-colour", "ui", "dark") else 8):
            return []
        if out and placement.startswith(("run=", "anim=")) and \
                ((w, h) != (out[-1].width, out[-1].height) or placement[0] == "r" and not distinct(out[-1], picture)):
            return []
        out.append(picture)
    return out


def plan(rng, arts, layout, prefix):
    """A list of events, each ('pictures', [Picture...], odd) or ('filler', length)."""
    size = layout.mib * 1024 * 1024
    events, used, picture_bytes, k = [], 0, 0, 0
    while used < size:
        group = pick_event(rng, arts, layout, "%s%04d" % (prefix, k))
        k += 1
        if not group:
            continue
        length = sum(2 * len(p.words) for p in group)
        if used + length + 2 > size:
            break
        # Filler so that the pictures' share tracks the layout's.
        want = round((picture_bytes + length) * (1 - layout.share) / layout.share) - (used - picture_bytes)
        filler = max(0, round(want * rng.uniform(0.5, 1.5)))
        if layout.gaps:
            filler = min(filler, rng.choice(layout.gaps))
        odd = rng.random() < 0.25
        events.append(("filler", filler))
        events.append(("pictures", group, odd))
        used += filler + length + 1
        picture_bytes += length
    return events


def build(events, rng, filler, layout):
    """The file's bytes and its true pictures with their offsets, in offset order."""
    size = layout.mib * 1024 * 1024
    out, truth = bytearray(), []
    for event in events:
        if event[0] == "filler":
            out += filler.make(rng, event[1], layout, len(out))
            continue
        _, group, odd = event
        if (len(out) & 1) != odd:
            out += filler.make(rng, 1, layout, len(out))
        for picture in group:
            truth.append((len(out), picture))
            out += picture.bytes()
    if len(out) < size:
        out += filler.make(rng, size - len(out), layout, len(out))
    return bytes(out[:size]), [t for t in truth if t[0] + 2 * len(t[1].words) <= size]


def write_file(folder, part, layout_name, seed):
    import random
    layout = LAYOUTS[layout_name]
    label = "%s-%s" % (part, layout_name)
    events = plan(random.Random("%s-%d" % (label, seed)), SOURCES[part], layout, part[0] + layout_name[0])
    filler = Filler(part)
    data, truth = build(events, random.Random("filler-%s-%d" % (label, seed)), filler, layout)
    with open(os.path.join(folder, label + ".bin"), "wb") as f:
        f.write(data)
    with open(os.path.join(folder, label + ".lst"), "w") as f:
        f.write("# the true pictures of %s.bin: %d; after each: kind package placement ground\n"
                % (label, len(truth)))
        for offset, p in truth:
            f.write("0x%08X 0x0000 %d %d %s  # %s %s %s ground=%s\n"
                    % (offset, p.width, p.height, p.name, p.kind, p.package, p.placement,
                       "plain" if p.plain_ground() else "none"))
    with open(os.path.join(folder, label + ".fill"), "w") as f:
        f.write("# the filler of %s.bin: offset length kind source\n" % label)
        pieces = []
        for offset, length, kind, source in filler.log:
            if pieces and pieces[-1][2:] == [kind, source] and pieces[-1][0] + pieces[-1][1] == offset:
                pieces[-1][1] += length
            else:
                pieces.append([offset, length, kind, source])
        for offset, length, kind, source in pieces:
            if offset < len(data):
                f.write("0x%08X %d %s %s\n" % (offset, min(length, len(data) - offset), kind, source))
    share = sum(2 * len(p.words) for _, p in truth) / len(data)
    print("%s: %d pictures, %.1f%% of %d bytes" % (label, len(truth), 100 * share, len(data)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder", nargs="?")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--parts", default="tuned,heldout")
    parser.add_argument("--layouts", default="sparse,dense,mixed")
    parser.add_argument("--packages", action="store_true", help="list the packages drawn on")
    parser.add_argument("--missing", action="store_true", help="list the packages drawn on that are missing")
    args = parser.parse_args()
    if args.packages or args.missing:
        seen = set()
        for part, what, package, installed in packages():
            if args.packages:
                print("%-8s %-12s %s%s" % (part, what, package, "" if installed else "  (missing)"))
            elif not installed and package not in seen:
                seen.add(package)
                print(package)
        return
    if not args.folder:
        parser.error("FOLDER is needed")
    pil()
    os.makedirs(args.folder, exist_ok=True)
    for part, what, package, installed in packages():
        if not installed:
            warn("%s missing: no %s for the %s part (apt-get install %s)" % (package, what, part, package))
    for part in args.parts.split(","):
        if part not in SOURCES:
            sys.exit("mkdevcorpus: unknown part %s" % part)
        for layout in args.layouts.split(","):
            if layout not in LAYOUTS:
                sys.exit("mkdevcorpus: unknown layout %s" % layout)
            write_file(args.folder, part, layout, args.seed)


if __name__ == "__main__":
    main()
