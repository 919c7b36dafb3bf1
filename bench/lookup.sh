#!/usr/bin/env bash
# Prints how fast numtrail-lookup attributes a realistic list of a million lines, file to file
# in CSV with the built-in data, against awk '{print $0 ",x"}' (the cost of merely reading and
# writing the lines) over the same file, measured in the same run, taking turns: lines per
# second of each (best of RUNS, default 5), their ratio by wall and by CPU time, and
# numtrail-lookup's peak resident memory; then the same for the list ten times over, to show
# that memory does not grow with the input. Needs a configured tree in build/ with benchmarks
# on.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-5}

cmake --build build --target numtrail-lookup real_list run_measured >/dev/null
lookup=build/src/bulk/numtrail-lookup
measure=build/bench/run_measured
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build/bench/real_list --write "$work/list.txt" --count 1000000
for _ in $(seq 10); do cat "$work/list.txt"; done >"$work/list10.txt"

# Runs both commands RUNS times over one list, taking turns, and prints the line count, then
# for each command its best wall time, the CPU time of that run, and the highest peak memory.
# Outputs are removed first: replacing a large file would charge freeing its pages to the run.
compare() {
    local list=$1
    : >"$work/lookup.times"
    : >"$work/awk.times"
    for _ in $(seq "$runs"); do
        rm -f "$work/out.csv" "$work/awk.out"
        # No data file of the user's: the built-in data answers.
        XDG_DATA_HOME="$work" "$measure" "$work/out.csv" "$lookup" --quiet "$list" \
            >>"$work/lookup.times"
        "$measure" "$work/awk.out" awk '{print $0 ",x"}' "$list" >>"$work/awk.times"
    done
    local lines rows
    lines=$(wc -l <"$list")
    rows=$(($(wc -l <"$work/out.csv") - 1))
    [ "$rows" -eq "$lines" ] || { echo "numtrail-lookup wrote $rows rows for $lines lines" >&2; exit 1; }
    best() { sort -n "$1" | awk 'NR == 1 { printf "%s %s ", $1, $2 + $3 } { if ($4 > m) m = $4 } END { print m }'; }
    echo "$lines $(best "$work/lookup.times") $(best "$work/awk.times")"
}

report() {
    read -r lines lw lc lrss aw ac _ <<<"$1"
    awk -v n="$lines" -v lw="$lw" -v lc="$lc" -v aw="$aw" -v ac="$ac" -v rss="$lrss" -v runs="$runs" 'BEGIN {
        printf "  numtrail-lookup list > out.csv:      %6.3f s  %5.2f million lines/s  (cpu %.3f s)  (aim >= 5)\n", lw, n / lw / 1e6, lc
        printf "  awk '"'"'{print $0 \",x\"}'"'"' list > out:    %6.3f s  %5.2f million lines/s  (cpu %.3f s)\n", aw, n / aw / 1e6, ac
        printf "  numtrail-lookup / awk:               %.2f x awk'"'"'s speed by wall time, %.2f by cpu time  (aim >= 1)\n", aw / lw, ac / lc
        printf "  peak resident memory of numtrail-lookup: %.0f MiB  (aim <= 100)\n", rss / 1024
    }'
}

echo "a realistic list of a million lines ($(du -h "$work/list.txt" | cut -f1)), CSV out, built-in data, best of $runs:"
report "$(compare "$work/list.txt")"
echo "the same list ten times over ($(du -h "$work/list10.txt" | cut -f1)):"
report "$(compare "$work/list10.txt")"
