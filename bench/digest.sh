#!/usr/bin/env bash
# Runs the MD5 and Base64 benchmarks and prints their speed against OpenSSL, measured in the
# same run. Needs a configured and built tree in build/ (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bench=build/bench/digest_bench
# The repetitions of all benchmarks are shuffled together, so that a burst of load from
# elsewhere on the machine falls on ours and on the references alike.
cmake --build build --target digest_bench >/dev/null
csv=$("$bench" --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true \
               --benchmark_report_aggregates_only=true \
               --benchmark_format=csv 2>/dev/null)

# bytes per second of one benchmark's median
rate() {
  awk -F, -v name="\"$1_median\"" '$1 == name { print $6 }' <<<"$csv"
}

ratio() {
  local ours ref
  ours=$(rate "$1")
  ref=$(rate "$2")
  awk -v a="$ours" -v b="$ref" -v label="$3" -v aim="$4" 'BEGIN {
    note = aim == "" ? "(for comparison)" : "(aim >= " aim ")"
    printf "%-58s %7.1f MB/s vs %7.1f MB/s  ratio %.2f %s\n",
           label, a / 1e6, b / 1e6, a / b, note }'
}

ratio Md5FileNumtrail Md5MemoryOpenSsl "MD5 DigestFileToHexStr 64 MiB / OpenSSL MD5" 0.9
ratio Md5MemoryNumtrail Md5MemoryOpenSsl "MD5 MD5Update 64 MiB in memory / OpenSSL MD5" ""
ratio Base64AsciiNumtrail Base64OpenSsl "Base64 encode 32,000-byte ASCII text / EVP_EncodeBlock" 1.0
ratio Base64ChineseNumtrail Base64OpenSsl "Base64 encode 32,000-byte Chinese text / EVP_EncodeBlock" ""
