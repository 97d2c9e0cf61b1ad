"""A served copy of the web page in headless Chromium, for the page's tests.

The page is served by Python's http.server on a free port of 127.0.0.1 from the build folder and
opened in Debian's chromium through chromium-driver, with a fresh profile and every background
service of the browser switched off, so that any request the page makes is its own.
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
    "--window-size=1280,860", "--lang=ja",
]


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".js": "text/javascript", ".wasm": "application/wasm",
                      ".mml": "application/octet-stream"}

    def log_message(self, *args):
        pass


class Server:
    """http.server on a free port, in a thread; stop() and start() again keep the port."""

    def __init__(self, folder):
        self.folder = folder
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.port = probe.getsockname()[1]
        self.httpd = None

    def start(self):
        handler = functools.partial(QuietHandler, directory=self.folder)
        http.server.ThreadingHTTPServer.allow_reuse_address = True
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", self.port), handler)
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def stop(self):
        if self.httpd is not None:
            self.httpd.shutdown()
            self.httpd.server_close()
            self.httpd = None

    @property
    def url(self):
        return f"http://127.0.0.1:{self.port}/"


def start_browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
    for flag in CHROMIUM_FLAGS:
        options.add_argument(flag)
    options.add_argument(f"--user-data-dir={profile}")
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    service = Service(shutil.which("chromedriver") or "/usr/bin/chromedriver")
    driver = webdriver.Chrome(options=options, service=service)
    driver.set_script_timeout(60)
    return driver


@contextlib.contextmanager
def page_session(folder):
    """Yields (driver, server) with the page at server.url loaded and ready."""
    server = Server(folder)
    server.start()
    profile = tempfile.mkdtemp(prefix="quavrex-chromium-")
    driver = None
    try:
        driver = start_browser(profile)
        open_page(driver, server.url)
        yield driver, server
    finally:
        if driver is not None:
            driver.quit()
        server.stop()
        shutil.rmtree(profile, ignore_errors=True)


def open_page(driver, url):
    driver.get(url)
    wait_for(driver, "return document.body.dataset.ready === '1' || "
                     "document.getElementById('status').textContent.startsWith('読み込めません')")
    status = driver.find_element("id", "status").text
    if driver.execute_script("return document.body.dataset.ready") != "1":
        raise AssertionError(f"the page did not start: {status}")


def wait_for(driver, script, *args, timeout=30):
    """Waits until `script` (given `args`) returns a true value and returns that value."""
    return WebDriverWait(driver, timeout, poll_frequency=0.05).until(
        lambda d: d.execute_script(script, *args))


def run_async(driver, body, *args):
    """Runs `body` (an async function body; `args` holds the arguments) and returns its value."""
    return driver.execute_async_script(
        "const done = arguments[arguments.length - 1];"
        "(async (args) => {" + body + "})([...arguments].slice(0, -1))"
        ".then(done, (e) => done({error: String(e && e.stack || e)}));", *args)


def drop_files(driver, files):
    """Drops [(name, bytes)] on the drop area as a file manager would: a drop event carrying a
    real DataTransfer with File objects. Returns once the page has handled them all."""
    payload = [[name, base64.b64encode(data).decode()] for name, data in files]
    result = run_async(driver, """
      const dt = new DataTransfer();
      for (const [name, b64] of args[0]) {
        const bytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
        dt.items.add(new File([bytes], name));
      }
      const area = document.getElementById('drop-area');
      area.dispatchEvent(new DragEvent('dragover', {dataTransfer: dt, bubbles: true,
                                                    cancelable: true}));
      area.dispatchEvent(new DragEvent('drop', {dataTransfer: dt, bubbles: true,
                                                cancelable: true}));
      await window.quavrexPage.job.dropped;
      return true;
    """, payload)
    if result is not True:
        raise AssertionError(f"drop failed: {result}")


def fetch_bytes(driver, url):
    """The bytes behind a URL of the page (a blob: download link), fetched in the page."""
    result = run_async(driver, """
      const bytes = new Uint8Array(await (await fetch(args[0])).arrayBuffer());
      let text = '';
      for (const b of bytes) text += String.fromCharCode(b);
      return btoa(text);
    """, url)
    if isinstance(result, dict):
        raise AssertionError(f"fetch failed: {result}")
    return base64.b64decode(result)


def console_errors(driver):
    return [e for e in driver.get_log("browser") if e["level"] == "SEVERE"]
