#!/usr/bin/env python3
"""Figures of the team page in headless chromium, each beside a reference measured in the same
run and browser (bench/web.sh runs it):
  - the first load of the page (no cache) against loading /api/health, a document of a few
    bytes from the same server;
  - a mixed list of LIST lines (default 100,000) pasted until its CSV is downloaded, against
    numtrail-lookup writing the same table from the same list;
  - a list of ROWS numbers pasted until its last row is in the table, against reading the same
    rows from the API in this process; and frame times while that table is scrolled, against
    the frames of the idle page.

    bench_page.py (--service PROGRAM | --base-url URL) [--lookup PROGRAM] [--rows N] [--list N]
"""

import argparse
import random
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import subprocess  # noqa: E402

from browser_test import PASTE, SCROLL_FRAMES, frame_figures, mixed_list  # noqa: E402
from harness import (SKIP_EXIT, Browser, BrowserUnavailable, Server,  # noqa: E402
                     lookup_knows_every_number)

LOADS = 7


def load_ms(driver, url):
    driver.execute_cdp_cmd("Network.clearBrowserCache", {})
    driver.get("about:blank")
    driver.get(url)
    return driver.execute_script(
        "const n = performance.getEntriesByType('navigation')[0];"
        "return n.loadEventEnd || n.responseEnd")


def wait_done(driver, timeout=600):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if driver.execute_script(
                "return document.getElementById('stop-button').disabled && !document"
                ".getElementById('progress').textContent.startsWith('查询中')"):
            return
        time.sleep(0.05)
    raise SystemExit("the page did not finish its query")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--base-url")
    parser.add_argument("--service")
    parser.add_argument("--lookup")
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--list", type=int, default=100_000)
    args = parser.parse_args()
    server = Server(args.base_url, args.service)
    try:
        browser = Browser()
    except BrowserUnavailable as error:
        print(f"SKIPPED: chromium could not start: {error}")
        return SKIP_EXIT
    driver = browser.driver
    driver.set_script_timeout(600)
    driver.execute_cdp_cmd("Network.enable", {})
    try:
        driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
        page = [load_ms(driver, server.base_url) for _ in range(LOADS)]
        health = [load_ms(driver, server.base_url + "api/health") for _ in range(LOADS)]
        driver.get(server.base_url)
        size = driver.execute_script(
            "return performance.getEntriesByType('navigation').concat("
            "performance.getEntriesByType('resource')).reduce((s, e) => s + e.transferSize, 0)")
        print(f"first load of the page: median {statistics.median(page):.0f} ms "
              f"(best {min(page):.0f} ms), {size / 1024:.1f} KiB; /api/health alone: median "
              f"{statistics.median(health):.0f} ms; ratio {statistics.median(page) / max(statistics.median(health), 0.1):.1f}")

        if args.lookup:
            mixed = "\n".join(mixed_list(args.list, seed=21)).encode("utf-8")
            table = ["--every-number", "--format", "table"]
            if not lookup_knows_every_number(args.lookup):
                table = ["--format", "csv"]
                print(f"({args.lookup} gives no row per number found: its reference is its "
                      "one row per line, --format csv)")
            started = time.monotonic()
            subprocess.run([args.lookup, "--quiet", *table, "-"], input=mixed, check=True,
                           stdout=subprocess.DEVNULL)
            reference = time.monotonic() - started
            while "正在连接" in driver.find_element("id", "data-in-use").text:
                time.sleep(0.02)
            # As a person would: 下载 CSV as soon as the page offers it, while the table fills.
            started = time.monotonic()
            driver.execute_script(PASTE, mixed.decode("utf-8"))
            button = driver.find_element("id", "download-csv")
            while not button.is_enabled():
                time.sleep(0.01)
            button.click()
            downloaded = browser.wait_for_download(".csv", timeout=600)
            in_page = time.monotonic() - started
            wait_done(driver)
            table = time.monotonic() - started
            print(f"{args.list:,} mixed lines pasted to a downloaded CSV ({len(downloaded) / 1e6:.1f} "
                  f"MB): {in_page:.2f} s (every row in the table after {table:.2f} s); "
                  f"numtrail-lookup over the same list: {reference:.2f} s; "
                  f"ratio {in_page / max(reference, 1e-3):.1f}")

        rng = random.Random(1)
        numbers = "\n".join(f"1{rng.choice('3589')}{rng.randrange(10**9):09d}"
                            for _ in range(args.rows))
        started = time.monotonic()
        status, body = server.post(numbers.encode())
        direct = time.monotonic() - started
        assert status == 200, status
        while "正在连接" in driver.find_element("id", "data-in-use").text:
            time.sleep(0.02)
        started = time.monotonic()
        driver.execute_script(PASTE, numbers)
        wait_done(driver)
        in_page = time.monotonic() - started
        print(f"{args.rows:,} rows pasted to the last row in the table: {in_page:.2f} s; the "
              f"same rows read from the API by a script: {direct:.2f} s; ratio "
              f"{in_page / direct:.1f}")

        started = time.monotonic()
        status, csv = server.post(numbers.encode(), fmt="csv")
        direct = time.monotonic() - started
        started = time.monotonic()
        driver.find_element("id", "download-csv").click()
        downloaded = browser.wait_for_download(".csv", timeout=600)
        in_page = time.monotonic() - started
        assert downloaded == csv, "the page's CSV differs from the API's"
        print(f"their CSV ({len(csv) / 1e6:.1f} MB) downloaded by the page: {in_page:.2f} s; "
              f"fetched by a script: {direct:.2f} s; ratio {in_page / direct:.1f}")

        for what, step in [("scrolling 2.5 screens a frame", 2.5),
                           ("scrolling 0.3 screens a frame", 0.3), ("idle page (reference)", 0)]:
            times = driver.execute_async_script(SCROLL_FRAMES, 300, step)
            over = sum(1 for a, b in zip(times, times[1:]) if b - a > 50)
            print(f"{frame_figures(what, times)}; {over} over 50 ms")
    finally:
        browser.quit()
        server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
