"""Runs 'kvlist find' on firmware files made here: shaded pictures of known size among random
code bytes, text and zero padding; the list it prints is exact, and kvpull takes all of it."""
import math
import os
import random
import struct
import subprocess
import unittest

from kvfiles import PULL, RUNNER, WINDOWS, InTempDir, run

KVLIST = os.environ["KVLIST"]
HEADER = ("# pictures found by kvlist find in {name}\n"
          "# {name}: {size} bytes, offsets 0x00000000 to 0x{last:08X} scanned\n{only}"
          "# {count} candidate{s}; the note after each says how sure the finder is\n"
          "# offset     unused width height name\n")


def ball(w, h, seed):
    """A ball lit from the top left on a dark, slightly graded ground: smooth and asymmetric."""
    words = []
    cx, cy, rad = w * 0.45, h * 0.55, min(w, h) * 0.42
    for y in range(h):
        for x in range(w):
            d = math.hypot(x - cx, y - cy) / rad
            if d < 1:
                lit = max(0.0, 1 - math.hypot(x - cx + rad / 3, y - cy + rad / 3) / rad)
                r, g, b = int(8 + 23 * lit), int(4 + 12 * lit + seed), int(20 * (1 - d))
            else:
                r, g, b = 2, 3 + x * 4 // w, 6 + y * 6 // h
            words.append(min(r, 31) << 10 | min(g, 31) << 5 | min(b, 31))
    return struct.pack("<%dH" % len(words), *words)


def firmware_with(pictures, tail):
    """Random code, text, then each (w, h, seed, offset) picture with filler before it."""
    rng = random.Random(7)
    data = bytearray(rng.getrandbits(8) for _ in range(3000))
    data += b"The quick brown fox jumps over the lazy dog. " * 40
    for w, h, seed, offset in pictures:
        data += bytes(offset - len(data)) if offset - len(data) > 2000 else \
            bytes(rng.getrandbits(8) for _ in range(offset - len(data)))
        data += ball(w, h, seed)
    return bytes(data + bytes(rng.getrandbits(8) for _ in range(tail)))


def line(offset, w, h, note, window=False):
    return "0x%08X 0x0000 %d %d at%08X  # %s%s\n" % (offset, w, h, offset, note, "" if window else
                                                     ", outside the kvpush window")


class Find(InTempDir):
    def find(self, *args):
        p = subprocess.run([*RUNNER, KVLIST, "find", *args], capture_output=True, timeout=120)
        return p.stdout.decode(), p.stderr.decode(), p.returncode

    def test_pictures_among_code_and_text(self):
        # Even and odd offsets, three widths; one inside the kvpush window past zero padding. Only the
        # one between random bytes on both sides is sure: text before a picture and zeros before its
        # dark ground continue into it a little.
        pics = [(37, 23, 3, 4800, "likely"), (20, 30, 9, 7503, "likely"), (64, 12, 1, 9303, "sure"),
                (45, 31, 5, 0x550001, "likely")]
        data = firmware_with([p[:4] for p in pics], 1333)
        self.write("fw.bin", data)
        found = [line(o, w, h, note, o >= 0x54DF26) for w, h, _, o, note in pics]
        head = dict(name="fw.bin", size=len(data), last=len(data) - 1, only="")
        rows = [  # FIRST LAST, the candidates listed
            ((), found), (("1D4F", "0x2457"), found[1:3]), (("54DF26", "9E6F56"), found[3:]),
            (("0x12C1", "1D4E"), []), (("0", "ffffffff"), found),
        ]
        for bounds, cands in rows:
            with self.subTest(bounds=bounds):
                only = "# only candidates starting from 0x%08X to 0x%08X\n" % tuple(
                    int(b, 16) for b in bounds) if bounds else ""
                want = HEADER.format(**dict(head, only=only, count=len(cands), s="" if len(cands) == 1 else "s"))
                self.assertEqual(self.find("fw.bin", *bounds), (want + "".join(cands), "", 0))
        # The list is one both tools read: kvpull extracts every candidate.
        self.write("found.lst", self.find("fw.bin")[0])
        self.assertEqual(run(PULL, "fw.bin", "-l", "found.lst"), ("".join(
            "address:0x%08X, width:%d, height:%d, output:at%08X.bmp\n" % (o, w, h, o) for w, h, _, o, _ in pics), 0))
        self.assertEqual(sorted(f for f in os.listdir(".") if f.endswith(".bmp")),
                         ["at%08X.bmp" % o for _, _, _, o, _ in pics])

    def test_nothing_to_find(self):
        rows = [(b"", "0 bytes, nothing to scan"), (bytes(5000), None), (b"\xff" * 4097, None),
                (b"plain text, no pixels here. " * 200, None)]
        for data, scanned in rows:
            with self.subTest(data=data[:20]):
                self.write("x.bin", data)
                out, err, status = self.find("x.bin")
                what = scanned or "%d bytes, offsets 0x00000000 to 0x%08X scanned" % (len(data), len(data) - 1)
                self.assertEqual((out, err, status), (
                    "# pictures found by kvlist find in x.bin\n# x.bin: %s\n" % what
                    + "# 0 candidates; the note after each says how sure the finder is\n"
                    + "# offset     unused width height name\n", "", 0))

    @unittest.skipIf(WINDOWS, "a name with a line end is a POSIX matter")
    def test_control_characters_of_a_name_are_escaped(self):
        self.write("a\tb\nc.bin", b"")
        self.assertEqual(self.find("a\tb\nc.bin")[0].splitlines()[:2],
                         ["# pictures found by kvlist find in a\\x09b\\x0Ac.bin",
                          "# a\\x09b\\x0Ac.bin: 0 bytes, nothing to scan"])


if __name__ == "__main__":
    unittest.main()
