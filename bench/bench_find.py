#!/usr/bin/env python3
"""Quality and speed of `kvlist find` on the synthetic corpora of bench/mkcorpus.py.

    bench/bench_find.py [--kvlist PATH | --build DIR] [--gate] [--write] [--seed N] [--no-speed]

Per corpus (sparse and dense, 4 MiB each), per true picture of width w:
  seen   some candidate has width w, starts on one of its row boundaries and covers
         at least 90% of its bytes;
  exact  a candidate has its offset, width and height, where its top or bottom may differ by
         whole rows of one pixel value, and one candidate spanning a run of same-size
         pictures back to back counts for each of them (an exact picture counts as seen);
and a candidate is false when less than half of its bytes belong to true pictures.
Speed: CPU time (user + system, best of 3) on a 16 MiB sparse file, and peak memory.

--gate fails (status 1) when seen or exact falls, or false rises, by more than the margin
against bench/find_figures.txt; --write stores the figures measured there. Speed is printed,
never gated. Without --kvlist, a Release tree is built in build-find.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FIGURES = os.path.join(ROOT, "bench", "find_figures.txt")
MARGIN = 2.0  # percentage points: other installed packages make slightly other corpora
KINDS = ("sparse", "dense")
# mkcorpus.py needs Pillow, which Debian installs for its own python3.
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable


def build(build_dir):
    """kvlist from a Release tree of its own (Google Benchmark not needed), and the
    peak memory probe beside it."""
    subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release", "-DKV_TESTS=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j2", "--target", "kvlist"], check=True,
                   stdout=subprocess.DEVNULL)
    peakrss = os.path.join(build_dir, "bin", "peakrss")
    compiler = shutil.which("c++") or shutil.which("g++") or shutil.which("clang++")
    if compiler:
        subprocess.run([compiler, "-O2", "-o", peakrss, os.path.join(ROOT, "bench", "peakrss.cpp")], check=True)
    return os.path.join(build_dir, "bin", "kvlist"), peakrss


def read_list(path):
    """(offset, width, height) of each entry line."""
    entries = []
    with open(path) as f:
        for line in f:
            fields = line.split()
            if len(fields) >= 4 and not line.startswith("#"):
                entries.append((int(fields[0], 16), int(fields[2]), int(fields[3])))
    return entries


def uniform_rows(data, offset, width, count, step):
    """How many rows of one value there are from the row at offset on, going by step rows."""
    n, row = 0, offset
    while n < count and 0 <= row and row + 2 * width <= len(data):
        values = data[row:row + 2 * width]
        if values != values[:2] * width:
            break
        n += 1
        row += step * 2 * width
    return n


def runs_of_pictures(truth):
    """Groups of true pictures of one size back to back, as index ranges."""
    groups, start = [], 0
    for i in range(1, len(truth) + 1):
        if i == len(truth) or truth[i][1:] != truth[i - 1][1:] or \
                truth[i][0] != truth[i - 1][0] + 2 * truth[i - 1][1] * truth[i - 1][2]:
            groups.append((start, i))
            start = i
    return groups


def score(data, truth, found, detail=None):
    """seen, exact, false as percentages, and the counts behind them."""
    by_width = {}
    for c in found:
        by_width.setdefault(c[1], []).append(c)
    group_of = {}
    for g in runs_of_pictures(truth):
        for i in range(*g):
            group_of[i] = g
    def top_ok(c_off, off, w, h):
        row = 2 * w
        if c_off >= off:
            return c_off - off <= uniform_rows(data, off, w, h, 1) * row
        return off - c_off <= uniform_rows(data, off - row, w, (off - c_off) // row, -1) * row

    def bottom_ok(c_end, end, w, h):
        row = 2 * w
        if c_end <= end:
            return end - c_end <= uniform_rows(data, end - row, w, h, -1) * row
        return c_end - end <= uniform_rows(data, end, w, (c_end - end) // row, 1) * row

    seen = exact = 0
    for i, (off, w, h) in enumerate(truth):
        size, row = 2 * w * h, 2 * w
        first, last = group_of[i]
        is_seen = is_exact = False
        for c_off, c_w, c_h in by_width.get(w, ()):
            c_end = c_off + 2 * c_w * c_h
            if (c_off - off) % row or c_end <= off or c_off >= off + size:
                continue
            covered = max(0, min(c_end, off + size) - max(c_off, off))
            is_seen = is_seen or covered * 10 >= size * 9
            # Its own top and bottom, or those of the same-size pictures around it.
            tops = [j for j in range(first, i + 1) if top_ok(c_off, truth[j][0], w, h)]
            if tops and any(bottom_ok(c_end, truth[k][0] + size, w, h) for k in range(i, last)):
                is_exact = True
        seen += is_seen or is_exact
        if detail is not None:
            detail.append((is_seen or is_exact, is_exact))
        exact += is_exact
    # A candidate is false when less than half its bytes are in true pictures.
    false = 0
    spans = sorted((o, o + 2 * w * h) for o, w, h in truth)
    import bisect
    starts = [s for s, _ in spans]
    for c_off, c_w, c_h in found:
        c_end = c_off + 2 * c_w * c_h
        inside = 0
        k = max(0, bisect.bisect_right(starts, c_off) - 1)
        while k < len(spans) and spans[k][0] < c_end:
            inside += max(0, min(c_end, spans[k][1]) - max(c_off, spans[k][0]))
            k += 1
        false += inside * 2 < c_end - c_off
    n, m = max(1, len(truth)), max(1, len(found))
    return 100.0 * seen / n, 100.0 * exact / n, 100.0 * false / m, (seen, exact, false, len(truth), len(found))


def run_find(kvlist, path):
    out = subprocess.run([kvlist, "find", path], capture_output=True, check=True).stdout.decode()
    lines = [line for line in out.splitlines() if line and not line.startswith("#")]
    return [(int(f[0], 16), int(f[2]), int(f[3])) for f in (line.split() for line in lines)]


def cpu_seconds(cmd):
    child = subprocess.Popen(cmd, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        raise subprocess.CalledProcessError(status, cmd)
    return usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def read_figures():
    figures = {}
    with open(FIGURES) as f:
        for line in f:
            fields = line.split()
            if len(fields) == 4 and fields[0] in KINDS:
                figures[fields[0]] = tuple(float(x) for x in fields[1:])
    return figures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--kvlist", help="the kvlist program to measure (default: build one)")
    parser.add_argument("--peakrss", help="the peakrss program (default: beside kvlist)")
    parser.add_argument("--build", default=os.path.join(ROOT, "build-find"),
                        help="the Release tree to build kvlist in without --kvlist (default: build-find)")
    parser.add_argument("--gate", action="store_true", help="fail when a figure is worse than committed")
    parser.add_argument("--write", action="store_true", help="store the figures measured")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--no-speed", action="store_true")
    args = parser.parse_args()
    if args.kvlist:
        kvlist = os.path.abspath(args.kvlist)
        peakrss = args.peakrss or os.path.join(os.path.dirname(kvlist), "peakrss")
    else:
        kvlist, peakrss = build(os.path.abspath(args.build))
    measured = {}
    with tempfile.TemporaryDirectory() as work:
        gen = [PYTHON, os.path.join(ROOT, "bench", "mkcorpus.py"), work, "--seed", str(args.seed)]
        subprocess.run(gen, check=True, stdout=subprocess.DEVNULL)
        print("corpus   seen%   exact%  false%   (seen exact false / pictures candidates)")
        for kind in KINDS:
            path = os.path.join(work, kind + ".bin")
            with open(path, "rb") as f:
                data = f.read()
            truth = read_list(os.path.join(work, kind + ".lst"))
            seen, exact, false, counts = score(data, truth, run_find(kvlist, path))
            measured[kind] = (seen, exact, false)
            print("%-7s %6.1f  %6.1f  %6.1f    (%d %d %d / %d %d)" % ((kind, seen, exact, false) + counts))
        if not args.no_speed:
            subprocess.run(gen[:2] + [work, "--seed", str(args.seed), "--mib", "16", "--kinds", "sparse"],
                           check=True, stdout=subprocess.DEVNULL)
            path = os.path.join(work, "sparse.bin")
            cmd = [kvlist, "find", path]
            cpu = min(cpu_seconds(cmd)[0] for _ in range(3))
            if os.access(peakrss, os.X_OK):
                peak = int(subprocess.run([peakrss] + cmd, capture_output=True, text=True, check=True).stdout)
            else:
                peak = cpu_seconds(cmd)[1]
            mib = os.path.getsize(path) / 1048576
            print("speed: %.0f MiB in %.3f s CPU, %.1f MiB/s; peak memory %d KiB (file %d KiB)"
                  % (mib, cpu, mib / cpu, peak, os.path.getsize(path) // 1024))
    if args.write:
        with open(FIGURES, "w") as f:
            f.write("# kvlist find on the corpora of bench/mkcorpus.py --seed %d (bench/bench_find.py --write)\n"
                    % args.seed)
            f.write("# corpus seen% exact% false%\n")
            for kind in KINDS:
                f.write("%s %.1f %.1f %.1f\n" % ((kind,) + measured[kind]))
    if args.gate:
        worse = []
        for kind, (seen, exact, false) in read_figures().items():
            now = measured[kind]
            if now[0] < seen - MARGIN:
                worse.append("%s seen %.1f < %.1f" % (kind, now[0], seen))
            if now[1] < exact - MARGIN:
                worse.append("%s exact %.1f < %.1f" % (kind, now[1], exact))
            if now[2] > false + MARGIN:
                worse.append("%s false %.1f > %.1f" % (kind, now[2], false))
        if worse:
            print("worse than bench/find_figures.txt: " + "; ".join(worse))
            return 1
        print("no figure worse than bench/find_figures.txt by more than %.1f points" % MARGIN)
    return 0


if __name__ == "__main__":
    sys.exit(main())
