#!/usr/bin/env bash
# Sets up the machine, builds everything and starts the main program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
if [ -x build/app/VelkorCrypto ]; then
  exec build/app/VelkorCrypto "$@"
fi
exec build/tools/rssvane/rssvane "${@:---help}"
