"""Runs 'kvlist sheet' on files made in a temporary folder: the page, the messages, the status."""
import base64
import os
import re
import struct
import subprocess
import unittest

from kvfiles import InTempDir, PULL, RUNNER, WINDOWS, device_values, firmware, pack_device, run

KVLIST = os.environ["KVLIST"]
SIZE = 0x560000  # past the first offsets kvpush writes, small enough to make quickly


def sheet(*args, stdout=subprocess.PIPE):
    p = subprocess.run([*RUNNER, KVLIST, "sheet", *args], stdout=stdout, stderr=subprocess.PIPE, timeout=120)
    return p.stdout or b"", p.stderr.decode().replace("\r\n", "\n"), p.returncode


def bmp16(w, h, values):
    """The 16-bit bit-field BMP the format defines for device words, written here independently."""
    row = (2 * w + 3) & ~3
    rows = b"".join(pack_device(values[y * w:(y + 1) * w]).ljust(row, b"\0") for y in reversed(range(h)))
    return (struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 66 + len(rows), 0, 0, 66, 40, w, h, 1, 16, 3, len(rows),
                        0, 0, 0, 0) + struct.pack("<III", 0x7C00, 0x03E0, 0x001F) + rows)


def img(w, h, values, alt):
    return '<img src="data:image/bmp;base64,%s" width="%d" height="%d" alt="%s">' % (
        base64.b64encode(bmp16(w, h, values)).decode(), 2 * w, 2 * h, alt)


def put(data, *pictures):
    """The firmware bytes with each (offset, words) picture written over them."""
    for offset, values in pictures:
        data = data[:offset] + pack_device(values) + data[offset + 2 * len(values):]
    return data


PAST = '<div class="state">runs past the end of the file</div>'


def figure(line, cells, name, where, tail="", differs=""):
    """An entry's figure as the page writes it: a cell for each file's picture or state, then the caption."""
    pics = '<div class="pics">%s</div>\n' % "".join("<div>%s</div>" % c for c in cells) if cells else ""
    return ('<figure class="entry%s" id="line-%d">\n%s<figcaption><div>line %d: <b class="name">%s</b></div><div>%s'
            '</div>%s</figcaption>\n</figure>\n' % (differs, line, pics, line, name, where, tail))


def figures(page):
    """Each entry's figure by its list line number."""
    return {int(m.group(1)): m.group(0)
            for m in re.finditer(r'<figure class="entry[^"]*" id="line-(\d+)">\n.*?</figure>\n', page, re.S)}


class Sheet(InTempDir):
    encoding = "latin-1"  # a character is a byte of a list

    def setUp(self):
        super().setUp()
        self.fw = firmware("fw.bin", SIZE)

    def page(self, *args, errors=""):
        """The page of a run that succeeds with these messages, checked whole."""
        out, err, status = sheet(*args)
        self.assertEqual((err, status), (errors, 0))
        self.assertNotIn(b"\r", out)
        page = out.decode("utf-8")
        self.assertTrue(page.startswith("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"))
        self.assertTrue(page.endswith("</main>\n</body>\n</html>\n"))
        self.assertNotRegex(page, r"<script|<link|https?:|url\(")
        return page
    def test_entries_as_the_page_shows_them(self):
        a, low, odd = device_values(5, 3), device_values(3, 5, 1), device_values(7, 1, 2)
        # Paths with markup: names Windows takes too (< > and " are covered by the names in the list).
        self.write("f&'w.bin", put(self.fw, (0x550000, a), (0x100, low), (0x55FFF0 - 14, odd)))
        lines = ["0x00550000 0x0000 5 3",                        # 1 no name yet
                 "# offset unused width height name",            # 2
                 "0x00550000 0x0000 5 3 pic_a  # rows <9%> & \"", # 3 in the window, with find's note
                 "0x00000100 0x0 3 5 low",                       # 4 before the window
                 "0x00000100 0x0 3 x",                           # 5 text where a field stands
                 "0x0055FFF0 0x0 5 3 end",                       # 6 16 bytes left of 30
                 "0x00550000 0x0 128 161 big",                   # 7 20608 pixels
                 "0x00550000 0x0 0 3 none",                      # 8 no pixels
                 "0x00550000 0x0 5 3 " + "n" * 128,              # 9
                 "0x0055FFE2 0x0 7 1 a<b>&\"'\x01z",             # 10 markup and a control in a name
                 "0x009E6F57"]                                   # 11 one past the window, the rest kept
        self.write("l&1.lst", "\n".join(lines) + "\n")
        page = self.page("f&'w.bin", "l&1.lst", errors="kvlist: l&1.lst:1: list entry without name.\n"
                                                        "kvlist: l&1.lst:5: list entry incomplete.\n"
                                                        "kvlist: l&1.lst:9: list entry name too long.\n")
        self.assertIn("<title>f&amp;&#39;w.bin</title>", page)
        self.assertIn('<h1>f&amp;&#39;w.bin</h1>\n<p class="summary">The list l&amp;1.lst: 7 entries, 3 refused lines; '
                      'pictures at twice their size.</p>\n<main>\n<p class="refused" id="line-1">'
                      'line 1: list entry without name.</p>\n<figure', page)
        outside = '<div class="state">outside the kvpush window</div>'
        name = "a&lt;b&gt;&amp;&quot;&#39;\\x01z"
        self.assertEqual(figures(page), {
            3: figure(3, [img(5, 3, a, "pic_a")], "pic_a", "0x00550000, 5 x 3",
                      '<div class="note">rows &lt;9%&gt; &amp; &quot;</div>'),
            4: figure(4, [img(3, 5, low, "low")], "low", "0x00000100, 3 x 5", outside),
            6: figure(6, [PAST], "end", "0x0055FFF0, 5 x 3"),
            7: figure(7, [], "big", "0x00550000, 128 x 161", '<div class="state">too large</div>'),
            8: figure(8, [], "none", "0x00550000, 0 x 3", '<div class="state">no pixels</div>'),
            10: figure(10, [img(7, 1, odd, name)], name, "0x0055FFE2, 7 x 1"),
            11: figure(11, [PAST], name, "0x009E6F57, 7 x 1", outside),
        })
        self.assertIn('<p class="refused" id="line-5">line 5: list entry incomplete.</p>\n', page)
        self.assertEqual([int(n) for n in re.findall(r' id="line-(\d+)"', page)], [1, 3, 4, 5, 6, 7, 8, 9, 10, 11])

    def test_reads_the_list_as_kvpull_does(self):
        """Entries, fields carried over, refusals: the pictures kvpull writes and no others, each holding the
        firmware's words, bit 15 too, at odd and even widths, the last one ending where the file does."""
        sizes = [(1, 1), (1, 9), (2, 3), (3, 2), (5, 3), (7, 4), (128, 1), (16, 160), (128, 160)]
        entries = [(0x551000 + 0x400 * i, w, h) for i, (w, h) in enumerate(sizes)] + [(SIZE - 18, 3, 3)]
        data = put(self.fw, *((0x550000 + 0x200 * i, device_values(6, 5, i)) for i in range(4)),
                   *((offset, device_values(w, h, i)) for i, (offset, w, h) in enumerate(entries)))
        self.write("fw.bin", data)
        self.write("p.lst", b"\xEF\xBB\xBF0x00550000 0x0 5 3 a\r\n0x00550200\r\n0x00550400 0x0 6\r\n#0x0 0x0 1 1 c\r\n"
                   b"0x00550600 0x0 2 2 b extra words\r\n\r\n0x00550000 0x0 4 4\t\r\n0X00550000 0x0 1 1 d\r\n"
                   b"0x0055FFFF 0x0 1 1 e\r\n0x00550000 0x0 -3 2 f\r\n0x00550000 0x0 200 100 g\r\n"
                   b"0x00550000 0x0 -99 -99 k\r\n0x00550000 0x0 1\t1 h\r\n0x00550000 0x0000 3 3 " + b"x" * 200 + b"\r\n"
                   + b"".join(b"0x%08X 0x0000 %d %d p%d\r\n" % (o, w, h, i) for i, (o, w, h) in enumerate(entries)))
        pulled, pull_status = run(PULL, "fw.bin", "-l", "p.lst")
        out, err, status = sheet("fw.bin", "p.lst")
        self.assertEqual((pull_status, status), (0, 0))
        # kvpull prints a refusal, or its read's own message and then the entry's address line.
        told, said = [], None
        for line in pulled.splitlines():
            m = re.match(r"address:0x([0-9A-F]{8}), width:(-?\d+), height:(-?\d+), output:(.*)\.bmp$", line)
            if m:
                told.append((int(m.group(1), 16), int(m.group(2)), int(m.group(3)), m.group(4), said))
                said = None
            elif not line.startswith("list entry"):
                said = line
        failed = "input file read failed."
        states = {"too large": "picture too large.", "runs past the end of the file": failed, "no pixels": failed}
        shown = []
        for fig in figures(out.decode()).values():
            m = re.search(r'<b class="name">(.*?)</b></div><div>0x([0-9A-F]{8}), (-?\d+) x (-?\d+)</div>', fig)
            state = re.search(r'<div class="state">(too large|runs past the end of the file|no pixels)</div>', fig)
            name, offset, w, h = m.group(1), int(m.group(2), 16), int(m.group(3)), int(m.group(4))
            shown.append((offset, w, h, name, states[state.group(1)] if state else None))
            self.assertEqual("<img " in fig, not state)
            if not state:  # the picture kvpull writes, as the firmware's words
                self.assertIn(img(w, h, struct.unpack_from("<%dH" % (w * h), data, offset), name), fig)
        self.assertEqual(shown, told)
        self.assertEqual([t[4] for t in told], [None] * 6 + [failed, "picture too large.", None,
                                                             "picture too large.", None] + [None] * 10)
        refusals = [line for line in pulled.splitlines() if line.startswith("list entry")]
        self.assertEqual(([line.split(": ", 2)[2] for line in err.splitlines()], len(refusals)), (refusals, 2))

    def test_empty_list_gives_a_whole_page(self):
        for text in ("", "# only a comment\n", "\xEF\xBB\xBF"):
            self.write("p.lst", text)
            self.assertIn('<p class="summary">The list p.lst: 0 entries; pictures at twice their size.</p>\n'
                          '<main>\n</main>\n', self.page("fw.bin", "p.lst"), text)

    def test_entries_that_differ_are_marked(self):
        a, b, c, d = (device_values(5, 3, i) for i in range(4))
        data = put(self.fw, (0x550000, a), (0x550100, b), (0x550200, c), (0x55FFE0, d))
        self.write("fw.bin", data)
        a2, b2 = list(a), list(b)
        a2[4] ^= 0x0421   # visible changes, two pixels
        a2[7] ^= 0x0001
        a2[13] ^= 0x8000  # and one in bit 15: two pixels differ in colour
        b2[2] ^= 0x8000   # only bit 15
        self.write("other.bin", put(data, (0x550000, a2), (0x550100, b2))[:0x55FFF0])  # d runs past its end
        self.write("p.lst", "0x00550000 0x0 5 3 a\n0x00550100 0x0 5 3 b\n0x00550200 0x0 5 3 c\n"
                            "0x0055FFE0 0x0 5 3 d\n0x00550000 0x0 200 200 e\n")
        page = self.page("fw.bin", "p.lst", "other.bin")
        self.assertIn("<title>fw.bin beside other.bin</title>", page)
        self.assertIn("The list p.lst: 5 entries, 2 differ;", page)
        self.assertIn(".differs{", page)

        def cells(left, right, files=("fw.bin", "other.bin")):
            return ['<div class="file">%s</div>%s' % pair for pair in zip(files, (left, right))]
        self.assertEqual(figures(page), {
            1: figure(1, cells(img(5, 3, a, "a"), img(5, 3, a2, "a")), "a", "0x00550000, 5 x 3",
                      '<div class="diff">differs: 2 pixels</div>', " differs"),
            2: figure(2, cells(img(5, 3, b, "b"), img(5, 3, b2, "b")), "b", "0x00550100, 5 x 3",
                      '<div class="diff">differs in bit 15 only: 1 pixel</div>', " differs"),
            3: figure(3, cells(img(5, 3, c, "c"), img(5, 3, c, "c")), "c", "0x00550200, 5 x 3"),
            4: figure(4, cells(img(5, 3, d, "d"), PAST), "d", "0x0055FFE0, 5 x 3"),
            5: figure(5, [], "e", "0x00550000, 200 x 200", '<div class="state">too large</div>'),
        })
        # The other way round, d runs past the end of the first file.
        found = figures(self.page("other.bin", "p.lst", "fw.bin"))
        swapped = ("other.bin", "fw.bin")
        self.assertEqual(found[1], figure(1, cells(img(5, 3, a2, "a"), img(5, 3, a, "a"), swapped), "a",
                                          "0x00550000, 5 x 3", '<div class="diff">differs: 2 pixels</div>', " differs"))
        self.assertEqual(found[4], figure(4, cells(PAST, img(5, 3, d, "d"), swapped), "d", "0x0055FFE0, 5 x 3"))

    def test_inputs_that_give_no_page(self):
        os.mkdir("dir")
        self.write("p.lst", "0x00550000 0x0 5 3 a\n")
        self.write("empty.bin", b"")
        # Pages of 20,000 full-size pictures, or 10,000 pairs (1.1 GB), refused before they are made.
        self.write("one.lst", "0x00550000 0x0 128 160 a\n" + "\n" * 19999)
        self.write("two.lst", "0x00550000 0x0 128 160 a\n" + "\n" * 9999)
        gone = "kvlist: %s: cannot open (no such file, no permission, or not a file)\n"
        empty = "kvlist: empty.bin: empty file, no firmware\n"
        usage = "kvlist: usage: kvlist sheet FIRMWARE LIST [OTHER_FIRMWARE]\n"
        large = "kvlist: the page could take %d MiB, more than 1024 MiB: split the list\n"
        rows = [
            (("none.bin", "p.lst"), gone % "none.bin", 1), (("dir", "p.lst"), gone % "dir", 1),
            (("fw.bin", "none.lst"), gone % "none.lst", 1), (("fw.bin", "dir"), gone % "dir", 1),
            (("fw.bin", "p.lst", "none.bin"), gone % "none.bin", 1), (("fw.bin", "p.lst", "dir"), gone % "dir", 1),
            (("empty.bin", "p.lst"), empty, 1), (("fw.bin", "p.lst", "empty.bin"), empty, 1),
            (("fw.bin",), usage, 2), (("fw.bin", "p.lst", "fw.bin", "p.lst"), usage, 2),
            (("fw.bin", "one.lst"), large % 1097, 1), (("fw.bin", "two.lst", "fw.bin"), large % 1087, 1)]
        for args, err, status in rows:
            with self.subTest(args=args):
                self.assertEqual(sheet(*args), (b"", err, status))

    def test_standard_output_onto_an_input(self):
        """'>> fw.bin', '>> p.lst', '>> other.bin': refused before anything is written."""
        files = {"fw.bin": self.fw, "p.lst": b"0x00550000 0x0 5 3 a\n", "other.bin": self.fw[:0x550010]}
        for name, data in files.items():
            self.write(name, data)
        os.link("fw.bin", "hard.bin")
        for into in ("fw.bin", "hard.bin", "p.lst", "other.bin"):
            with self.subTest(into=into), open(into, "ab") as out:
                self.assertEqual(sheet("fw.bin", "p.lst", "other.bin", stdout=out),
                                 (b"", "kvlist: standard output is one of the input files\n", 1))
            self.assertEqual({name: self.read(name) for name in files}, files)
        with open("page.html", "ab") as out:
            self.assertEqual(sheet("fw.bin", "p.lst", stdout=out), (b"", "", 0))
        self.assertTrue(self.read("page.html").endswith(b"</html>\n"))

    @unittest.skipIf(WINDOWS, "/dev/full is a Linux matter")
    def test_failed_write(self):
        self.write("p.lst", "0x00550000 0x0 5 3 a\nx\n")
        with open("/dev/full", "wb") as out:
            self.assertEqual(sheet("fw.bin", "p.lst", stdout=out), (b"", "kvlist: p.lst:2: list entry incomplete.\n"
                                                                        "kvlist: write to standard output failed\n", 1))


if __name__ == "__main__":
    unittest.main()
