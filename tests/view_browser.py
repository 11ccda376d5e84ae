"""kvlist view's page in headless Chromium, driven as a person would: the pixels on screen against the
firmware's words, the list edited with the keys and a drag, and the list it saves, byte for byte. After
every test, no request has left the page and the console holds nothing."""
import json
import os
import re
import shutil
import struct
import subprocess
import tempfile
import time
import unittest

from kvfiles import PULL, RUNNER, device_values, firmware, pack_device, skip_unless

KVLIST = os.environ["KVLIST"]
CHROMIUM, DRIVER = "/usr/bin/chromium", "/usr/bin/chromedriver"
try:
    from selenium import webdriver
    from selenium.common.exceptions import NoAlertPresentException, UnexpectedAlertPresentException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.actions.action_builder import ActionBuilder
    from selenium.webdriver.common.actions.wheel_input import ScrollOrigin
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
except ImportError:
    webdriver = None
try:
    from PIL import Image
except ImportError:
    Image = None
MISSING = [name for name, there in (("chromium", os.path.exists(CHROMIUM)), ("chromium-driver", os.path.exists(DRIVER)),
                                    ("python3-selenium", webdriver), ("python3-pil", Image)) if not there]
skip_unless(not MISSING, "view browser test skipped: %s missing" % ", ".join(MISSING), "KV_BROWSER")

SIZE = 0x20000
NO_BYTES = (0xD3, 0xCD, 0xC5)  # the page's colour for bytes it does not hold; no device pixel has it
# Pictures (offset, width, height, seed), asymmetric, of odd widths, one at an odd offset.
PICTURES = [(0x1000, 9, 7, 1), (0x1080, 9, 5, 2), (0x1200, 9, 5, 3), (0x2001, 13, 4, 4), (0x3000, 7, 24, 5)]
LIST = [b"# pictures for the view's tests",
        b"0x00001000 0x0000 9 7 apple  # sure",
        b"0x00001080 0x0000 9 5 berry",
        b"0x00001200",                      # berry's fields at another offset
        b"0x0000108 0x0 3 x",               # refused: text where a field stands
        b"0x00002001 0x0000 13 4 cherry",
        b"0x00003000 0x0000 7 24 date  # likely, four frames",
        b"0x00003000 0x0000 200 200 huge",  # too large
        b"0x0001FFF0 0x0000 8 8 tail"]      # runs past the end


def picture_bytes(seed, w, h):
    return pack_device(device_values(w, h, seed))


def make_firmware(path):
    data = bytearray(firmware(path, SIZE))
    for offset, w, h, seed in PICTURES:
        data[offset:offset + 2 * w * h] = picture_bytes(seed, w, h)
    with open(path, "wb") as f:
        f.write(data)
    return bytes(data)


def rgb(word):
    return ((word >> 10) & 31) << 3, ((word >> 5) & 31) << 3, (word & 31) << 3


def start_browser(tmp):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--disable-quic",
                 "--no-first-run", "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--force-device-scale-factor=1", "--window-size=1280,800",
                 "--user-data-dir=" + os.path.join(tmp, "profile")):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    options.set_capability("unhandledPromptBehavior", "ignore")
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    driver.execute_cdp_cmd("Browser.grantPermissions", {"permissions": ["clipboardReadWrite", "clipboardSanitizedWrite"]})
    driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": os.path.join(tmp, "downloads")})
    return driver


class View(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp()
        cls.downloads = os.path.join(cls.tmp, "downloads")
        os.mkdir(cls.downloads)
        os.mkdir(os.path.join(cls.tmp, "profile"))
        cls.d = start_browser(cls.tmp)

    @classmethod
    def tearDownClass(cls):
        cls.d.quit()
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def setUp(self):
        self.dir = tempfile.mkdtemp(dir=self.tmp)
        self.fw = make_firmware(os.path.join(self.dir, "fw.bin"))
        for log in ("browser", "performance"):  # what came before this test's page, the browser's own start too
            self.d.get_log(log)
        self.seen = []

    def tearDown(self):
        # What the page wrote to the console, and every request it made: only the page itself and the saved lists.
        logs = self.d.get_log("browser")
        urls = [e["params"]["request"]["url"] for e in self.events("Network.requestWillBeSent")]
        self.leave()
        self.assertEqual(logs, [])
        self.assertEqual([u for u in urls if not u.startswith(("file://" + self.tmp, "blob:file://"))], [])

    def events(self, method):
        """The browser's events of one kind since the test began (the driver's performance log)."""
        self.seen += [json.loads(m["message"])["message"] for m in self.d.get_log("performance")]
        return [e for e in self.seen if e["method"] == method]

    def leave(self):
        """Leaves the page for an empty one, past the warning about unsaved changes."""
        try:
            self.d.get("about:blank")
        except UnexpectedAlertPresentException:
            pass
        for _ in range(3):
            try:
                self.d.switch_to.alert.accept()
            except NoAlertPresentException:
                break
            time.sleep(0.2)

    # --- making and opening pages ---

    def page(self, lines=LIST, eol=b"\n", args=(), name="p.lst", head=b"", end=True, out="view.html", fw="fw.bin"):
        """Writes the list, runs kvlist view, and returns the page's path."""
        listing = head + eol.join(lines) + (eol if end else b"")
        if name:
            with open(os.path.join(self.dir, name), "wb") as f:
                f.write(listing)
        out = os.path.join(self.dir, out)
        with open(out, "wb") as f:
            p = subprocess.run([*RUNNER, KVLIST, "view", fw, *([name] if name else []), *args], cwd=self.dir,
                               stdout=f, stderr=subprocess.PIPE, timeout=120)
        self.assertEqual(p.returncode, 0, p.stderr)
        return out, listing

    def open(self, path, address=""):
        self.d.get("file://" + path + address)
        self.settle()

    def settle(self):
        """Waits for the frames the last action asked for."""
        self.d.execute_async_script("const done = arguments[0];"
                                    "requestAnimationFrame(() => requestAnimationFrame(() => done()))")

    def wait_for(self, script, value):
        """Waits until the script gives the value, as a person waits to see it, then for the frames after."""
        for _ in range(200):
            got = self.d.execute_script(script)
            if got == value:
                break
            time.sleep(0.05)
        self.assertEqual(got, value)
        self.settle()

    def go(self, address, offset):
        """Types an address into the open page's location; the view goes to the offset it names."""
        self.d.execute_script("location.hash = arguments[0]", address)
        self.wait_for("return document.getElementById('offset').value", "0x%08X" % offset)

    def keys(self, *keys, ctrl=False, shift=False):
        chain = ActionChains(self.d)
        for mod, held in ((Keys.CONTROL, ctrl), (Keys.SHIFT, shift)):
            if held:
                chain.key_down(mod)
        for k in keys:
            chain.send_keys(k)
        for mod, held in ((Keys.SHIFT, shift), (Keys.CONTROL, ctrl)):
            if held:
                chain.key_up(mod)
        chain.perform()
        self.settle()

    def text(self, element_id):
        return self.d.find_element(By.ID, element_id).text

    def panel(self):
        """The panel's rows as the page shows them, one string each."""
        return [li.text.replace("\n", " | ") for li in self.d.find_elements(By.CSS_SELECTOR, "#entries li")]

    def screen(self):
        self.settle()
        path = os.path.join(self.dir, "screen.png")
        self.d.save_screenshot(path)
        return Image.open(path).convert("RGB")

    def pixels_box(self):
        r = self.d.find_element(By.ID, "pixels").rect
        return int(r["x"]), int(r["y"]), int(r["width"]), int(r["height"])

    def clipboard(self):
        return self.d.execute_async_script("navigator.clipboard.readText().then(arguments[0], e => arguments[0](String(e)))")

    def entries_shown(self):
        """(offset, width, height, name, marks) of every entry in the panel, in list order."""
        out = []
        for li in self.d.find_elements(By.CSS_SELECTOR, "#entries li.entry"):
            name = li.find_element(By.CLASS_NAME, "name").get_attribute("textContent")
            offset, w, h = re.match(r"0x([0-9A-F]{8}), (-?\d+) \u00d7 (-?\d+)$",
                                    li.find_element(By.CLASS_NAME, "where").text).groups()
            marks = [p.text for p in li.find_elements(By.CLASS_NAME, "problem")]
            out.append((int(offset, 16), int(w), int(h), name, marks))
        return out

    def pulled(self, listing):
        """(offset, width, height, name) of each entry kvpull reads from the list, in its order."""
        with tempfile.TemporaryDirectory(dir=self.tmp) as work:
            with open(os.path.join(work, "saved.lst"), "wb") as f:
                f.write(listing)
            p = subprocess.run([*RUNNER, PULL, os.path.join(self.dir, "fw.bin"), "-l", "saved.lst"], cwd=work,
                               capture_output=True, timeout=120)
        found = re.findall(rb"address:0x([0-9A-F]{8}), width:(-?\d+), height:(-?\d+), output:(.*)\.bmp", p.stdout)
        return [(int(a, 16), int(w), int(h), n.decode()) for a, w, h, n in found]

    def drag(self, start, end, zoom):
        """Drags the mouse on the view from one device pixel (column, row) to another."""
        x0, y0, _, _ = self.pixels_box()
        drag = ActionBuilder(self.d)
        drag.pointer_action.move_to_location(x0 + start[0] * zoom + zoom // 2, y0 + start[1] * zoom + zoom // 2)
        drag.pointer_action.pointer_down()
        drag.pointer_action.move_to_location(x0 + end[0] * zoom + zoom // 2, y0 + end[1] * zoom + zoom // 2)
        drag.pointer_action.pointer_up()
        drag.perform()
        self.settle()

    def saved(self, name="p.lst"):
        """Saves with Ctrl+S and returns the downloaded file's bytes."""
        for f in os.listdir(self.downloads):
            os.remove(os.path.join(self.downloads, f))
        self.keys("s", ctrl=True)
        path = os.path.join(self.downloads, name)
        for _ in range(100):
            if os.path.exists(path) and not any(f.endswith(".crdownload") for f in os.listdir(self.downloads)):
                with open(path, "rb") as f:
                    return f.read()
            time.sleep(0.1)
        self.fail("nothing downloaded: %s" % os.listdir(self.downloads))

    # --- the tests ---

    def test_pixels_on_screen_are_the_firmware_words(self):
        """Each device pixel is a zoom x zoom block of exactly kvpull's colour, at both parities, several widths and
        zooms, opened by address; bytes the page does not hold show as no pixel can."""
        path, _ = self.page()
        rows = [  # address, the offset of the top-left pixel, width, zoom
            ("#offset=0x00001000&width=9&parity=0&zoom=4", 0x1000, 9, 4),
            ("#offset=0x00002001&width=13&zoom=3", 0x2001, 13, 3),
            ("#offset=0x00002000&width=13&parity=1&zoom=2", 0x2001, 13, 2),  # parity sets the low bit
            ("#offset=0x1F801&width=100&zoom=1", 0x1F801, 100, 1),           # odd, runs into the end
            ("#offset=0x00000400&width=512&zoom=1", 0x400, 512, 1),
            ("#offset=0x00003000&width=7&zoom=8", 0x3000, 7, 8),
        ]
        for i, (address, top, width, zoom) in enumerate(rows):
            with self.subTest(address=address):
                if i == 0:
                    self.open(path, address)
                else:  # a new address in the same page: the view goes there too
                    self.go(address, top)
                img = self.screen()
                x0, y0, w, h = self.pixels_box()
                cols, nrows = min(width, w // zoom), min(h // zoom, 60)
                wrong = []
                for k in range(nrows):
                    for j in range(cols):
                        at = top + 2 * (k * width + j)
                        want = rgb(struct.unpack_from("<H", self.fw, at)[0]) if at + 2 <= SIZE else NO_BYTES
                        cell = {img.getpixel((x0 + j * zoom + dx, y0 + k * zoom + dy))
                                for dx in (0, zoom - 1) for dy in (0, zoom - 1)}
                        if cell != {want}:
                            wrong.append((j, k, cell, want))
                self.assertEqual(wrong[:3], [])
                self.assertEqual(self.d.find_element(By.ID, "offset").get_attribute("value"), "0x%08X" % top)
                if i == 0:  # apple starts there, so it is selected: its picture at twice its size, as kvpull writes it
                    r = self.d.find_element(By.ID, "preview").rect
                    shown = [img.getpixel((int(r["x"]) + 2 * x + dx, int(r["y"]) + 2 * y + dy))
                             for y in range(7) for x in range(9) for dx in (0, 1) for dy in (0, 1)]
                    self.assertEqual((r["width"], r["height"]), (18, 14))
                    self.assertEqual(shown, [rgb(v) for v in device_values(9, 7, 1) for _ in range(4)])

    def test_address_holds_the_place_and_selects(self):
        path, _ = self.page()
        self.open(path, "#offset=0x00002001&width=13&zoom=2")
        # The entry that starts there is selected, and no field has the focus, so the keys work at once.
        self.assertTrue(self.text("chosen-text").startswith("cherry 0x00002001, 13 \u00d7 4"))
        self.assertEqual(self.d.execute_script("return document.activeElement === document.body"), True)
        self.keys(Keys.ESCAPE, Keys.ARROW_DOWN, Keys.ARROW_DOWN, ".", "]")
        # The address follows a moment after the view stops.
        self.wait_for("return location.hash", "#offset=0x%08X&width=14&parity=0&zoom=2" % (0x2001 + 2 * 2 * 13 + 1))
        self.assertEqual(self.text("chosen-text")[:3], "No ")
        self.keys("n", "n", "p")  # from the view's place on: date, the entry after it, back to date
        self.assertTrue(self.text("chosen-text").startswith("date 0x00003000, 7 \u00d7 24"))
        self.d.find_element(By.CSS_SELECTOR, "#tools [data-command=wider]").click()
        self.assertTrue(self.text("chosen-text").startswith("date 0x00003000, 8 \u00d7 24"))
        self.d.find_element(By.CSS_SELECTOR, "#tools [data-command=undo]").click()
        self.assertTrue(self.text("chosen-text").startswith("date 0x00003000, 7 \u00d7 24"))
        # Choosing an entry in the panel goes to it at its width, a few rows above its first one.
        self.d.find_elements(By.CSS_SELECTOR, "#entries li.entry")[3].click()
        self.settle()
        self.assertTrue(self.text("chosen-text").startswith("cherry 0x00002001, 13 \u00d7 4"))
        self.assertEqual([self.d.find_element(By.ID, f).get_attribute("value") for f in ("offset", "width")],
                         ["0x%08X" % (0x2001 - 8 * 26), "13"])
        self.assertIn("Ctrl+S", self.text("help"))

    def test_moving_the_view(self):
        """Keys, the wheel, the scroll bar, the fields and the buttons move the view through the whole file."""
        path, _ = self.page()
        self.open(path, "#offset=0x00001000&width=16&zoom=2")
        self.keys(Keys.ESCAPE)
        rows = self.d.execute_script("return Math.ceil(document.getElementById('pixels').height / 2)")
        page = (rows - 1) * 32
        bar = self.d.find_element(By.ID, "vbar").rect

        def wheel():
            ActionChains(self.d).scroll_from_origin(ScrollOrigin.from_element(
                self.d.find_element(By.ID, "pixels")), 0, 100).perform()
            self.settle()

        def click(x, y):
            action = ActionBuilder(self.d)
            action.pointer_action.move_to_location(int(x), int(y)).click()
            action.perform()
            self.settle()

        def drag_thumb_to_top():
            thumb = self.d.find_element(By.CSS_SELECTOR, "#vbar .thumb").rect
            action = ActionBuilder(self.d)
            action.pointer_action.move_to_location(int(bar["x"] + 7), int(thumb["y"] + thumb["height"] / 2))
            action.pointer_action.pointer_down().move_to_location(int(bar["x"] + 7), int(bar["y"])).pointer_up()
            action.perform()
            self.settle()

        def type_width():
            self.d.find_element(By.ID, "width").click()
            self.keys("a", ctrl=True)
            self.keys("13", Keys.ENTER)

        end = 0x1FFE0 - page  # the last row, 0x1FFE0 to 0x1FFFF, at the bottom
        steps = [  # what is done, then the offset of the top-left pixel, the width and the zoom
            (lambda: self.keys(Keys.PAGE_DOWN), 0x1000 + page, 16, 2),
            (lambda: self.keys(Keys.PAGE_UP), 0x1000, 16, 2),
            (wheel, 0x1000 + 50 * 32, 16, 2),  # 100 screen pixels: 50 rows at zoom 2
            (lambda: self.keys(Keys.HOME), 0, 16, 2),
            (lambda: self.keys(Keys.END), end, 16, 2),
            (lambda: click(bar["x"] + 7, bar["y"] + 4), end - page, 16, 2),  # the track above the thumb
            (drag_thumb_to_top, 0, 16, 2),
            (lambda: self.keys("g", "2001", Keys.ENTER), 0x2001, 16, 2),
            (type_width, 0x2001, 13, 2),
            (lambda: self.keys("+"), 0x2001, 13, 3),
            (lambda: self.keys("-", "-", "-"), 0x2001, 13, 1),
            (lambda: self.keys("["), 0x2001, 12, 1),
            (lambda: self.d.find_element(By.ID, "parity").click(), 0x2000, 12, 1),
            (lambda: self.keys(Keys.ARROW_RIGHT, Keys.ARROW_RIGHT, ","), 0x2003, 12, 1),
        ]
        for i, (action, offset, width, zoom) in enumerate(steps):
            with self.subTest(step=i):
                action()
                self.assertEqual([self.d.find_element(By.ID, f).get_attribute("value") for f in ("offset", "width", "zoom")],
                                 ["0x%08X" % offset, str(width), str(zoom)])
        x0, y0, _, _ = self.pixels_box()
        ActionChains(self.d).move_by_offset(0, 0).perform()
        hover = ActionBuilder(self.d)
        hover.pointer_action.move_to_location(x0 + 1 * 1, y0 + 2 * 1)
        hover.perform()
        word = struct.unpack_from("<H", self.fw, 0x2003 + 2 * (2 * 12 + 1))[0]
        self.assertEqual(self.text("hover"), "0x%08X, row 2 column 1: 0x%04X, red %d green %d blue %d%s" % (
            0x2003 + 2 * (2 * 12 + 1), word, word >> 10 & 31, word >> 5 & 31, word & 31,
            ", bit 15 set" if word & 0x8000 else "") + ", in cherry")
        self.wait_for("return location.hash", "#offset=0x00002003&width=12&parity=1&zoom=1")

    def test_marks_names_and_refused_lines_as_text(self):
        """Refused lines with their refusal; entries marked as the sheet marks them, and overlaps; names that hold
        markup, control characters and bytes that are no UTF-8 shown as text, never as markup."""
        lines = [b"0x00001000 0x0000 9 7 <img/src=x/onerror=alert(1)>",
                 b"0x00001002 0x0000 9 7 a&amp;\"q'\x01\xff\xfe</script>\xe2\x80\xa8\xc3\xa9",
                 b"0x00001080 0x0000 0 5 empty",
                 b"0X00001000 0x0000 1 1 x",
                 b"0x00003000 0x0000 200 200 huge",
                 b"0x0001FFF0 0x0000 8 8 tail",
                 b"0x00001200 0x0000 9 5 " + b"n" * 128]
        os.rename(os.path.join(self.dir, "fw.bin"), os.path.join(self.dir, "<b>f&amp;\"'.bin"))
        path, _ = self.page(lines, name="l<&'>.lst", fw="<b>f&amp;\"'.bin")
        self.open(path)
        self.assertEqual(self.panel(), [
            "<img/src=x/onerror=alert(1)> line 1 | 0x00001000, 9 \u00d7 7 | outside the kvpush window | "
            "overlaps another entry",
            "a&amp;\"q'\\x01\\xFF\\xFE</script> \u00e9 line 2 | 0x00001002, 9 \u00d7 7 | "
            "outside the kvpush window | overlaps another entry",
            "empty line 3 | 0x00001080, 0 \u00d7 5 | no pixels | outside the kvpush window",
            "line 4: list entry incomplete. | 0X00001000 0x0000 1 1 x",
            "huge line 5 | 0x00003000, 200 \u00d7 200 | too large | outside the kvpush window",
            "tail line 6 | 0x0001FFF0, 8 \u00d7 8 | runs past the end of the file | outside the kvpush window",
            "line 7: list entry name too long. | 0x00001200 0x0000 9 5 " + "n" * 128])
        # The driver's text shows U+2028 as a blank; the name itself holds it.
        self.assertEqual(self.d.execute_script("return document.querySelectorAll('#entries .name')[1].textContent"),
                         "a&amp;\"q'\\x01\\xFF\\xFE</script>\u2028\u00e9")
        self.assertEqual(self.d.execute_script("return document.querySelectorAll('img, b, script:not([id]) ~ script')"
                                               ".length"), 0)
        self.assertEqual(self.text("title"), "<b>f&amp;\"'.bin, list l<&'>.lst")
        self.assertEqual(self.d.title, "kvlist view: <b>f&amp;\"'.bin")

    def test_marks_in_a_range_of_a_large_firmware(self):
        """FIRST LAST: offsets stay the file's own; entries outside the bytes held stay, marked."""
        data = bytearray(firmware(os.path.join(self.dir, "fw.bin")))
        data[0x54DF26:0x54DF26 + 2 * 9 * 7] = picture_bytes(1, 9, 7)
        with open(os.path.join(self.dir, "fw.bin"), "wb") as f:
            f.write(data)
        lines = [b"0x0054DF26 0x0000 9 7 inside", b"0x00001000 0x0000 9 7 before", b"0x0055DF26 0x0000 9 7 after"]
        path, listing = self.page(lines, args=("54DF00", "54E000"))
        self.open(path, "#offset=0x0054DF26&width=9&zoom=4")
        self.assertEqual(self.panel(), [
            "inside line 1 | 0x0054DF26, 9 \u00d7 7",
            "before line 2 | 0x00001000, 9 \u00d7 7 | outside the kvpush window | outside the bytes this page holds",
            "after line 3 | 0x0055DF26, 9 \u00d7 7 | outside the bytes this page holds"])
        img = self.screen()
        x0, y0, _, _ = self.pixels_box()
        self.assertEqual(img.getpixel((x0 + 4 * 8 + 1, y0 + 4 * 6 + 1)),
                         rgb(device_values(9, 7, 1)[6 * 9 + 8]))
        self.assertEqual(self.saved(), listing)

    def test_edits_saved_byte_for_byte(self):
        """Nudges, resizes, a deletion, a rename, a split and a drag, with LF and with CR LF: the saved list keeps
        every other line as it was, rewrites the edited ones and the line that took fields from a deleted one,
        and puts new entries in offset order."""
        for eol in (b"\n", b"\r\n"):
            with self.subTest(eol=eol):
                path, listing = self.page(eol=eol)
                self.open(path)
                self.keys("n", ".", ",", "H", "W", "w", Keys.ARROW_RIGHT, Keys.ARROW_DOWN, Keys.ARROW_UP)
                self.assertTrue(self.text("chosen-text").startswith("apple 0x00001002, 9 \u00d7 8"))
                self.keys("n", Keys.DELETE)  # berry goes; its carried copy is selected next
                self.assertTrue(self.text("chosen-text").startswith("berry 0x00001200, 9 \u00d7 5"))
                self.keys("n", Keys.F2, "two words")
                self.assertEqual(self.text("ask-error"), "A name holds no blanks or control characters.")
                self.keys(Keys.ENTER)  # refused: the dialog stays
                self.assertTrue(self.d.execute_script("return document.getElementById('ask').open"))
                self.keys(Keys.BACKSPACE * 9)
                self.assertEqual(self.text("ask-error"), "A name needs at least one character.")
                self.keys("\u00e9" * 63 + "x")
                self.assertEqual(self.text("ask-error"), "")  # 127 bytes
                self.keys("y")
                self.assertEqual(self.text("ask-error"), "128 bytes: a name holds at most 127.")
                self.keys(Keys.BACKSPACE * 65, "ch&rry<b>\u00e9", Keys.ENTER)
                self.keys("n", "s", "5")
                self.assertEqual(self.text("ask-error"), "24 rows do not split into 5 frames of equal height.")
                self.keys(Keys.BACKSPACE, "4", Keys.ENTER)
                self.assertEqual(self.d.execute_script("return document.activeElement === document.body"), True)
                # A rectangle dragged over rows 2 to 6 from column 3, at width 16: a new entry at 0x2846, added after
                # the frames but before them in the list.
                self.go("#offset=0x00002800&width=16&zoom=4", 0x2800)
                self.drag((3, 6), (10, 2), zoom=4)
                self.assertTrue(self.text("chosen-text").startswith("at00002846 0x00002846, 16 \u00d7 5"))
                lines = [LIST[0],
                         b"0x00001002 0x0000 9 8 apple  # sure",
                         b"0x00001200 0x0000 9 5 berry",
                         LIST[4],
                         b"0x00002001 0x0000 13 4 ch&rry<b>\xc3\xa9",
                         b"0x00002846 0x0000 16 5 at00002846",
                         b"0x00003000 0x0000 7 6 date  # likely, four frames",
                         LIST[7],
                         b"0x00003054 0x0000 7 6 date_2",
                         b"0x000030A8 0x0000 7 6 date_3",
                         b"0x000030FC 0x0000 7 6 date_4",
                         LIST[8]]
                edited = eol.join(lines) + eol
                self.assertEqual(self.saved(), edited)
                self.assertEqual(self.clipboard(), edited.decode())
                shown = self.entries_shown()
                self.assertEqual(self.pulled(edited), [e[:4] for e in shown])
                # Every step undone gives the list as it came, and every step redone the edited one again.
                self.keys(*["z"] * 14, ctrl=True)
                self.assertEqual(self.saved(), listing)
                self.keys(*["y"] * 7, ctrl=True)
                self.keys(*["z"] * 7, ctrl=True, shift=True)
                self.assertEqual(self.saved(), edited)
                # The saved list, viewed, shows the same entries.
                with open(os.path.join(self.dir, "saved.lst"), "wb") as f:
                    f.write(edited)
                again, _ = self.page(name=None, args=("saved.lst",), out="again.html")
                self.open(again)
                self.assertEqual(self.entries_shown(), shown)
                self.leave()

    def test_unedited_list_saved_as_it_came(self):
        """A byte order mark, CR LF, a last line without a line end, a line of blanks: kept byte for byte, and a
        new entry after the last line gets the list's line end."""
        lines = LIST[:3] + [b"", b"  "] + LIST[3:]
        path, listing = self.page(lines, eol=b"\r\n", head=b"\xef\xbb\xbf", end=False)
        self.open(path)
        self.assertEqual(self.saved(), listing)
        self.go("#offset=0x0001FFF8&width=4&zoom=4", 0x1FFF8)
        self.drag((0, 0), (1, 2), zoom=4)
        self.assertEqual(self.saved(), listing + b"\r\n0x0001FFF8 0x0000 4 3 at0001FFF8\r\n")

    def test_without_a_list_and_unsaved_changes(self):
        """Without LIST the page starts empty and saves pictures.lst; it warns before closing with unsaved
        changes, and not once they are saved."""
        path, _ = self.page(name=None)
        self.open(path, "#offset=0x00001000&width=9&zoom=2")
        self.assertEqual(self.panel(), [])
        self.drag((0, 0), (8, 6), zoom=2)
        self.keys(Keys.F2, "apple", Keys.ENTER, Keys.ESCAPE)
        # A click that slips by a pixel, across pixels at zoom 2, selects what it hits and adds nothing.
        x0, y0, _, _ = self.pixels_box()
        slip = ActionBuilder(self.d)
        slip.pointer_action.move_to_location(x0 + 5, y0 + 5).pointer_down()
        slip.pointer_action.move_to_location(x0 + 7, y0 + 6).pointer_up()
        slip.perform()
        self.settle()
        self.assertTrue(self.text("chosen-text").startswith("apple 0x00001000, 9 \u00d7 7"))
        self.assertEqual(self.panel(), ["apple new | 0x00001000, 9 \u00d7 7 | outside the kvpush window"])
        self.assertEqual(self.warnings_on_reload(), ["beforeunload"])
        self.assertEqual(self.panel(), [])  # the driver left the page all the same
        self.drag((8, 6), (0, 0), zoom=2)
        self.assertEqual(self.saved("pictures.lst"), b"0x00001000 0x0000 9 7 at00001000\n")
        self.assertEqual(self.warnings_on_reload(), [])

    def test_readme_screenshot(self):
        """The README's workflow on the sample firmware: find drafts a list, and the view shows where its entry for
        the ramp starts 32 rows late. KV_SCREENSHOT=path keeps the screenshot."""
        sample = os.environ.get("KVSAMPLE")
        if not sample:
            self.skipTest("KVSAMPLE names no sample folder")
        shutil.copy(os.path.join(sample, "firmware.bin"), self.dir)
        for args, out in ((("find", "firmware.bin", "54DF26", "9E6F56"), "pictures.lst"),
                          (("view", "firmware.bin", "pictures.lst"), "view.html")):
            with open(os.path.join(self.dir, out), "wb") as f:
                subprocess.run([*RUNNER, KVLIST, *args], cwd=self.dir, stdout=f, check=True, timeout=120)
        self.open(os.path.join(self.dir, "view.html"), "#offset=0x00556000&width=128&zoom=2")
        x0, y0, _, _ = self.pixels_box()
        click = ActionBuilder(self.d)
        click.pointer_action.move_to_location(x0 + 100, y0 + 2 * 80).click()
        click.perform()
        self.settle()
        self.assertTrue(self.text("chosen-text").startswith("at0055A000 0x0055A000, 128 \u00d7 32"))
        img = self.screen()
        # The ramp's red band starts at 0x558000, row 32: its brightest red at the right end of its first row.
        self.assertEqual(img.getpixel((x0 + 2 * 127, y0 + 2 * 32)), (248, 0, 0))
        if os.environ.get("KV_SCREENSHOT"):
            img.save(os.environ["KV_SCREENSHOT"])

    def warnings_on_reload(self):
        """The dialogs the browser opened as the page reloaded (the driver accepts them)."""
        before = len(self.events("Page.javascriptDialogOpening"))
        self.d.execute_script("window.leaving = true; setTimeout(() => location.reload(), 0)")
        self.wait_for("return document.readyState === 'complete' && !window.leaving", True)
        return [e["params"]["type"] for e in self.events("Page.javascriptDialogOpening")[before:]]


if __name__ == "__main__":
    unittest.main()
