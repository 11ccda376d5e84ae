"""The scoring of bench/bench_find.py: what counts as a picture seen or exact and a candidate
right or false decides which changes to the finder are kept."""
import importlib.util
import os
import random
import struct
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
found = importlib.util.spec_from_file_location("bench_find", os.path.join(HERE, "..", "bench", "bench_find.py"))
bench = importlib.util.module_from_spec(found)
found.loader.exec_module(bench)

START = 1001  # odd: rows of the pictures do not line up with the file's words


def firmware(pictures, rng):
    """Random bytes with the pictures at their offsets back to back from START: (data, truth).
    A picture is (width, height, placement, flat rows on top, flat rows at the bottom)."""
    data, lines, at = bytearray(rng.randbytes(START)), [], START
    for k, (w, h, placement, top, bottom) in enumerate(pictures):
        words = [rng.randrange(0x8000) for _ in range(w * h)]
        words[:w * top] = [0x1234] * (w * top)
        words[w * (h - bottom):] = [0x0421] * (w * bottom)
        data += struct.pack("<%dH" % len(words), *words)
        lines.append("0x%08X 0x0000 %d %d p%d  # icon some-package %s ground=none" % (at, w, h, k, placement))
        at += 2 * w * h
    data += rng.randbytes(4096)
    return bytes(data), [bench.Truth(line) for line in lines]


def candidate(truth, first, rows, note="sure", shift_rows=0, shift_bytes=0, width=None):
    """A candidate from the top of truth[first] plus shift_rows rows and shift_bytes bytes."""
    t = truth[first]
    w = width or t.width
    return bench.Candidate("0x%08X 0x0000 %d %d c  # %s, in the kvpush window"
                           % (t.offset + 2 * t.width * shift_rows + shift_bytes, w, rows, note))


class Score(unittest.TestCase):
    # (what, pictures, candidates as (first picture, rows, keyword arguments),
    #  [(seen, exact) per picture], [(right, false) per candidate])
    ROWS = [
        ("its offset and size", [(21, 13, "alone", 0, 0)], [(0, 13, {})], [(1, 1)], [(1, 0)]),
        ("a row short, no flat row: seen only", [(21, 13, "alone", 0, 0)], [(0, 12, {})], [(1, 0)], [(1, 0)]),
        ("two rows short: not even seen", [(21, 13, "alone", 0, 0)], [(0, 11, {})], [(0, 0)], [(0, 0)]),
        ("flat top rows left out: exact", [(21, 13, "alone", 3, 0)], [(0, 10, {"shift_rows": 3})],
         [(1, 1)], [(1, 0)]),
        ("flat bottom rows left out: exact", [(21, 13, "alone", 0, 4)], [(0, 9, {})], [(1, 1)], [(1, 0)]),
        ("a flat row too many above: not exact", [(21, 13, "alone", 0, 0)], [(0, 14, {"shift_rows": -1})],
         [(1, 0)], [(1, 0)]),
        ("off the row grid by a word", [(21, 13, "alone", 0, 0)], [(0, 13, {"shift_bytes": 2})],
         [(0, 0)], [(0, 0)]),
        ("another width", [(21, 13, "alone", 0, 0)], [(0, 13, {"width": 20})], [(0, 0)], [(0, 0)]),
        ("in the filler: false", [(21, 13, "alone", 0, 0)], [(0, 13, {"shift_rows": 40})], [(0, 0)], [(0, 1)]),
        ("frames of one animation spanned: exact for each",
         [(17, 9, "anim=a", 0, 0)] * 3, [(0, 27, {})], [(1, 1)] * 3, [(1, 0)]),
        ("distinct pictures spanned: exact for none",
         [(17, 9, "run=r", 0, 0)] * 3, [(0, 27, {})], [(1, 0)] * 3, [(1, 0)]),
        ("a pair spanned: exact for none",
         [(17, 9, "pair=q", 0, 0)] * 2, [(0, 18, {})], [(1, 0)] * 2, [(1, 0)]),
        ("two animations back to back: exact only within each",
         [(17, 9, "anim=a", 0, 0)] * 2 + [(17, 9, "anim=b", 0, 0)] * 2, [(0, 36, {})],
         [(1, 0)] * 4, [(1, 0)]),
        ("each frame alone", [(17, 9, "anim=a", 0, 0)] * 2, [(0, 9, {}), (1, 9, {})], [(1, 1)] * 2,
         [(1, 0)] * 2),
    ]

    def test_rows(self):
        rng = random.Random(5)
        for what, pictures, candidates, want_pictures, want_candidates in self.ROWS:
            with self.subTest(what):
                data, truth = firmware(pictures, rng)
                found = [candidate(truth, first, rows, **kw) for first, rows, kw in candidates]
                bench.score(data, truth, found)
                self.assertEqual([(int(t.seen), int(t.exact)) for t in truth], want_pictures)
                self.assertEqual([(int(c.right), int(c.false)) for c in found], want_candidates)

    def test_calibration(self):
        data, truth = firmware([(21, 13, "alone", 0, 0), (19, 11, "alone", 0, 0), (23, 7, "alone", 0, 0)],
                               random.Random(6))
        found = [candidate(truth, 0, 13, "sure"), candidate(truth, 0, 13, "sure", shift_rows=60),
                 candidate(truth, 1, 11, "likely"), candidate(truth, 2, 13, "likely", shift_rows=90),
                 candidate(truth, 2, 7, "unsure")]
        bench.score(data, truth, found)
        f = bench.figures(truth, found)
        self.assertEqual((f["seen"], f["exact"], f["false"]), (100.0, 100.0, 40.0))
        self.assertEqual((f["sure"], f["likely"]), (50.0, 50.0))
        self.assertAlmostEqual(f["via_sure"], 100.0 / 3)
        self.assertIsNone(bench.figures(truth, [])["sure"])


if __name__ == "__main__":
    unittest.main()
