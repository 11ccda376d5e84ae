"""A benchmark's quality gate (bench/bench_find.py or bench/bench_move.py --gate) on the
built kvlist, where its corpora can be made as they were for the committed figures; skipped
(77) where a package they draw on is missing, unless KV_BENCH=required makes that a failure."""
import os
import subprocess
import sys

PYTHON = "/usr/bin/python3"  # Debian's, for which python3-pil installs Pillow
SOURCES = {"adwaita-icon-theme": "/usr/share/icons/Adwaita", "desktop-base": "/usr/share/desktop-base",
           "imagemagick": "/usr/bin/convert", "g++-aarch64-linux-gnu": "/usr/aarch64-linux-gnu/lib",
           "g++-s390x-linux-gnu": "/usr/s390x-linux-gnu/lib"}

missing = [package for package, path in SOURCES.items() if not os.path.exists(path)]
if not os.path.exists(PYTHON) or subprocess.run([PYTHON, "-c", "import PIL"], capture_output=True).returncode:
    missing.append("python3-pil")
if missing:
    print("quality gate skipped: the corpora need " + " ".join(missing))
    sys.exit(1 if os.environ.get("KV_BENCH") == "required" else 77)
bench = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "bench", sys.argv[1])
sys.exit(subprocess.run([PYTHON, bench, "--gate", "--kvlist", os.environ["KVLIST"]]).returncode)
