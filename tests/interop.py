"""The tools against real image programs: ImageMagick and Pillow read what kvpull writes,
and what they save goes back through kvpush exactly, or is refused with nothing written."""
import os
import shutil
import subprocess
import tempfile
import unittest

from kvfiles import PULL, PUSH, WINDOW, device_values, firmware, pack_device, run, skip_unless

CONVERT = "/usr/bin/convert"
try:
    from PIL import Image
except ImportError:
    Image = None
skip_unless(Image and os.path.exists(CONVERT), "the interop tests need imagemagick python3-pil, and one is missing",
            "KV_INTEROP")

WIDTHS = (1, 2, 3, 5, 127, 128)
H = 3


def expanded(v):
    return bytes(((v >> 10 & 31) << 3, (v >> 5 & 31) << 3, (v & 31) << 3))


def magick(*args):
    subprocess.run([CONVERT, *args], check=True, capture_output=True)


def pillow_save(mode, **opts):
    return lambda src, dst: Image.open(src).convert(mode).save(dst, "BMP", **opts)


# What each program saves, by default and with its plain BMP option, at 24 and 32 bits.
SAVERS = {
    "magick default": lambda s, d: magick(s, d),
    "magick 32": lambda s, d: magick(s, "-alpha", "on", d),
    "magick BMP3": lambda s, d: magick(s, "BMP3:" + d),
    "magick BMP3 32": lambda s, d: magick(s, "-define", "bmp3:alpha=true", "-alpha", "on", "BMP3:" + d),
    "pillow RGB": pillow_save("RGB"),
    "pillow RGBA": pillow_save("RGBA"),
}
# Layouts these programs also write that cannot be packed exactly.
REFUSED = {
    "magick BMP2": (lambda s, d: magick(s, "BMP2:" + d), "unsupported bmp header."),
    "magick RGB555": (lambda s, d: magick(s, "-define", "bmp:subtype=RGB555", d), "unsupported bitcount."),
    "pillow palette": (pillow_save("P"), "unsupported bitcount."),
    "pillow grey": (pillow_save("L"), "unsupported bitcount."),
}

# ImageMagick writes a palette BMP for a picture it holds as a palette: one read from a
# PNG it saved with a palette (as it does for 256 colours or fewer), or after -colors.
# Such a BMP is refused; -type TrueColor makes the same picture a 24-bit BMP, packed exactly.
PALETTE = {
    "magick through PNG": lambda s, d, *opts: (magick(s, "p.png"), magick("p.png", *opts, d)),
    "magick -colors": lambda s, d, *opts: magick(s, "-colors", "16", *opts, d),
}


class Interop(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        os.chdir(self.tmp.name)
        self.fw = bytearray(firmware("fw.bin"))
        self.values = {}
        for i, w in enumerate(WIDTHS):
            o = WINDOW + 1024 * i
            self.values[w] = device_values(w, H, seed=i)
            self.fw[o:o + 2 * w * H] = pack_device(self.values[w])
        with open("fw.bin", "wb") as f:
            f.write(self.fw)
        with open("p.lst", "w") as f:
            f.writelines("0x%08X 0x0 %d %d w%d\n" % (WINDOW + 1024 * i, w, H, w) for i, w in enumerate(WIDTHS))

    def tearDown(self):
        self.tmp.cleanup()

    def pull(self, bits):
        self.assertEqual(run(PULL, "fw.bin", "-l", "p.lst", "x", "x", "-b", str(bits))[1], 0)

    def test_programs_decode_what_kvpull_writes(self):
        for bits in (24, 32):
            self.pull(bits)
            for w in WIDTHS:
                with self.subTest(bits=bits, width=w):
                    want = b"".join(map(expanded, self.values[w]))
                    rgb = subprocess.run([CONVERT, "w%d.bmp" % w, "rgb:-"], capture_output=True).stdout
                    self.assertEqual(rgb, want)
                    opaque = subprocess.run([CONVERT, "w%d.bmp" % w, "-format", "%[opaque]", "info:"],
                                            capture_output=True, text=True).stdout
                    self.assertEqual(opaque.lower(), "true")
                    im = Image.open("w%d.bmp" % w)
                    self.assertNotIn("A", im.mode)
                    self.assertEqual(im.convert("RGB").tobytes(), want)

    def test_saved_files_go_back_exactly(self):
        packed = bytearray(self.fw)
        for i, w in enumerate(WIDTHS):
            o = WINDOW + 1024 * i
            packed[o:o + 2 * w * H] = pack_device([v & 0x7FFF for v in self.values[w]])
        for bits in (24, 32):
            for name, save in SAVERS.items():
                with self.subTest(bits=bits, saver=name):
                    self.pull(bits)
                    for w in WIDTHS:
                        save("w%d.bmp" % w, "w%d.bmp" % w)
                    shutil.copy("fw.bin", "target.bin")
                    out, status = run(PUSH, "target.bin", "-l", "p.lst")
                    self.assertEqual((out.count("\n"), status), (len(WIDTHS), 0), out)
                    with open("target.bin", "rb") as f:
                        self.assertEqual(f.read(), packed)

    def test_layouts_that_cannot_be_packed_are_refused(self):
        self.pull(24)
        for name, (save, message) in REFUSED.items():
            with self.subTest(saver=name):
                save("w5.bmp", "r.bmp")
                out, _ = run(PUSH, "fw.bin", "%X" % WINDOW, "5", "3", "r.bmp")
                self.assertEqual(out.splitlines()[1:], [message])
                with open("fw.bin", "rb") as f:
                    self.assertEqual(f.read(), self.fw)

    def test_palette_pictures_need_truecolor(self):
        self.pull(24)
        o = WINDOW + 1024 * WIDTHS.index(5)
        packed = bytearray(self.fw)
        packed[o:o + 2 * 5 * H] = pack_device([v & 0x7FFF for v in self.values[5]])
        for name, save in PALETTE.items():
            for opts, lines, want in (((), ["unsupported bitcount."], self.fw), (("-type", "TrueColor"), [], packed)):
                with self.subTest(saver=name, options=opts):
                    save("w5.bmp", "r.bmp", *opts)
                    shutil.copy("fw.bin", "target.bin")
                    out, _ = run(PUSH, "target.bin", "%X" % o, "5", "3", "r.bmp")
                    self.assertEqual(out.splitlines()[1:], lines)
                    with open("target.bin", "rb") as f:
                        self.assertEqual(f.read(), want)



if __name__ == "__main__":
    unittest.main()
