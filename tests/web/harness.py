"""What the browser tests and the page benchmark share: Debian's chromium driven headless by
chromium-driver, the server under test (a stand-in started here, or any running service given
by its base URL), and the rows the page must show, from the API itself or from numtrail-lookup.
"""

import json
import os
import shutil
import subprocess
import tempfile
import time
import urllib.request
from pathlib import Path

from stand_in_api import StandIn, start as start_stand_in

CHROMIUM = os.environ.get("NUMTRAIL_CHROMIUM", "/usr/bin/chromium")
CHROMEDRIVER = os.environ.get("NUMTRAIL_CHROMEDRIVER", "/usr/bin/chromedriver")
# Without the networking flags chromium reaches out to the internet at start; tests talk to
# 127.0.0.1 only.
CHROMIUM_FLAGS = ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync", "--disable-dev-shm-usage",
                  "--window-size=1280,900", "--lang=zh-CN"]
SKIP_EXIT = 77  # ctest's SKIP_RETURN_CODE for these tests


class BrowserUnavailable(Exception):
    pass


class Browser:
    """A fresh chromium with an empty profile and a download folder of its own."""

    def __init__(self):
        try:
            from selenium import webdriver
            from selenium.webdriver.chrome.service import Service
        except ImportError as error:
            raise BrowserUnavailable(f"python3-selenium is not installed ({error})")
        if not (os.access(CHROMIUM, os.X_OK) and os.access(CHROMEDRIVER, os.X_OK)):
            raise BrowserUnavailable(f"{CHROMIUM} or {CHROMEDRIVER} is missing")
        self.profile = tempfile.mkdtemp(prefix="numtrail-chromium-")
        self.downloads = Path(tempfile.mkdtemp(prefix="numtrail-downloads-"))
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in CHROMIUM_FLAGS + [f"--user-data-dir={self.profile}"]:
            options.add_argument(flag)
        options.add_experimental_option("prefs", {
            "download.default_directory": str(self.downloads),
            "download.prompt_for_download": False,
        })
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        try:
            self.driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        except Exception as error:  # the driver says why in many ways; all mean "no browser"
            shutil.rmtree(self.profile, ignore_errors=True)
            raise BrowserUnavailable(f"chromium did not start: {error}".splitlines()[0])
        self.driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                                    {"behavior": "allow", "downloadPath": str(self.downloads)})

    def quit(self):
        try:
            self.driver.quit()
        finally:
            shutil.rmtree(self.profile, ignore_errors=True)
            shutil.rmtree(self.downloads, ignore_errors=True)

    def wait_for_download(self, suffix, timeout=60):
        """The bytes of the first finished download whose name ends in `suffix`."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            done = [p for p in self.downloads.iterdir()
                    if p.name.endswith(suffix) and not p.name.endswith(".crdownload")]
            if done:
                data = done[0].read_bytes()
                done[0].unlink()
                return data
            time.sleep(0.05)
        raise AssertionError(f"no {suffix} download within {timeout} s")

    def console_errors(self):
        return [entry["message"] for entry in self.driver.get_log("browser")
                if entry["level"] == "SEVERE"]


class Server:
    """The server under test: numtrail-service started here on a free port of 127.0.0.1 with
    the given options (`service` is its program); a running service given by its base URL; or,
    given neither, a stand-in of this process with the given settings, for what the service
    cannot be made to do on cue (a stream held open, or cut short after some rows)."""

    def __init__(self, base_url=None, service=None, service_options=(), **stand_in_settings):
        self.stand_in = None
        self._server = None
        self._process = None
        if base_url:
            self.base_url = base_url.rstrip("/") + "/"
        elif service:
            self._process = subprocess.Popen(
                [service, "--port", "0", *service_options], stdout=subprocess.PIPE,
                stderr=subprocess.DEVNULL, text=True)
            line = self._process.stdout.readline()
            if not line.startswith("numtrail-service listening on "):
                self._process.kill()
                raise RuntimeError(f"{service} did not start: {line!r}")
            self.base_url = "http://" + line.split()[-1] + "/"
        else:
            self.stand_in = StandIn(**stand_in_settings)
            self._server = start_stand_in(self.stand_in)
            self.base_url = f"http://127.0.0.1:{self._server.server_port}/"

    def stop(self):
        if self._process:
            self._process.terminate()
            self._process.wait(timeout=30)
        if self._server:
            self.stand_in.gate.set()
            self._server.shutdown()
            self._server.server_close()

    def post(self, body, content_type="text/plain; charset=utf-8", fmt=None):
        """The API's answer to a list sent as a script would send it: (status, bytes)."""
        url = self.base_url + "api/attribute" + (f"?format={fmt}" if fmt else "")
        request = urllib.request.Request(url, data=body, method="POST",
                                         headers={"Content-Type": content_type})
        try:
            with urllib.request.urlopen(request, timeout=120) as response:
                return response.status, response.read()
        except urllib.error.HTTPError as error:
            return error.code, error.read()

    def health(self):
        with urllib.request.urlopen(self.base_url + "api/health", timeout=10) as response:
            return json.loads(response.read())


def multipart(name, data, boundary="numtrailtestboundary"):
    """A multipart/form-data body with one file part, as the page's file upload sends it."""
    body = (f"--{boundary}\r\nContent-Disposition: form-data; name=\"file\"; "
            f"filename=\"{name}\"\r\nContent-Type: application/octet-stream\r\n\r\n"
            ).encode("utf-8") + data + f"\r\n--{boundary}--\r\n".encode("ascii")
    return body, f"multipart/form-data; boundary={boundary}"


def lookup_knows_every_number(program):
    """Whether this numtrail-lookup gives a row per number found (--every-number) and the
    window's table (--format table); an older one refuses the options as a usage error."""
    if not program:
        return False
    result = subprocess.run([program, "--quiet", "--every-number", "--format", "table", "-"],
                            input=b"13800138000\n", capture_output=True, timeout=60)
    return result.returncode == 0


class Expected:
    """The rows and CSV bytes a list must give. From numtrail-lookup when its program is named
    and gives a row per number found (the service must agree with it), otherwise from the
    server's API asked directly (the page must show what the API answers, no row lost, moved
    or changed)."""

    def __init__(self, server, lookup_program=None):
        self.server = server
        self.lookup = lookup_program if lookup_knows_every_number(lookup_program) else None

    def _lookup(self, data, fmt):
        result = subprocess.run([self.lookup, "--quiet", "--every-number", "--format", fmt, "-"],
                                input=data, capture_output=True, check=True, timeout=300)
        return result.stdout

    def rows(self, data, file_name=None):
        if self.lookup:
            text = self._lookup(data, "jsonl")
        else:
            body, content_type = multipart(file_name, data) if file_name else (data, None)
            status, text = self.server.post(body, content_type or "text/plain; charset=utf-8")
            assert status == 200, f"the API answered {status}: {text[:300]!r}"
        return [json.loads(line) for line in text.decode("utf-8").splitlines() if line.strip()]

    def csv(self, data, file_name):
        if self.lookup:
            return self._lookup(data, "table")
        status, body = self.server.post(*multipart(file_name, data), fmt="csv")
        assert status == 200, f"the API answered {status}: {body[:300]!r}"
        return body
