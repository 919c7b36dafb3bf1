#!/usr/bin/env bash
# Prints the time to import number lists into the list box (aims: 100,000 lines under
# 0.3 s, 1,000,000 under 2 s), against filling the same list box with a million entries
# that are already strings, measured in the same run. Needs a configured tree in build/ with
# benchmarks on.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --build build --target import_bench >/dev/null
csv=$(QT_QPA_PLATFORM=offscreen build/bench/import_bench --benchmark_repetitions=5 \
          --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null)

# milliseconds of one benchmark's median
median() {
  awk -F, -v name="\"$1_median\"" '$1 == name { print $3 }' <<<"$csv"
}
reference=$(median FillListBox)
ratio() {
  awk -v t="$1" -v r="$reference" 'BEGIN { printf "%.2f", t / r }'
}

echo "import: read the file, decode and clean the lines, fill the shown list box (median of 5)"
printf "  %-66s %7.1f ms  (aim < 300 ms)\n" "100,000 lines, code page 936, a note or a blank line in fifty:" \
       "$(median ImportIntoListBox/classic_100k)"
for case in "classic_1m|1,000,000 lines of the same kind:" \
            "realistic_1m|1,000,000 lines as users bring them (UTF-8, BOM, +86...):"; do
  IFS='|' read -r name what <<<"$case"
  t=$(median "ImportIntoListBox/$name")
  printf "  %-66s %7.1f ms  (aim < 2000 ms) = %s x reference\n" "$what" "$t" "$(ratio "$t")"
done
printf "  %-66s %7.1f ms\n" "reference: the list box filled with 1,000,000 ready strings:" \
       "$reference"
echo "of which reading the lines, decoding and cleaning them"
printf "  %-66s %7.1f ms\n" "100,000 classic lines:" "$(median SplitOnly/classic_100k)" \
       "1,000,000 classic lines:" "$(median SplitOnly/classic_1m)" \
       "1,000,000 lines as users bring them:" "$(median SplitOnly/realistic_1m)"
clean=$(median CleanOnly/realistic_1m)
printf "  %-66s %7.1f ms  = %.1f million lines/s\n" \
       "the same without Qt strings (decode and clean only):" "$clean" \
       "$(awk -v t="$clean" 'BEGIN { print 1000 / t }')"
