"""Speed of the web page beside the native programs.

Measures, for the page in build-web/ (scripts/web.sh --build) opened from 127.0.0.1 in headless
Chromium, and for a native quavrexc (a release build, build-release/quavrexc):
  - how soon the page is ready to compile (window.quavrex loaded, from the page's start);
  - how long a typical score takes to compile (the median of many compiles of each example);
  - how fast audio renders, as a multiple of real time (the renderer at 44100 Hz);
  - the page's files together, before compression.
Native figures: the time per score of one quavrexc run over many copies (each compiled and
its .MMF written and synced to disk, which the page does not do), and
quavrexc --wav on the example's .MMF.

usage: python3 bench/web_bench.py [BUILD_WEB] [QUAVREXC]   (run with Debian's /usr/bin/python3)
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "tests", "web"))
from api_browser import b64, call, chromium, open_page, served  # noqa: E402

EXAMPLES = [("minuet.mml", "ma1"), ("overture.mml", "ma2")]
COMPILES = 200


def page_size(folder):
    total = 0
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        if name in ("deps", "cmake") or name.endswith(".log"):
            continue  # the build's own work, not served to the page
        if os.path.isdir(path):
            for base, _, files in os.walk(path):
                total += sum(os.path.getsize(os.path.join(base, f)) for f in files)
        else:
            total += os.path.getsize(path)
    return total


def native_figures(quavrexc, examples):
    out = {}
    with tempfile.TemporaryDirectory() as work:
        for name, fmt in EXAMPLES:
            names = []
            for k in range(COMPILES):
                copy = "%s-%03d.mml" % (name[:-4], k)
                shutil.copy(os.path.join(examples, name), os.path.join(work, copy))
                names.append(copy)
            start = time.perf_counter()
            subprocess.run([quavrexc, "--" + fmt] + names, cwd=work, check=True,
                           capture_output=True)
            out[name + " compile ms"] = (time.perf_counter() - start) * 1000 / COMPILES
            mmf = names[0][:-4] + ".MMF"
            start = time.perf_counter()
            subprocess.run([quavrexc, "--wav", mmf], cwd=work, check=True, capture_output=True)
            out[name + " render s"] = time.perf_counter() - start
    return out


def main():
    build_web = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build-web"))
    quavrexc = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else
                               os.path.join(root, "build-release", "quavrexc"))
    examples = os.path.join(root, "examples")
    native = native_figures(quavrexc, examples) if os.path.exists(quavrexc) else {}
    with served(build_web) as url, chromium() as driver:
        ready = []
        for _ in range(5):
            open_page(driver, url + "?" + str(time.time()))
            ready.append(call(driver, "return quavrex.page.readyMs;"))
        print("page ready to compile: median %.0f ms of 5 loads (target 1000 ms)"
              % statistics.median(ready))
        for name, fmt in EXAMPLES:
            score = open(os.path.join(examples, name), "rb").read()
            timing = call(driver, """
                const score = qxTest.fromBase64(args[0]);
                const times = [];
                let mmf = null;
                for (let k = 0; k < args[2]; k++) {
                  const start = performance.now();
                  mmf = (await quavrex.compile(score, {name: 'a.mml', format: args[1]})).mmf;
                  times.push(performance.now() - start);
                }
                times.sort((a, b) => a - b);
                const seconds = await quavrex.page.durationSec(mmf);
                const start = performance.now();
                const pcm = await quavrex.page.render(mmf, 44100);
                const render = (performance.now() - start) / 1000;
                return {compile: times[times.length >> 1], seconds, render, samples: pcm.length};
            """, b64(score), fmt, COMPILES)
            line = "%s: compile %.2f ms (median of %d; target 5 ms)" % (
                name, timing["compile"], COMPILES)
            if native:
                line += ", native %.2f ms a score" % native[name + " compile ms"]
            print(line)
            length = timing["samples"] / 44100
            line = "%s: render %.2f s of audio in %.3f s, %.0fx real time (target 20x)" % (
                name, length, timing["render"], length / timing["render"])
            if native:
                line += ", native quavrexc --wav %.0fx (whole run)" % (
                    length / native[name + " render s"])
            print(line)
    print("page files: %.2f MB before compression (target 3 MB)" % (page_size(build_web) / 1e6))


if __name__ == "__main__":
    main()
