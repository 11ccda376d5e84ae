"""A benchmark's quality gate (bench/bench_find.py or bench/bench_move.py --gate) on the
built kvlist, where its corpora can be made as they were for the committed figures; skipped
(77), naming the missing packages, where a package they draw on is missing, unless
KV_BENCH=required makes that a failure."""
import os
import subprocess
import sys

PYTHON = "/usr/bin/python3"  # Debian's, for which python3-pil installs Pillow
BENCH = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "bench")
# bench/mkcorpus.py's sources, for the move benchmark; the find benchmark's corpus names its own.
MOVE_SOURCES = {"adwaita-icon-theme": "/usr/share/icons/Adwaita", "desktop-base": "/usr/share/desktop-base",
                "imagemagick": "/usr/bin/convert", "g++-aarch64-linux-gnu": "/usr/aarch64-linux-gnu/lib",
                "g++-s390x-linux-gnu": "/usr/s390x-linux-gnu/lib"}

if not os.path.exists(PYTHON) or subprocess.run([PYTHON, "-c", "import PIL"], capture_output=True).returncode:
    missing = ["python3-pil"]
elif sys.argv[1] == "bench_find.py":
    missing = subprocess.run([PYTHON, os.path.join(BENCH, "mkdevcorpus.py"), "--missing"], capture_output=True,
                             text=True, check=True).stdout.split()
else:
    missing = [package for package, path in MOVE_SOURCES.items() if not os.path.exists(path)]
if missing:
    print("quality gate skipped: the corpora need " + " ".join(missing))
    sys.exit(1 if os.environ.get("KV_BENCH") == "required" else 77)
sys.exit(subprocess.run([PYTHON, os.path.join(BENCH, sys.argv[1]), "--gate", "--kvlist", os.environ["KVLIST"]])
         .returncode)
