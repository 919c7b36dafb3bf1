#!/usr/bin/env bash
# Prints how fast numtrail-data builds, dumps and compares data files of 500,000 prefixes,
# each beside awk doing the same reading over the same rows in the same run, taking turns:
#   build  a 500,000-row CSV table (names written the long and the short way, carriers spelt
#          several ways) -> data file, against awk cutting the same table into fields;
#   dump   the 500,000-prefix file -> CSV, against awk copying that CSV;
#   diff   two such files (5% of prefixes changed), against awk joining their dumps by prefix.
# Best wall time of RUNS (default 3) for each, the CPU time of that run and the highest peak
# memory; the aims are build <= 2 s and <= 200 MiB, dump <= 1 s, diff <= 1 s. Needs a
# configured tree in build/ with benchmarks on.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-3}

cmake --build build --target numtrail-data run_measured >/dev/null
data=build/src/datatool/numtrail-data
measure=build/bench/run_measured
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A table as bought: every city of the city table, provinces and cities written with and
# without 省/市, some area codes given, carriers by name, by number and as virtual operators.
# The second table changes one row in twenty.
table() {
    awk -F'\t' -v seed="$1" -v change="$2" 'BEGIN { srand(seed) }
        /^#/ || $1 == "province" || NF < 4 { next }
        { province[n] = $1; city[n] = $2; code[n] = $3; n++ }
        END {
            split("中国移动,移动,中国联通,联通,中国电信,China Telecom,中国广电,虚拟运营商,1,2,3,", carrier, ",")
            print "号段,省份,城市,区号,邮编,运营商"
            rows = 0
            for (prefix = 1300000; rows < 500000; prefix++) {
                if (prefix % 10000 == 0 && prefix % 70000 == 0) prefix += 10000
                i = int(rand() * n)
                # Drawn in both tables, so that both go on with the same numbers.
                if (rand() < 0.05 && change) i = (i + 1) % n
                p = province[i]; c = city[i]
                if (rand() < 0.5) p = p "省"
                if (rand() < 0.5) c = c "市"
                a = rand() < 0.3 ? code[i] : ""
                print prefix "," p "," c "," a ",," carrier[1 + int(rand() * 12)]
                rows++
            }
        }' data/cities.tsv
}
table 1 0 >"$work/old.csv"
table 1 1 >"$work/new.csv"
"$data" build "$work/new.csv" -o "$work/new.dat" 2>/dev/null

# Runs both commands RUNS times, taking turns, and prints for each its best wall time, the CPU
# time of that run and the highest peak memory. Outputs are removed first: replacing a large
# file would charge freeing its pages to the run.
compare() {
    local out=$1 ref_out=$2
    shift 2
    local split
    for ((split = 1; split <= $#; split++)); do [ "${!split}" = "--" ] && break; done
    local tool=("${@:1:split-1}") reference=("${@:split+1}")
    : >"$work/tool.times"
    : >"$work/ref.times"
    for _ in $(seq "$runs"); do
        rm -f "$out" "$ref_out"
        "$measure" "$out" "${tool[@]}" 2>/dev/null >>"$work/tool.times"
        "$measure" "$ref_out" "${reference[@]}" >>"$work/ref.times"
    done
    best() { sort -n "$1" | awk 'NR == 1 { printf "%s %s ", $1, $2 + $3 } { if ($4 > m) m = $4 } END { print m }'; }
    echo "$(best "$work/tool.times") $(best "$work/ref.times")"
}

# report WHAT REFERENCE AIM "FIGURES OF compare"
report() {
    read -r tw tc trss rw rc _ <<<"$4"
    awk -v what="$1" -v ref="$2" -v aim="$3" -v tw="$tw" -v tc="$tc" -v rw="$rw" -v rc="$rc" \
        -v rss="$trss" 'BEGIN {
        printf "  numtrail-data %-38s %6.3f s  (cpu %.3f s)  peak %4.0f MiB  (aim %s)\n", what, tw, tc, rss / 1024, aim
        printf "  %-52s %6.3f s  (cpu %.3f s)\n", ref, rw, rc
        printf "  numtrail-data / awk: %.2f x the wall time, %.2f x the cpu time\n", tw / rw, tc / rc
    }'
}

echo "500,000 rows or prefixes, best of $runs (wall time; cpu time and peak memory of that run):"
report "build old.csv -o old.dat" "awk -F, '{print \$1, \$2, \$3, \$6}' old.csv" "<= 2 s, <= 200 MiB" \
    "$(compare /dev/null "$work/awk.out" "$data" build "$work/old.csv" -o "$work/old.dat" -- \
        awk -F, '{print $1, $2, $3, $6}' "$work/old.csv")"
"$data" dump "$work/old.dat" -o "$work/old.dump.csv"
"$data" dump "$work/new.dat" -o "$work/new.dump.csv"
report "dump old.dat > dump.csv" "awk '{print}' old.dump.csv > out" "<= 1 s" \
    "$(compare "$work/dump.csv" "$work/awk.out" "$data" dump "$work/old.dat" -- \
        awk '{print}' "$work/old.dump.csv")"
report "diff old.dat new.dat > diff.csv" "awk (join old.dump.csv new.dump.csv by prefix)" "<= 1 s" \
    "$(compare "$work/diff.csv" "$work/awk.out" "$data" diff "$work/old.dat" "$work/new.dat" -- \
        awk -F, 'NR == FNR { row[$1] = $0; next } row[$1] != $0' "$work/old.dump.csv" \
        "$work/new.dump.csv")"
rows=$(($(wc -l <"$work/diff.csv") - 1))
echo "  (the diff has $rows rows; every prefix of old.dat: $(($(wc -l <"$work/old.dump.csv") - 2)))"
