#!/usr/bin/env bash
# Prints the team page's figures in headless chromium, each beside a reference from the same
# run: its first load against /api/health's, a pasted list of ROWS numbers (default 1,000,000)
# until its last row is in the table and its CSV downloaded against a script reading the same
# from the API, and frame times while the table scrolls against the idle page's. Against the
# stand-in API by default; BASE_URL=http://127.0.0.1:8360/ for a running numtrail-service.
set -euo pipefail
cd "$(dirname "$0")/.."
exec /usr/bin/python3 tests/web/bench_page.py --rows "${ROWS:-1000000}" \
    ${BASE_URL:+--base-url "$BASE_URL"}
