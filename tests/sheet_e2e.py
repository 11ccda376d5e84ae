"""Runs 'kvlist sheet' on files made in a temporary folder: the page, the messages, the status."""
import base64
import html
import os
import re
import struct
import subprocess
import unittest

from kvfiles import InTempDir as TempDir, PULL, RUNNER, WINDOWS, device_values, firmware, pack_device, run

KVLIST = os.environ["KVLIST"]
SIZE = 0x560000  # past the first offsets kvpush writes, small enough to make quickly
linux_only = unittest.skipIf(WINDOWS, "/dev/full is a Linux matter")


def sheet(*args, stdout=subprocess.PIPE):
    """Page bytes, standard error and status of one run."""
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


def figures(page):
    """Each entry's figure by its list line number."""
    return {int(m.group(1)): m.group(0)
            for m in re.finditer(r'<figure class="entry[^"]*" id="line-(\d+)">\n.*?</figure>\n', page, re.S)}


def decode(image):
    """Width, height and the device words, top row first, of a page's data URI."""
    data = base64.b64decode(re.search(r'base64,([A-Za-z0-9+/=]*)"', image).group(1), validate=True)
    (magic, size, _, _, off, info, w, h, planes, bits, comp, image_size, _, _, _, _,
     red, green, blue) = struct.unpack_from("<2sIHHIIiiHHIIiiIIIII", data)
    row = (2 * w + 3) & ~3
    assert (magic, size, off, info, planes, bits, comp, image_size, red, green, blue) == (
        b"BM", len(data), 66, 40, 1, 16, 3, row * h, 0x7C00, 0x03E0, 0x001F), data[:66]
    words = []
    for y in reversed(range(h)):
        start = 66 + y * row
        words += struct.unpack_from("<%dH" % w, data, start)
        assert data[start + 2 * w:start + row] == b"\0" * (row - 2 * w)
    return w, h, words


class InTempDir(TempDir):
    encoding = "latin-1"  # a character is a byte of a list

    def setUp(self):
        super().setUp()
        self.fw = firmware("fw.bin", SIZE)

    def put(self, data, offset, values):
        """The firmware bytes with a picture's words at offset."""
        raw = pack_device(values)
        return data[:offset] + raw + data[offset + len(raw):]

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


class Sheet(InTempDir):
    def test_entries_as_the_page_shows_them(self):
        a, low, odd = device_values(5, 3), device_values(3, 5, 1), device_values(7, 1, 2)
        self.write("fw.bin", self.put(self.put(self.put(self.fw, 0x550000, a), 0x100, low), 0x55FFF0 - 14, odd))
        lines = ["0x00550000 0x0000 5 3",                        # 1 no name yet
                 "# offset unused width height name",            # 2
                 "0x00550000 0x0000 5 3 pic_a  # smooth 87%",   # 3 in the window, with find's note
                 "0x00000100 0x0 3 5 low",                       # 4 before the window
                 "0x00000100 0x0 3 x",                           # 5 text where a field stands
                 "0x0055FFF0 0x0 5 3 end",                       # 6 16 bytes left of 30
                 "0x00550000 0x0 128 161 big",                   # 7 20608 pixels
                 "0x00550000 0x0 0 3 none",                      # 8 no pixels
                 "0x00550000 0x0 5 3 " + "n" * 128,              # 9
                 "0x0055FFE2 0x0 7 1 a<b>&\"'\x01z",             # 10 markup and a control in a name
                 "0x009E6F57"]                                   # 11 one past the window, the rest kept
        self.write("p.lst", "\n".join(lines) + "\n")
        page = self.page("fw.bin", "p.lst", errors="kvlist: p.lst:1: list entry without name.\n"
                                                    "kvlist: p.lst:5: list entry incomplete.\n"
                                                    "kvlist: p.lst:9: list entry name too long.\n")
        self.assertIn("<title>fw.bin</title>", page)
        self.assertIn('<h1>fw.bin</h1>\n<p class="summary">The list p.lst: 7 entries, 3 refused lines; '
                      'pictures at twice their size.</p>\n<main>\n<p class="refused" id="line-1">'
                      'line 1: list entry without name.</p>\n<figure', page)
        outside = '<div class="state">outside the kvpush window</div>'
        name = "a&lt;b&gt;&amp;&quot;&#39;\\x01z"
        expected = {
            3: '<div class="pics"><div>' + img(5, 3, a, "pic_a") + '</div></div>\n<figcaption><div>line 3: '
               '<b class="name">pic_a</b></div><div>0x00550000, 5 x 3</div><div class="note">smooth 87%</div>',
            4: '<div class="pics"><div>' + img(3, 5, low, "low") + '</div></div>\n<figcaption><div>line 4: '
               '<b class="name">low</b></div><div>0x00000100, 3 x 5</div>' + outside,
            6: '<div class="pics"><div><div class="state">runs past the end of the file</div></div></div>\n'
               '<figcaption><div>line 6: <b class="name">end</b></div><div>0x0055FFF0, 5 x 3</div>',
            7: '<figcaption><div>line 7: <b class="name">big</b></div><div>0x00550000, 128 x 161</div>'
               '<div class="state">too large</div>',
            8: '<figcaption><div>line 8: <b class="name">none</b></div><div>0x00550000, 0 x 3</div>'
               '<div class="state">no pixels</div>',
            10: '<div class="pics"><div>' + img(7, 1, odd, name) + '</div></div>\n<figcaption><div>line 10: '
                '<b class="name">' + name + '</b></div><div>0x0055FFE2, 7 x 1</div>',
            11: '<div class="pics"><div><div class="state">runs past the end of the file</div></div></div>\n'
                '<figcaption><div>line 11: <b class="name">' + name + '</b></div><div>0x009E6F57, 7 x 1</div>'
                + outside,
        }
        found = figures(page)
        self.assertEqual(sorted(found), sorted(expected))
        for line, inner in expected.items():
            with self.subTest(line=line):
                self.assertEqual(found[line], '<figure class="entry" id="line-%d">\n%s</figcaption>\n</figure>\n'
                                 % (line, inner))
        self.assertEqual(page.count("<img "), 3)
        self.assertIn('<p class="refused" id="line-5">line 5: list entry incomplete.</p>\n', page)
        # Entries stand in list order.
        self.assertEqual([int(n) for n in re.findall(r' id="line-(\d+)"', page)], [1, 3, 4, 5, 6, 7, 8, 9, 10, 11])

    def test_pictures_are_the_firmware_words(self):
        """Every data URI holds the firmware's words, bit 15 too, at odd and even widths."""
        entries = [(0x550000 + 0x400 * i, w, h) for i, (w, h) in enumerate(
            [(1, 1), (1, 9), (2, 3), (3, 2), (5, 3), (7, 4), (128, 1), (16, 160), (128, 160)])]
        entries.append((SIZE - 18, 3, 3))  # its last byte is the file's
        data = self.fw
        for i, (offset, w, h) in enumerate(entries):
            data = self.put(data, offset, device_values(w, h, i))
        self.write("fw.bin", data)
        self.write("p.lst", "".join("0x%08X 0x0000 %d %d p%d\n" % (o, w, h, i) for i, (o, w, h) in enumerate(entries)))
        found = figures(self.page("fw.bin", "p.lst"))
        for i, (offset, w, h) in enumerate(entries):
            with self.subTest(w=w, h=h):
                words = list(struct.unpack_from("<%dH" % (w * h), data, offset))
                self.assertEqual(decode(found[i + 1]), (w, h, words))
                self.assertIn('width="%d" height="%d"' % (2 * w, 2 * h), found[i + 1])

    def test_reads_the_list_as_kvpull_does(self):
        """Entries, fields carried over, refusals: the pictures kvpull writes and no others."""
        data = self.fw
        for i in range(4):
            data = self.put(data, 0x550000 + 0x200 * i, device_values(6, 5, i))
        self.write("fw.bin", data)
        lst = (b"\xEF\xBB\xBF0x00550000 0x0 5 3 a\r\n0x00550200\r\n0x00550400 0x0 6\r\n#0x0 0x0 1 1 c\r\n"
               b"0x00550600 0x0 2 2 b extra words\r\n\r\n0x00550000 0x0 4 4\t\r\n0X00550000 0x0 1 1 d\r\n"
               b"0x0055FFFF 0x0 1 1 e\r\n0x00550000 0x0 -3 2 f\r\n0x00550000 0x0 200 100 g\r\n"
               b"0x00550000 0x0 -99 -99 k\r\n0x00550000 0x0 1\t1 h\r\n0x00550000 0x0000 3 3 " + b"x" * 200 + b"\r\n")
        self.write("p.lst", lst)
        pulled, status = run(PULL, "fw.bin", "-l", "p.lst")
        self.assertEqual(status, 0)
        out, err, status = sheet("fw.bin", "p.lst")
        self.assertEqual(status, 0)
        page = out.decode()
        # kvpull prints a refusal, or its read's own message and then the entry's address line.
        told, said = [], None
        for line in pulled.splitlines():
            m = re.match(r"address:0x([0-9A-F]{8}), width:(-?\d+), height:(-?\d+), output:(.*)\.bmp$", line)
            if m:
                told.append((int(m.group(1), 16), int(m.group(2)), int(m.group(3)), m.group(4), said))
                said = None
            elif not line.startswith("list entry"):
                said = line
        read_failed = "input file read failed."
        states = {"too large": "picture too large.", "runs past the end of the file": read_failed,
                  "no pixels": read_failed}
        shown = []
        for _, fig in sorted(figures(page).items()):
            m = re.search(r'<b class="name">(.*?)</b></div><div>0x([0-9A-F]{8}), (-?\d+) x (-?\d+)</div>', fig)
            state = re.search(r'<div class="state">(too large|runs past the end of the file|no pixels)</div>', fig)
            shown.append((int(m.group(2), 16), int(m.group(3)), int(m.group(4)), html.unescape(m.group(1)),
                           states[state.group(1)] if state else None))
            self.assertEqual("<img " in fig, not state)
        self.assertEqual(shown, told)
        self.assertEqual([t[4] for t in told], [None, None, None, None, None, None, read_failed,
                                                "picture too large.", None, "picture too large.", None])
        refusals = [line for line in pulled.splitlines() if line.startswith("list entry")]
        self.assertEqual([line.split(": ", 2)[2] for line in err.splitlines()], refusals)
        self.assertEqual(len(refusals), 2)
        for _, _, _, name, _ in told:
            has_bmp = os.path.exists(name + ".bmp")
            fig = [f for f in figures(page).values() if '<b class="name">%s</b>' % html.escape(name) in f]
            with self.subTest(name=name):
                self.assertEqual(any("<img " in f for f in fig), has_bmp)
                if has_bmp:
                    bmp = self.read(name + ".bmp")
                    w, h, words = decode([f for f in fig if "<img " in f][-1])
                    rows = [bmp[54 + y * ((3 * w + 3) & ~3):][:3 * w] for y in reversed(range(h))]
                    self.assertEqual(b"".join(rows), b"".join(
                        bytes([(v & 31) << 3, (v >> 5 & 31) << 3, (v >> 10 & 31) << 3]) for v in words))

    def test_empty_list_gives_a_whole_page(self):
        for text in ("", "# only a comment\n", "\xEF\xBB\xBF"):
            with self.subTest(text=text):
                self.write("p.lst", text)
                page = self.page("fw.bin", "p.lst")
                self.assertIn('<p class="summary">The list p.lst: 0 entries; pictures at twice their size.</p>\n'
                              '<main>\n</main>\n', page)

    def test_names_and_paths_are_escaped(self):
        os.mkdir("a&b")
        # Names Windows takes too: < > and " are covered by the names in lists.
        self.write("a&b/f'w.bin", self.fw)
        self.write("l&1.lst", "0x00000010 0x0 1 1 x\n")
        page = self.page("a&b/f'w.bin", "l&1.lst")
        self.assertIn("<title>a&amp;b/f&#39;w.bin</title>", page)
        self.assertIn("<h1>a&amp;b/f&#39;w.bin</h1>", page)
        self.assertIn("The list l&amp;1.lst: 1 entry;", page)

    def test_note_with_markup_and_line_ends(self):
        values = device_values(5, 3)
        self.write("fw.bin", self.put(self.fw, 0x550000, values))
        pages = []
        for end in ("\n", "\r\n"):
            self.write("p.lst", "0x00550000 0x0000 5 3 at00550000  # rows <93%> & \"more\"" + end)
            pages.append(self.page("fw.bin", "p.lst"))
        self.assertEqual(pages[0], pages[1])
        self.assertIn('<div class="note">rows &lt;93%&gt; &amp; &quot;more&quot;</div></figcaption>', pages[0])


class SideBySide(InTempDir):
    def test_entries_that_differ_are_marked(self):
        a, b, c, d = (device_values(5, 3, i) for i in range(4))
        data = self.put(self.put(self.put(self.put(self.fw, 0x550000, a), 0x550100, b), 0x550200, c), 0x55FFE0, d)
        self.write("fw.bin", data)
        a2, b2 = list(a), list(b)
        a2[4] ^= 0x0421   # a visible change, one pixel
        a2[13] ^= 0x8000  # and one in bit 15: one pixel differs in colour
        b2[2] ^= 0x8000   # only bit 15
        other = self.put(self.put(data, 0x550000, a2), 0x550100, b2)[:0x55FFF0]  # d runs past its end
        self.write("other.bin", other)
        self.write("p.lst", "0x00550000 0x0 5 3 a\n0x00550100 0x0 5 3 b\n0x00550200 0x0 5 3 c\n"
                            "0x0055FFE0 0x0 5 3 d\n0x00550000 0x0 200 200 e\n")
        page = self.page("fw.bin", "p.lst", "other.bin")
        self.assertIn("<title>fw.bin beside other.bin</title>", page)
        self.assertIn("The list p.lst: 5 entries, 2 differ;", page)
        found = figures(page)

        def pics(left, right):
            return '<div class="pics"><div><div class="file">fw.bin</div>%s</div><div><div class="file">' \
                   'other.bin</div>%s</div></div>\n' % (left, right)

        def caption(line, name, offset, tail=""):
            return '<figcaption><div>line %d: <b class="name">%s</b></div><div>0x%08X, 5 x 3</div>%s' \
                   '</figcaption>\n</figure>\n' % (line, name, offset, tail)
        past = '<div class="state">runs past the end of the file</div>'
        self.assertEqual(found, {
            1: '<figure class="entry differs" id="line-1">\n' + pics(img(5, 3, a, "a"), img(5, 3, a2, "a"))
               + caption(1, "a", 0x550000, '<div class="diff">differs: 1 pixel</div>'),
            2: '<figure class="entry differs" id="line-2">\n' + pics(img(5, 3, b, "b"), img(5, 3, b2, "b"))
               + caption(2, "b", 0x550100, '<div class="diff">differs in bit 15 only: 1 pixel</div>'),
            3: '<figure class="entry" id="line-3">\n' + pics(img(5, 3, c, "c"), img(5, 3, c, "c"))
               + caption(3, "c", 0x550200),
            4: '<figure class="entry" id="line-4">\n' + pics(img(5, 3, d, "d"), past) + caption(4, "d", 0x55FFE0),
            5: '<figure class="entry" id="line-5">\n<figcaption><div>line 5: <b class="name">e</b></div>'
               '<div>0x00550000, 200 x 200</div><div class="state">too large</div></figcaption>\n</figure>\n',
        })
        self.assertIn(".differs{", page)
        # The other way round, d runs past the end of the first file.
        found = figures(self.page("other.bin", "p.lst", "fw.bin"))
        self.assertIn(pics(img(5, 3, a2, "a"), img(5, 3, a, "a")).replace("fw.bin", "X").replace(
            "other.bin", "fw.bin").replace("X", "other.bin"), found[1])
        self.assertIn(past + '</div><div><div class="file">fw.bin</div>' + img(5, 3, d, "d"), found[4])

    def test_many_pixels_differ(self):
        a = device_values(7, 3)
        self.write("fw.bin", self.put(self.fw, 0x550000, a))
        self.write("other.bin", self.put(self.fw, 0x550000, [v ^ 1 for v in a]))
        self.write("p.lst", "0x00550000 0x0 7 3 a\n")
        page = self.page("fw.bin", "p.lst", "other.bin")
        self.assertIn('<div class="diff">differs: 21 pixels</div>', page)


class Refused(InTempDir):
    def test_inputs_that_give_no_page(self):
        os.mkdir("dir")
        self.write("p.lst", "0x00550000 0x0 5 3 a\n")
        self.write("empty.bin", b"")
        gone = "kvlist: %s: cannot open (no such file, no permission, or not a file)\n"
        rows = [
            (("none.bin", "p.lst"), gone % "none.bin", 1),
            (("dir", "p.lst"), gone % "dir", 1),
            (("fw.bin", "none.lst"), gone % "none.lst", 1),
            (("fw.bin", "dir"), gone % "dir", 1),
            (("fw.bin", "p.lst", "none.bin"), gone % "none.bin", 1),
            (("fw.bin", "p.lst", "dir"), gone % "dir", 1),
            (("none.bin", "none.lst"), gone % "none.bin", 1),
            (("empty.bin", "p.lst"), "kvlist: empty.bin: empty file, no firmware\n", 1),
            (("fw.bin", "p.lst", "empty.bin"), "kvlist: empty.bin: empty file, no firmware\n", 1),
            (("fw.bin",), "kvlist: usage: kvlist sheet FIRMWARE LIST [OTHER_FIRMWARE]\n", 2),
            (("fw.bin", "p.lst", "fw.bin", "p.lst"), "kvlist: usage: kvlist sheet FIRMWARE LIST [OTHER_FIRMWARE]\n", 2),
        ]
        for args, err, status in rows:
            with self.subTest(args=args):
                self.assertEqual(sheet(*args), (b"", err, status))

    def test_standard_output_onto_an_input(self):
        """'>> fw.bin', '>> p.lst', '>> other.bin': refused before anything is written."""
        self.write("p.lst", "0x00550000 0x0 5 3 a\n")
        self.write("other.bin", self.fw[:0x550010])
        os.link("fw.bin", "hard.bin")
        for into in ("fw.bin", "hard.bin", "p.lst", "other.bin"):
            with self.subTest(into=into):
                with open(into, "ab") as out:
                    self.assertEqual(sheet("fw.bin", "p.lst", "other.bin", stdout=out),
                                     (b"", "kvlist: standard output is one of the input files\n", 1))
                self.assertEqual(self.read("fw.bin"), self.fw)
                self.assertEqual(self.read("other.bin"), self.fw[:0x550010])
                self.assertEqual(self.read("p.lst"), b"0x00550000 0x0 5 3 a\n")
        with open("page.html", "ab") as out:
            self.assertEqual(sheet("fw.bin", "p.lst", stdout=out), (b"", "", 0))
        self.assertTrue(self.read("page.html").endswith(b"</html>\n"))

    def test_page_too_large(self):
        """A page of 20,000 full-size pictures (1.1 GB) is refused before it is made."""
        self.write("p.lst", "0x00550000 0x0 128 160 a\n" + "\n" * 19999)
        self.assertEqual(sheet("fw.bin", "p.lst"),
                         (b"", "kvlist: the page could take 1097 MiB, more than 1024 MiB: split the list\n", 1))
        self.write("p.lst", "0x00550000 0x0 128 160 a\n" + "\n" * 9999)
        out, err, status = sheet("fw.bin", "p.lst", "fw.bin")
        self.assertEqual((len(out), err, status), (0, "kvlist: the page could take 1087 MiB, more than 1024 "
                                                       "MiB: split the list\n", 1))

    @linux_only
    def test_failed_write(self):
        self.write("p.lst", "0x00550000 0x0 5 3 a\nx\n")
        with open("/dev/full", "wb") as out:
            self.assertEqual(sheet("fw.bin", "p.lst", stdout=out),
                             (b"", "kvlist: p.lst:2: list entry incomplete.\n"
                                   "kvlist: write to standard output failed\n", 1))


if __name__ == "__main__":
    unittest.main()
