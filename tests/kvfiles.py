"""Builds the files the end-to-end suites feed the tools, independently of the tools' code."""
import os
import struct
import subprocess
import sys
import tempfile
import unittest

PULL, PUSH = os.environ["KVPULL"], os.environ["KVPUSH"]
# A cross build's tools run under an emulator (wine, qemu-...), given here.
RUNNER = os.environ.get("KV_RUNNER", "").split()
WINDOWS = os.environ.get("KV_SYSTEM") == "Windows"
WINDOW = 0x54DF26
FW_SIZE = 0x9E6F56 + 40960


def skip_unless(present, message, switch):
    """Ends a suite whose tools are missing: skipped (77), or failed where the environment
    variable switch says 'required' (as in CI)."""
    if not present:
        print(message)
        sys.exit(1 if os.environ.get(switch) == "required" else 77)


def run(tool, *args, closed=(), timeout=None):
    """Output and status of one run; 'closed' descriptors are closed in the child."""
    def close():
        for fd in closed:
            os.close(fd)
    p = subprocess.run([*RUNNER, tool, *args], capture_output=True, text=True,
                       preexec_fn=close if closed else None, timeout=timeout)
    # Windows writes its text-mode CR LF line ends; the lines are the same.
    return p.stdout.replace("\r\n", "\n"), p.returncode


def run_into(path, tool, *args, stderr_too=False):
    """Standard error and status of a run whose standard output is appended to path."""
    with open(path, "ab") as out:
        p = subprocess.run([*RUNNER, tool, *args], stdout=out, stderr=out if stderr_too else subprocess.PIPE)
    err = (p.stderr or b"").decode().replace("\r\n", "\n")
    return "".join(l for l in err.splitlines(True) if not is_emulator_noise(l)), p.returncode


def is_emulator_noise(line):
    """Wine's own complaints about its set-up, which no tool prints."""
    return RUNNER[:1] == ["wine"] and any(w in line for w in ("wine32", "multiarch", "dpkg --add-arch",
                                                               "apt-get install wine32", ":err:", ":fixme:"))


def device_values(w, h, seed=0):
    """Asymmetric device picture: every pixel differs, some with bit 15 set."""
    return [(i * 40503 + 7 + seed) & 0xFFFF for i in range(w * h)]


def pack_device(values):
    return struct.pack("<%dH" % len(values), *values)


def unpack_device(data, n, offset=0):
    return list(struct.unpack_from("<%dH" % n, data, offset))


def firmware(path, size=FW_SIZE):
    data = bytes((i * 131 + (i >> 9)) & 0xFF for i in range(256)) * (size // 256 + 1)
    with open(path, "wb") as f:
        f.write(data[:size])
    return data[:size]


def bmp(w, h, bits, values, **fields):
    """A BMP as the BMP format defines it, from device values; fields override header words."""
    row = (bits // 8 * w + 3) & ~3
    rows = b""
    for y in reversed(range(h)):
        line = b""
        for v in values[y * w:(y + 1) * w]:
            b, g, r = (v & 31) << 3, (v >> 5 & 31) << 3, (v >> 10 & 31) << 3
            line += bytes([b, g, r] + [0] * (bits == 32))
        rows += line.ljust(row, b"\0")
    f = dict(type=b"BM", size=54 + len(rows), off=54, info=40, width=w, height=h, planes=1, bits=bits,
             comp=0, image=len(rows))
    f.update(fields)
    head = struct.pack("<2sIHHIIiiHHIIiiII", f["type"], f["size"], 0, 0, f["off"], f["info"],
                       f["width"], f["height"], f["planes"], f["bits"], f["comp"], f["image"], 0, 0, 0, 0)
    return head + rows


class InTempDir(unittest.TestCase):
    """Each test runs in a temporary folder of its own, removed afterwards."""
    encoding = "utf-8"  # of text written as a file

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.prev = os.getcwd()
        os.chdir(self.tmp.name)

    def tearDown(self):
        os.chdir(self.prev)
        self.tmp.cleanup()

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def write(self, path, data):
        with open(path, "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode(self.encoding))
