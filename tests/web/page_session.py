"""The page of the web build in headless Chromium, for the tests of the page as a person uses it.

The browser is api_browser's (Debian's chromium through chromium-driver, a fresh profile, the
browser's background services off). The page is served by a server that can be stopped and
started again on the same port, so that a test can take the page offline and back.
"""

import contextlib
import functools
import http.server
import socket
import threading

from selenium.webdriver.support.ui import WebDriverWait

from api_browser import QuietHandler, b64, call, chromium, unb64

http.server.ThreadingHTTPServer.allow_reuse_address = True


class Server:
    """Python's http.server for `folder` on a port of 127.0.0.1 that stays the page's."""

    def __init__(self, folder):
        self.folder = folder
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.port = probe.getsockname()[1]
        self.httpd = None

    def start(self):
        handler = functools.partial(QuietHandler, directory=self.folder)
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


@contextlib.contextmanager
def page_session(folder):
    """Yields (driver, server) with the page at server.url open and ready."""
    server = Server(folder)
    server.start()
    try:
        with chromium() as driver:
            driver.set_window_size(1280, 860)
            open_page(driver, server.url)
            yield driver, server
    finally:
        server.stop()


def open_page(driver, url):
    """Opens the page and waits until it has compiled its score and shown the result."""
    driver.get(url)
    wait_for(driver, "return document.body.dataset.ready === '1' || "
                     "document.getElementById('status').textContent.startsWith('読み込めません')")
    if driver.execute_script("return document.body.dataset.ready") != "1":
        status = driver.execute_script("return document.getElementById('status').textContent")
        raise AssertionError(f"the page did not start: {status}")


def wait_for(driver, script, *args, timeout=30):
    """Waits until `script` (given `args`) returns a true value and returns that value."""
    return WebDriverWait(driver, timeout, poll_frequency=0.05).until(
        lambda d: d.execute_script(script, *args))


def drop_files(driver, files):
    """Drops [(name, bytes)] on the drop area as a file manager would: a drop event carrying a
    real DataTransfer with File objects. Returns once the page has handled them all."""
    call(driver, """
      const dt = new DataTransfer();
      for (const [name, data] of args[0]) {
        dt.items.add(new File([Uint8Array.from(atob(data), (c) => c.charCodeAt(0))], name));
      }
      const area = document.getElementById('drop-area');
      for (const type of ['dragover', 'drop']) {
        area.dispatchEvent(new DragEvent(type, {dataTransfer: dt, bubbles: true, cancelable: true}));
      }
      await window.quavrexPage.job.dropped;
    """, [[name, b64(data)] for name, data in files])


def fetch_bytes(driver, url):
    """The bytes behind a URL of the page (a blob: download link), fetched in the page."""
    return unb64(call(driver, """
      const bytes = new Uint8Array(await (await fetch(args[0])).arrayBuffer());
      let text = '';
      for (let i = 0; i < bytes.length; i += 0x8000) {
        text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
      }
      return btoa(text);
    """, url))


def console_errors(driver):
    return [e for e in driver.get_log("browser") if e["level"] == "SEVERE"]
