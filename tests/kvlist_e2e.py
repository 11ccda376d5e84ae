"""What every kvlist verb shares: usage, operands, numbers, and where its product may go."""
import os
import shutil
import subprocess
import tempfile
import threading
import unittest

from kvfiles import RUNNER, WINDOWS

KVLIST = os.environ["KVLIST"]


def kvlist(*args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=None, closed=(), pass_fds=()):
    """Standard output and error as text, and the status; 'closed' descriptors are closed in the child."""
    def close():
        for fd in closed:
            os.close(fd)
    p = subprocess.run([*RUNNER, KVLIST, *args], stdout=stdout, stderr=stderr, stdin=stdin, timeout=120,
                       preexec_fn=close if closed else None, pass_fds=pass_fds)
    return (p.stdout or b"").decode(), (p.stderr or b"").decode().replace("\r\n", "\n"), p.returncode


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

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

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
        shutil.copy("fw.bin", "copy.bin")
        rows = [(("find", "fw.bin"), "fw.bin"), (("find", "fw.bin"), "hard.bin"),
                (("sheet", "fw.bin", "p.lst"), "p.lst"), (("move", "fw.bin", "p.lst", "fw.bin"), "p.lst"),
                (("check", "fw.bin", "copy.bin", "p.lst"), "copy.bin")]
        for args, into in rows:
            with self.subTest(args=args, into=into):
                before = open(into, "rb").read()
                with open(into, "ab") as out:
                    _, err, status = kvlist(*args, stdout=out)
                self.assertEqual((err, status), ("kvlist: standard output is one of the input files\n",
                                                 2 if args[0] == "check" else 1))
                self.assertEqual(open(into, "rb").read(), before)

    def test_messages_never_land_on_an_input(self):
        """'2>> p.lst': nothing is written, not even a refusal; the status says the run failed."""
        os.link("p.lst", "hard.lst")
        shutil.copy("fw.bin", "copy.bin")
        rows = [(("find", "fw.bin"), "fw.bin", 1), (("find", "fw.bin", "1", "x"), "fw.bin", 1),
                (("sheet", "fw.bin", "p.lst"), "hard.lst", 1), (("move", "fw.bin", "p.lst", "copy.bin"), "p.lst", 1),
                (("move", "fw.bin", "p.lst"), "p.lst", 1), (("check", "fw.bin", "copy.bin", "p.lst"), "copy.bin", 2),
                (("check", "fw.bin", "fw.bin", "p.lst"), "fw.bin", 2)]
        for args, into, status in rows:
            with self.subTest(args=args, into=into):
                before = open(into, "rb").read()
                with open(into, "ab") as err:
                    self.assertEqual(kvlist(*args, stderr=err), ("", "", status))
                self.assertEqual(open(into, "rb").read(), before)

    def test_check_never_compares_a_file_with_itself(self):
        shutil.copy("fw.bin", "copy.bin")
        os.link("fw.bin", "hard.bin")
        rows = [("fw.bin", "fw.bin"), ("fw.bin", "./fw.bin"), ("fw.bin", "hard.bin"), ("d", "d")]
        if not WINDOWS:
            os.symlink("fw.bin", "soft.bin")
            rows.append(("soft.bin", "fw.bin"))
        for orig, edit in rows:
            with self.subTest(orig=orig, edit=edit):
                self.assertEqual(kvlist("check", orig, edit, "p.lst"),
                                 ("", "kvlist: %s and %s are the same file\n" % (orig, edit), 2))
        if not WINDOWS:  # a descriptor of the run's own, as /proc/self/fd names it
            with open("fw.bin", "rb") as f:
                name = "/proc/self/fd/%d" % f.fileno()
                self.assertEqual(kvlist("check", "fw.bin", name, "p.lst", pass_fds=(f.fileno(),)),
                                 ("", "kvlist: fw.bin and %s are the same file\n" % name, 2))
        # Refusals in order: usage, the same file, a file that cannot be read, standard output onto an input.
        self.assertEqual(kvlist("check", "fw.bin", "fw.bin")[2], 2)
        self.assertTrue(kvlist("check", "fw.bin", "fw.bin", "none.lst")[1].endswith("are the same file\n"))
        self.assertTrue(kvlist("check", "fw.bin", "copy.bin", "none.lst")[1].startswith("kvlist: none.lst: cannot"))
        with open("p.lst", "ab") as out:
            self.assertEqual(kvlist("check", "fw.bin", "fw.bin", "p.lst", stdout=out)[1:],
                             ("kvlist: fw.bin and fw.bin are the same file\n", 2))

    @unittest.skipIf(WINDOWS, "pipes and FIFOs by name are POSIX matters")
    def test_inputs_from_pipes(self):
        """A list or a firmware file from a pipe, standard input or a FIFO is read to its end."""
        shutil.copy("fw.bin", "new.bin")
        lst, fw = self.read("p.lst") * 3000, self.read("fw.bin")  # more than a pipe holds at once
        want = kvlist("move", "fw.bin", "p.lst", "new.bin")[0] * 3000
        os.mkfifo("fifo")
        def feed(data, path=None, fd=None):
            def write():
                with (open(path, "wb") if path else os.fdopen(fd, "wb")) as f:
                    f.write(data)
            thread = threading.Thread(target=write)
            thread.start()
            return thread
        for how in ("stdin", "fifo", "fd"):
            with self.subTest(how):
                r, w = os.pipe()
                thread = feed(lst, path="fifo" if how == "fifo" else None, fd=None if how == "fifo" else w)
                name = {"stdin": "/dev/stdin", "fifo": "fifo", "fd": "/dev/fd/%d" % r}[how]
                out, err, status = kvlist("move", "fw.bin", name, "new.bin", stdin=r if how == "stdin" else None,
                                          pass_fds=(r,) if how == "fd" else ())
                thread.join()
                os.close(r)
                if how == "fifo":
                    os.close(w)
                self.assertEqual((out, err.splitlines()[-1], status),
                                 (want, "3000 entries: 3000 same, 0 moved, 0 changed, 0 not found", 0))
        r, w = os.pipe()
        thread = feed(fw, fd=w)
        self.assertEqual(kvlist("find", "/dev/stdin", stdin=r)[0], kvlist("find", "fw.bin")[0].replace(
            "fw.bin", "/dev/stdin"))
        thread.join()
        os.close(r)

    @unittest.skipIf(WINDOWS, "/dev/full, closed descriptors and pipes are POSIX matters")
    def test_failed_writes_are_failures(self):
        shutil.copy("fw.bin", "copy.bin")
        verbs = [("find", "fw.bin"), ("sheet", "fw.bin", "p.lst"), ("move", "fw.bin", "p.lst", "copy.bin"),
                 ("check", "fw.bin", "copy.bin", "p.lst"), ("--help",), ("find", "--help"), ("--version",)]
        for args in verbs:
            status = 2 if args[0] == "check" else 1
            with self.subTest(args=args, into="/dev/full"), open("/dev/full", "wb") as full:
                err = kvlist(*args, stdout=full)[1]
                self.assertEqual((err.splitlines()[0], kvlist(*args, stdout=full)[2]),
                                 ("kvlist: write to standard output failed", status))
            with self.subTest(args=args, into="closed"):
                err, got = kvlist(*args, closed=(1,), stdout=None)[1:]
                self.assertEqual((err.splitlines()[0], got), ("kvlist: standard output is closed", status))
            with self.subTest(args=args, into="a pipe nobody reads"):
                r, w = os.pipe()
                os.close(r)  # the reader is gone before anything is written
                err, got = kvlist(*args, stdout=w)[1:]
                os.close(w)
                self.assertEqual((err.splitlines()[0], got), ("kvlist: write to standard output failed", status))


if __name__ == "__main__":
    unittest.main()
