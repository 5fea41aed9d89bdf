#!/usr/bin/env bash
# Builds the Debian package: the program with its menu entry, vkcrypt,
# rssvane, and librssvane.so with its headers, rssvane.pc and CMake package,
# all under /usr. Prints the package's path; install it with
#   sudo apt install ./build-package/velkorcrypto_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh --package
rm -f build-package/velkorcrypto_*.deb
(cd build-package && cpack -G DEB >/dev/null)
ls "$PWD"/build-package/velkorcrypto_*.deb
