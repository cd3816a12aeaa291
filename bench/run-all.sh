#!/usr/bin/env bash
# Runs every benchmark on the built program folder; headless when no display is present.
set -euo pipefail
build=${1:-build}
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
fi
"$build/bench/zentavo-bench" "${@:2}"
