#!/usr/bin/env bash
# Speed of cRijndael against OpenSSL's AES-ECB without AES-NI, measured in the same run.
# Prints ours/reference throughput ratios (above 1 means faster than the reference) for
#   - 16 KiB buffers with 128-, 192- and 256-bit keys, encryption and decryption,
#   - FileEncrypt of a 64 MiB file (numtrail-crypt aes-encrypt-file) against
#     `openssl enc -aes-128-ecb -nopad`.
# Builds nothing: expects an existing build directory (default build/, or $1).
# Every figure is the best of several runs, so other load on the machine counts less.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
bench="$build/bench/rijndael_bench"
crypt="$build/src/crypto/numtrail-crypt"
runs="${RUNS:-7}"
for program in "$bench" "$crypt"; do
  [ -x "$program" ] || { echo "missing $program: build first" >&2; exit 2; }
done
command -v openssl >/dev/null || { echo "missing the openssl program" >&2; exit 2; }

# OpenSSL's AES-NI (and carry-less multiply) code paths are switched off before the
# processes start; the reference then runs its best software implementation.
export OPENSSL_ia32cap="~0x200000200000000"

echo "== 16 KiB buffers (best of $runs, CPU time per buffer) =="
"$bench" --benchmark_repetitions="$runs" --benchmark_enable_random_interleaving=true \
  --benchmark_min_time=0.2 --benchmark_format=csv 2>/dev/null |
  awk -F, '
    /^"BM_/ && !/_mean|_median|_stddev|_cv/ {
      name = $1; gsub(/"/, "", name)
      if (!(name in best) || $4 + 0 < best[name]) best[name] = $4 + 0
    }
    END {
      printf "%-10s %5s %12s %12s %7s\n", "operation", "key", "ours MB/s", "ref MB/s", "ratio"
      split("Encrypt Decrypt", ops, " ")
      for (o = 1; o <= 2; o++) for (bits = 128; bits <= 256; bits += 64) {
        ours = best["BM_RijndaelArray" ops[o] "/" bits]
        ref = best["BM_OpenSslEcb" ops[o] "/" bits]
        printf "%-10s %5d %12.1f %12.1f %7.2f\n", ops[o], bits, 16384e3 / ours, 16384e3 / ref, ref / ours
      }
    }'

echo
echo "== FileEncrypt of a 64 MiB file (best of $runs, wall time) =="
work="$(mktemp -d "${TMPDIR:-/tmp}/rijndael-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
head -c $((64 * 1024 * 1024)) /dev/urandom >"$work/plain"
# numtrail-crypt's key for this password is its code page bytes, zero-padded to 16.
password="bench-password"
key="$(printf '%s' "$password" | od -An -tx1 | tr -d ' \n')"
key="$(printf '%-32s' "$key" | tr ' ' 0)"

now() { date +%s%N; }
best_ours=""
best_ref=""
for ((i = 0; i < runs; i++)); do
  start=$(now)
  "$crypt" aes-encrypt-file --password "$password" "$work/plain" "$work/ours"
  t=$(($(now) - start))
  [ -z "$best_ours" ] || [ "$t" -lt "$best_ours" ] && best_ours=$t
  start=$(now)
  openssl enc -aes-128-ecb -nopad -K "$key" -in "$work/plain" -out "$work/ref"
  t=$(($(now) - start))
  [ -z "$best_ref" ] || [ "$t" -lt "$best_ref" ] && best_ref=$t
done
# Same bytes apart from our extra length block.
if ! cmp -s <(head -c $((64 * 1024 * 1024)) "$work/ours") "$work/ref"; then
  echo "ciphertexts differ" >&2
  exit 1
fi
awk -v ours="$best_ours" -v ref="$best_ref" 'BEGIN {
  mib = 64 * 1048576 / 1e6
  printf "ours %.1f MB/s (%.3f s), openssl enc %.1f MB/s (%.3f s), ratio %.2f\n",
         mib / (ours / 1e9), ours / 1e9, mib / (ref / 1e9), ref / 1e9, ref / ours
}'
