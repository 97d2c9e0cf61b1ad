"""The web build's page in headless Chromium, for the tests of window.quavrex.

Python's http.server serves build-web/ on a free port of 127.0.0.1; Debian's chromium, driven
through chromium-driver, opens it with a fresh profile and the browser's own background
services switched off, so that every request it makes is the page's. Bytes cross between Python
and the page as base64.
"""

import base64
import contextlib
import functools
import http.server
import shutil
import socket
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.support.ui import WebDriverWait

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
]

# Helpers defined in the page for the calls below: bytes to and from base64.
HELPERS = """
window.qxTest = {
  fromBase64(text) { return Uint8Array.from(atob(text), (c) => c.charCodeAt(0)); },
  toBase64(bytes) {
    if (!bytes) return null;
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) {
      text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    }
    return btoa(text);
  },
};
"""


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    """Serves the page's files with the types a browser wants, without a log line each."""

    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".js": "text/javascript", ".wasm": "application/wasm"}

    def log_message(self, *args):
        pass


@contextlib.contextmanager
def served(folder):
    """Serves `folder` on a free port of 127.0.0.1; yields the page's URL."""
    handler = functools.partial(QuietHandler, directory=folder)
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    thread = threading.Thread(target=httpd.serve_forever, daemon=True)
    thread.start()
    try:
        yield "http://127.0.0.1:%d/" % httpd.server_address[1]
    finally:
        httpd.shutdown()
        httpd.server_close()


@contextlib.contextmanager
def chromium():
    """Debian's chromium, headless, with a profile of its own and its log of requests."""
    profile = tempfile.mkdtemp(prefix="quavrex-chromium-")
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in CHROMIUM_FLAGS:
        options.add_argument(flag)
    options.add_argument("--user-data-dir=" + profile)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_script_timeout(600)
    try:
        yield driver
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


def open_page(driver, url):
    """Opens the page and waits until window.quavrex has its module."""
    driver.get(url)
    WebDriverWait(driver, 60).until(
        lambda d: d.execute_script("return !!window.quavrex"))
    driver.execute_async_script(
        "const done = arguments[0]; window.quavrex.ready.then(() => done(true), "
        "(e) => done(String(e)));")
    driver.execute_script(HELPERS)


def call(driver, script, *args):
    """Runs `script` (the body of an async function of `args`) in the page and returns what it
    returns; an exception in the page becomes a RuntimeError here."""
    wrapped = ("const done = arguments[arguments.length - 1];"
               "(async (...args) => {" + script + "})(...Array.from(arguments).slice(0, -1))"
               ".then((value) => done({value}), (e) => done({error: String(e && e.stack || e)}));")
    outcome = driver.execute_async_script(wrapped, *args)
    if "error" in outcome:
        raise RuntimeError(outcome["error"])
    return outcome["value"]


def b64(data):
    return base64.b64encode(data).decode("ascii")


def unb64(text):
    return None if text is None else base64.b64decode(text)
