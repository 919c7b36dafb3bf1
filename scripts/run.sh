#!/usr/bin/env bash
# Installs what is missing, builds, and starts numtrail (under Xvfb when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/src/app/numtrail "$@"
else
  exec xvfb-run -a -s "-screen 0 1280x800x24" build/src/app/numtrail "$@"
fi
