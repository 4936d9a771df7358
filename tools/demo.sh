#!/usr/bin/env bash
# The main job: the x86_64 plug-in in the project's own host. Shows its identity,
# then runs a generated stereo signal and a generated MIDI file through it and
# prints what came back. Inputs and outputs are written under build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=${BW_DEMO_TREE:-build/x86_64}
tree32=${BW_DEMO_TREE_I386:-build/i386}
host=$tree/tools/vsthost/vsthost
plugin=$tree/Blinkwatcher.so
out=${BW_DEMO_OUT:-build/demo}
for f in "$host" "$plugin"; do
  [ -e "$f" ] || { echo "demo: $f is missing; run 'make build' first" >&2; exit 1; }
done
mkdir -p "$out"

echo "== vsthost info $plugin"
"$host" info "$plugin"

echo
echo "== generated inputs"
"$host" gen-wav "$out/input.wav"
"$host" gen-midi "$out/input.mid"

echo
echo "== vsthost process (512-frame blocks)"
"$host" process "$plugin" --in "$out/input.wav" --out "$out/output.wav" \
  --midi "$out/input.mid" --midi-out "$out/midi-back.txt" --block 512

echo
echo "== the MIDI the plug-in sent back ($out/midi-back.txt; the system exclusive message is not passed on)"
cat "$out/midi-back.txt"

echo
echo "== the state chunk"
"$host" chunk save "$plugin" "$out/state.bin"
od -A d -t x1 "$out/state.bin"

host32=$tree32/tools/vsthost/vsthost
plugin32=$tree32/Blinkwatcher.so
if [ -x "$host32" ] && [ -e "$plugin32" ] && command -v qemu-i386 >/dev/null; then
  echo
  echo "== the i386 plug-in in the i386 host, under qemu-i386"
  if diff <(qemu-i386 "$host32" info "$plugin32" 2>/dev/null | tail -n +2) \
          <("$host" info "$plugin" 2>/dev/null | tail -n +2); then
    echo "same identity as the x86_64 build"
  else
    echo "the identities differ (see above)"
    exit 1
  fi
fi
