#!/usr/bin/env bash
# run_fuzzer.sh BINARY SEED_DIR SECONDS: fuzzes for SECONDS over the seeds. New inputs go to
# a scratch folder, never into the checked-in corpus. A finding is saved beside the scratch
# folder and the script fails.
set -euo pipefail
binary=$1 seeds=$2 seconds=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/corpus" "$scratch/findings"
set +e
"$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$scratch/findings/" "$scratch/corpus" "$seeds" >"$scratch/log" 2>&1
status=$?
set -e
grep -E '^stat::number_of_executed_units|^Done [0-9]+ runs' "$scratch/log" || true
if [ $status -ne 0 ]; then
  tail -n 60 "$scratch/log"
  for f in "$scratch"/findings/*; do
    [ -e "$f" ] && { echo "finding: $(basename "$f")"; od -A d -t x1 "$f" | head -n 20; }
  done
  exit $status
fi
