#!/usr/bin/env bash
# How much of a realistic list of 2,000 numbers comes out whole: how many entries the import
# makes clean numbers of, and how many of them get a row (a province) from the service.
#   bench/real_list.sh                 the built-in service, started in process
#   bench/real_list.sh --data FILE     the same with a data file
#   bench/real_list.sh --url URL       a running service (the attribution endpoint)
# Aims: a row for 100 % of the clean numbers and for at least 98 % of all entries.
# Needs a configured tree in build/ with benchmarks on.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --build build --target real_list >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/bench/real_list --write "$work/list.txt"
QT_QPA_PLATFORM=offscreen build/bench/real_list "$work/list.txt" "$@"
