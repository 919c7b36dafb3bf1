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
upstream_pid=
cleanup() {
    for p in "$pid" "$upstream_pid"; do
        [ -n "$p" ] && kill "$p" 2>/dev/null && wait "$p" 2>/dev/null || true
    done
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

# Keep-alive load on numbers spread over the 300 prefixes of a segment; sets answers and rate.
load_spread() {
    wrk -t2 -c8 -d5s -s bench/spread.lua "http://127.0.0.1:$port/" -- "$1" >"$work/wrk"
    answers=$(awk '/requests in/ {print $1}' "$work/wrk")
    rate=$(awk '/Requests\/sec/ {print $2}' "$work/wrk")
    echo "answers: $answers in 5 s, $rate a second"
}

stats() { curl -s "http://127.0.0.1:$port/stats"; echo; }

echo
echo "== online answers through the cache, numbers over 300 prefixes of 166 (which the built-in"
echo "   data places nowhere); the online service is a second service on the 500,000-entry file"
start_service --data "$work/prefixes.dat"
upstream_pid=$pid
upstream="http://127.0.0.1:$port/query"
pid=
start_service --upstream "$upstream" --cache "$work/cache.sqlite" --upstream-interval 1
echo "-- first run, empty cache"
load_spread 166
stats
stop_service
start_service --upstream "$upstream" --cache "$work/cache.sqlite" --upstream-interval 1
echo "-- after a restart on the same cache"
load_spread 166
cached_rate=$rate
stats
stop_service
kill "$upstream_pid"; wait "$upstream_pid" 2>/dev/null || true; upstream_pid=

echo "-- the same load answered from local data: 300 prefixes of 138, built-in data"
start_service
load_spread 138
stop_service
awk -v c="$cached_rate" -v l="$rate" 'BEGIN {
    printf "cache hits: %.0f answers/s, local data: %.0f answers/s, ratio %.2f\n", c, l, c / l }'
