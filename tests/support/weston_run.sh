#!/usr/bin/env bash
# Runs a command on a Wayland display of its own: Weston's headless backend in a fresh runtime
# folder. The command's exit code is the script's.
set -uo pipefail
runtime=$(mktemp -d)
chmod 700 "$runtime"
socket="zentavo-test-$$"
XDG_RUNTIME_DIR="$runtime" weston --backend=headless-backend.so --socket="$socket" --width=1280 --height=800 \
  --idle-time=0 >"$runtime/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
  [[ -S "$runtime/$socket" ]] && break
  sleep 0.05
done
if [[ ! -S "$runtime/$socket" ]]; then
  echo "weston did not start:" >&2
  cat "$runtime/weston.log" >&2
  kill "$weston_pid" 2>/dev/null
  rm -rf "$runtime"
  exit 1
fi
XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland "$@"
status=$?
kill "$weston_pid" 2>/dev/null
wait "$weston_pid" 2>/dev/null
rm -rf "$runtime"
exit $status
