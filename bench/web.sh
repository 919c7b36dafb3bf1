#!/usr/bin/env bash
# Prints the team page's figures in headless chromium against build/src/service/numtrail-service
# started on a free port of 127.0.0.1, each beside a reference from the same run: its first load
# against /api/health's; a mixed list of LIST lines (default 100,000) pasted until its CSV is
# downloaded against numtrail-lookup writing the same table; ROWS numbers (default 1,000,000)
# pasted until the last is in the table against a script reading them from the API, and frame
# times while the table scrolls against the idle page's. BASE_URL=http://127.0.0.1:8360/ for a
# running service instead.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
if [ -z "${BASE_URL:-}" ]; then
  cmake --build "$build" --target numtrail-service numtrail-lookup >/dev/null
  server=(--service "$build/src/service/numtrail-service")
else
  server=(--base-url "$BASE_URL")
fi
exec /usr/bin/python3 tests/web/bench_page.py "${server[@]}" \
    --lookup "$build/src/bulk/numtrail-lookup" --rows "${ROWS:-1000000}" --list "${LIST:-100000}"
