#!/usr/bin/env bash
# Runs a command with an X server: the caller's DISPLAY when it has one,
# otherwise a private Xvfb (24-bit, core fonts) on a free display number,
# stopped again when the command ends.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
n=99
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >/tmp/bw-xvfb-$n.log 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wait $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && break
  kill -0 $xvfb 2>/dev/null || { cat /tmp/bw-xvfb-$n.log >&2; exit 1; }
  sleep 0.1
done
export DISPLAY=":$n"
"$@"
