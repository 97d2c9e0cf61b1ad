"""window.quavrex against the command line: the page and quavrexc must never disagree.

The examples and a few hundred generated scores (the golden replay's generator, faults
included, MA1 and MA2, each also as a UTF-8 copy, some with characters that Shift-JIS lacks)
are compiled by the native quavrexc and through window.quavrex.compile in headless Chromium;
log lines, diagnostics, range reports and .MMF bytes must be equal. Then dump(), json(), midi()
and wav() against --dump, --json, --midi and --wav (wav() byte for byte at the chip's rate for
tunes without waves; see assert_resampled_alike for the rest), and the page's own requests: none may leave
127.0.0.1, and the console stays free of errors.

usage: test_api.py BUILD_WEB QUAVREXC JOB_TESTS EXAMPLES
"""

import array
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from api_browser import b64, call, chromium, open_page, served, unb64  # noqa: E402

GENERATED = 200
CHIP_RATE = 49716  # the FM chip's own rate: the renderer converts no rate
# A title line of characters that CP932 and plain Shift_JIS map apart (～ ― ∥ ￢) and of the
# NEC and IBM rows (① ⅰ 髙), before each generated score.
TITLE = "テスト曲 ～ ― ∥ ￢ ① ⅰ 髙\r\n"

COMPILE_ALL = """
const out = [];
for (const c of args[0]) {
  const waves = {};
  for (const [name, data] of Object.entries(c.waves)) waves[name] = qxTest.fromBase64(data);
  const r = await quavrex.compile(qxTest.fromBase64(c.score), Object.assign({waves}, c.options));
  out.push({log: r.log, diagnostics: r.diagnostics, rangeReport: r.rangeReport,
            mmf: qxTest.toBase64(r.mmf)});
}
return out;
"""


class Case:
    def __init__(self, name, score, options, waves=None):
        self.name = name
        self.score = score
        self.options = options  # as window.quavrex.compile takes them
        self.waves = waves or {}

    def flags(self):
        o = self.options
        flags = ["--ma2"] if o.get("format") == "ma2" else ["--ma1"]
        flags += ["--octave-check"] if o.get("octaveCheck") else []
        flags += ["--voice-setup"] if o.get("voiceSetup") else []
        flags += [] if o.get("ezget", True) else ["--no-ezget"]
        return flags + ["--encoding", o.get("encoding", "auto")]


def read(path):
    with open(path, "rb") as f:
        return f.read()


def native(quavrexc, folder, case):
    """Compiles `case` with quavrexc in a folder of its own: (log, diagnostics, report, mmf)."""
    os.makedirs(folder)
    for name, data in case.waves.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    with open(os.path.join(folder, case.name), "wb") as f:
        f.write(case.score)
    run = subprocess.run([quavrexc] + case.flags() + [case.name], cwd=folder,
                         capture_output=True, timeout=120)
    log = run.stdout.decode("utf-8").rstrip("\n")
    err = run.stderr.decode("utf-8")
    mmf_path = os.path.join(folder, case.name.rsplit(".", 1)[0] + ".MMF")
    mmf = read(mmf_path) if os.path.exists(mmf_path) else None
    diagnostics = []
    report = ""
    if mmf is None:
        first = err.split("\n", 1)[0]
        m = re.match(r"^(.*):(\d+):(\d+): error: (.*)$", first)
        if m:
            diagnostics = [{"line": int(m.group(2)), "column": int(m.group(3)),
                            "message": m.group(4)}]
    else:
        report = err[:-1] if err.endswith("\n") else err
    return log, diagnostics, report, mmf


def generated_cases(job_tests, folder):
    """The golden replay's scores, each as written and as a UTF-8 copy under a title line."""
    os.makedirs(folder)
    env = dict(os.environ, QUAVREX_GOLDEN_SCORES=folder, QUAVREX_GOLDEN_COUNT=str(GENERATED))
    subprocess.run([job_tests, "--gtest_filter=GoldenReplayTest.*"], env=env, check=True,
                   capture_output=True)
    waves = {name: read(os.path.join(folder, name)) for name in ("wa.adp", "wb.adp")}
    cases = []
    for line in read(os.path.join(folder, "options.txt")).decode("ascii").splitlines():
        number, fmt, voice_setup, octave_check, ezget = line.split()
        score = read(os.path.join(folder, number + ".mml"))
        options = {"format": fmt, "voiceSetup": voice_setup == "1",
                   "octaveCheck": octave_check == "1", "ezget": ezget == "1"}
        k = int(number)
        sjis = dict(options, encoding="sjis" if k % 4 == 0 else "auto")
        cases.append(Case("g%s.mml" % number, TITLE.encode("cp932") + score, sjis, waves))
        try:
            text = TITLE + score.decode("cp932")
        except UnicodeDecodeError:
            continue
        if k % 10 == 3:
            text = text.replace("曲", "é", 1)  # a character Shift-JIS lacks: an encoding fault
        elif k % 10 == 7:
            text = text.replace("]", "🎵]", 1)  # one inside a part
        utf8 = dict(options, encoding="utf-8" if k % 3 == 0 else "auto")
        cases.append(Case("u%s.MUS" % number, text.encode("utf-8"), utf8, waves))
    return cases


class ApiTest(unittest.TestCase):
    build_web = quavrexc = job_tests = examples = None

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory(prefix="quavrex-web-api-")
        cls.server = served(cls.build_web)
        cls.url = cls.server.__enter__()
        cls.browser = chromium()
        cls.driver = cls.browser.__enter__()
        open_page(cls.driver, cls.url)

    @classmethod
    def tearDownClass(cls):
        cls.browser.__exit__(None, None, None)
        cls.server.__exit__(None, None, None)
        cls.work.cleanup()

    def example(self, name):
        return read(os.path.join(self.examples, name))

    def example_cases(self):
        chime = {"chime.adp": self.example("chime.adp")}
        return [
            Case("minuet.mml", self.example("minuet.mml"), {"format": "ma1"}),
            Case("minuet.mml", self.example("minuet.mml"),
                 {"format": "ma1", "octaveCheck": True, "voiceSetup": True}),
            Case("overture.mml", self.example("overture.mml"), {"format": "ma2"}),
            Case("doorbell.mml", self.example("doorbell.mml"), {"format": "ma2"}, chime),
            Case("doorbell.mml", self.example("doorbell.mml"), {"format": "ma2"}),  # no wave
        ]

    def compile_both(self, cases, tag):
        page = call(self.driver, COMPILE_ALL, [
            {"score": b64(c.score), "options": dict(c.options, name=c.name),
             "waves": {n: b64(d) for n, d in c.waves.items()}} for c in cases])
        results = []
        for k, (case, got) in enumerate(zip(cases, page)):
            want = native(self.quavrexc, os.path.join(self.work.name, tag, str(k)), case)
            results.append((case, want, (got["log"], got["diagnostics"], got["rangeReport"],
                                         unb64(got["mmf"]))))
        return results

    def check_same(self, results):
        compared = {"written": 0, "failed": 0, "utf8": 0}
        for case, want, got in results:
            with self.subTest(case=case.name, options=case.options):
                self.assertEqual(got[0], want[0], "log line")
                self.assertEqual(got[1], want[1], "diagnostics")
                self.assertEqual(got[2], want[2], "range report")
                self.assertEqual(got[3], want[3], ".MMF bytes")
            compared["written" if want[3] is not None else "failed"] += 1
            compared["utf8"] += case.name.startswith("u")
        return compared

    def test_examples_compile_alike(self):
        self.check_same(self.compile_both(self.example_cases(), "examples"))

    def test_generated_scores_compile_alike(self):
        cases = generated_cases(self.job_tests, os.path.join(self.work.name, "generated"))
        compared = self.check_same(self.compile_both(cases, "generated"))
        # The generator makes faults and sound scores of both kinds, in both encodings.
        self.assertGreater(compared["written"], 100)
        self.assertGreater(compared["failed"], 40)
        self.assertGreater(compared["utf8"], 150)

    def test_listings_and_exports_of_the_examples_match(self):
        results = self.compile_both(self.example_cases()[:4], "exports")
        for k, (case, _, got) in enumerate(results):
            mmf = got[3]
            folder = os.path.join(self.work.name, "exports-mmf", str(k))
            os.makedirs(folder)
            with open(os.path.join(folder, "tune.MMF"), "wb") as f:
                f.write(mmf)
            quavrexc = lambda *args: subprocess.run(  # noqa: E731
                [self.quavrexc, *args], cwd=folder, capture_output=True, timeout=300).stdout
            page = call(self.driver, """
                const mmf = qxTest.fromBase64(args[0]);
                const midi = await quavrex.midi(mmf);
                const midiLog = quavrex.page.lastLog;
                const wavs = [];
                for (const rate of args[1]) {
                  wavs.push(qxTest.toBase64(await quavrex.wav(mmf, rate)));
                }
                return {dump: await quavrex.dump(mmf, 'tune.MMF'),
                        json: await quavrex.json(mmf, 'tune.MMF'),
                        midi: qxTest.toBase64(midi), midiLog, wavs,
                        wavLog: quavrex.page.lastLog};""", b64(mmf), [CHIP_RATE, 44100])
            with self.subTest(case=case.name):
                self.assertEqual(page["dump"], quavrexc("--dump", "tune.MMF").decode("utf-8"))
                self.assertEqual(page["json"], quavrexc("--json", "tune.MMF").decode("utf-8"))
                midi_log = quavrexc("--midi", "tune.MMF").decode("utf-8").rstrip("\n")
                self.assertEqual(page["midiLog"], midi_log)
                self.assertEqual(unb64(page["midi"]),
                                 read(os.path.join(folder, "tune.mid")))
                wav_path = os.path.join(folder, "tune.wav")
                quavrexc("--wav", "--rate", str(CHIP_RATE), "tune.MMF")
                if case.waves:
                    # The audio track's waves go through the rate converter even then.
                    self.assert_resampled_alike(unb64(page["wavs"][0]), read(wav_path))
                else:
                    self.assertEqual(unb64(page["wavs"][0]), read(wav_path))
                wav_log = quavrexc("--wav", "tune.MMF").decode("utf-8").rstrip("\n")
                self.assertEqual(page["wavLog"], wav_log)
                self.assert_resampled_alike(unb64(page["wavs"][1]), read(wav_path))

    def assert_resampled_alike(self, page, native):
        """The WAVE files of a rate other than the chip's: the same header and length; the
        samples may differ by one step in a few places. At the chip's rate the bytes are equal,
        so such steps arise in the rate converter (libsoxr, from the same source in both), whose
        filter design calls the C library's mathematical functions: their last bit differs
        between the programs' C library and the page's."""
        self.assertEqual(page[:44], native[:44])
        self.assertEqual(len(page), len(native))
        a = array.array("h", page[44:])
        b = array.array("h", native[44:])
        steps = [abs(x - y) for x, y in zip(a, b) if x != y]
        self.assertLessEqual(max(steps, default=0), 1)
        self.assertLess(len(steps), len(a) / 1000)

    def test_page_stays_on_its_host_without_console_errors(self):
        # Loaded again in this test's own browser, so its logs hold this load alone.
        with chromium() as driver:
            open_page(driver, self.url)
            call(driver, "await quavrex.compile(new Uint8Array([0x31,0x5B,0x43,0x5D]), "
                         "{name: 'a.mml'});")
            errors = [e for e in driver.get_log("browser") if e["level"] == "SEVERE"]
            self.assertEqual(errors, [])
            urls = []
            for entry in driver.get_log("performance"):
                message = json.loads(entry["message"])["message"]
                if message["method"] == "Network.requestWillBeSent":
                    urls.append(message["params"]["request"]["url"])
            self.assertTrue(urls)
            # The browser's own pages (its first empty tab) are no request to a host.
            for url in urls:
                self.assertTrue(url.startswith(self.url) or
                                url.startswith(("data:", "blob:", "chrome:", "about:")), url)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    (ApiTest.build_web, ApiTest.quavrexc, ApiTest.job_tests,
     ApiTest.examples) = map(os.path.abspath, sys.argv[1:5])
    unittest.main(argv=sys.argv[:1], verbosity=2)
