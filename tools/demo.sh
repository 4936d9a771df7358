#!/usr/bin/env bash
# The main job: the x86_64 plug-in in the project's own host. Shows its identity,
# runs a generated stereo signal and a generated MIDI file through it and prints
# what came back, then opens its editor while the demo audio and MIDI play: on
# the screen when there is a display, otherwise on a private Xvfb with
# screenshots. Inputs, outputs and screenshots are written under build/demo/.
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
echo "== the LV2 edition (build/.../Blinkwatcher.lv2) on the same WAV with lv2apply"
bundle=$PWD/$tree/Blinkwatcher.lv2
[ -e "$bundle/manifest.ttl" ] || { echo "demo: $bundle is missing; run 'make build' first" >&2; exit 1; }
lv2path=$(mktemp -d)
trap 'rm -rf "$lv2path"' EXIT
ln -s "$bundle" "$lv2path/Blinkwatcher.lv2"
LV2_PATH=$lv2path lv2apply -i "$out/input.wav" -o "$out/output-lv2.wav" https://quor.audio/lv2/blinkwatcher
# The samples only: libsndfile stamps its PEAK chunk with the time.
python3 - "$out/input.wav" "$out/output.wav" "$out/output-lv2.wav" <<'PY'
import struct, sys
def samples(path):
    data = open(path, "rb").read()
    at = 12
    while at + 8 <= len(data):
        tag, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
        if tag == b"data":
            return data[at + 8:at + 8 + size]
        at += 8 + size + (size & 1)
    sys.exit(path + ": no data chunk")
source, vst, lv2 = (samples(p) for p in sys.argv[1:])
if lv2 != source or lv2 != vst:
    sys.exit("the LV2 output differs from the input or from the VST output")
print("%s: %d bytes of samples, bit-exact with the input and with the VST edition's output" % (sys.argv[3], len(lv2)))
PY

echo
echo "== the state chunk"
"$host" chunk save "$plugin" "$out/state.bin"
od -A d -t x1 "$out/state.bin"

echo
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "== the editor on $DISPLAY for 8 seconds, the demo audio and MIDI playing through it"
  "$host" editor "$plugin" --wav "$out/input.wav" --midi "$out/input.mid" --seconds 8
else
  echo "== the editor on a private X server (no display here), with screenshots"
  # The generated programme is loud, with notes, in the second quarter of
  # every second: dark lamps at 0.75 s, lit ones at 1.375 s. Clicks on the
  # lamps open the options dialogs, which sit beside the editor.
  tools/with-xvfb.sh "$host" editor "$plugin" --seconds 2 --position 440,440 \
    --screenshot "$out/editor-dark.png@0.75,$out/editor-lit.png@1.375"
  tools/with-xvfb.sh "$host" editor "$plugin" --seconds 1 --position 440,440 --click "42,50@0.3" \
    --screenshot "$out/editor-audio-dialog.png@0.8"
  tools/with-xvfb.sh "$host" editor "$plugin" --seconds 1 --position 440,440 --click "60,50@0.3" \
    --screenshot "$out/editor-midi-dialog.png@0.8"
  for f in editor-dark editor-lit editor-audio-dialog editor-midi-dialog; do echo "  $out/$f.png"; done
fi
# Lit at twice the size, as on a screen of 192 dpi; on a server of its own, with or without a display.
echo "== the editor at twice the size (--scale 2), with a screenshot"
tools/with-xvfb.sh --private "$host" editor "$plugin" --seconds 2 --position 440,440 --scale 2 \
  --screenshot "$out/editor-lit-2x.png@1.375"
echo "  $out/editor-lit-2x.png"

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
