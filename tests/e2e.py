"""Runs the built tools on files made in a temporary folder: output, status and bytes."""
import os
import struct
import subprocess
import threading
import unittest

from kvfiles import (InTempDir as TempDir, PULL, PUSH, RUNNER, WINDOW, WINDOWS, bmp, device_values, firmware, pack_device, run,
                     run_into, unpack_device)

# Closed descriptors and mounts are POSIX matters; Windows has neither in this form.
linux_only = unittest.skipIf(WINDOWS, "closed descriptors and mounts are POSIX matters")

USAGE = ("korvo firmware image {} utility  ver 0.2\n"
         "Syntax: {} <firmware-file> <address(hex)> <width> <height> {}\n"
         "        or\n        {} <firmware-file> -l <listfile>\n\n")
PULL_USAGE = USAGE.format("get", "kvpull", "<output-file(.bmp)> [-b bpp]", "kvpull")
PUSH_USAGE = USAGE.format("put", "kvpush", "<input-file(.bmp)>", "kvpush")


def addr(a, w, h, name):
    return "address:0x%08X, width:%d, height:%d, output:%s\n" % (a, w, h, name)


class InTempDir(TempDir):
    def setUp(self):
        super().setUp()
        self.fw = firmware("fw.bin")


class Pull(InTempDir):
    def test_command_lines(self):
        a = addr(WINDOW, 128, 160, "o.bmp")
        big, pwr, pht = "picture too large.\n", "parameter error : width\n", "parameter error : height\n"
        os.mkdir("d")
        os.symlink("fw.bin", "ln.bin")
        os.link("fw.bin", "hard.bin")
        fw_names = ("./fw.bin", os.path.abspath("fw.bin"), "d/../fw.bin", "ln.bin", "hard.bin")
        rows = [
            ((), PULL_USAGE, 1, None),
            (("fw.bin",), PULL_USAGE, 1, None),
            (("fw.bin", "-x"), "unknown option :-x\n", 1, None),
            (("fw.bin", "54DF26", "128", "160"), PULL_USAGE, 1, None),
            (("fw.bin", "-l"), PULL_USAGE, 1, None),
            (("fw.bin", "-l", "none.lst"), "list file open failed.\n", 1, None),
            (("fw.bin", "-l", "."), "list file open failed.\n", 1, None),
            (("fw.bin", "-l", "none.lst", "-b", "16"), "unsupported bpp value:16\n", 1, None),
            (("fw.bin", "-l", "none.lst", "-b", "32"), "set bpp:32\nlist file open failed.\n", 1, None),
            (("fw.bin", "-l", "none.lst", "-b", "16", "-b", "32"), "set bpp:32\nlist file open failed.\n", 1, None),
            (("fw.bin", "-l", "none.lst", "-b", "24", "-q", "32"), "set bpp:24\nlist file open failed.\n", 1, None),
            (("d", "54DF26", "1", "1", "o.bmp"), "firmware file open failed.\n", 1, None),
            (("fw.bin", "54DF26", "1", "1", "o.bmp", "-b", "4294967320"), "unsupported bpp value:4294967320\n", 1, None),
            (("fw.bin", "10054DF26", "1", "1", "o.bmp"), addr(0xFFFFFFFF, 1, 1, "o.bmp") + "input file read failed.\n", 0, None),
            (("fw.bin", " -000054DF26", "1", "1", "o.bmp"), addr(0xFFAB20DA, 1, 1, "o.bmp") + "input file read failed.\n", 0, None),
            (("fw.bin", "54DF26", "4294967297", "1", "o.bmp"), pwr + addr(WINDOW, 0x7FFFFFFF, 1, "o.bmp") + big, 0, None),
            (("fw.bin", "54DF26", "1", "-99999999999", "o.bmp"), pht + addr(WINDOW, 1, -0x80000000, "o.bmp") + big, 0, None),
            *((("fw.bin", "54DF26", "1", "1", n), addr(WINDOW, 1, 1, n) + "output file is the firmware file.\n", 0, None)
              for n in fw_names),
            *(() if WINDOWS else [(("fw.bin", "54DF26", "1", "1", "/dev/stdout"), addr(WINDOW, 1, 1, "/dev/stdout")
                                   + "output file is the standard output.\n", 0, None)]),
            # Letter case names another file on Linux, the same one on Windows.
            (("fw.bin", "54DF26", "1", "1", "FW.BIN"), addr(WINDOW, 1, 1, "FW.BIN")
             + ("output file is the firmware file.\n" if WINDOWS else ""), 0, None),
            (("none", "54DF26", "128", "160", "o.bmp", "-b", "16"), "unsupported bpp value:16\n", 1, None),
            (("none", "54DF26", "128", "160", "o.bmp"), "firmware file open failed.\n", 1, None),
            (("fw.bin", "54DF26", "128", "160", "o.bmp"), a, 0, 54 + 384 * 160),
            (("fw.bin", "54DF26", "128", "160", "o.bmp", "-b", "32"), "set bpp:32\n" + a, 0, 54 + 81920),
            (("fw.bin", "54DF26", "128", "160", "o.bmp", "-b"), a, 0, 54 + 384 * 160),
            (("fw.bin", "54DF26", "128", "160", "o.bmp", "-q", "32"), a, 0, 54 + 384 * 160),
            (("fw.bin", "0x54DF26", "abc", "x", "o.bmp"), a, 0, 54 + 384 * 160),
            (("fw.bin", "54DF26", "200", "100", "o.bmp"), pwr + addr(WINDOW, 200, 100, "o.bmp"), 0, 54 + 600 * 100),
            (("fw.bin", "54DF26", "-1", "1", "o.bmp"), pwr + addr(WINDOW, -1, 1, "o.bmp") + big, 0, None),
            (("fw.bin", "54DF26", "65536", "65536", "o.bmp"), pwr + pht + addr(WINDOW, 65536, 65536, "o.bmp") + big, 0, None),
            (("fw.bin", "54DF26", "0", "5", "o.bmp"), addr(WINDOW, 0, 5, "o.bmp") + "input file read failed.\n", 0, None),
            (("fw.bin", "9E6F56", "128", "161", "o.bmp"), pht + addr(0x9E6F56, 128, 161, "o.bmp") + big, 0, None),
            (("fw.bin", "9E6F57", "128", "160", "o.bmp"), addr(0x9E6F57, 128, 160, "o.bmp") + "input file read failed.\n", 0, None),
            (("fw.bin", "54DF26", "1", "1", "/dev/full"), addr(WINDOW, 1, 1, "/dev/full")
             + ("output file open failed.\n" if WINDOWS else "output file write failed.\n"), 0, None),
            (("fw.bin", "54DF26", "1", "1", "no/dir.bmp"), addr(WINDOW, 1, 1, "no/dir.bmp") + "output file open failed.\n", 0, None),
            (("fw.bin", "54DF26", "1", "1", "fw.bin"), addr(WINDOW, 1, 1, "fw.bin") + "output file is the firmware file.\n", 0, None),
        ]
        for args, out, status, size in rows:
            with self.subTest(args=args):
                if os.path.exists("o.bmp"):
                    os.remove("o.bmp")
                self.assertEqual(run(PULL, *args), (out, status))
                self.assertEqual(os.path.getsize("o.bmp") if os.path.exists("o.bmp") else None, size)
        self.assertEqual(self.read("fw.bin"), self.fw)
        self.assertEqual("FW.BIN" in os.listdir("."), not WINDOWS)

    def test_pixels_of_an_odd_picture(self):
        values = device_values(5, 3)
        self.write("fw.bin", self.fw[:0x550000] + pack_device(values) + self.fw[0x550000 + 30:])
        for bits in (24, 32):
            run(PULL, "fw.bin", "550000", "5", "3", "o.bmp", "-b", str(bits))
            self.assertEqual(self.read("o.bmp"), bmp(5, 3, bits, values))

    def test_list(self):
        name, inc = "n" * 128, "list entry incomplete.\n"
        lines = ["# comment", "", "0x0054DF26 0x0000 5 3 a", " #0x00550000 0x0 1 1 b", "0X00550000 0x0 1 1 b", "",
                 "0x00558000 128 160 ramp", "0x00550000 0x0 1000 160 c", "0x00560000", "0x00570000 0x0 2 2 a",
                 "0x00570000 0x0 1 1 " + name, "0x00580000", "#" + " " * 300 + "0x00570000 0x0 1 1 tail",
                 "0x0FFFFFFF 0x0 1 1 far\0 0x0 ignored", "0x00570000 0x0 -99 1 huge",
                 "0x00570000 0x0 3 1 " + "w" * 100000, "\ufeff0x00570000 0x0 3 1 bom",
                 "0x00570000\t0x1\t7\t1\tdone\tignored"]
        expected = ("list entry without name.\n" + addr(WINDOW, 5, 3, "a.bmp") + inc * 4
                    + "input file read failed.\n" + addr(0x550000, 100, 0, "160.bmp")
                    + "input file read failed.\n" + addr(0x560000, 100, 0, "160.bmp")
                    + addr(0x570000, 2, 2, "a.bmp") + "list entry name too long.\n" + inc
                    + "input file read failed.\n" + addr(0xFFFFFFF, 1, 1, "far.bmp")
                    + "picture too large.\n" + addr(0x570000, -99, 1, "huge.bmp")
                    + "list entry name too long.\n" + inc + addr(0x570000, 7, 1, "done.bmp"))
        results = []
        # A byte order mark at the start is skipped; -b may follow the list file directly.
        for end, depth in (("\n", ("-b", "32")), ("\r\n", ("x", "x", "-b", "32"))):
            self.write("p.lst", "\ufeff" + end.join(lines) + end)
            out = run(PULL, "fw.bin", "-l", "p.lst", *depth)
            results.append((out, sorted((f, self.read(f)) for f in os.listdir(".") if f.endswith(".bmp"))))
            self.assertEqual(out, ("set bpp:32\n" + expected, 0))
            for f in os.listdir("."):
                if f.endswith(".bmp"):
                    os.remove(f)
        self.assertEqual(results[0], results[1])
        self.assertEqual([f for f, _ in results[0][1]], ["a.bmp", "done.bmp"])
        self.assertEqual(len(results[0][1][0][1]), 54 + 16)  # the second a.bmp replaced the first

    def test_list_is_read_to_the_length_it_had(self):
        """Its own log appended to the list while it runs is never read as entries."""
        self.write("p.lst", "".join("0x%08X 0x0 1 1 o\n" % (WINDOW + 2 * i) for i in range(300)))
        script = '"$@" fw.bin -l p.lst | tee -a p.lst > /dev/null'
        p = subprocess.run(["sh", "-c", script, "sh", *RUNNER, PULL], timeout=60)
        self.assertEqual(p.returncode, 0)
        log = self.read("p.lst")[self.read("p.lst").index(b"address"):].replace(b"\r\n", b"\n")
        self.assertEqual(log.decode(), "".join(addr(WINDOW + 2 * i, 1, 1, "o.bmp") for i in range(300)))

    @linux_only
    def test_output_swapped_for_a_link_while_it_runs(self):
        """The name is checked, then the file opened: a link swapped in between is caught."""
        self.write("p.lst", "0x0054DF26 0x0 1 1 o\n" * 3000)
        stop = threading.Event()

        def swap():
            while not stop.is_set():
                os.symlink("fw.bin", "link.tmp")
                os.replace("link.tmp", "o.bmp")
                self.write("reg.tmp", b"")
                os.replace("reg.tmp", "o.bmp")
        swapper = threading.Thread(target=swap)
        swapper.start()
        try:
            out, status = run(PULL, "fw.bin", "-l", "p.lst", timeout=120)
        finally:
            stop.set()
            swapper.join()
        self.assertEqual(status, 0)
        self.assertEqual(set(out.splitlines()) - {"output file is the firmware file."},
                         {addr(WINDOW, 1, 1, "o.bmp").strip()})
        self.assertEqual(self.read("fw.bin"), self.fw)

    def test_many_entries_all_complete(self):
        self.write("p.lst", "".join("0x%08X 0x0 %d 3 p%d\n" % (WINDOW + 64 * i, i % 9 + 1, i)
                                    for i in range(400)))
        out, status = run(PULL, "fw.bin", "-l", "p.lst")
        self.assertEqual((out.count("\n"), status), (400, 0))
        for i in range(400):
            w = i % 9 + 1
            values = unpack_device(self.fw, w * 3, WINDOW + 64 * i)
            self.assertEqual(self.read("p%d.bmp" % i), bmp(w, 3, 24, values))



def masks(r, g, b):
    return struct.pack("<III", r, g, b)


class Push(InTempDir):
    def push_list(self, entries):
        """Pushes (offset, bmp bytes) entries of 128 x 160 in one list run; returns the output and status."""
        for i, (_, data) in enumerate(entries):
            self.write("b%d.bmp" % i, data)
        self.write("p.lst", "".join("0x%08X 0x0 128 160 b%d\n" % (o, i) for i, (o, _) in enumerate(entries)))
        return run(PUSH, "fw.bin", "-l", "p.lst")

    def test_command_lines(self):
        inv = "invalid address.\n"
        os.mkdir("d")
        rows = [
            (("d", "54DF26", "1", "1", "a.bmp"), "firmware file open failed.\n", 1),
            (("fw.bin", "10054DF26", "4", "4", "a.bmp"), addr(0xFFFFFFFF, 4, 4, "a.bmp") + inv, 0),
            (("fw.bin", "-100000000", "4", "4", "a.bmp"), addr(0xFFFFFFFF, 4, 4, "a.bmp") + inv, 0),
            ((), PUSH_USAGE, 1), (("fw.bin",), PUSH_USAGE, 1), (("fw.bin", "-x"), PUSH_USAGE, 1),
            (("fw.bin", "-l"), PUSH_USAGE, 1), (("fw.bin", "54DF26", "1", "1"), PUSH_USAGE, 1),
            (("fw.bin", "-l", "none.lst"), "list file open failed.\n", 1),
            (("none", "54DF26", "1", "1", "a.bmp"), "firmware file open failed.\n", 1),
            (("fw.bin", "100", "128", "160", "t.bmp"), addr(0x100, 128, 160, "t.bmp") + inv, 0),
            (("fw.bin", "-x", "1", "2", "a.bmp"), addr(0, 1, 2, "a.bmp") + inv, 0),
            (("fw.bin", "54DF25", "1", "1", "a.bmp"), addr(0x54DF25, 1, 1, "a.bmp") + inv, 0),
            (("fw.bin", "9E6F57", "1", "1", "a.bmp"), addr(0x9E6F57, 1, 1, "a.bmp") + inv, 0),
            (("fw.bin", "9E6F56", "200", "170", "a.bmp"), "parameter error : width\nparameter error : height\n"
             + addr(0x9E6F56, 200, 170, "a.bmp") + "file open failed : a.bmp.\n", 0),
        ]
        for args, out, status in rows:
            with self.subTest(args=args):
                self.assertEqual(run(PUSH, *args), (out, status))
        self.assertEqual(self.read("fw.bin"), self.fw)
        self.assertFalse(os.path.exists("none"))

    def test_round_trip_every_width(self):
        for bits in (24, 32):
            offsets = [WINDOW + 8 * w * (w - 1) for w in range(1, 129)]  # 7 rows of w pixels each
            self.write("fw.bin", self.fw)
            self.write("p.lst", "".join("0x%08X 0x0 %d 7 w%d\n" % (o, w, w) for w, o in enumerate(offsets, 1)))
            run(PULL, "fw.bin", "-l", "p.lst", "x", "x", "-b", str(bits))
            cleared = self.fw[:WINDOW] + bytes(len(self.fw) - WINDOW)
            expected = bytearray(cleared)
            for w, o in enumerate(offsets, 1):
                expected[o:o + 14 * w] = pack_device([v & 0x7FFF for v in unpack_device(self.fw, 7 * w, o)])
            self.write("fw.bin", cleared)
            self.assertEqual(run(PUSH, "fw.bin", "-l", "p.lst")[1], 0)
            self.assertEqual(self.read("fw.bin"), expected)

    def test_layouts_that_pack_exactly(self):
        v = device_values(5, 3)
        plain = bmp(5, 3, 32, v)
        rows = [
            bmp(5, 3, 24, v, image=0),
            bmp(5, 3, 24, v, image=64) + bytes(16),  # more than the rows, all present
            bmp(5, 3, 32, v, off=64)[:54] + bytes(10) + plain[54:],  # a gap before the pixels
            bmp(5, 3, 32, v, comp=3, off=66)[:54] + masks(0xFF0000, 0xFF00, 0xFF) + plain[54:],
            bmp(5, 3, 32, v, comp=3, off=138, info=124)[:54] + masks(0xFF0000, 0xFF00, 0xFF)
            + bytes(72) + plain[54:],
        ]
        for data in rows:
            with self.subTest(data=data[:40]):
                self.write("fw.bin", self.fw)
                self.assertEqual(self.push_list([(0x550000, data)])[1], 0)
                want = self.fw[:0x550000] + pack_device([x & 0x7FFF for x in v]) + self.fw[0x550000 + 30:]
                self.assertEqual(self.read("fw.bin"), want)

    def test_refused_pictures_leave_the_firmware_unchanged(self):
        v = device_values(5, 3)
        good = bmp(5, 3, 24, v)
        huge = 0xFFFFFFFF
        rows = [
            (b"", "bmp header read failed."), (good[:53], "bmp header read failed."),
            (b"XY" + good[2:], "not a bmp file."), (bmp(5, 3, 24, v, info=12), "unsupported bmp header."),
            *((bmp(5, 3, b, v), "unsupported bitcount.") for b in (1, 4, 8, 16)),
            *((bmp(5, 3, 24, v, comp=c), "unsupported compression.") for c in (1, 2, 3, 4)),
            (bmp(5, 3, 32, v, comp=3, off=66)[:54] + masks(0xFF, 0xFF00, 0xFF0000) + good[54:], "unsupported bit fields."),
            (bmp(5, 3, 32, v, comp=3, off=66)[:56], "unsupported bit fields."),
            (bmp(5, 3, 24, v, height=-3), "unsupported top-down bmp."),
            *((bmp(5, 3, 24, v, width=w, height=h), "invalid bmp dimensions.") for w, h in ((0, 3), (-5, 3), (5, 0))),
            *((bmp(5, 3, 24, v, width=w, height=h), "picture too large.") for w, h in ((65536, 65536), (129, 160), (0x7FFFFFFF, 1), (1, 20481))),
            (bmp(5, 3, 24, v, image=47), "invalid bmp image size."), (bmp(5, 3, 24, v, image=81921), "invalid bmp image size."),
            (bmp(5, 3, 24, v, image=huge), "invalid bmp image size."),
            (bmp(5, 3, 24, v, image=64), "bmp data read failed."), (good[:-1], "bmp data read failed."),
            (bmp(5, 3, 24, v, image=0)[:-1], "bmp data read failed."),
            (bmp(5, 3, 24, v, off=20), "invalid bmp data offset."),
            (bmp(5, 3, 24, v, off=len(good)), "bmp data read failed."),
            (bmp(5, 3, 24, v, off=huge), "bmp data read failed."),
        ]
        out, status = self.push_list([(0x550000, data) for data, _ in rows])
        want = "".join(addr(0x550000, 128, 160, "b%d.bmp" % i) + m + "\n" for i, (_, m) in enumerate(rows))
        self.assertEqual((out, status), (want, 0))
        os.mkdir("dir.bmp")
        devnull = "file open failed : /dev/null." if WINDOWS else "bmp header read failed."
        for name, m in (("dir.bmp", "file open failed : dir.bmp."), ("/dev/null", devnull)):
            self.assertEqual(run(PUSH, "fw.bin", "550000", "1", "1", name), (addr(0x550000, 1, 1, name) + m + "\n", 0))
        self.write("fw.bin", self.fw[:0x9E6F56 + 29])
        self.assertEqual(self.push_list([(0x9E6F56, good)])[0],
                         addr(0x9E6F56, 128, 160, "b0.bmp") + "picture runs past the end of the firmware file.\n")
        self.assertEqual(self.read("fw.bin"), self.fw[:0x9E6F56 + 29])
        self.write("fw.bin", self.fw)
        for bits in (24, 32):  # every truncation of a good file
            data = bmp(5, 3, bits, v)
            out, _ = self.push_list([(0x550000, data[:n]) for n in range(len(data))])
            self.assertEqual(out.count("failed."), len(data))
        self.assertEqual(self.read("fw.bin"), self.fw)

    def test_bmp_size_decides_what_is_written(self):
        v = device_values(20, 10)
        self.write("t.bmp", bmp(20, 10, 24, v))
        self.write("p.lst", "0x00550000 0x0 128 160 t\n0x00560000\n")
        self.assertEqual(run(PUSH, "fw.bin", "-l", "p.lst"),
                         (addr(0x550000, 128, 160, "t.bmp") + addr(0x560000, 20, 10, "t.bmp"), 0))
        fw = self.read("fw.bin")
        for o in (0x550000, 0x560000):
            self.assertEqual(fw[o:o + 400], pack_device([x & 0x7FFF for x in v]))
            self.assertEqual(fw[o + 400:o + 402], self.fw[o + 400:o + 402])
        self.assertEqual(len(fw), len(self.fw))

    @linux_only
    def test_closed_standard_streams(self):
        v = device_values(5, 3)
        self.write("b0.bmp", bmp(5, 3, 24, v))
        self.write("p.lst", "0x00550000 0x0 5 3 b0\n0x00100000 0x0 5 3 b0\n0x00560000 0x0 1 1 b0\n")
        self.assertEqual(run(PUSH, "fw.bin", "-l", "p.lst", closed=(0, 1, 2)), ("", 0))
        packed = pack_device([x & 0x7FFF for x in v])
        self.assertEqual(self.read("fw.bin"), self.fw[:0x550000] + packed + self.fw[0x550000 + 30:])
        self.assertEqual(run(PULL, "fw.bin", "550000", "5", "3", "o.bmp", closed=(1,)), ("", 0))
        self.assertEqual(self.read("o.bmp"), bmp(5, 3, 24, v))

    @linux_only
    def test_standard_output_closed_before_a_long_list(self):
        """Without the null device on descriptor 1 the firmware would take it, and the messages."""
        v = device_values(5, 3)
        self.write("b0.bmp", bmp(5, 3, 24, v))
        self.write("p.lst", "0x00550000 0x0 5 3 b0\n" * 400)
        self.assertEqual(run(PUSH, "fw.bin", "-l", "p.lst", closed=(1,)), ("", 0))
        packed = pack_device([x & 0x7FFF for x in v])
        self.assertEqual(self.read("fw.bin"), self.fw[:0x550000] + packed + self.fw[0x550000 + 30:])

    def test_standard_output_onto_an_input(self):
        """'>> fw.bin' or '>> p.lst', by any name: refused before anything is written or printed."""
        self.write("b.bmp", bmp(5, 3, 24, device_values(5, 3)))
        self.write("p.lst", "0x00550000 0x0 5 3 b\n")
        os.link("fw.bin", "hard.bin")
        fw, lst = "standard output is the firmware file.\n", "standard output is the list file.\n"
        rows = [  # tool, arguments, file standard output is appended to, standard error there too, line
            (PULL, ("fw.bin", "54DF26", "5", "3", "o.bmp"), "fw.bin", False, fw),
            (PULL, ("fw.bin", "54DF26", "5", "3", "o.bmp", "-b", "16"), "hard.bin", False, fw),
            (PULL, ("fw.bin", "-x"), "fw.bin", False, fw),
            (PULL, ("fw.bin", "-l", "p.lst", "-b", "32"), "p.lst", False, lst),
            (PULL, ("fw.bin", "-l", "p.lst"), "fw.bin", True, ""),
            (PUSH, ("fw.bin", "550000", "5", "3", "b.bmp"), "hard.bin", False, fw),
            (PUSH, ("fw.bin", "-l", "p.lst"), "p.lst", False, lst),
            (PUSH, ("fw.bin", "-l", "p.lst"), "fw.bin", True, ""),
        ]
        for tool, args, into, both, line in rows:
            if both and WINDOWS:
                continue  # Wine itself writes its complaints to standard error
            with self.subTest(tool=tool, args=args, into=into):
                self.assertEqual(run_into(into, tool, *args, stderr_too=both), (line, 1))
                self.assertEqual(self.read("fw.bin"), self.fw)
                self.assertEqual(self.read("p.lst"), b"0x00550000 0x0 5 3 b\n")
                self.assertFalse(os.path.exists("o.bmp"))

    @unittest.skipUnless(WINDOWS, "device names are a Windows matter")
    def test_windows_devices_are_no_files(self):
        self.write("p.lst", "0x00550000 0x0 1 1 aux\n")
        rows = [
            (PULL, ("nul", "54DF26", "1", "1", "o.bmp"), "firmware file open failed.\n", 1),
            (PULL, ("fw.bin", "-l", "NUL.lst"), "list file open failed.\n", 1),
            (PUSH, ("Nul.txt", "-l", "p.lst"), "firmware file open failed.\n", 1),
            *((PULL, ("fw.bin", "54DF26", "1", "1", n), addr(WINDOW, 1, 1, n) + "output file open failed.\n", 0)
              for n in ("nul.bmp", "NUL", "con.bmp", "Con")),
            (PUSH, ("fw.bin", "-l", "p.lst"), addr(0x550000, 1, 1, "aux.bmp") + "file open failed : aux.bmp.\n", 0),
            (PUSH, ("fw.bin", "550000", "1", "1", "nul.bmp"), addr(0x550000, 1, 1, "nul.bmp")
             + "file open failed : nul.bmp.\n", 0),
        ]
        for tool, args, out, status in rows:
            with self.subTest(args=args):
                self.assertEqual(run(tool, *args, timeout=60), (out, status))
        self.assertEqual(self.read("fw.bin"), self.fw)

    @linux_only
    def test_failed_firmware_write_stops_the_run(self):
        """On a full file system: the write into a hole fails, and nothing after it is done."""
        v = device_values(5, 3)
        self.write("b0.bmp", bmp(5, 3, 24, v))
        self.write("p.lst", "0x00550000 0x0 5 3 ../b0\n0x00560000 0x0 5 3 ../b0\n0x00570000 0x0 5 3 ../b0\n")
        os.mkdir("full")
        script = ('mount -t tmpfs -o size=64k tmpfs full || exit 77; truncate -s %d full/fw.bin; '
                  'dd if=/dev/zero of=full/fw.bin bs=4096 seek=%d count=1 conv=notrunc 2>/dev/null; '
                  'cat /dev/zero > full/filler 2>/dev/null; cd full; "$@" fw.bin -l ../p.lst > ../out.txt; '
                  'echo $? > ../status; cp --sparse=always fw.bin ../after.bin' % (len(self.fw), 0x550000 // 4096))
        if subprocess.run(["unshare", "-rm", "sh", "-c", script, "sh", *RUNNER, PUSH]).returncode != 0:
            self.skipTest("no small file system can be mounted here")
        self.assertEqual((self.read("out.txt").decode(), self.read("status")),
                         (addr(0x550000, 5, 3, "../b0.bmp") + addr(0x560000, 5, 3, "../b0.bmp")
                          + "firmware file write failed.\n", b"1\n"))
        after = self.read("after.bin")
        want = bytearray(len(self.fw))
        want[0x550000:0x550000 + 30] = pack_device([x & 0x7FFF for x in v])
        self.assertEqual(after[:0x560000] + after[0x560000 + 30:], bytes(want[:0x560000] + want[0x560000 + 30:]))

    def test_bmp_larger_than_its_entry_is_refused(self):
        big = "bmp larger than the picture.\n"
        rows = [  # entry width and height as typed, BMP width, height and bits, what follows the address line
            ("37", "23", 38, 24, 24, big), ("37", "23", 38, 23, 32, big), ("37", "23", 37, 24, 24, big),
            ("128", "160", 160, 128, 24, big), ("x", "x", 160, 128, 24, big), ("0", "5", 1, 1, 24, big),
            ("-1", "5", 1, 1, 24, big), ("37", "23", 38, 24, 8, "unsupported bitcount.\n"),
            ("37", "23", 37, 23, 24, ""), ("128", "160", 20, 10, 32, ""), ("37", "23", 1, 23, 24, ""),
        ]
        for ew, eh, w, h, bits, tail in rows:
            with self.subTest(entry=(ew, eh), bmp=(w, h, bits)):
                v = device_values(w, h)
                self.write("fw.bin", self.fw)
                self.write("t.bmp", bmp(w, h, bits, v))
                shown = (int(ew) if ew != "x" else 128, int(eh) if eh != "x" else 160)
                warn = "parameter error : width\n" if ew == "-1" else ""
                self.assertEqual(run(PUSH, "fw.bin", "550000", ew, eh, "t.bmp"),
                                 (warn + addr(0x550000, *shown, "t.bmp") + tail, 0))
                want = self.fw
                if not tail:
                    want = want[:0x550000] + pack_device([x & 0x7FFF for x in v]) + want[0x550000 + 2 * w * h:]
                self.assertEqual(self.read("fw.bin"), want)


if __name__ == "__main__":
    unittest.main()
