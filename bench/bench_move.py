#!/usr/bin/env python3
"""Quality and speed of `kvlist move`.

    bench/bench_move.py [--kvlist PATH] [--baseline PATH] [--gate] [--write] [--seeds 1,2,3]
                        [--adversarial-seeds 1,...,8] [--kib N]

Quality, on two kinds of version pairs:
- for each corpus of bench/mkcorpus.py (sparse and dense, 4 MiB each, one per seed; without
  Pillow or artwork, stand-in files of bench/mkmoved.py), bench/mkmoved.py makes a second
  version, and `kvlist move` carries the true list over to it. An entry is right when its word
  (same, moved, changed, not found) and, when found, its new offset are the answer's; it is
  wrong when reported found at another offset or where the answer is not found.
- bench/mkadversarial.py makes pairs meant to mislead (identical copies listed and not, plain
  pictures in runs of their colour, rows all alike, look-alikes on shared grounds, twins gone or
  redrawn, refused lines), about 1 MiB each. An entry is right when its word and offset are the
  expected ones, or its offset is where its picture truly is (the tool may see further than the
  coarse expectation); it is wrong when an offset is reported that is not the picture's true
  place, or any offset for a picture that is gone. A refused line is right when it is written
  commented out and reported as `line N: ...`; kept as it was, it is wrong.
Speed: CPU time (user + system, best of 3) and peak memory of a 1,000-entry list between two
16 MiB files (stand-in files of bench/mkmoved.py); with --baseline, another kvlist binary (a
previous build) runs in turn with it and is printed beside it.

--gate fails (status 1) when any entry anywhere is found at a wrong offset, when the share of
right entries of all mkcorpus.py corpora together falls below 99 % or of all adversarial pairs
together below 97 %, or when that of one pair falls more than the margin below its figure in
bench/move_figures.txt (other installed packages make slightly other corpora); --write stores
the shares measured. Without --kvlist, a Release tree is built in build-bench.
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
MKADVERSARIAL = os.path.join(ROOT, "bench", "mkadversarial.py")
# mkcorpus.py needs Pillow, which Debian installs for its own python3.
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
MARGIN = 1.0              # percentage points
GOAL = 99.0                # percent of all entries of the mkcorpus.py corpora right
ADVERSARIAL_GOAL = 97.0    # percent of all entries of the adversarial pairs right


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


def reported_word(said):
    return ("same" if said == "same" else "moved" if said.startswith("moved") else
            "changed" if said.startswith("changed") else "not-found")


def offset_of(line):
    """The offset a list line starts with, or None."""
    try:
        return int(line.split()[0], 16)
    except (IndexError, ValueError):
        return None


def score_adversarial(stdout, stderr, answers):
    """(right, wrong offsets, counted, misses) of one run against the ANSWERS of mkadversarial.py:
    lines `LINE NAME EXPECTED_WORD EXPECTED_OFFSET TRUE_OFFSET`, matched by line number."""
    lines = stdout.split("\n")
    # One report per entry or refused line, in list order, then the summary.
    reports = [line for line in stderr.splitlines() if not line.startswith("kvlist: ")][:-1]
    right = wrong = 0
    misses = []
    at = 0
    for fields in answers:
        number, name, word, expected, truth = int(fields[0]), fields[1], fields[2], fields[3], fields[4]
        prefix = "line %d: " % number if word == "refused" else name + ": "
        report = None
        if at < len(reports) and reports[at].startswith(prefix):
            report, at = reports[at], at + 1
        line = lines[number - 1] if number <= len(lines) else ""
        got = None if line.startswith("#") else offset_of(line)
        said = "%s (line %d)" % (report or "no report", number)
        if word == "refused":
            if line.startswith("#") and report is not None:
                right += 1
                continue
            wrong += got is not None  # kept with its stale offset, for kvpush once the line is mended
            misses.append("%s refused line %d written %r, %s" % ("WRONG" if got is not None else "miss", number,
                                                                  line[:40], said))
            continue
        true_offset = None if truth == "-" else int(truth, 16)
        want = None if expected == "-" else int(expected, 16)
        # The report must tell what the line says: found there, or not found.
        agrees = report is not None and (got is None) == (reported_word(report[len(prefix):]) == "not-found")
        if got is not None and got != true_offset:
            wrong += 1
            misses.append("WRONG %s, answer %s %s, truly at %s" % (said, word, expected, truth))
        elif agrees and (got == want or (got is not None and got == true_offset)):
            right += 1
        else:
            misses.append("miss %s, answer %s %s, truly at %s" % (said, word, expected, truth))
    return right, wrong, len(answers), misses


def adversarial(tmp, seeds, kib):
    """(label, old.bin, old.lst, new.bin, answers) of every adversarial pair, made in tmp."""
    out = []
    for seed in seeds:
        folder = os.path.join(tmp, "adversarial%d" % seed)
        subprocess.run([sys.executable, MKADVERSARIAL, folder, "--seed", str(seed), "--kib", str(kib)], check=True)
        out.append(("adversarial-%d" % seed, *(os.path.join(folder, n) for n in ("OLD.bin", "OLD.lst", "NEW.bin",
                                                                                   "ANSWERS"))))
    return out


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


def quality(label, runs, figures, measured, args):
    """Runs and scores each pair of runs (label, kvlist's stdout and stderr, answers, scorer), prints each
    and all of them together; the pooled (right, wrong, counted) and whether a pair fell below its figure."""
    all_right = all_counted = all_wrong = 0
    fell = False
    for name, (stdout, stderr), answers, scorer in runs:
        right, wrong, counted, misses = scorer(stdout, stderr, answers)
        share = 100.0 * right / max(1, counted)
        measured[name] = share
        all_right, all_counted, all_wrong = all_right + right, all_counted + counted, all_wrong + wrong
        print("%-18s %5d entries  %6.2f%% right  %d wrong offsets" % (name, counted, share, wrong))
        for m in misses if args.verbose else [m for m in misses if m.startswith("WRONG")]:
            print("    " + m)
        fell = fell or share < figures.get(name, 0.0) - MARGIN
    print("%-18s %5d entries  %6.2f%% right  %d wrong offsets"
          % ("all " + label, all_counted, 100.0 * all_right / max(1, all_counted), all_wrong))
    return all_right, all_wrong, all_counted, fell


def speed(tmp, builds):
    """The speed lines of each (label, kvlist) of builds, run in turn on the same files."""
    old, lst = os.path.join(tmp, "speed.bin"), os.path.join(tmp, "speed.lst")
    new, answers_path = os.path.join(tmp, "speed.new.bin"), os.path.join(tmp, "speed.answers")
    subprocess.run([sys.executable, MKMOVED, "--stand-in", old, lst, "--mib", "16", "--pictures", "1000"],
                   check=True)
    subprocess.run([sys.executable, MKMOVED, old, lst, new, answers_path], check=True)
    entries = sum(1 for line in open(lst) if not line.startswith("#"))
    with open(answers_path) as f:
        answers = [line.split() for line in f]
    times = {label: [] for label, _ in builds}
    peaks = {label: 0 for label, _ in builds}
    outputs = {}
    for _ in range(3):
        for label, kvlist in builds:
            stdout, stderr, cpu, rss = run_move(kvlist, old, lst, new)
            times[label].append(cpu)
            peaks[label] = max(peaks[label], rss)
            outputs[label] = stdout, stderr
    print("speed: %d entries, 2 x 16 MiB, CPU time best of 3:" % entries)
    wrong_here = 0
    for label, _ in builds:
        right, wrong, counted, _ = score(*outputs[label], answers)
        wrong_here = wrong_here if label != "this build" else wrong
        print("  %-14s %.3f s CPU, peak memory %6d KiB; %.2f%% right, %d wrong offsets"
              % (label, min(times[label]), peaks[label], 100.0 * right / max(1, counted), wrong))
    return wrong_here


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--kvlist")
    parser.add_argument("--baseline", help="another kvlist binary, a previous build, timed beside this one")
    parser.add_argument("--gate", action="store_true")
    parser.add_argument("--write", action="store_true")
    parser.add_argument("--seeds", default="1,2,3")
    parser.add_argument("--adversarial-seeds", default="1,2,3,4,5,6,7,8")
    parser.add_argument("--kib", type=int, default=1024, help="size of each adversarial pair")
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--stand-in", action="store_true", help="stand-in files even where mkcorpus.py runs")
    args = parser.parse_args()
    kvlist = args.kvlist or build()
    figures = read_figures()
    measured = {}
    with tempfile.TemporaryDirectory() as tmp:
        runs = []
        made = corpora(tmp, [int(s) for s in args.seeds.split(",")], args.stand_in)
        for label, old, lst in made:
            new, answers_path = old[:-4] + ".new.bin", old[:-4] + ".answers"
            subprocess.run([sys.executable, MKMOVED, old, lst, new, answers_path, "--seed", label.split("-")[-1]],
                           check=True)
            with open(answers_path) as f:
                answers = [line.split() for line in f]
            runs.append((label, run_move(kvlist, old, lst, new)[:2], answers, score))
        right, wrong, counted, fell = quality("corpora", runs, figures, measured, args)
        # The goal holds for the corpora of mkcorpus.py; the stand-in files only guard against a fall.
        stand_in = made[0][0].startswith("stand-in")
        failed = wrong > 0 or fell or (not stand_in and 100.0 * right < GOAL * counted)

        runs = []
        for label, old, lst, new, answers_path in adversarial(tmp, [int(s) for s in args.adversarial_seeds.split(",")],
                                                              args.kib):
            with open(answers_path) as f:
                answers = [line.split() for line in f]
            runs.append((label, run_move(kvlist, old, lst, new)[:2], answers, score_adversarial))
        right, wrong, counted, fell = quality("adversarial", runs, figures, measured, args)
        failed = failed or wrong > 0 or fell or 100.0 * right < ADVERSARIAL_GOAL * counted

        builds = [("this build", kvlist)] + ([("baseline", args.baseline)] if args.baseline else [])
        failed = speed(tmp, builds) > 0 or failed
    if args.write:
        with open(FIGURES, "w") as f:
            f.write("# share of entries right, per pair: bench/bench_move.py --gate holds kvlist move to it\n")
            figures.update(measured)
            for label, share in sorted(figures.items()):
                f.write("%s %.2f\n" % (label, share))
    if args.gate and failed:
        print("bench_move: an entry found at a wrong offset, or fewer right than the goals (%.0f %% of the "
              "corpora, %.0f %% of the adversarial pairs) or the committed figures" % (GOAL, ADVERSARIAL_GOAL),
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
