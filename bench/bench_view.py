#!/usr/bin/env python3
"""Speed of `kvlist view` and of its page in headless Chromium.

    bench/bench_view.py [--kvlist PATH] [--runs N]

For a 16 MiB firmware with a 3,000-entry list, and a 64 MiB one with the same list:
- kvlist view's CPU time (user + system, best of N) writing the page, beside two floors on the
  same firmware: `cat` (the bytes read and written once) and `base64 -w0` (the least work that
  puts the bytes into a page as text);
- headless Chromium's time to the first screen: from the start of navigation to the end of the
  page's first drawing (its performance mark 'first-screen'), median of N fresh loads;
- a scroll step's redraw: the page's own 'redraw' measure (filling the pixels on screen, the
  ruler and the gutter) for 100 steps of the mouse wheel and 100 of PageDown, at zoom 1 in a
  1920 x 1080 window, the most pixels a step draws; median, 95th percentile and worst.
Not a test: it prints figures. Without --kvlist, a Release tree is built in build-bench.
"""
import argparse
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MiB = 1 << 20


def build():
    build_dir = os.path.join(ROOT, "build-bench")
    subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release", "-DKV_TESTS=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j2", "--target", "kvlist"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(build_dir, "bin", "kvlist")


def make_files(tmp, mib, entries):
    """A firmware of mib MiB (machine code and pictures alike: random words) and a list of entries spread
    over it, as find drafts them, with its notes."""
    rng = random.Random(1)
    fw = os.path.join(tmp, "fw%d.bin" % mib)
    with open(fw, "wb") as f:
        for _ in range(mib):
            f.write(rng.randbytes(MiB))
    lst = os.path.join(tmp, "list%d.lst" % mib)
    step = (16 * MiB) // entries
    with open(lst, "w") as f:
        f.write("# pictures found by kvlist find in fw.bin\n# offset     unused width height name\n")
        for i in range(entries):
            offset, w, h = i * step + 2 * rng.randrange(64), rng.choice((16, 32, 64, 128)), rng.randrange(8, 160)
            f.write("0x%08X 0x0000 %d %d at%08X  # %s\n" % (offset, w, h, offset, rng.choice(("sure", "likely"))))
    return fw, lst


def cpu(cmd, out):
    """CPU seconds (user + system) of one run, its standard output into a file."""
    with open(out, "wb") as f:
        p = subprocess.Popen(cmd, stdout=f)
        _, status, usage = os.wait4(p.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("bench_view: %s failed" % cmd[0])
    return usage.ru_utime + usage.ru_stime


def browser(tmp):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    profile = os.path.join(tmp, "profile")
    os.makedirs(profile, exist_ok=True)
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--disable-quic",
                 "--no-first-run", "--disable-background-networking", "--disable-component-update",
                 "--disable-sync", "--force-device-scale-factor=1", "--window-size=1920,1080",
                 "--user-data-dir=" + profile):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


# Runs n scroll steps in the page, each waiting for the frame that draws it, and gives each redraw's time.
STEPS = """
const [kind, n, done] = arguments, times = [], offset = document.getElementById("offset");
let down = true;
const step = (i) => {
    if (i === n) return done(times);
    const before = offset.value;
    if (kind === "wheel") document.getElementById("pixels").dispatchEvent(
        new WheelEvent("wheel", {deltaY: down ? 120 : -120, bubbles: true, cancelable: true}));
    else document.dispatchEvent(new KeyboardEvent("keydown", {key: down ? "PageDown" : "PageUp", bubbles: true,
                                                                cancelable: true}));
    requestAnimationFrame(() => setTimeout(() => {
        if (offset.value === before) {  // at an end: the same step the other way, not counted
            down = !down;
            return step(i);
        }
        times.push(performance.getEntriesByName("redraw")[0].duration);
        step(i + 1);
    }, 0));
};
step(0);
"""


def page_figures(driver, page, runs):
    firsts = []
    for _ in range(runs):
        driver.get("about:blank")
        driver.get("file://" + page + "#zoom=1&width=1024")
        firsts.append(driver.execute_script("return performance.getEntriesByName('first-screen')[0].startTime"))
    steps = {}
    for kind in ("wheel", "key"):
        times = sorted(driver.execute_async_script(STEPS, kind, 100))
        steps[kind] = (statistics.median(times), times[94], times[-1])
    return statistics.median(firsts) / 1000, steps


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--kvlist")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    kvlist = args.kvlist or build()
    with tempfile.TemporaryDirectory() as tmp:
        driver = browser(tmp)
        try:
            for mib in (16, 64):
                fw, lst = make_files(tmp, mib, 3000)
                page = os.path.join(tmp, "view%d.html" % mib)
                rows = [("kvlist view", [kvlist, "view", fw, lst], page),
                        ("floor: cat", ["cat", fw], os.path.join(tmp, "cat.out")),
                        ("floor: base64 -w0", ["base64", "-w0", fw], os.path.join(tmp, "b64.out"))]
                print("%d MiB firmware, 3,000 entries" % mib)
                for label, cmd, out in rows:
                    print("  %-28s CPU %6.3f s" % (label, min(cpu(cmd, out) for _ in range(args.runs))))
                print("  %-28s %6.1f MB" % ("page", os.path.getsize(page) / 1e6))
                first, steps = page_figures(driver, page, args.runs)
                print("  %-28s %6.2f s" % ("Chromium: first screen", first))
                for kind, (median, p95, worst) in steps.items():
                    print("  %-28s median %5.2f ms, 95%% %5.2f ms, worst %5.2f ms"
                          % ("redraw per %s step" % ("wheel" if kind == "wheel" else "PageDown"), median, p95, worst))
        finally:
            driver.quit()
    print("(%s, %s)" % (time.strftime("%Y-%m-%d"), os.uname().machine))


if __name__ == "__main__":
    main()
