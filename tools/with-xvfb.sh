#!/usr/bin/env bash
# Runs a command with an X server: the caller's DISPLAY when it has one,
# otherwise a private Xvfb (24-bit, core fonts) on a free display number,
# stopped again when the command ends. Numbers start at 99: some tests need
# :0 to stay free, as on a machine without X.
#   --private  always a server of its own: for commands that map windows
#              while the tests that share the caller's server move its
#              pointer and read its pixels.
set -euo pipefail
private=
if [ "${1:-}" = "--private" ]; then private=1; shift; fi
if [ -z "$private" ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
tmp=$(mktemp -d)
xvfb=
trap '[ -z "$xvfb" ] || { kill $xvfb 2>/dev/null || true; wait $xvfb 2>/dev/null || true; }; rm -rf "$tmp"' EXIT
n=99
for attempt in $(seq 10); do
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  # Xvfb writes the number to fd 3 once it accepts connections. It ends at
  # once when another server took the number meanwhile: then the next one.
  : >"$tmp/display"
  Xvfb ":$n" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$tmp/display" >"$tmp/log" 2>&1 &
  xvfb=$!
  for _ in $(seq 300); do
    [ -s "$tmp/display" ] && break
    kill -0 $xvfb 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$tmp/display" ] && break
  kill $xvfb 2>/dev/null || true
  wait $xvfb 2>/dev/null || true
  xvfb=
  n=$((n + 1))
done
if [ -z "$xvfb" ]; then
  echo "Xvfb did not start:" >&2
  cat "$tmp/log" >&2
  exit 1
fi
export DISPLAY=":$n"
"$@"
