#!/usr/bin/env bash
# Configures and builds one flavour of the tree.
#   scripts/build.sh                 build/        the normal build
#   scripts/build.sh --sanitize      build-asan/   libraries and tests with ASan and UBSan
#   scripts/build.sh --fuzz          build-fuzz/   the fuzz targets (clang, libFuzzer)
#   scripts/build.sh --package       build-package/  what the Debian package holds, for /usr
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
args=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
case "${1:-}" in
  --sanitize)
    dir=build-asan
    args+=(-DVK_SANITIZE=ON -DVK_BUILD_APP=OFF -DVK_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug) ;;
  --fuzz)
    dir=build-fuzz
    args+=(-DVK_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  --package)
    dir=build-package
    args+=(-DCMAKE_INSTALL_PREFIX=/usr -DVK_BUILD_TESTS=OFF -DVK_BUILD_BENCH=OFF) ;;
  "") ;;
  *) echo "usage: scripts/build.sh [--sanitize|--fuzz|--package]" >&2; exit 2 ;;
esac
if [ "${CI:-}" = true ]; then args+=(-DVK_WERROR=ON); fi
# Rebuilds of several trees on one machine share their objects when ccache is there.
if command -v ccache >/dev/null 2>&1; then args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi

cmake -S . -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
