#!/usr/bin/env bash
# Prints how fast a workbook of about 50 MB (an .xlsx as a spreadsheet program writes it, two
# million rows over three sheets, a number on each) is read as a number list, against unpacking
# the same parts with `unzip -p` (the cost of merely inflating them) measured in the same run,
# taking turns: wall and CPU time (best of RUNS, default 3) and peak memory of
#   - the lines of the file (`workbook_list --read`: the file read whole into memory, then its
#     lines through ReadListFile),
#   - the window's import (`workbook_list --import`: read by the window's file store, made into
#     entries and shown in a list box, as "导入号码" does),
#   - numtrail-lookup reading the file (rows written to /dev/null),
# and how many of the rows that hold a number are found. Needs a configured tree in build/ with
# benchmarks on.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-3}
rows=${ROWS:-2150000}

cmake --build build --target numtrail-lookup workbook_list run_measured >/dev/null
lookup=build/src/bulk/numtrail-lookup
tool=build/bench/workbook_list
measure=build/bench/run_measured
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

numbers=$("$tool" --write "$work/book.xlsx" --rows "$rows")
echo "a workbook of $(du -m "$work/book.xlsx" | cut -f1) MB: $rows rows, $numbers of them with a number;" \
     "$(unzip -l "$work/book.xlsx" | awk 'END { printf "%.0f", $1 / 1048576 }') MB unpacked"

: >"$work/unzip.times"
: >"$work/read.times"
: >"$work/import.times"
: >"$work/lookup.times"
for _ in $(seq "$runs"); do
    "$measure" /dev/null unzip -p "$work/book.xlsx" xl/sharedStrings.xml 'xl/worksheets/*.xml' \
        >>"$work/unzip.times"
    "$measure" "$work/read.out" "$tool" --read "$work/book.xlsx" >>"$work/read.times"
    QT_QPA_PLATFORM=offscreen "$measure" "$work/import.out" "$tool" --import "$work/book.xlsx" \
        >>"$work/import.times"
    XDG_DATA_HOME="$work" "$measure" /dev/null "$lookup" --quiet "$work/book.xlsx" \
        >>"$work/lookup.times"
done
read -r lines found <"$work/read.out"
read -r entries <"$work/import.out"

# best wall time, the CPU time of that run, the highest peak memory
best() { sort -n "$1" | awk 'NR == 1 { printf "%s %s ", $1, $2 + $3 } { if ($4 > m) m = $4 } END { print m }'; }
report() {
    read -r w c rss <<<"$(best "$2")"
    read -r uw uc _ <<<"$(best "$work/unzip.times")"
    awk -v what="$1" -v w="$w" -v c="$c" -v rss="$rss" -v uw="$uw" -v uc="$uc" -v aim="$3" 'BEGIN {
        printf "  %-40s %6.2f s (cpu %5.2f s)  %4.0f MiB  = %.2f x unzip -p by wall, %.2f by cpu%s\n",
               what, w, c, rss / 1024, w / uw, c / uc, aim
    }'
}
echo "best of $runs:"
report "unzip -p of the sheets and shared strings" "$work/unzip.times" ""
report "its lines (workbook_list --read)" "$work/read.times" ""
report "the window's import (--import)" "$work/import.times" "  (aim <= 5 s, <= 300 MiB)"
report "numtrail-lookup book.xlsx > /dev/null" "$work/lookup.times" ""
awk -v lines="$lines" -v found="$found" -v numbers="$numbers" 'BEGIN {
    printf "  lines read: %d; numbers found: %d of %d (%.2f %%)  (aim >= 99 %%)\n", lines, found, numbers, 100 * found / numbers
}'
echo "  entries of the window's import: $entries"
