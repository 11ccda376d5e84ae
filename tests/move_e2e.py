"""kvlist move and kvlist check on files made in a temporary folder: exact output, messages, status."""
import os
import struct
import subprocess
import unittest
import zlib

from kvfiles import InTempDir as TempDir, RUNNER, WINDOW, WINDOWS, device_values, firmware, pack_device

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


def picture(w, h, seed):
    """Asymmetric: every pixel differs from its neighbours and rows differ."""
    return pack_device(device_values(w, h, seed * 977))


def plain(w, h):
    return b"\x34\x12" * (w * h)


def redraw(data, pixels):
    """The same picture with a few pixels scattered over it changed."""
    out = bytearray(data)
    for k in range(pixels):
        out[(k * 37 % (len(data) // 2)) * 2] ^= 0x5A
    return bytes(out)


def lay(pieces):
    """Bytes of pieces in order: bytes as they are, a name a placeholder whose offset is kept."""
    out, at = b"", {}
    for piece in pieces:
        if isinstance(piece, tuple):
            at[piece[0]] = len(out)
            out += piece[1]
        else:
            out += piece
    return out, at


InTempDir = TempDir


A, B, C = picture(5, 3, 1), picture(7, 4, 2), picture(9, 5, 3)
BIG = picture(61, 30, 4)
P = plain(4, 3)


class Move(InTempDir):
    def move(self, old, new, names, list_text=None):
        """Runs move over a list naming every placed picture of old in order."""
        old_bytes, at = lay(old)
        new_bytes, _ = lay(new)
        self.write("old.bin", old_bytes)
        self.write("new.bin", new_bytes)
        if list_text is None:
            sizes = {"a": (5, 3), "b": (7, 4), "c": (9, 5), "big": (61, 30), "p": (4, 3), "q": (4, 3)}
            list_text = "".join("0x%08X 0x0000 %d %d %s\n" % (at[n], *sizes[n], n) for n in names)
        self.write("p.lst", list_text)
        return kvlist("move", "old.bin", "p.lst", "new.bin")

    def test_report_lines_and_status(self):
        rows = [
            ("unchanged",
             [noise(40, 1), ("a", A), noise(30, 2), ("b", B), noise(9, 3)],
             [noise(40, 1), A, noise(30, 2), B, noise(9, 3)],
             ["a: same", "b: same"], (2, 0, 0, 0), 0),
            ("moved by odd and even amounts",
             [noise(40, 1), ("a", A), noise(30, 2), ("b", B), noise(20, 3), ("c", C), noise(9, 4)],
             [noise(43, 1), A, noise(32, 2), B, noise(19, 3), C, noise(9, 4)],
             ["a: moved by +3", "b: moved by +5", "c: moved by +4"], (0, 3, 0, 0), 0),
            ("moved back",
             [noise(40, 1), ("a", A), noise(30, 2), ("b", B), noise(9, 3)],
             [noise(1, 1), A, noise(30, 2), B, noise(9, 3)],
             ["a: moved by -39", "b: moved by -39"], (0, 2, 0, 0), 0),
            ("a repeated plain colour, each settled by its neighbours",
             [noise(20, 1), ("a", A), noise(10, 2), ("p", P), noise(10, 3), ("b", B), noise(10, 4), ("q", P),
              noise(10, 5), ("c", C), noise(10, 6)],
             [noise(20, 1), A, noise(11, 2), P, noise(10, 3), B, noise(13, 4), P, noise(10, 5), C, noise(10, 6)],
             ["a: same", "p: moved by +1", "b: moved by +1", "q: moved by +4", "c: moved by +4"],
             (1, 4, 0, 0), 0),
            ("a plain colour twice between the same neighbours, one gone: neither is guessed",
             [noise(20, 1), ("a", A), noise(10, 2), ("p", P), noise(10, 3), ("q", P), noise(10, 4), ("b", B),
              noise(10, 5)],
             [noise(20, 1), A, noise(10, 2), P, noise(10, 3), noise(24, 9), noise(10, 4), B, noise(10, 5)],
             ["a: same", "p: not found", "q: not found", "b: same"], (2, 0, 0, 2), 1),
            ("redrawn and moved",
             [noise(20, 1), ("a", A), noise(10, 2), ("big", BIG), noise(10, 3), ("b", B), noise(10, 4)],
             [noise(20, 1), A, noise(17, 2), redraw(BIG, 40), noise(10, 3), B, noise(10, 4)],
             ["a: same", "big: changed, moved by +7 (6 of 30 rows equal)", "b: moved by +7"], (1, 1, 1, 0), 0),
            ("redrawn in place",
             [noise(20, 1), ("a", A), noise(10, 2), ("big", BIG), noise(10, 3), ("b", B), noise(10, 4)],
             [noise(20, 1), A, noise(10, 2), redraw(BIG, 2), noise(10, 3), B, noise(10, 4)],
             ["a: same", "big: changed, moved by +0 (29 of 30 rows equal)", "b: same"], (2, 0, 1, 0), 0),
            ("vanished, its bytes replaced",
             [noise(20, 1), ("a", A), noise(10, 2), ("big", BIG), noise(10, 3), ("b", B), noise(10, 4)],
             [noise(20, 1), A, noise(11, 2), noise(len(BIG), 8), noise(10, 3), B, noise(10, 4)],
             ["a: same", "big: not found", "b: moved by +1"], (1, 1, 0, 1), 1),
            ("two swapped: neither found, never a guess",
             [noise(20, 1), ("a", A), noise(10, 2), ("b", B), noise(10, 3), ("c", C), noise(10, 4), ("big", BIG)],
             [noise(20, 1), A, noise(10, 2), C, noise(10, 3), B, noise(10, 4), BIG],
             ["a: same", "b: not found", "c: not found", "big: same"], (2, 0, 0, 2), 1),
        ]
        for what, old, new, lines, counts, status in rows:
            with self.subTest(what):
                out, err, got = self.move(old, new, [line.split(":")[0] for line in lines])
                total = sum(counts)
                summary = "%d %s: %d same, %d moved, %d changed, %d not found" % (
                    total, "entry" if total == 1 else "entries", *counts)
                self.assertEqual((err, got), ("\n".join(lines + [summary]) + "\n", status))
                # The new list: every found entry at its new offset, the others commented out.
                old_lines = self.read("p.lst").split(b"\n")[:-1]
                new_bytes, old_bytes = self.read("new.bin"), self.read("old.bin")
                for old_line, new_line, report in zip(old_lines, out.split(b"\n"), lines):
                    if report.endswith("not found"):
                        self.assertEqual(new_line, b"#" + old_line)
                        continue
                    self.assertEqual(new_line[10:], old_line[10:])
                    offset, w, h = int(old_line[:10], 16), int(old_line.split()[2]), int(old_line.split()[3])
                    moved_to = int(new_line[:10], 16)
                    self.assertEqual(moved_to - offset, int(report.split("moved by ")[1].split()[0])
                                     if "moved by" in report else 0)
                    if "changed" not in report:
                        self.assertEqual(new_bytes[moved_to:moved_to + 2 * w * h],
                                         old_bytes[offset:offset + 2 * w * h])

    def test_the_list_keeps_its_bytes(self):
        old = [noise(32, 1), ("a", A), noise(10, 2), ("b", B), noise(9, 3)]
        new = [noise(35, 1), A, noise(10, 2), noise(len(B), 7), noise(9, 3)]
        # A blank line repeats the entry before; the fifth line takes b's name, so it is written in full.
        text = ("\ufeff# pictures of v1\r\n0x20 0x0001  5 3 a   # the logo\r\n\r\n"
                "0x00000048 0x0000 7 4 b\r\n0x00000020 0x0000 5 3\r\nno entry")
        out, err, status = self.move(old, new, None, text)
        self.assertEqual(out, ("\ufeff# pictures of v1\r\n0x00000023 0x0001  5 3 a   # the logo\r\n\r\n"
                               "#0x00000048 0x0000 7 4 b\r\n0x00000023 0x0000 5 3 b\r\nno entry").encode())
        self.assertEqual((err, status), ("a: moved by +3\nb: not found\nb: moved by +3\n"
                                         "3 entries: 0 same, 2 moved, 0 changed, 1 not found\n", 1))

    def test_a_line_taking_fields_of_a_vanished_entry_is_written_in_full(self):
        old = [noise(32, 1), ("a", A), noise(10, 2), ("b", B), noise(9, 3)]
        new = [noise(33, 1), A, noise(10, 2), noise(len(B), 7), noise(9, 3)]
        out, err, status = self.move(old, new, None, "0x00000048 0x0000 5 3 b\n0x00000020\n")
        self.assertEqual(out, b"#0x00000048 0x0000 5 3 b\n0x00000021 0x0000 5 3 b\n")
        self.assertEqual((err, status), ("b: not found\nb: moved by +1\n"
                                         "2 entries: 0 same, 1 moved, 0 changed, 1 not found\n", 1))

    def test_entries_kvpull_cannot_read_are_not_found(self):
        old = [noise(32, 1), ("a", A), noise(10, 2)]
        out, err, status = self.move(old, old, None,
                                     "0x00000020 0x0 200 160 big\n0x00000020 0x0 5 3 a\n0x0000002B 0x0 5 3 end\n"
                                     "0x00000020 0x0 0 3 none\n")
        self.assertEqual(out, b"#0x00000020 0x0 200 160 big\n0x00000020 0x0 5 3 a\n#0x0000002B 0x0 5 3 end\n"
                              b"#0x00000020 0x0 0 3 none\n")
        self.assertEqual((err, status), ("big: not found\na: same\nend: not found\nnone: not found\n"
                                         "4 entries: 1 same, 0 moved, 0 changed, 3 not found\n", 1))

    def test_names_are_escaped(self):
        old = [noise(32, 1), ("a", A), noise(10, 2)]
        _, err, _ = self.move(old, old, None, "0x00000020 0x0 5 3 a\x1b[31m\n")
        self.assertEqual(err.splitlines()[0], "a\\x1B[31m: same")

    def test_bad_input(self):
        self.write("fw.bin", noise(100, 1))
        self.write("p.lst", "0x00000010 0x0 5 3 a\n")
        self.write("empty", b"")
        os.mkdir("d")
        rows = [
            (("none.bin", "p.lst", "fw.bin"), "kvlist: none.bin: cannot open (no such file, no permission, or not a file)\n"),
            (("fw.bin", "p.lst", "d"), "kvlist: d: cannot open (no such file, no permission, or not a file)\n"),
            (("empty", "p.lst", "fw.bin"), "kvlist: empty: empty file\n"),
            (("fw.bin", "empty", "fw.bin"), "kvlist: empty: empty file\n"),
            (("fw.bin", "p.lst", "empty"), "kvlist: empty: empty file\n"),
        ]
        for args, err in rows:
            with self.subTest(args=args):
                self.assertEqual(kvlist("move", *args), (b"", err, 1))

    @unittest.skipIf(WINDOWS, "/dev/full is a Linux device")
    def test_failed_write(self):
        self.write("fw.bin", noise(100, 1))
        self.write("p.lst", "0x00000010 0x0 5 3 a\n")
        with open("/dev/full", "wb") as full:
            _, err, status = kvlist("move", "fw.bin", "p.lst", "fw.bin", stdout=full)
        self.assertEqual((err, status), ("kvlist: write to standard output failed\na: same\n"
                                         "1 entry: 1 same, 0 moved, 0 changed, 0 not found\n", 1))


def plant(data, place, value):
    out = bytearray(data)
    out[place] = value
    return bytes(out)


class Check(InTempDir):
    def setUp(self):
        super().setUp()
        self.fw = firmware("orig.bin")
        self.inside = WINDOW + 1000  # a 5 x 3 picture in the kvpush window
        self.before = 0x1000         # a 3 x 2 picture before it
        self.write("p.lst", "0x%08X 0x0000 5 3 logo\n0x%08X 0x0000 3 2 early\n" % (self.inside, self.before))

    def check(self, edited, list_name="p.lst"):
        self.write("edit.bin", edited)
        out, err, status = kvlist("check", "orig.bin", "edit.bin", list_name)
        return out.decode(), err, status

    def edit(self, *changes, data=None):
        out = bytearray(self.fw if data is None else data)
        for at in changes:
            out[at] ^= 0x41
        return bytes(out)

    def test_report_lines_and_status(self):
        i, b = self.inside, self.before
        rows = [
            ("unchanged", self.edit(), "logo: unchanged\nearly: unchanged\n", "0 of 2 pictures changed, 0 ranges", 0),
            ("pixels inside a picture kvpush writes", self.edit(i, i + 1, i + 2, i + 29),
             "logo: 3 pixels changed\nearly: unchanged\n", "1 of 2 pictures changed, 0 ranges", 0),
            ("a byte outside every picture", self.edit(i - 1),
             "logo: unchanged\nearly: unchanged\n0x%08X..0x%08X outside every listed picture\n" % (i - 1, i - 1),
             "0 of 2 pictures changed, 1 range", 1),
            ("bytes next to each other are one range, cut by a picture",
             self.edit(i - 2, i - 1, i, i + 30, i + 31, i + 33),
             "logo: 1 pixel changed\nearly: unchanged\n0x%08X..0x%08X outside every listed picture\n"
             "0x%08X..0x%08X outside every listed picture\n0x%08X..0x%08X outside every listed picture\n"
             % (i - 2, i - 1, i + 30, i + 31, i + 33, i + 33),
             "1 of 2 pictures changed, 3 ranges", 1),
            ("inside a picture outside the window", self.edit(b + 3),
             "logo: unchanged\nearly: 1 pixel changed\n0x%08X..0x%08X inside early, outside the kvpush window\n"
             % (b + 3, b + 3), "1 of 2 pictures changed, 1 range", 1),
        ]
        for what, edited, lines, summary, status in rows:
            with self.subTest(what):
                self.assertEqual(self.check(edited), (lines + summary + " where kvpush does not write\n", "", status))

    def test_length_change(self):
        longer = self.fw + b"\0\0\0"
        out, err, status = self.check(longer)
        self.assertEqual((out, err, status), ("logo: unchanged\nearly: unchanged\nedit.bin is 3 bytes longer than "
                                              "orig.bin\n0 of 2 pictures changed, 0 ranges where kvpush does not "
                                              "write, lengths differ\n", "", 1))
        shorter = self.fw[:self.inside + 20]
        out, err, status = self.check(shorter)
        self.assertEqual((out, err, status), ("logo: runs past the end of edit.bin\nearly: unchanged\n"
                                              "edit.bin is %d bytes shorter than orig.bin\n0 of 2 pictures changed, "
                                              "0 ranges where kvpush does not write, lengths differ\n"
                                              % (len(self.fw) - len(shorter)), "", 1))

    def test_entries_that_cannot_be_compared(self):
        end = len(self.fw)
        self.write("odd.lst", "0x%08X 0x0 5 3 tail\n0x%08X 0x0 200 160 big\n0x%08X 0x0 0 5 none\n\n"
                   % (end - 10, self.inside, self.inside))
        out, err, status = self.check(self.edit(end - 5, self.inside), "odd.lst")
        self.assertEqual((out, err, status), (
            "tail: runs past the end of orig.bin\nbig: too large, kvpush refuses it\nnone: no pixels, kvpush refuses it\n"
            "0x%08X..0x%08X outside every listed picture\n0x%08X..0x%08X outside every listed picture\n"
            "0 of 3 pictures changed, 2 ranges where kvpush does not write\n"
            % (self.inside, self.inside, end - 5, end - 5), "", 1))

    def test_planted_checksums(self):
        rest = self.fw[:-4]
        crc = zlib.crc32(rest)
        with_crc = rest + struct.pack("<I", crc)
        self.write("orig.bin", with_crc)
        edited = self.edit(self.inside, data=with_crc)
        out, err, status = self.check(edited)
        need = zlib.crc32(edited[:-4])
        end = len(with_crc) - 4
        self.assertEqual((err, status), (
            "kvlist: warning: the last 4 bytes of orig.bin hold the CRC-32 of the rest, little-endian; edit.bin "
            "would need 0x%08X there (0x%08X..0x%08X)\n" % (need, end, end + 3), 0))
        self.assertEqual(out, "logo: 1 pixel changed\nearly: unchanged\n1 of 2 pictures changed, 0 ranges where "
                              "kvpush does not write\n")
        # Written by whoever knows it is needed, the warning goes; the bytes changed are outside every picture.
        self.assertEqual(self.check(edited[:-4] + struct.pack("<I", need))[1:], ("", 1))

        body = self.fw[2:]
        total = (-sum(struct.unpack(">%dH" % (len(body) // 2), body))) & 0xFFFF
        with_sum = struct.pack(">H", total) + body
        self.write("orig.bin", with_sum)
        edited = self.edit(self.inside + 1, data=with_sum)
        need = (-sum(struct.unpack(">%dH" % (len(body) // 2), edited[2:]))) & 0xFFFF
        self.assertEqual(self.check(edited)[1:], (
            "kvlist: warning: the first 2 bytes of orig.bin hold the two's complement of the 16-bit sum of the "
            "big-endian 16-bit words of the rest, big-endian; edit.bin would need 0x%04X there "
            "(0x00000000..0x00000001)\n" % need, 0))

    def test_bad_input(self):
        self.write("empty", b"")
        os.mkdir("d")
        rows = [
            (("none.bin", "orig.bin", "p.lst"), "kvlist: none.bin: cannot open (no such file, no permission, or not a file)\n"),
            (("orig.bin", "d", "p.lst"), "kvlist: d: cannot open (no such file, no permission, or not a file)\n"),
            (("orig.bin", "empty", "p.lst"), "kvlist: empty: empty file\n"),
            (("orig.bin", "orig.bin", "empty"), "kvlist: empty: empty file\n"),
        ]
        for args, err in rows:
            with self.subTest(args=args):
                self.assertEqual(kvlist("check", *args), (b"", err, 2))

    @unittest.skipIf(WINDOWS, "/dev/full is a Linux device")
    def test_failed_write(self):
        with open("/dev/full", "wb") as full:
            self.assertEqual(kvlist("check", "orig.bin", "orig.bin", "p.lst", stdout=full)[1:],
                             ("kvlist: write to standard output failed\n", 2))


if __name__ == "__main__":
    unittest.main()
