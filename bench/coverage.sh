#!/usr/bin/env bash
# Prints what the built-in data answers for every segment 130 to 199 (placed, 未知 with a
# card type, nothing) and how many of the city table's area codes a landline is answered
# for, so that a change of data shows its effect; fails when a placed city lacks its postcode
# or area code or is named otherwise than the city table names it, or when an area code of
# the table answers nothing. Assumes build/ has been built.
set -euo pipefail
cd "$(dirname "$0")/.."
exec build/bench/coverage_report
