#!/usr/bin/env bash
# Prints the attribution service's speed: in-process look-ups and data-file load (Google
# Benchmark), then answers per second over HTTP on loopback with keep-alive (wrk, a few
# seconds, 127.0.0.1 only). Assumes build/ has been built.
set -euo pipefail
cd "$(dirname "$0")/.."
bench=build/bench/service_bench
service=build/src/service/numtrail-service
command -v wrk >/dev/null || { echo "wrk is missing: scripts/install-deps.sh installs it" >&2; exit 1; }

work=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

echo "== in-process (one core)"
"$bench" --benchmark_min_time=0.5

# Starts the service with the given arguments on a free port; sets port and pid.
start_service() {
    local start
    start=$(date +%s%N)
    "$service" --port 0 "$@" >"$work/out" 2>&1 &
    pid=$!
    port=
    for _ in $(seq 1 500); do
        port=$(sed -n 's/.*listening on .*:\([0-9]*\)$/\1/p' "$work/out")
        [ -n "$port" ] && break
        sleep 0.01
    done
    [ -n "$port" ] || { cat "$work/out" >&2; exit 1; }
    echo "start-up to listening: $(( ($(date +%s%N) - start) / 1000000 )) ms (polled every 10 ms)"
}

stop_service() {
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=
}

# A few seconds of keep-alive load on one number, then the answers per second.
load() {
    wrk -t2 -c8 -d5s --latency "http://127.0.0.1:$port/lookup?m=$1&output=json&callback=querycallback" \
        | tee "$work/wrk"
    echo "answers per second: $(awk '/Requests\/sec/ {print $2}' "$work/wrk")"
}

"$bench" --write-data "$work/prefixes.dat"
echo
echo "== service with the 500,000-entry data file"
start_service --data "$work/prefixes.dat"
echo "-- over HTTP on 127.0.0.1, keep-alive, wrk 2 threads / 8 connections / 5 s"
load 13912345678
stop_service

echo
echo "== service with built-in data only"
start_service
echo "-- over HTTP on 127.0.0.1, keep-alive, wrk 2 threads / 8 connections / 5 s"
load 13800138000
stop_service
