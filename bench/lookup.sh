#!/usr/bin/env bash
# Prints how fast numtrail-lookup attributes a realistic list of a million lines, file to file
# in CSV with the built-in data, against awk '{print $0 ",x"}' (the cost of merely reading and
# writing the lines) over the same file, measured in the same run: lines per second of each
# (best of RUNS, default 5, taken in turns), their ratio, and numtrail-lookup's peak resident
# memory; then the same list ten times over, to show that memory does not grow with the
# input. Needs a configured tree in build/ with benchmarks on.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-5}

cmake --build build --target numtrail-lookup real_list run_measured >/dev/null
lookup=build/src/bulk/numtrail-lookup
measure=build/bench/run_measured
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build/bench/real_list --write "$work/list.txt" --count 1000000
lines=$(wc -l <"$work/list.txt")
for _ in $(seq 10); do cat "$work/list.txt"; done >"$work/list10.txt"

# Best wall time and its CPU time of each command over the runs, and the highest peak memory.
best() { sort -n | head -1; }
: >"$work/lookup.times"
: >"$work/awk.times"
# Outputs are removed first: replacing a large file would charge freeing its pages to the run.
for _ in $(seq "$runs"); do
    rm -f "$work/out.csv" "$work/awk.out"
    XDG_DATA_HOME="$work" "$measure" "$work/out.csv" "$lookup" --quiet "$work/list.txt" \
        >>"$work/lookup.times"
    "$measure" "$work/awk.out" awk '{print $0 ",x"}' "$work/list.txt" >>"$work/awk.times"
done
read -r lw lu ls _ < <(best <"$work/lookup.times")
read -r aw au as _ < <(best <"$work/awk.times")
rss=$(awk '$4 > m { m = $4 } END { print m }' "$work/lookup.times")
rows=$(($(wc -l <"$work/out.csv") - 1))
[ "$rows" -eq "$lines" ] || { echo "numtrail-lookup wrote $rows rows for $lines lines" >&2; exit 1; }

rate() { awk -v n="$1" -v t="$2" 'BEGIN { printf "%.2f", n / t / 1e6 }'; }
echo "a realistic list of $lines lines ($(du -h "$work/list.txt" | cut -f1)), CSV out, built-in data, best of $runs"
printf "  %-34s %6.3f s  %5s million lines/s  (cpu %.3f s)  (aim >= 5)\n" \
    "numtrail-lookup list > out.csv:" "$lw" "$(rate "$lines" "$lw")" "$(awk -v u="$lu" -v s="$ls" 'BEGIN { print u + s }')"
printf "  %-34s %6.3f s  %5s million lines/s  (cpu %.3f s)\n" \
    "awk '{print \$0 \",x\"}' list > out:" "$aw" "$(rate "$lines" "$aw")" "$(awk -v u="$au" -v s="$as" 'BEGIN { print u + s }')"
awk -v l="$lw" -v a="$aw" -v lc="$(awk -v u="$lu" -v s="$ls" 'BEGIN { print u + s }')" \
    -v ac="$(awk -v u="$au" -v s="$as" 'BEGIN { print u + s }')" \
    'BEGIN { printf "  ratio numtrail-lookup / awk:        %.2f x awk'"'"'s speed by wall time, %.2f by cpu time  (aim >= 1)\n", a / l, ac / lc }'
echo "  peak resident memory of numtrail-lookup: $((rss / 1024)) MiB  (aim <= 100)"

read -r bw _ _ brss < <("$measure" "$work/out10.csv" "$lookup" --quiet "$work/list10.txt")
echo "the same list ten times over ($((lines * 10)) lines): $(rate $((lines * 10)) "$bw") million lines/s, peak resident memory $((brss / 1024)) MiB"
