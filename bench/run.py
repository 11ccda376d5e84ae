#!/usr/bin/env python3
"""List-mode benchmark: kvpull and kvpush against a floor that does the same file I/O
with no conversion, on lists of 10,000 entries, in CPU time (user + system) and wall time.

    bench/run.py [runs]        (median of 'runs' alternating runs, 10 by default)
"""
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build-bench")
BIN = os.path.join(BUILD, "bin")
WINDOW_FIRST, WINDOW_LAST = 0x54DF26, 0x9E6F56
SIZES = [(128, 160)] * 17 + [(37, 23), (127, 160), (1, 160), (5, 3)]


def build():
    subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=Release", "-DKV_BENCH=ON",
                    "-DKV_TESTS=OFF"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", BUILD, "-j2"], check=True, stdout=subprocess.DEVNULL)


def make_files(work, counts):
    rng = random.Random(1)
    with open(os.path.join(work, "fw.bin"), "wb") as f:
        f.write(rng.randbytes(WINDOW_LAST + 40960))
    for n in counts:
        with open(os.path.join(work, "list%d.lst" % n), "w") as f:
            for i in range(n):
                w, h = SIZES[i % len(SIZES)]
                offset = rng.randrange(WINDOW_FIRST, WINDOW_LAST - 2 * w * h)
                f.write("0x%08X 0x0000 %3d %3d p%d\n" % (offset, w, h, i))


def timed(cmd, cwd):
    """CPU time (user + system) and wall time of one run, in seconds."""
    start = time.perf_counter()
    child = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        raise subprocess.CalledProcessError(child.returncode, cmd)
    return usage.ru_utime + usage.ru_stime, wall


def peak_kib(cmd, cwd):
    out = subprocess.run([BIN + "/peakrss", *cmd], cwd=cwd, capture_output=True, text=True, check=True)
    return int(out.stdout)


def measure(tool, floor, cwd, runs):
    """Runs tool and floor in turn, so both see the same cache and machine state.
    Ends with a run of the tool, so the files it writes are its own."""
    timed(tool, cwd)  # warm the page cache and create the files once
    tool_times, floor_times = [], []
    for _ in range(runs):
        floor_times.append(timed(floor, cwd))
        tool_times.append(timed(tool, cwd))
    median = lambda times, i: statistics.median(t[i] for t in times)
    return ([median(tool_times, i) for i in (0, 1)], [median(floor_times, i) for i in (0, 1)],
            peak_kib(tool, cwd))


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 10
    build()
    work = os.path.join(BUILD, "work")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    counts = (10000,)
    make_files(work, counts)
    print("%-7s %-8s %11s %11s %9s %11s %11s %9s %9s" % (
        "entries", "task", "cpu us/pic", "floor cpu", "cpu ratio", "wall us/pic", "floor wall",
        "wall ratio", "peak KiB"))
    for n in counts:
        for bits in (24, 32):
            lst = "list%d.lst" % n
            tasks = [
                ("pull %d" % bits, [BIN + "/kvpull", "fw.bin", "-l", lst, "x", "x", "-b", str(bits)],
                 [BIN + "/floor_pull", "fw.bin", lst, str(bits)]),
                ("push %d" % bits, [BIN + "/kvpush", "fw.bin", "-l", lst], [BIN + "/floor_push", "fw.bin", lst]),
            ]
            for name, tool, floor in tasks:
                (tc, tw), (fc, fw), rss = measure(tool, floor, work, runs)
                print("%-7d %-8s %11.1f %11.1f %9.2f %11.1f %11.1f %9.2f %9d" % (
                    n, name, 1e6 * tc / n, 1e6 * fc / n, tc / fc, 1e6 * tw / n, 1e6 * fw / n, tw / fw, rss),
                    flush=True)
            for name in os.listdir(work):
                if name.endswith(".bmp"):
                    os.remove(os.path.join(work, name))
    subprocess.run([BIN + "/bench_convert", "--benchmark_min_time=0.5"], check=True)


if __name__ == "__main__":
    main()
