"""Runs 'kvlist view' on files made in a temporary folder: what the page holds, the messages, the status.
The page itself is driven in a browser by view_browser.py."""
import base64
import json
import os
import re
import subprocess
import unittest

from kvfiles import InTempDir, RUNNER, WINDOWS, firmware

KVLIST = os.environ["KVLIST"]
MiB = 1 << 20


def view(*args, stdout=subprocess.PIPE):
    p = subprocess.run([*RUNNER, KVLIST, "view", *args], stdout=stdout, stderr=subprocess.PIPE, timeout=300)
    return p.stdout or b"", p.stderr.decode().replace("\r\n", "\n"), p.returncode


def script(page, element_id):
    m = re.search(r'<script type="[^"]+" id="%s">(.*?)</script>' % element_id, page, re.S)
    return m.group(1)


class View(InTempDir):
    def setUp(self):
        super().setUp()
        self.fw = firmware("fw.bin", 0x4000)

    def page(self, *args, errors=""):
        """The page of a run that succeeds with these messages: its data and the bytes it holds."""
        out, err, status = view(*args)
        self.assertEqual((err, status), (errors, 0))
        page = out.decode("ascii")  # all else escaped
        self.assertTrue(page.startswith("<!DOCTYPE html>\n") and page.endswith("</html>\n"))
        self.assertNotRegex(page, r"https?:|<link|src=|url\(|\{\{")
        return json.loads(script(page, "kv-data")), base64.b64decode(script(page, "kv-bytes"))

    def test_the_list_as_kvlist_reads_it(self):
        """Each line's bytes, its entry with the fields it takes over, or its refusal; names of any bytes."""
        listing = (b"# offset unused width height name\r\n"
                   b"0x00000100 0x0000 5 3 a<b>&'\"  # sure, find's note\r\n"
                   b"0x00000200\r\n"
                   b"0X300 0x0 1 1 x\r\n"
                   b"\r\n"
                   b"0x00000300 0x0000 7 2 \x01\xff</script>\r\n"
                   b"0x00000400 0x0000 1 1 " + b"n" * 128 + b"\r\n"
                   b"0x00000500 0x0000 -3 999 last")
        # Names with markup that Windows takes too (< > and " are in the list's names).
        self.write("p&'1.lst", listing)
        self.write("f&'w.bin", self.fw)
        data, held = self.page("f&'w.bin", "p&'1.lst", errors="kvlist: p&'1.lst:4: list entry incomplete.\n"
                                                              "kvlist: p&'1.lst:5: list entry incomplete.\n"
                                                              "kvlist: p&'1.lst:7: list entry name too long.\n")
        self.assertEqual(held, self.fw)
        self.assertEqual(base64.b64decode(data.pop("listBytes")), listing)
        lines = data.pop("lines")
        self.assertEqual(data, {"firmware": "f&'w.bin", "list": "p&'1.lst", "fileSize": 0x4000, "first": 0,
                                "held": 0x4000, "range": None, "window": [0x54DF26, 0x9E6F56], "maxWidth": 128,
                                "maxHeight": 160, "maxPixels": 20480, "nameMax": 127, "pastLast": 40960, "bom": 0})
        self.assertEqual(lines, [
            [0, 0, 35, 2],
            [1, 35, 52, 2, 0x100, 5, 3, "a<b>&'\"", 29, "sure, find's note"],
            [1, 87, 12, 2, 0x200, 5, 3, "a<b>&'\"", -1, ""],
            [2, 99, 17, 2, "list entry incomplete."],
            [2, 116, 2, 2, "list entry incomplete."],
            [1, 118, 35, 2, 0x300, 7, 2, "\x01\xff</script>", 33, ""],
            [2, 153, 152, 2, "list entry name too long."],
            [1, 305, 29, 0, 0x500, -3, 999, "last", 29, ""]])
        for line in lines:  # each line's bytes where the page is told they lie
            text = listing[line[1]:line[1] + line[2]]
            self.assertEqual(text.endswith(b"\r\n"), line[3] == 2)
            if line[0] == 1 and line[8] >= 0:
                self.assertTrue(text[:line[8]].endswith(line[7].encode("latin-1")))

    def test_range_and_no_list(self):
        """FIRST LAST: the bytes from FIRST to LAST and 40,960 more, cut at the file's end; without LIST no lines."""
        big = firmware("big.bin", 0x20000)
        rows = [(("fw.bin",), 0, 0x4000, None),
                (("fw.bin", "0x10", "10"), 0x10, 0x4000 - 0x10, [0x10, 0x10]),
                (("big.bin", "1001", "2000"), 0x1001, 0x2000 + 40960 - 0x1001, [0x1001, 0x2000]),
                (("big.bin", "1FFFF", "FFFFFFFF"), 0x1FFFF, 1, [0x1FFFF, 0xFFFFFFFF])]
        for args, first, size, ranged in rows:
            with self.subTest(args=args):
                data, held = self.page(*args)
                self.assertEqual((data["list"], data["lines"], data["first"], data["held"], data["range"]),
                                 (None, [], first, size, ranged))
                self.assertEqual(held, (big if args[0] == "big.bin" else self.fw)[first:first + size])

    def test_inputs_that_give_no_page(self):
        os.mkdir("dir")
        self.write("p.lst", "0x00000100 0x0000 5 3 a\n")
        self.write("empty.bin", b"")
        self.write("empty.lst", b"")
        with open("huge.bin", "wb") as f:  # sparse: 64 MiB and one byte
            f.truncate(64 * MiB + 1)
        self.write("blank.lst", "\n" * 310000)
        gone = "kvlist: %s: cannot open (no such file, no permission, or not a file)\n"
        usage = "kvlist: usage: kvlist view FIRMWARE [LIST] [FIRST LAST]\n"
        rows = [
            ((), usage, 2), (("fw.bin", "p.lst", "1", "2", "3"), usage, 2),
            (("fw.bin", "x1", "10"), "kvlist: 'x1' is no 32-bit hexadecimal offset\n", 2),
            (("fw.bin", "p.lst", "10", "100000000"), "kvlist: '100000000' is no 32-bit hexadecimal offset\n", 2),
            (("fw.bin", "20", "1F"), "kvlist: view: FIRST 0x00000020 is beyond LAST 0x0000001F\n", 2),
            (("none.bin",), gone % "none.bin", 1), (("dir", "p.lst"), gone % "dir", 1),
            (("fw.bin", "none.lst"), gone % "none.lst", 1), (("fw.bin", "dir", "0", "10"), gone % "dir", 1),
            (("empty.bin", "p.lst"), "kvlist: empty.bin: empty file, no firmware\n", 1),
            (("fw.bin", "p.lst", "4000", "5000"),
             "kvlist: view: FIRST 0x00004000 lies past the end of fw.bin (16384 bytes)\n", 1),
            (("huge.bin",), "kvlist: huge.bin: 67108865 bytes, more than a page holds (64 MiB): view a part with "
                            "FIRST LAST, as in kvlist view huge.bin LIST 54DF26 9E6F56\n", 1),
            (("huge.bin", "p.lst", "0", "3FF6001"), "kvlist: view: 0x00000000 to 0x03FF6001 and the 40960 bytes "
                                                     "after it are more than a page holds (64 MiB): bring FIRST and "
                                                     "LAST closer\n", 1),
            (("fw.bin", "blank.lst"), "kvlist: the page could take 265 MiB, more than 256 MiB: split the list\n", 1),
        ]
        for args, err, status in rows:
            with self.subTest(args=args):
                self.assertEqual(view(*args), (b"", err, status))
        # An empty list is a list without entries.
        data, _ = self.page("fw.bin", "empty.lst")
        self.assertEqual((data["list"], data["lines"]), ("empty.lst", []))

    def test_standard_output_onto_an_input(self):
        self.write("p.lst", "0x00000100 0x0000 5 3 a\n")
        files = {name: self.read(name) for name in ("fw.bin", "p.lst")}
        for into in files:
            with self.subTest(into=into), open(into, "ab") as out:
                self.assertEqual(view("fw.bin", "p.lst", stdout=out),
                                 (b"", "kvlist: standard output is one of the input files\n", 1))
            self.assertEqual({name: self.read(name) for name in files}, files)

    @unittest.skipIf(WINDOWS, "/dev/full is a Linux matter")
    def test_failed_write(self):
        """The refused lines, then the failure; the page is written in pieces, the first of which fails."""
        self.write("p.lst", "x\n0x00000100 0x0000 5 3 a\n")
        with open("/dev/full", "wb") as out:
            self.assertEqual(view("fw.bin", "p.lst", stdout=out), (b"", "kvlist: p.lst:1: list entry incomplete.\n"
                                                                        "kvlist: write to standard output failed\n", 1))


if __name__ == "__main__":
    unittest.main()
