#!/usr/bin/env bash
# Runs a command with an X server: the caller's DISPLAY when it has one,
# otherwise a private Xvfb (24-bit, core fonts), stopped again when the
# command ends.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
# Xvfb picks a free display number itself and writes it to fd 3 once it
# accepts connections: no race with other servers starting at the same time.
tmp=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$tmp/display" >"$tmp/log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wait $xvfb 2>/dev/null || true; rm -rf "$tmp"' EXIT
for _ in $(seq 300); do
  [ -s "$tmp/display" ] && break
  kill -0 $xvfb 2>/dev/null || { cat "$tmp/log" >&2; exit 1; }
  sleep 0.1
done
n=$(head -n1 "$tmp/display")
[ -n "$n" ] || { echo "Xvfb did not start" >&2; cat "$tmp/log" >&2; exit 1; }
export DISPLAY=":$n"
"$@"
