"""What every kvlist verb shares: usage, operands, numbers, and where its product may go."""
import os
import subprocess
import tempfile
import unittest

from kvfiles import RUNNER, WINDOWS

KVLIST = os.environ["KVLIST"]


def kvlist(*args, stdout=subprocess.PIPE):
    p = subprocess.run([*RUNNER, KVLIST, *args], stdout=stdout, stderr=subprocess.PIPE, timeout=120)
    return (p.stdout or b"").decode(), p.stderr.decode().replace("\r\n", "\n"), p.returncode


class Shell(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.prev = os.getcwd()
        os.chdir(self.tmp.name)
        with open("fw.bin", "wb") as f:
            f.write(bytes(range(256)) * 8)
        with open("p.lst", "wb") as f:
            f.write(b"0x00000010 0x0000 5 3 a\n")
        os.mkdir("d")

    def tearDown(self):
        os.chdir(self.prev)
        self.tmp.cleanup()

    def test_usage_and_operands(self):
        usage = "kvlist: usage: kvlist %s\n"
        rows = [  # arguments, standard error (None: any one line), status; standard output checked apart
            (("--help",), "", 0), (("-h",), "", 0), (("find", "--help"), "", 0), (("move", "--help"), "", 0),
            (("lose",), "kvlist: unknown verb 'lose' (kvlist --help lists them)\n", 2),
            (("find",), usage % "find FIRMWARE [FIRST LAST]", 2),
            (("find", "fw.bin", "10"), usage % "find FIRMWARE [FIRST LAST]", 2),
            (("find", "fw.bin", "1", "2", "3"), usage % "find FIRMWARE [FIRST LAST]", 2),
            (("sheet", "fw.bin"), usage % "sheet FIRMWARE LIST [OTHER_FIRMWARE]", 2),
            (("move", "fw.bin", "p.lst"), usage % "move OLD_FIRMWARE LIST NEW_FIRMWARE", 2),
            (("check", "fw.bin", "fw.bin", "p.lst", "x"), usage % "check ORIGINAL EDITED LIST", 2),
            *((("find", "fw.bin", first, last), "kvlist: '%s' is no 32-bit hexadecimal offset\n" % bad, 2)
              for first, last, bad in (("x1", "10", "x1"), ("10", "", ""), ("0x", "10", "0x"), ("-1", "10", "-1"),
                                       ("1", "100000000", "100000000"), ("1", " 2", " 2"), ("1", "2g", "2g"))),
            (("find", "fw.bin", "20", "1F"), None, 2),
            (("find", "none.bin"), None, 1), (("find", "d"), None, 1),
            (("sheet", "fw.bin", "none.lst"), None, 1), (("sheet", "d", "p.lst"), None, 1),
            (("move", "fw.bin", "d", "fw.bin"), None, 1),
            (("check", "fw.bin", "none.bin", "p.lst"), None, 2),
        ]
        for args, err, status in rows:
            with self.subTest(args=args):
                out, got_err, got_status = kvlist(*args)
                self.assertEqual(got_status, status)
                if err is None:  # one line, whatever it says of the file or the numbers
                    self.assertEqual((got_err.count("\n"), got_err[:8]), (1, "kvlist: "))
                else:
                    self.assertEqual(got_err, err)
                self.assertEqual(out.startswith(("usage: kvlist", "kvlist ")), status == 0)
        self.assertEqual(kvlist("find", "fw.bin", "0x0", "fFfFfFfF")[2], 0)
        out, err, status = kvlist()
        self.assertEqual((out, err.startswith("usage: kvlist VERB"), status), ("", True, 2))
        out, err, status = kvlist("--version")
        self.assertEqual((out.startswith("kvlist "), err, status), (True, "", 0))

    def test_product_never_lands_on_an_input(self):
        """'>> fw.bin' or '>> p.lst': refused before a byte is written; check's trouble status is 2, as cmp's."""
        os.link("fw.bin", "hard.bin")
        rows = [(("find", "fw.bin"), "fw.bin"), (("find", "fw.bin"), "hard.bin"),
                (("sheet", "fw.bin", "p.lst"), "p.lst"), (("move", "fw.bin", "p.lst", "fw.bin"), "p.lst"),
                (("check", "fw.bin", "fw.bin", "p.lst"), "fw.bin")]
        for args, into in rows:
            with self.subTest(args=args, into=into):
                before = open(into, "rb").read()
                with open(into, "ab") as out:
                    _, err, status = kvlist(*args, stdout=out)
                self.assertEqual((err, status), ("kvlist: standard output is one of the input files\n",
                                                 2 if args[0] == "check" else 1))
                self.assertEqual(open(into, "rb").read(), before)

    @unittest.skipIf(WINDOWS, "/dev/full and closed pipes are POSIX matters")
    def test_failed_writes_are_failures(self):
        with open("/dev/full", "wb") as full:
            _, err, status = kvlist("find", "fw.bin", stdout=full)
        self.assertEqual((err, status), ("kvlist: write to standard output failed\n", 1))
        p = subprocess.Popen([*RUNNER, KVLIST, "sheet", "fw.bin", "p.lst"], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)
        p.stdout.close()  # the reader is gone before the page is written
        err = p.stderr.read().decode()
        self.assertEqual((err, p.wait(timeout=60)), ("kvlist: write to standard output failed\n", 1))


if __name__ == "__main__":
    unittest.main()
