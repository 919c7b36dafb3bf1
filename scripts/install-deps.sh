#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the program and the tests need, if missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-translations-l10n libicu-dev
  xvfb xauth fonts-wqy-microhei
  googletest libgtest-dev libgmock-dev libbenchmark-dev libssl-dev
  openssl
  libcpp-httplib-dev libmicrohttpd-dev libphonenumber-dev libsqlite3-dev wrk libcli11-dev
  libxlsxwriter-dev qt6-charts-dev libqt6opengl6-dev unzip
  libzip-dev libfreexl-dev python3-xlwt
  clang libclang-rt-14-dev clang-format
  help2man dpkg-dev
  chromium chromium-driver python3-selenium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
