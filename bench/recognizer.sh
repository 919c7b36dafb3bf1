#!/usr/bin/env bash
# Prints the number recognizer against the entry cleaning it follows (CleanEntry), measured in
# the same run: processor time per line over plain numbers, the realistic list and generated
# lists with text around the numbers (contacts exports as CSV and vCard, chat copies,
# spreadsheet rows, running text), for the first number of a line and for every number; then
# the share of the generated lists' numbers found against their known truth (aim: >= 99 % of
# the mobile numbers) and the numbers made up where there were none (aim: 0), also by the
# identity cards, bank cards, order numbers, dates, amounts and spreadsheet floats of their
# lines. LINES (default 1,000,000) sets the lines of the speed lists, a fifth of them for each
# generated list; RUNS (default 11) the passes of which the best counts. Needs a configured
# tree in build/ with benchmarks on.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --build build --target recognizer_bench >/dev/null
build/bench/recognizer_bench --lines "${LINES:-1000000}" --runs "${RUNS:-11}"
