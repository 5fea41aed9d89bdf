#!/usr/bin/env bash
# Sets up the machine, builds everything and starts the main program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
if [ -x build/app/VelkorCrypto ]; then
  # A windowed program needs a display; say how to get one instead of
  # letting Qt abort.
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<'ADVICE'
run: VelkorCrypto is built (build/app/VelkorCrypto), but there is no display to show it on
(DISPLAY is not set). Run it on a desktop session, or under a virtual X server:
  xvfb-run -a scripts/run.sh
or, with the server started by hand:
  Xvfb :99 -screen 0 1280x800x24 &  DISPLAY=:99 scripts/run.sh
ADVICE
    exit 2
  fi
  exec build/app/VelkorCrypto "$@"
fi
exec build/tools/rssvane/rssvane "${@:---help}"
