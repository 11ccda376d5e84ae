#!/usr/bin/env python3
"""Quality and speed of `kvlist find` on the development corpus of bench/mkdevcorpus.py.

    bench/bench_find.py [--kvlist PATH | --build DIR] [--gate] [--write] [--seed N]
                        [--corpus DIR] [--misses] [--no-speed]

Both parts of the corpus are measured, each file alone, each part as a whole, and each kind of
picture: tune on the tuned part; the held-out part (other packages) only accepts or rejects a
change. Per true picture of width w:
  seen   some candidate has width w, starts on one of its row boundaries and covers at least
         90% of its bytes;
  exact  a candidate has its offset, width and height, where its top or bottom may differ by
         whole rows of one pixel value; a candidate spanning frames of one animation back to
         back is exact for each of them, one spanning distinct pictures for none (an exact
         picture counts as seen).
Per candidate: false when less than half of its bytes belong to true pictures; right when a
true picture is seen through it. Calibration of find's notes: the share of `sure` candidates
that are right, the share of seen pictures seen through a `sure` one, and the share of `likely`
candidates that are right. False candidates are counted by the filler under them.
Speed: CPU time (user + system, best of 3) and peak memory on the held-out files end to end
(16 MiB), beside the floor of reading that file (cat).

--gate fails (status 1) when a held-out file's figure is worse than in bench/find_figures.txt
by more than the margin; --write stores the figures of both parts there. Without --kvlist, a
Release tree is built in build-find.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FIGURES = os.path.join(ROOT, "bench", "find_figures.txt")
MKDEVCORPUS = os.path.join(ROOT, "bench", "mkdevcorpus.py")
PARTS = ("tuned", "heldout")
LAYOUTS = ("sparse", "dense", "mixed")
KINDS = ("icon", "sprite", "photo", "ui", "few-colour", "dark")
MARGIN = 2.0  # percentage points
# name, heading, goal, whether higher is better
MEASURES = [("seen", "seen%", 90, True), ("exact", "exact%", 70, True), ("false", "false%", 5, False),
            ("sure", "sure-right%", 95, True), ("via_sure", "seen-via-sure%", 50, True),
            ("likely", "likely-right%", 50, True)]
# mkdevcorpus.py needs Pillow, which Debian installs for its own python3.
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


class Truth:
    """One line of a true list: a picture, its kind, package and placement."""

    def __init__(self, line):
        entry, _, notes = line.partition("#")
        fields, notes = entry.split(), notes.split()
        self.offset, self.width, self.height, self.name = int(fields[0], 16), int(fields[2]), int(fields[3]), fields[4]
        self.kind, self.package = notes[0], notes[1]
        self.placement, _, self.group = notes[2].partition("=")
        self.ground = notes[3].split("=")[1]
        self.seen = self.exact = self.via_sure = False

    @property
    def end(self):
        return self.offset + 2 * self.width * self.height

    def facets(self):
        """The groups this picture is counted in beside its kind."""
        out = ["alone" if self.placement == "alone" else {"anim": "animation frame", "run": "run of distinct",
                                                          "pair": "pair"}[self.placement],
               "plain ground" if self.ground == "plain" else "no plain ground"]
        if self.width <= 24:
            out.append("small (w <= 24)")
        if self.offset & 1:
            out.append("odd offset")
        return out


def read_truth(path):
    with open(path) as f:
        return [Truth(line) for line in f if line.strip() and not line.startswith("#")]


class Candidate:
    def __init__(self, line):
        entry, _, note = line.partition("#")
        fields = entry.split()
        self.offset, self.width, self.height = int(fields[0], 16), int(fields[2]), int(fields[3])
        self.note = note.split(",")[0].strip()
        self.right = self.false = False

    @property
    def end(self):
        return self.offset + 2 * self.width * self.height


def read_filler(path):
    """(offset, length, what) of the filler pieces that bench/mkdevcorpus.py logged."""
    with open(path) as f:
        return [(int(p[0], 16), int(p[1]), p[2] if p[3] == "-" else p[2] + " " + p[3])
                for p in (line.split() for line in f if not line.startswith("#"))]


def filler_under(c, pieces, starts):
    """The filler that holds most of a candidate's bytes."""
    import bisect
    best, most = "pictures", 0
    k = max(0, bisect.bisect_right(starts, c.offset) - 1)
    while k < len(pieces) and pieces[k][0] < c.end:
        inside = min(c.end, pieces[k][0] + pieces[k][1]) - max(c.offset, pieces[k][0])
        if inside > most:
            best, most = pieces[k][2], inside
        k += 1
    return best


def run_find(kvlist, path):
    out = subprocess.run([kvlist, "find", path], capture_output=True, check=True).stdout.decode()
    return [Candidate(line) for line in out.splitlines() if line and not line.startswith("#")]


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


def animation_runs(truth):
    """For each picture, the index range of the frames of its animation back to back around it
    (the picture alone when it is no frame)."""
    runs, start = [], 0
    for i in range(1, len(truth) + 1):
        a, b = truth[i - 1], truth[i] if i < len(truth) else None
        if b is None or a.placement != "anim" or b.group != a.group or b.offset != a.end or \
                (b.width, b.height) != (a.width, a.height):
            runs += [(start, i)] * (i - start)
            start = i
    return runs


def score(data, truth, found):
    """Marks each picture seen, exact, seen through a `sure` candidate, and each candidate
    right or false."""
    by_width = {}
    for c in found:
        by_width.setdefault(c.width, []).append(c)
    runs = animation_runs(truth)

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

    for i, t in enumerate(truth):
        w, h, size, row = t.width, t.height, t.end - t.offset, 2 * t.width
        first, last = runs[i]
        for c in by_width.get(w, ()):
            if (c.offset - t.offset) % row or c.end <= t.offset or c.offset >= t.end:
                continue
            covered = min(c.end, t.end) - max(c.offset, t.offset)
            seen = covered * 10 >= size * 9
            # Its own top and bottom, or those of the frames of its animation around it.
            exact = any(top_ok(c.offset, truth[j].offset, w, h) for j in range(first, i + 1)) and \
                any(bottom_ok(c.end, truth[k].end, w, h) for k in range(i, last))
            if seen or exact:
                t.seen, c.right = True, True
                t.via_sure = t.via_sure or c.note == "sure"
            t.exact = t.exact or exact
    spans = sorted((t.offset, t.end) for t in truth)
    import bisect
    starts = [s for s, _ in spans]
    for c in found:
        inside, k = 0, max(0, bisect.bisect_right(starts, c.offset) - 1)
        while k < len(spans) and spans[k][0] < c.end:
            inside += max(0, min(c.end, spans[k][1]) - max(c.offset, spans[k][0]))
            k += 1
        c.false = inside * 2 < c.end - c.offset


def share(part, whole):
    return 100.0 * part / whole if whole else None


def figures(truth, found):
    """The measures of a set of pictures and candidates (None where nothing is counted)."""
    seen = [t for t in truth if t.seen]
    sure = [c for c in found if c.note == "sure"]
    likely = [c for c in found if c.note == "likely"]
    return {"seen": share(len(seen), len(truth)), "exact": share(sum(t.exact for t in truth), len(truth)),
            "false": share(sum(c.false for c in found), len(found)),
            "sure": share(sum(c.right for c in sure), len(sure)),
            "via_sure": share(sum(t.via_sure for t in seen), len(seen)),
            "likely": share(sum(c.right for c in likely), len(likely)),
            "pictures": len(truth), "candidates": len(found), "sure_n": len(sure), "likely_n": len(likely)}


def cell(value):
    return "%6.1f" % value if value is not None else "     -"


def print_files(rows):
    print("%-15s %5s %5s  %s" % ("file", "pics", "cands", "  ".join("%6s" % m[1][:-1][:6] for m in MEASURES))
          + "   (sure, likely candidates)")
    for label, f in rows:
        print("%-15s %5d %5d  %s   (%d, %d)" % (label, f["pictures"], f["candidates"],
                                               "  ".join(cell(f[m[0]]) for m in MEASURES), f["sure_n"], f["likely_n"]))
    print("%-27s  %s" % ("goal", "  ".join(("%5s%d" % (">=" if m[3] else "<=", m[2])) for m in MEASURES)))


def print_groups(per_part):
    """Seen and exact per kind and per placement, the parts side by side."""
    print("\n%-20s %s" % ("pictures", "".join("%-26s" % ("%s: n  seen%% exact%%" % p) for p in PARTS)))
    groups = list(KINDS) + sorted({g for truth in per_part.values() for t in truth for g in t.facets()})
    for group in groups:
        line = "%-20s " % group
        for part in PARTS:
            chosen = [t for t in per_part[part] if t.kind == group or group in t.facets()]
            f = figures(chosen, [])
            line += "%-26s" % ("%11d %s %s" % (len(chosen), cell(f["seen"]), cell(f["exact"])))
        print(line)


def print_false(per_part_found):
    print("\nfalse candidates, by the filler under most of their bytes:")
    for part in PARTS:
        counts = {}
        for c in per_part_found[part]:
            if c.false:
                counts[c.filler] = counts.get(c.filler, 0) + 1
        print("  %s: %s" % (part, ", ".join("%s %d" % (what, n) for what, n in
                                          sorted(counts.items(), key=lambda i: (-i[1], i[0]))) or "none"))


def print_misses(label, truth):
    for t in truth:
        if not t.exact:
            print("  %s 0x%08X %dx%d %s %s %s %s ground=%s" % ("seen  " if t.seen else "missed", t.offset, t.width,
                                                             t.height, t.name, t.kind, t.package,
                                                             t.placement, t.ground))


def cpu_seconds(cmd):
    child = subprocess.Popen(cmd, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        raise subprocess.CalledProcessError(status, cmd)
    return usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def speed(kvlist, peakrss, work):
    """find's CPU time and peak memory on the held-out files end to end, beside cat's."""
    path = os.path.join(work, "speed.bin")
    with open(path, "wb") as out:
        for layout in LAYOUTS:
            with open(os.path.join(work, "heldout-%s.bin" % layout), "rb") as f:
                out.write(f.read())
    cmd = [kvlist, "find", path]
    cpu = min(cpu_seconds(cmd)[0] for _ in range(3))
    floor = min(cpu_seconds(["cat", path])[0] for _ in range(3))
    if os.access(peakrss, os.X_OK):
        peak = int(subprocess.run([peakrss] + cmd, capture_output=True, text=True, check=True).stdout)
    else:
        peak = cpu_seconds(cmd)[1]
    mib = os.path.getsize(path) / 1048576
    print("\nspeed: %.0f MiB: find %.3f s CPU (best of 3), %.1f MiB/s; floor (cat) %.3f s; peak memory %.1f MiB "
          "(file %.1f MiB); goal <= 0.333 s, <= %.1f MiB" % (mib, cpu, mib / cpu, floor, peak / 1024, mib, mib + 32))


def read_figures():
    figures = {}
    with open(FIGURES) as f:
        for line in f:
            fields = line.split()
            if fields and not line.startswith("#") and len(fields) == 1 + len(MEASURES):
                figures[fields[0]] = [None if v == "-" else float(v) for v in fields[1:]]
    return figures


def write_figures(measured, seed):
    with open(FIGURES, "w") as f:
        f.write("# kvlist find on the corpus of bench/mkdevcorpus.py --seed %d (bench/bench_find.py --write)\n" % seed)
        f.write("# --gate holds each held-out file to these less %.1f points; the tuned ones are for reference\n"
                % MARGIN)
        f.write("# file %s\n" % " ".join(m[1] for m in MEASURES))
        for label, fig in measured:
            f.write("%s %s\n" % (label, " ".join("-" if fig[m[0]] is None else "%.1f" % fig[m[0]] for m in MEASURES)))


def gate(measured):
    committed, worse = read_figures(), []
    for label, fig in measured:
        if not label.startswith("heldout") or label not in committed:
            continue
        for (name, heading, _, higher), then in zip(MEASURES, committed[label]):
            now = fig[name]
            if then is None or now is None:
                if then is not None:
                    worse.append("%s %s: none now" % (label, heading))
                continue
            if (now < then - MARGIN) if higher else (now > then + MARGIN):
                worse.append("%s %s %.1f, was %.1f" % (label, heading, now, then))
    if worse:
        print("worse than bench/find_figures.txt: " + "; ".join(worse))
        return 1
    print("no held-out figure worse than bench/find_figures.txt by more than %.1f points" % MARGIN)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--kvlist", help="the kvlist program to measure (default: build one)")
    parser.add_argument("--peakrss", help="the peakrss program (default: beside kvlist)")
    parser.add_argument("--build", default=os.path.join(ROOT, "build-find"),
                        help="the Release tree to build kvlist in without --kvlist (default: build-find)")
    parser.add_argument("--gate", action="store_true", help="fail when a held-out figure is worse than committed")
    parser.add_argument("--write", action="store_true", help="store the figures measured")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--corpus", help="make the corpus in this folder and keep it (default: a temporary one)")
    parser.add_argument("--misses", action="store_true", help="list every picture not found exactly")
    parser.add_argument("--no-speed", action="store_true")
    args = parser.parse_args()
    if args.kvlist:
        kvlist = os.path.abspath(args.kvlist)
        peakrss = args.peakrss or os.path.join(os.path.dirname(kvlist), "peakrss")
    else:
        kvlist, peakrss = build(os.path.abspath(args.build))
    with tempfile.TemporaryDirectory() as temporary:
        work = args.corpus or temporary
        subprocess.run([PYTHON, MKDEVCORPUS, work, "--seed", str(args.seed)], check=True, stdout=subprocess.DEVNULL)
        measured, per_part, per_part_found = [], {}, {}
        for part in PARTS:
            part_truth, part_found = [], []
            for layout in LAYOUTS:
                label = "%s-%s" % (part, layout)
                path = os.path.join(work, label + ".bin")
                with open(path, "rb") as f:
                    data = f.read()
                truth, found = read_truth(os.path.join(work, label + ".lst")), run_find(kvlist, path)
                score(data, truth, found)
                pieces = read_filler(os.path.join(work, label + ".fill"))
                for c in found:
                    c.filler = filler_under(c, pieces, [p[0] for p in pieces])
                measured.append((label, figures(truth, found)))
                part_truth += truth
                part_found += found
                if args.misses:
                    print(label + ":")
                    print_misses(label, truth)
            measured.append((part + "-all", figures(part_truth, part_found)))
            per_part[part], per_part_found[part] = part_truth, part_found
        print_files(measured)
        print_groups(per_part)
        print_false(per_part_found)
        if not args.no_speed:
            speed(kvlist, peakrss, work)
    if args.write:
        write_figures(measured, args.seed)
    return gate(measured) if args.gate else 0


if __name__ == "__main__":
    sys.exit(main())
