#!/usr/bin/env python3
"""Quality and speed of `kvlist move`.

    bench/bench_move.py [--kvlist PATH] [--gate] [--write] [--seeds 1,2,3]

Quality: for each corpus of bench/mkcorpus.py (sparse and dense, 4 MiB each, one per seed;
without Pillow or artwork, stand-in files of bench/mkmoved.py), bench/mkmoved.py makes a second
version, and `kvlist move` carries the true list over to it. An entry is right when its word
(same, moved, changed, not found) and, when found, its new offset are the answer's; it is wrong
when reported found at another offset or where the answer is not found.
Speed: CPU time (user + system, best of 3) and peak memory of a 1,000-entry list between two
16 MiB files (stand-in files of bench/mkmoved.py).

--gate fails (status 1) when any entry is found at a wrong offset, when the share of right
entries of all corpora together falls below 99%, or when that of a corpus falls more than the
margin below its figure in bench/move_figures.txt (other installed packages make slightly other
corpora); --write stores the shares measured. Without --kvlist, a Release tree is built in
build-bench.
"""
import argparse
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FIGURES = os.path.join(ROOT, "bench", "move_figures.txt")
MKCORPUS = os.path.join(ROOT, "bench", "mkcorpus.py")
MKMOVED = os.path.join(ROOT, "bench", "mkmoved.py")
# mkcorpus.py needs Pillow, which Debian installs for its own python3.
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
MARGIN = 1.0  # percentage points
GOAL = 99.0   # percent of all entries right


def build():
    build_dir = os.path.join(ROOT, "build-bench")
    subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release", "-DKV_TESTS=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j2", "--target", "kvlist"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(build_dir, "bin", "kvlist")


def run_move(kvlist, old, lst, new):
    """stdout, stderr, CPU seconds and peak memory (KiB) of one run."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        p = subprocess.Popen([kvlist, "move", old, lst, new], stdout=out, stderr=err)
        _, status, usage = os.wait4(p.pid, 0)
        p.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        stdout, stderr = out.read(), err.read()
    if p.returncode not in (0, 1):
        sys.exit("bench_move: kvlist move failed: " + stderr.decode(errors="replace"))
    return stdout.decode("latin-1"), stderr.decode("latin-1"), usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def score(stdout, stderr, answers):
    """(right, wrong offsets, counted, misses) of one run against its answers."""
    new_lines = [line for line in stdout.splitlines() if line.strip()][1:]  # the header comment
    reports = [line for line in stderr.splitlines() if ": " in line and " entries: " not in line
               and " entry: " not in line]
    right = wrong = counted = 0
    misses = []
    for line, report, answer in zip(new_lines, reports, answers):
        name, word, offset = answer
        if word == "skip":
            continue
        counted += 1
        said = report.split(": ", 1)[1]
        got = ("same" if said == "same" else "moved" if said.startswith("moved") else
               "changed" if said.startswith("changed") else "not-found")
        got_offset = None if line.startswith("#") else int(line.split()[0], 16)
        want_offset = None if offset == "-" else int(offset, 16)
        if got_offset is not None and got_offset != want_offset:
            wrong += 1
            misses.append("WRONG %s: %s, answer %s %s" % (name, report, word, offset))
        elif got == word and got_offset == want_offset:
            right += 1
        else:
            misses.append("miss %s: %s, answer %s %s" % (name, report, word, offset))
    return right, wrong, counted, misses


def corpora(tmp, seeds, stand_in):
    """(label, old.bin, old.lst) of every corpus, made in tmp."""
    out = []
    for seed in seeds:
        folder = os.path.join(tmp, "corpus%d" % seed)
        made = subprocess.run([PYTHON, MKCORPUS, folder, "--seed", str(seed)] if not stand_in else ["false"],
                              capture_output=True)
        if made.returncode == 0:
            for kind in ("sparse", "dense"):
                out.append(("%s-%d" % (kind, seed), os.path.join(folder, kind + ".bin"),
                            os.path.join(folder, kind + ".lst")))
            continue
        if not stand_in:
            print("bench_move: mkcorpus.py unavailable (%s); stand-in files instead"
                  % " ".join(made.stderr.decode(errors="replace").strip().splitlines()[-1:]), file=sys.stderr)
        os.makedirs(folder, exist_ok=True)
        for kind, count in (("sparse", 150), ("dense", 600)):
            old, lst = os.path.join(folder, kind + ".bin"), os.path.join(folder, kind + ".lst")
            subprocess.run([sys.executable, MKMOVED, "--stand-in", old, lst, "--seed", str(seed), "--mib", "4",
                            "--pictures", str(count)], check=True)
            out.append(("stand-in-%s-%d" % (kind, seed), old, lst))
    return out


def read_figures():
    figures = {}
    if os.path.exists(FIGURES):
        with open(FIGURES) as f:
            for line in f:
                fields = line.split()
                if len(fields) == 2 and not line.startswith("#"):
                    figures[fields[0]] = float(fields[1])
    return figures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--kvlist")
    parser.add_argument("--gate", action="store_true")
    parser.add_argument("--write", action="store_true")
    parser.add_argument("--seeds", default="1,2,3")
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--stand-in", action="store_true", help="stand-in files even where mkcorpus.py runs")
    args = parser.parse_args()
    kvlist = args.kvlist or build()
    seeds = [int(s) for s in args.seeds.split(",")]
    failed = False
    figures = read_figures()
    measured = {}
    with tempfile.TemporaryDirectory() as tmp:
        all_right = all_counted = all_wrong = 0
        for label, old, lst in corpora(tmp, seeds, args.stand_in):
            new, answers_path = old[:-4] + ".new.bin", old[:-4] + ".answers"
            subprocess.run([sys.executable, MKMOVED, old, lst, new, answers_path, "--seed", label.split("-")[-1]],
                           check=True)
            with open(answers_path) as f:
                answers = [line.split() for line in f]
            stdout, stderr, _, _ = run_move(kvlist, old, lst, new)
            right, wrong, counted, misses = score(stdout, stderr, answers)
            share = 100.0 * right / max(1, counted)
            measured[label] = share
            all_right, all_counted, all_wrong = all_right + right, all_counted + counted, all_wrong + wrong
            print("%-18s %5d entries  %6.2f%% right  %d wrong offsets" % (label, counted, share, wrong))
            if args.verbose:
                for m in misses:
                    print("    " + m)
            if args.gate and (wrong or share < figures.get(label, 0.0) - MARGIN):
                failed = True
        print("%-18s %5d entries  %6.2f%% right  %d wrong offsets"
              % ("all", all_counted, 100.0 * all_right / max(1, all_counted), all_wrong))
        # The goal holds for the corpora of mkcorpus.py; the stand-in files only guard against a fall.
        if args.gate and not label.startswith("stand-in") and 100.0 * all_right < GOAL * all_counted:
            failed = True

        # Speed: 1,000 entries between two 16 MiB files.
        old, lst = os.path.join(tmp, "speed.bin"), os.path.join(tmp, "speed.lst")
        new, answers_path = os.path.join(tmp, "speed.new.bin"), os.path.join(tmp, "speed.answers")
        subprocess.run([sys.executable, MKMOVED, "--stand-in", old, lst, "--mib", "16", "--pictures", "1000"],
                       check=True)
        subprocess.run([sys.executable, MKMOVED, old, lst, new, answers_path], check=True)
        times, peak = [], 0
        for _ in range(3):
            stdout, stderr, cpu, rss = run_move(kvlist, old, lst, new)
            times.append(cpu)
            peak = max(peak, rss)
        entries = sum(1 for line in open(lst) if not line.startswith("#"))
        with open(answers_path) as f:
            right, wrong, counted, _ = score(stdout, stderr, [line.split() for line in f])
        print("speed: %d entries, 2 x 16 MiB: %.3f s CPU (best of 3), peak memory %d KiB; %.2f%% right, "
              "%d wrong offsets" % (entries, min(times), peak, 100.0 * right / max(1, counted), wrong))
        failed = failed or (args.gate and wrong > 0)
    if args.write:
        with open(FIGURES, "w") as f:
            f.write("# share of entries right, per corpus: bench/bench_move.py --gate holds kvlist move to it\n")
            figures.update(measured)
            for label, share in sorted(figures.items()):
                f.write("%s %.2f\n" % (label, share))
    if failed:
        print("bench_move: an entry found at a wrong offset, or fewer right than the goal or the committed "
              "figures", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
