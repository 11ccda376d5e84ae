"""kvlist move and kvlist check on files made in a temporary folder: exact output, messages, status."""
import collections
import os
import random
import struct
import subprocess
import sys
import unittest
import zlib

from kvfiles import PUSH, InTempDir, RUNNER, WINDOW, WINDOWS, bmp, device_values, firmware, pack_device, run

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "bench"))
import bench_move  # noqa: E402  the benchmark's scoring of adversarial pairs
import mkadversarial  # noqa: E402

KVLIST = os.environ["KVLIST"]


def kvlist(*args, stdout=subprocess.PIPE):
    """Standard output as bytes (kvlist writes it untranslated), standard error as text, status."""
    p = subprocess.run([*RUNNER, KVLIST, *args], stdout=stdout, stderr=subprocess.PIPE, timeout=300)
    return p.stdout or b"", p.stderr.decode().replace("\r\n", "\n"), p.returncode


def noise(n, seed):
    out, x = bytearray(), seed * 2654435761 + 1
    for _ in range(n):
        x = (x * 1103515245 + 12345) & 0xFFFFFFFF
        out.append(x >> 23 & 0xFF)
    return bytes(out)


def lay(pieces):
    """Bytes of pieces in order: bytes as they are, (name, bytes) a picture whose offset is kept."""
    out, at = b"", {}
    for piece in pieces:
        if isinstance(piece, tuple):
            at[piece[0]] = len(out)
            piece = piece[1]
        out += piece
    return out, at


# Asymmetric pictures, of odd widths.
SIZES = {"a": (5, 3), "b": (7, 4), "c": (9, 5), "big": (61, 30)}
A, B, C, BIG = (pack_device(device_values(w, h, (i + 1) * 977)) for i, (w, h) in enumerate(SIZES.values()))
REDRAWN = bytearray(BIG)  # 40 pixels scattered over it changed
for k in range(40):
    REDRAWN[(k * 37 % (len(BIG) // 2)) * 2] ^= 0x5A


class Move(InTempDir):
    def move(self, old, new, list_text=None):
        """Runs move over a list naming every placed picture of old in order, or over list_text."""
        old_bytes, at = lay(old)
        self.write("old.bin", old_bytes)
        self.write("new.bin", lay(new)[0])
        if list_text is None:
            list_text = "".join("0x%08X 0x0000 %d %d %s\n" % (at[n], *SIZES[n], n) for n in at)
        self.write("p.lst", list_text)
        return kvlist("move", "old.bin", "p.lst", "new.bin")

    def test_report_lines_and_status(self):
        rows = [
            ("moved by odd and even amounts",
             [noise(40, 1), ("a", A), noise(30, 2), ("b", B), noise(20, 3), ("c", C), noise(9, 4)],
             [noise(43, 1), A, noise(32, 2), B, noise(19, 3), C, noise(9, 4)],
             ["a: moved by +3", "b: moved by +5", "c: moved by +4"], (0, 3, 0, 0), 0),
            ("redrawn and moved",
             [noise(20, 1), ("a", A), noise(10, 2), ("big", BIG), noise(10, 3), ("b", B), noise(10, 4)],
             [noise(20, 1), A, noise(17, 2), bytes(REDRAWN), noise(10, 3), B, noise(10, 4)],
             ["a: same", "big: changed, moved by +7 (6 of 30 rows equal)", "b: moved by +7"], (1, 1, 1, 0), 0),
            ("vanished, its bytes replaced",
             [noise(20, 1), ("a", A), noise(10, 2), ("big", BIG), noise(10, 3), ("b", B), noise(10, 4)],
             [noise(20, 1), A, noise(11, 2), noise(len(BIG), 8), noise(10, 3), B, noise(10, 4)],
             ["a: same", "big: not found", "b: moved by +1"], (1, 1, 0, 1), 1),
        ]
        for what, old, new, lines, counts, status in rows:
            with self.subTest(what):
                out, err, got = self.move(old, new)
                summary = "%d entries: %d same, %d moved, %d changed, %d not found" % (sum(counts), *counts)
                self.assertEqual((err, got), ("\n".join(lines + [summary]) + "\n", status))
                # The new list: every found entry at its new offset, its bytes there; the others commented out.
                want, old_bytes, new_bytes = b"", self.read("old.bin"), self.read("new.bin")
                for line, report in zip(self.read("p.lst").splitlines(True), lines):
                    if report.endswith("not found"):
                        want += b"#" + line
                        continue
                    at, by = int(line[:10], 16), int(report.split("by ")[1].split()[0]) if "by" in report else 0
                    want += b"0x%08X" % (at + by) + line[10:]
                    size = 2 * SIZES[report.split(":")[0]][0] * SIZES[report.split(":")[0]][1]
                    if "changed" not in report:
                        self.assertEqual(new_bytes[at + by:at + by + size], old_bytes[at:at + size])
                self.assertEqual(out, want)

    def test_the_list_keeps_its_bytes(self):
        old = [noise(32, 1), A, noise(10, 2), B, noise(9, 3)]
        new = [noise(35, 1), A, noise(10, 2), noise(len(B), 7), noise(9, 3)]
        # Blank lines repeat the entry before; the fifth line takes b's name, so it is written in full;
        # a name's control character is escaped in the report; a refused line is commented out.
        text = ("\ufeff# pictures of v1\r\n0x20 0x0001  5 3 a\x1b[31m   # the logo\r\n\r\n \t\r\n"
                "0x00000048 0x0000 7 4 b\r\n0x00000020 0x0000 5 3\r\nno entry")
        out, err, status = self.move(old, new, text)
        self.assertEqual(out, ("\ufeff# pictures of v1\r\n0x00000023 0x0001  5 3 a\x1b[31m   # the logo\r\n\r\n \t\r\n"
                               "#0x00000048 0x0000 7 4 b\r\n0x00000023 0x0000 5 3 b\r\n#no entry").encode())
        self.assertEqual((err, status), ("a\\x1B[31m: moved by +3\nb: not found\nb: moved by +3\n"
                                         "line 7: list entry incomplete.\n"
                                         "3 entries: 0 same, 2 moved, 0 changed, 1 not found, 1 line refused\n", 1))


class WholeFiles(InTempDir):
    """Whole firmware files carried over to a copy of themselves, as they are or shifted."""
    def test_carried_over(self):
        sample = os.environ.get("KVSAMPLE", "")
        with open(os.path.join(sample, "firmware.bin"), "rb") as f:
            fw = f.read()
        with open(os.path.join(sample, "pictures.lst"), "rb") as f:
            sample_list = f.read()
        icon = pack_device(device_values(19, 17, 5))
        rng = random.Random(77)
        icons, icons_list, at = bytearray(), [], 0
        while len(icons_list) < 5000:  # identical icons, random bytes of random lengths between them
            gap = rng.randrange(1, 2 * ((15 << 20) // 5000 - len(icon)))
            icons += rng.randbytes(gap) + icon
            icons_list.append("0x%08X 0x0000 19 17 icon%04d\n" % (len(icons) - len(icon), len(icons_list)))
        icons += rng.randbytes((16 << 20) - len(icons))
        rows = [  # what, old file, its list, new file, the word every entry gets
            ("the sample onto a copy of itself: its pictures of repeated rows too", fw, sample_list, fw, "same"),
            ("the sample with 6 bytes before its first picture", fw, sample_list,
             fw[:WINDOW - 1] + b"sixby." + fw[WINDOW - 1:], "moved by +6"),
            ("5,000 identical icons in 16 MiB, shifted by 77 bytes", bytes(icons), "".join(icons_list).encode(),
             bytes(77) + bytes(icons), "moved by +77"),
        ]
        for what, old, lst, new, word in rows:
            with self.subTest(what):
                self.write("old.bin", old)
                self.write("new.bin", new)
                self.write("p.lst", lst)
                _, err, status = kvlist("move", "old.bin", "p.lst", "new.bin")
                lines = err.splitlines()
                self.assertEqual(([l.split(": ", 1)[1] for l in lines[:-1]], status),
                                 ([word] * (len(lines) - 1), 0))
                self.assertGreaterEqual(len(lines), 5)


class Adversarial(InTempDir):
    """Small version pairs of bench/mkadversarial.py, scored as the benchmark scores them. Seeds 1 and 2
    catch identical copies taken in order when their counts differ, 2 and 5 a look-alike on a shared
    ground taken for a redrawn icon when all pixels are compared, not only the distinctive ones."""
    def test_never_a_wrong_offset(self):
        right = counted = 0
        wrong, expected = [], collections.Counter()
        for seed in (1, 2, 5, 9):
            folder = "pair%d" % seed
            mkadversarial.make(folder, seed, 128)
            with open(os.path.join(folder, "ANSWERS")) as f:
                answers = [line.split() for line in f]
            out, err, status = kvlist("move", *(os.path.join(folder, n) for n in ("OLD.bin", "OLD.lst", "NEW.bin")))
            r, w, c, misses = bench_move.score_adversarial(out.decode("latin-1"), err, answers)
            right, counted = right + r, counted + c
            wrong += ["seed %d: %s" % (seed, m) for m in misses if m.startswith("WRONG")]
            expected.update(a[2] for a in answers)
            self.assertEqual(status, 1)  # every pair has refused lines and pictures gone
        self.assertEqual(wrong, [])
        self.assertGreaterEqual(100 * right, 97 * counted, "%d of %d entries right" % (right, counted))
        # The pairs hold every case: pictures kept, moved, redrawn, gone, and refused lines.
        self.assertEqual(sorted(expected), ["changed", "moved", "not-found", "refused", "same"])
        self.assertGreater(counted, 200)


class Misleading(InTempDir):
    """Places that once misled kvlist move. A redrawn picture compared only with the starts its
    fingerprints and its neighbours voted for: a start a row or a pixel off its true place won when the
    true place got no vote (pictures of rows all alike, whose fingerprints all repeat, get none). And a
    place matching just over half the distinctive pixels of an icon that is gone, straddling a look-alike
    and random bytes, was taken for the icon redrawn."""
    def test_a_redrawn_picture_is_never_a_row_off(self):
        row = [(x * 4) << 10 | (x * 3 + 7) for x in range(8)]  # 8 pixels, all unlike
        rows = pack_device(row * 43)
        redrawn = bytearray(rows)
        for k in range(10):
            redrawn[(k * 67 + 5) % 344 * 2] ^= 0x34
        # The picture moved by +2; the neighbour after it by +18, a row further.
        a, b, tail = noise(24 * 17 * 2, 1), noise(58 * 11 * 2, 2), noise(300, 4)
        old, at = lay([("a", a), noise(40, 3), ("rows", rows), tail, ("b", b)])
        self.write("old.bin", old)
        self.write("new.bin", lay([a, noise(40, 3), b"xy", bytes(redrawn), tail[:100], noise(16, 5), tail[100:], b])[0])
        self.write("p.lst", "0x%08X 0x0000 24 17 a\n0x%08X 0x0000 8 43 rows\n0x%08X 0x0000 58 11 b\n"
                   % (at["a"], at["rows"], at["b"]))
        report = kvlist("move", "old.bin", "p.lst", "new.bin")[1].splitlines()[1]
        self.assertIn(report, ("rows: not found", "rows: changed, moved by +2 (33 of 43 rows equal)"))

    def test_adversarial_pairs_that_mislead_it(self):
        wrong = []
        for seed, kib in ((11, 64), (6, 1024)):  # a redrawn icon a pixel off; a gone icon found
            folder = "pair%d" % seed
            mkadversarial.make(folder, seed, kib)
            with open(os.path.join(folder, "ANSWERS")) as f:
                answers = [line.split() for line in f]
            out, err, _ = kvlist("move", *(os.path.join(folder, n) for n in ("OLD.bin", "OLD.lst", "NEW.bin")))
            misses = bench_move.score_adversarial(out.decode("latin-1"), err, answers)[3]
            wrong += ["seed %d: %s" % (seed, m) for m in misses if m.startswith("WRONG")]
        self.assertEqual(wrong, [])


class BadInput(InTempDir):
    def test_no_output(self):
        self.write("fw.bin", noise(100, 1))
        self.write("p.lst", "0x00000010 0x0 5 3 a\n")
        self.write("empty", b"")
        self.write("copy.bin", noise(100, 1))
        os.mkdir("d")
        gone = "kvlist: %s: cannot open (no such file, no permission, or not a file)\n"
        rows = [
            (("move", "none.bin", "p.lst", "fw.bin"), gone % "none.bin", 1),
            (("move", "fw.bin", "p.lst", "d"), gone % "d", 1),
            (("move", "empty", "p.lst", "fw.bin"), "kvlist: empty: empty file\n", 1),
            (("move", "fw.bin", "empty", "fw.bin"), "kvlist: empty: empty file\n", 1),
            (("move", "fw.bin", "p.lst", "empty"), "kvlist: empty: empty file\n", 1),
            (("check", "none.bin", "fw.bin", "p.lst"), gone % "none.bin", 2),
            (("check", "fw.bin", "d", "p.lst"), gone % "d", 2),
            (("check", "fw.bin", "empty", "p.lst"), "kvlist: empty: empty file\n", 2),
            (("check", "fw.bin", "copy.bin", "empty"), "kvlist: empty: empty file\n", 2),
        ]
        for args, err, status in rows:
            with self.subTest(args=args):
                self.assertEqual(kvlist(*args), (b"", err, status))

    @unittest.skipIf(WINDOWS, "/dev/full is a Linux device")
    def test_failed_write(self):
        self.write("fw.bin", noise(100, 1))
        self.write("copy.bin", noise(100, 1))
        self.write("p.lst", "0x00000010 0x0 5 3 a\n")
        rows = [(("move", "fw.bin", "p.lst", "fw.bin"), "kvlist: write to standard output failed\na: same\n"
                 "1 entry: 1 same, 0 moved, 0 changed, 0 not found\n", 1),
                (("check", "fw.bin", "copy.bin", "p.lst"), "kvlist: write to standard output failed\n", 2)]
        for args, err, status in rows:
            with self.subTest(args=args), open("/dev/full", "wb") as full:
                self.assertEqual(kvlist(*args, stdout=full)[1:], (err, status))


class Check(InTempDir):
    def setUp(self):
        super().setUp()
        self.fw = firmware("orig.bin")
        self.inside = WINDOW + 1000  # a 5 x 3 picture in the kvpush window
        self.before = 0x1000         # a 3 x 2 picture before it
        self.write("p.lst", "0x%08X 0x0000 5 3 logo\n0x%08X 0x0000 3 2 early\n" % (self.inside, self.before))

    def check(self, edited, list_name="p.lst", edited_name="edit.bin"):
        self.write(edited_name, edited)
        out, err, status = kvlist("check", "orig.bin", edited_name, list_name)
        return out.decode(), err, status

    def edit(self, *changes, data=None):
        out = bytearray(data or self.fw)
        for at in changes:
            out[at] ^= 0x41
        return bytes(out)

    def test_report_lines_and_status(self):
        i, b, n, fw = self.inside, self.before, len(self.fw), self.fw
        unchanged, outside = "logo: unchanged\nearly: unchanged\n", "0x%08X..0x%08X outside every listed picture\n"
        rows = [
            ("unchanged", self.edit(), unchanged, "0 of 2 pictures changed, 0 ranges", 0),
            ("pixels inside a picture kvpush writes", self.edit(i, i + 1, i + 2, i + 29),
             "logo: 3 pixels changed\nearly: unchanged\n", "1 of 2 pictures changed, 0 ranges", 0),
            ("a byte outside every picture", self.edit(i - 1), unchanged + outside % (i - 1, i - 1),
             "0 of 2 pictures changed, 1 range", 1),
            ("bytes next to each other are one range, cut by a picture",
             self.edit(i - 2, i - 1, i, i + 30, i + 31, i + 33),
             "logo: 1 pixel changed\nearly: unchanged\n" + outside % (i - 2, i - 1) + outside % (i + 30, i + 31)
             + outside % (i + 33, i + 33), "1 of 2 pictures changed, 3 ranges", 1),
            ("inside a picture outside the window", self.edit(b + 3),
             "logo: unchanged\nearly: 1 pixel changed\n0x%08X..0x%08X inside early, outside the kvpush window\n"
             % (b + 3, b + 3), "1 of 2 pictures changed, 1 range", 1),
            ("a byte longer", fw + b"\0", unchanged + "edit.bin is 1 byte longer than orig.bin\n",
             "0 of 2 pictures changed, 0 ranges", 1),
            ("shorter", fw[:i + 20], "logo: runs past the end of edit.bin\nearly: unchanged\nedit.bin is %d bytes "
             "shorter than orig.bin\n" % (n - i - 20), "0 of 2 pictures changed, 0 ranges", 1),
        ]
        for what, edited, lines, summary, status in rows:
            with self.subTest(what):
                tail = ", lengths differ" if len(edited) != n else ""
                self.assertEqual(self.check(edited),
                                 (lines + summary + " where kvpush does not write" + tail + "\n", "", status))

    def test_entries_that_cannot_be_compared(self):
        end = len(self.fw)
        self.write("odd.lst", "0x%08X 0x0 5 3 tail\n0x%08X 0x0 200 160 big\n0x%08X 0x0 0 5 none\n"
                   "0x%08X 0x0 5 3 gone\n\n" % (end - 10, self.inside, self.inside, end - 1))
        self.assertEqual(self.check(self.edit(end - 5, self.inside, self.inside + 40960), "odd.lst"), (
            "tail: 1 pixel changed; runs past the end of orig.bin, so kvpush writes at most 5 pixels here\n"
            "big: 1 pixel changed; too large for kvpull, so kvpush writes at most 20480 pixels here\n"
            "none: no pixels, kvpush refuses it\ngone: runs past the end of orig.bin, kvpush refuses it\n"
            "0x%08X..0x%08X outside every listed picture\n0x%08X..0x%08X inside tail, outside the kvpush window\n"
            "2 of 4 pictures changed, 2 ranges where kvpush does not write\n"
            % (self.inside + 40960, self.inside + 40960, end - 5, end - 5), "", 1))

    def test_what_kvpush_writes_is_inside_its_entry(self):
        """kvpush writes its BMP's own size: check passes every byte of it, whatever the entry's size says."""
        rows = [  # firmware size, entry offset, width, height, BMP width, height, check's line for it
            (WINDOW + 70000, WINDOW + 8, 200, 160, 127, 160,
             "big: 20320 pixels changed; too large for kvpull, so kvpush writes at most 20480 pixels here"),
            (WINDOW + 70000, WINDOW + 8, 150, 150, 143, 143,  # the most a BMP can be within 150 x 150
             "square: 20449 pixels changed; too large for kvpull, so kvpush writes at most 20449 pixels here"),
            (WINDOW + 100, WINDOW + 75, 5, 3, 3, 2,
             "tail: 6 pixels changed; runs past the end of orig.bin, so kvpush writes at most 12 pixels here"),
            (WINDOW + 100, WINDOW + 70, 5, 3, 5, 3, "tail: 15 pixels changed"),
        ]
        for size, at, w, h, bw, bh, line in rows:
            with self.subTest(line):
                name = line.split(":")[0]
                original = firmware("orig.bin", size)
                firmware("edit.bin", size)
                self.write(name + ".bmp", bmp(bw, bh, 24, [v ^ 0x2108 for v in device_values(bw, bh)]))
                self.write("p.lst", "0x%08X 0x0000 %d %d %s\n" % (at, w, h, name))
                self.assertEqual(run(PUSH, "edit.bin", "-l", "p.lst")[1], 0)
                self.assertTrue(self.read("edit.bin") != original, "kvpush wrote nothing")
                self.assertEqual(self.check(self.read("edit.bin")), (
                    line + "\n1 of 1 picture changed, 0 ranges where kvpush does not write\n", "", 0))

    def test_planted_checksums(self):
        """Computed here with zlib and struct, apart from kvlist's own sums."""
        def be16_sum(body):
            return (-sum(struct.unpack(">%dH" % (len(body) // 2), body))) & 0xFFFF
        rows = [  # what, how the original holds it, where, the value an edit needs
            ("the last 4 bytes of orig.bin hold the CRC-32 of the rest, little-endian",
             lambda rest: rest + struct.pack("<I", zlib.crc32(rest)), slice(-4, None), slice(None, -4),
             lambda rest: "0x%08X" % zlib.crc32(rest), len(self.fw) - 4, 4),
            ("the first 2 bytes of orig.bin hold the two's complement of the 16-bit sum of the big-endian 16-bit "
             "words of the rest, big-endian", lambda rest: struct.pack(">H", be16_sum(rest)) + rest,
             slice(0, 2), slice(2, None), lambda rest: "0x%04X" % be16_sum(rest), 0, 2),
        ]
        # A name longer than any line buffer (but where Windows limits paths): the warning is never cut.
        deep = "." if WINDOWS else os.path.join(*["folder-%03d" % i + "x" * 190 for i in range(6)])
        os.makedirs(deep, exist_ok=True)
        long_name = os.path.join(deep, "edit.bin")
        for what, make, place, rest, need, at, size in rows:
            with self.subTest(what):
                original = make(self.fw[rest])
                self.write("orig.bin", original)
                edited = self.edit(self.inside, data=original)
                self.assertEqual(self.check(edited, edited_name=long_name), (
                    "logo: 1 pixel changed\nearly: unchanged\n1 of 2 pictures changed, 0 ranges where kvpush does "
                    "not write\n", "kvlist: warning: %s; %s would need %s there (0x%08X..0x%08X)\n"
                    % (what, long_name, need(edited[rest]), at, at + size - 1), 0))
                # Written by whoever knows it is needed, the warning goes; those bytes lie outside the pictures.
                self.assertEqual(self.check(make(edited[rest]))[1:], ("", 1))


if __name__ == "__main__":
    unittest.main()
