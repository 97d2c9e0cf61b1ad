"""The web page as a person uses it, in headless Chromium: files dropped on the drop area, the
editor's compile-as-you-type and its error mark, playback, the piano roll, what the page keeps
and that it works offline. Outputs are compared with the command line's for the same files.

usage: test_page.py SITE QUAVRExC PICTURE_DIR [unittest options]
  SITE         the built page (build-web/)
  QUAVREXC     the command line, for the outputs to compare with
  PICTURE_DIR  where the screenshot quavrex-web.png is left for the README
"""

import io
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page_session import (console_errors, drop_files, fetch_bytes, open_page,  # noqa: E402
                          page_session, wait_for)

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"
SITE = QUAVREXC = PICTURE_DIR = None


def native(args, folder):
    """Runs the command line in `folder`; returns (stdout lines, stderr)."""
    run = subprocess.run([QUAVREXC, *args], cwd=folder, capture_output=True, check=False)
    return run.stdout.decode().splitlines(), run.stderr.decode()


def reader_note_count(json_text):
    """Notes of an .MMF as the reader lists them: note events, and frequency-mode key-ons."""
    count = 0
    for file in [json.loads(line) for line in json_text.splitlines() if line.strip()]:
        for track in file["tracks"]:
            for event in track["events"]:
                if event["kind"] == "note" or (event["kind"] == "frequency" and
                                               event["keyState"] == 1):
                    count += 1
    return count


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = page_session(SITE)
        cls.driver, cls.server = cls.session.__enter__()
        cls.work = pathlib.Path(tempfile.mkdtemp(prefix="quavrex-page-test-"))

    @classmethod
    def tearDownClass(cls):
        cls.session.__exit__(None, None, None)
        shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        self.d = self.driver
        self.run_script("localStorage.clear();")
        open_page(self.d, self.server.url)

    def tearDown(self):
        self.assertEqual(console_errors(self.d), [])
        # Every request went to the page's own server (or stayed in the page).
        for entry in self.d.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message["method"] == "Network.requestWillBeSent":
                url = message["params"]["request"]["url"]
                if url.startswith(("http:", "https:", "ws:", "wss:")):
                    self.assertTrue(url.startswith(self.server.url), url)

    def run_script(self, script, *args):
        return self.d.execute_script(script, *args)

    def copy_examples(self, *names):
        folder = pathlib.Path(tempfile.mkdtemp(dir=self.work))
        for name in names:
            shutil.copy(EXAMPLES / name, folder / name)
        return folder

    def log_items(self):
        return self.run_script(
            "return [...document.querySelectorAll('#log li')].map((li) => ({"
            "line: li.querySelector('.line').textContent,"
            "links: [...li.querySelectorAll('a[download]')].map((a) => [a.download, a.href])}));")

    def choose_format(self, format_id):
        self.d.find_element(By.ID, format_id).click()

    def editor_compiled(self, after):
        return wait_for(self.d, f"return Number(document.body.dataset.compiled) > {after} && "
                        "document.body.dataset.compiled")

    def set_score(self, text):
        """Puts `text` in the editor as if typed, and waits for its compile."""
        before = int(self.run_script("return document.body.dataset.compiled"))
        self.run_script("const t = document.getElementById('score'); t.value = arguments[0];"
                        "t.dispatchEvent(new Event('input'));", text)
        self.editor_compiled(before)

    # ---- The dialog's job --------------------------------------------------------------------

    def test_dropped_files_compile_in_order_newest_line_first(self):
        self.choose_format("format-ma2")
        names = ["minuet.mml", "doorbell.mml", "chime.adp", "overture.mml"]
        folder = self.copy_examples(*names)
        expected, _ = native(["--ma2", *names], folder)
        drop_files(self.d, [(n, (EXAMPLES / n).read_bytes()) for n in names])

        items = self.log_items()
        self.assertEqual([i["line"] for i in items], expected[::-1])
        downloads = {}
        for item in items:
            for name, url in item["links"]:
                downloads[name] = fetch_bytes(self.d, url)
        self.assertEqual(sorted(downloads), ["doorbell.MMF", "minuet.MMF", "overture.MMF"])
        for name, data in downloads.items():
            self.assertEqual(data, (folder / name).read_bytes(), name)

        # The three at once, as one archive.
        url = self.run_script("return document.querySelector('#zip-bar a').href")
        with zipfile.ZipFile(io.BytesIO(fetch_bytes(self.d, url))) as archive:
            self.assertIsNone(archive.testzip())
            self.assertEqual(archive.namelist(),
                             ["minuet.MMF", "doorbell.MMF", "overture.MMF"])
            for name in archive.namelist():
                self.assertEqual(archive.read(name), downloads[name])

    def test_a_fault_and_the_octave_report_in_the_log(self):
        # MA1 with the octave check: a fault gets its line with the place as its tool tip, and
        # a note below the voice's range its report under the line.
        self.d.find_element(By.ID, "octave-check").click()
        folder = pathlib.Path(tempfile.mkdtemp(dir=self.work))
        scores = [("fault.mml", b"1[ T120 V16 C ]\r\n"), ("low.mml", b"1[ T120 O3 C ]\r\n")]
        for name, data in scores:
            (folder / name).write_bytes(data)
        expected, _ = native(["--ma1", "--octave-check", "fault.mml", "low.mml"], folder)
        _, report = native(["--ma1", "--octave-check", "low.mml"], folder)
        drop_files(self.d, scores)
        items = self.log_items()
        self.assertEqual([i["line"] for i in items], expected[::-1])
        self.assertEqual(items[1]["links"], [])  # nothing to download for the fault
        shown = self.run_script(
            "const [low, fault] = document.querySelectorAll('#log li');"
            "return [low.querySelector('pre').textContent, fault.querySelector('.line').title];")
        self.assertEqual(shown[0].strip(), report.strip())
        self.assertTrue(shown[1].startswith("1行10桁: "), shown[1])

    def test_dropped_mmf_shows_its_listing_and_exports(self):
        folder = self.copy_examples("overture.mml")
        native(["--ma2", "overture.mml"], folder)
        mmf = (folder / "overture.MMF").read_bytes()
        listing, _ = native(["--dump", "overture.MMF"], folder)
        native(["--midi", "overture.MMF"], folder)
        drop_files(self.d, [("overture.MMF", mmf)])

        shown = self.run_script("return document.querySelector('#log li pre').textContent")
        self.assertEqual(shown.splitlines()[1:], listing[1:])  # past the line naming the file
        self.d.find_element(By.XPATH, "//ol[@id='log']/li[1]//button[text()='MIDIで保存']").click()
        url = wait_for(self.d, "return document.querySelector(\"#log li a[download$='.mid']\")"
                       "?.href")
        self.assertEqual(fetch_bytes(self.d, url), (folder / "overture.mid").read_bytes())

    def test_dropped_midi_opens_its_score_in_the_editor(self):
        folder = self.copy_examples("minuet.mml")
        native(["--ma2", "--midi", "minuet.mml"], folder)
        midi = (folder / "minuet.mid").read_bytes()
        (folder / "minuet.mml").unlink()
        lines, _ = native(["--ma2", "minuet.mid"], folder)
        score = (folder / "minuet.mml").read_bytes().decode("cp932").replace("\r\n", "\n")

        self.choose_format("format-ma2")
        before = int(self.run_script("return document.body.dataset.compiled"))
        drop_files(self.d, [("minuet.mid", midi)])
        self.editor_compiled(before)
        self.assertEqual([i["line"] for i in self.log_items()], lines[::-1])
        self.assertEqual(self.run_script("return document.getElementById('score').value"), score)
        self.assertEqual(self.run_script("return document.getElementById('editor-log')"
                                         ".firstChild.textContent"), lines[1])

    # ---- The editor ---------------------------------------------------------------------------

    def test_the_editor_starts_with_the_example(self):
        # The page carries its own copy of the example (web/page/overture.mml).
        self.assertEqual((pathlib.Path(SITE) / "overture.mml").read_bytes(),
                         (EXAMPLES / "overture.mml").read_bytes())
        self.assertEqual(self.run_script("return document.getElementById('score').value"),
                         (EXAMPLES / "overture.mml").read_bytes().decode("cp932")
                         .replace("\r\n", "\n"))


    def test_typing_a_fault_marks_its_line_and_column(self):
        self.choose_format("format-ma2")
        self.set_score("C[ ST:Test, ]\n1[ T120 O4 L4\n   C D E\n   F G ]\n")
        self.assertIsNone(self.run_script("return document.getElementById('marks').dataset.line"
                                          " ?? null"))
        area = self.d.find_element(By.ID, "score")
        area.click()
        # The cursor to the end of line 3, then a volume beyond the range typed there.
        self.run_script("const t = arguments[0]; const i = t.value.indexOf('E\\n') + 1;"
                        "t.setSelectionRange(i, i);", area)
        area.send_keys(" V16")
        wait_for(self.d, "return document.getElementById('marks').dataset.line === '3'")

        folder = pathlib.Path(tempfile.mkdtemp(dir=self.work))
        (folder / "typed.mml").write_text(area.get_attribute("value"), encoding="utf-8")
        _, stderr = native(["--ma2", "typed.mml"], folder)
        line, column = stderr.split(":")[1:3]
        marks = self.run_script(
            "const m = document.getElementById('marks');"
            "return [m.dataset.line, m.dataset.column,"
            " m.querySelector('.err-line .err-col').textContent,"
            " document.querySelector('#gutter .err').textContent,"
            " document.getElementById('editor-log').classList.contains('failed')];")
        marked = area.get_attribute("value").split("\n")[2][int(column) - 1]
        self.assertEqual(marks, [line, column, marked, "3", True])

        for _ in range(4):
            area.send_keys(Keys.BACKSPACE)
        wait_for(self.d, "return !document.getElementById('marks').dataset.line && "
                 "!document.getElementById('editor-log').classList.contains('failed')")

    def test_piano_roll_holds_every_note_of_the_mmf(self):
        for name, option in [("overture.mml", "--ma2"), ("minuet.mml", "--ma1"),
                             ("doorbell.mml", "--ma2")]:
            with self.subTest(name=name):
                folder = self.copy_examples(name, "chime.adp")
                native([option, name], folder)
                mmf = name.replace(".mml", ".MMF")
                lines, _ = native(["--json", mmf], folder)
                self.choose_format("format-ma2" if option == "--ma2" else "format-ma1")
                # Opened from disk, in Shift-JIS, as a person opens a score, with the wave
                # files it plays.
                waves = [str(EXAMPLES / "chime.adp")] if name == "doorbell.mml" else []
                before = int(self.run_script("return document.body.dataset.compiled"))
                self.d.find_element(By.ID, "open-input").send_keys(
                    "\n".join([str(folder / name), *waves]))
                self.editor_compiled(before)
                count = self.run_script("return document.getElementById('roll').dataset.noteCount")
                self.assertEqual(int(count), reader_note_count("\n".join(lines)))

    def test_a_score_opened_from_disk_is_read_as_the_command_line_reads_it(self):
        # The title goes into the .MMF as it was read, so equal bytes mean an equal guess.
        cases = [
            # Shift-JIS half-width katakana that are valid UTF-8 ("ﾃｩ" reads as "é")
            ("katakana.mml", "C[ ST:ﾃｩ, ]\n1[ C ]\n".encode("cp932")),
            # two-byte UTF-8 that Shift-JIS holds
            ("greek.mml", "C[ ST:αβ, ]\n1[ C ]\n".encode()),
            # three-byte UTF-8, with and without the byte order mark, and its Shift-JIS copy
            ("utf8.mml", "C[ ST:序曲, ]\n1[ C ]\n".encode()),
            ("bom.mml", "\ufeffC[ ST:序曲, ]\n1[ C ]\n".encode()),
            ("sjis.mml", "C[ ST:序曲, ]\r\n1[ C ]\r\n".encode("cp932")),
        ]
        self.choose_format("format-ma2")
        folder = pathlib.Path(tempfile.mkdtemp(dir=self.work))
        for name, data in cases:
            with self.subTest(name=name):
                (folder / name).write_bytes(data)
                native(["--ma2", name], folder)
                before = int(self.run_script("return document.body.dataset.compiled"))
                self.d.find_element(By.ID, "open-input").send_keys(str(folder / name))
                self.editor_compiled(before)
                url = self.run_script("return document.getElementById('editor-mmf').href")
                self.assertEqual(fetch_bytes(self.d, url),
                                 (folder / name.replace(".mml", ".MMF")).read_bytes())

    def test_play_starts_sound_and_stop_ends_it(self):
        self.choose_format("format-ma2")
        self.d.find_element(By.ID, "play").click()
        wait_for(self.d, "const p = window.quavrexPage.player;"
                 "return p.playing && p.context.state === 'running' && p.level() > 0.001")
        self.assertGreater(self.run_script("return window.quavrexPage.player.position()"), 0)
        # The first part alone: the tune is rendered again with the other parts muted, and plays on.
        parts = self.run_script("return window.quavrexPage.good.parts.map(String)")
        self.d.find_element(By.CSS_SELECTOR, "#parts .part:first-child .solo").click()
        wait_for(self.d, "const p = window.quavrexPage.player;"
                 "return p.playing && p.rendered.key === arguments[0]", ",".join(parts[1:]))
        self.d.find_element(By.ID, "stop").click()
        self.assertFalse(self.run_script("return window.quavrexPage.player.playing"))

    def test_play_from_the_line_under_the_cursor(self):
        self.choose_format("format-ma2")
        area = self.d.find_element(By.ID, "score")
        # In the overture, part 1's third line comes after a repeated bar of 8 beats at 132.
        self.run_script("const t = arguments[0]; const i = t.value.indexOf('|:3 E16F16') + 3;"
                        "t.focus(); t.setSelectionRange(i, i);", area)
        self.d.find_element(By.ID, "play-cursor").click()
        wait_for(self.d, "return window.quavrexPage.player.playing")
        start = self.run_script("return window.quavrexPage.cursorStart")
        self.assertAlmostEqual(start, 16 * 60 / 132, delta=0.02)
        self.d.find_element(By.ID, "stop").click()

    def test_options_and_the_score_are_kept(self):
        self.choose_format("format-ma2")
        self.d.find_element(By.ID, "ezget").click()
        self.set_score("1[ T100 C D E ]\n")
        open_page(self.d, self.server.url)
        state = self.run_script(
            "const $ = (id) => document.getElementById(id);"
            "return [$('format-ma2').checked, $('octave-check').disabled, $('ezget').checked,"
            " $('score').value];")
        self.assertEqual(state, [True, True, False, "1[ T100 C D E ]\n"])
        self.assertEqual(self.d.get_cookies(), [])

    def test_works_offline_after_the_first_load(self):
        wait_for(self.d, "return document.body.dataset.offline === '1'")
        open_page(self.d, self.server.url)  # now under the service worker
        self.server.stop()
        try:
            open_page(self.d, self.server.url)
            self.set_score("1[ T100 C D E ]\n")
            self.assertTrue(self.run_script(
                "return !document.getElementById('editor-log').classList.contains('failed')"))
        finally:
            self.server.start()

    def test_zz_screenshot(self):
        """Leaves a picture of the page for the README: the overture in the editor and a log."""
        self.choose_format("format-ma2")
        drop_files(self.d, [(n, (EXAMPLES / n).read_bytes())
                            for n in ["minuet.mml", "overture.mml"]])
        self.set_score((EXAMPLES / "overture.mml").read_bytes().decode("cp932"))
        # The whole page in the picture: the window as tall as the page.
        height = self.run_script("return document.documentElement.scrollHeight")
        self.d.set_window_size(1280, height + 140)
        self.d.set_window_size(1280, height + 140 + height - self.run_script(
            "return window.innerHeight"))
        self.d.save_screenshot(str(pathlib.Path(PICTURE_DIR) / "quavrex-web.png"))


if __name__ == "__main__":
    SITE, QUAVREXC, PICTURE_DIR = (str(pathlib.Path(a).resolve()) for a in sys.argv[1:4])
    if not (pathlib.Path(SITE) / "index.html").is_file():
        sys.exit(f"{SITE}/index.html is missing: build the page with bash scripts/web.sh --build")
    unittest.main(argv=[sys.argv[0], *sys.argv[4:]], verbosity=2)
