"""A sheet page in a real browser: headless Chromium draws it, and the screenshot shows the
picture at twice its size, crisp, right way up, in its colours, with bit 15 ignored."""
import os
import shutil
import subprocess
import tempfile
import unittest

from kvfiles import RUNNER, device_values, firmware, pack_device, skip_unless

KVLIST = os.environ["KVLIST"]
CHROMIUM = "/usr/bin/chromium"
try:
    from PIL import Image
except ImportError:
    Image = None
skip_unless(Image and os.path.exists(CHROMIUM), "the browser test needs chromium python3-pil, and one is missing",
            "KV_BROWSER")

RED, GREEN, BLUE = 0x7C00, 0x03E0, 0x001F
W, H = 9, 3


def picture():
    """Rows 0 and 1: five red pixels, bit 15 set in every other one, then four blue; row 2 green.
    A picture drawn upside down, mirrored, smoothed or with bit 15 read as colour shows."""
    top = [RED | (0x8000 if x % 2 else 0) for x in range(5)] + [BLUE] * 4
    return top + top + [GREEN] * W


def box(img, colour):
    """The bounding box of the pixels of one colour, and how many there are."""
    px = img.load()
    found = [(x, y) for y in range(img.height) for x in range(img.width) if px[x, y][:3] == colour]
    if not found:
        return None, 0
    xs, ys = [p[0] for p in found], [p[1] for p in found]
    return (min(xs), min(ys), max(xs) + 1, max(ys) + 1), len(found)


class Browser(unittest.TestCase):
    def test_picture_on_screen(self):
        with tempfile.TemporaryDirectory() as tmp:
            fw = bytearray(firmware(os.path.join(tmp, "fw.bin"), 0x1000))
            fw[0x200:0x200 + 2 * W * H] = pack_device(picture())
            # A second entry before it with other colours, so the one looked for is not alone.
            fw[0x100:0x100 + 2 * 15] = pack_device(device_values(5, 3))
            with open(os.path.join(tmp, "fw.bin"), "wb") as f:
                f.write(fw)
            with open(os.path.join(tmp, "p.lst"), "w") as f:
                f.write("0x00000100 0x0000 5 3 other\n0x00000200 0x0000 %d %d flag\n" % (W, H))
            page = os.path.join(tmp, "page.html")
            with open(page, "wb") as out:
                p = subprocess.run([*RUNNER, KVLIST, "sheet", "fw.bin", "p.lst"], cwd=tmp, stdout=out, timeout=120)
            self.assertEqual(p.returncode, 0)
            shot = os.path.join(tmp, "shot.png")
            profile = os.path.join(tmp, "profile")
            os.mkdir(profile)
            subprocess.run([CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                            "--no-first-run", "--disable-background-networking", "--disable-component-update",
                            "--disable-sync", "--force-device-scale-factor=1", "--hide-scrollbars",
                            "--user-data-dir=" + profile, "--screenshot=" + shot, "--window-size=640,400",
                            "file://" + page], cwd=tmp, capture_output=True, timeout=180)
            self.assertTrue(os.path.exists(shot), "no screenshot")
            img = Image.open(shot).convert("RGB")
            red, n_red = box(img, (255, 0, 0))
            blue, n_blue = box(img, (0, 0, 255))
            green, n_green = box(img, (0, 255, 0))
            self.assertIsNotNone(red, "no pure red on screen")
            x, y = red[:2]
            # Each device pixel is a 2 x 2 block of exactly its colour; nothing between them.
            self.assertEqual((red, n_red), ((x, y, x + 10, y + 4), 40))
            self.assertEqual((blue, n_blue), ((x + 10, y, x + 18, y + 4), 32))
            self.assertEqual((green, n_green), ((x, y + 4, x + 18, y + 6), 36))


if __name__ == "__main__":
    unittest.main()
