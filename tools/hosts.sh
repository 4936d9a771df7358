#!/usr/bin/env bash
# Real Linux hosts load the plug-in: Debian's Ardour 7 and Qtractor (installed
# here when missing). Their own plug-in scanners must accept the build(s) they
# can load, and Ardour's headless Lua session host (Dummy audio backend) must
# insert the plug-in on a stereo track, run audio through it, save the
# session, reload it and keep the chunk. The LV2 edition: jalv on JACK's dummy
# driver runs it between JACK's own test clients, and Ardour inserts it by
# URI, saves, reloads and keeps its control values. One line per host; the
# exit code is non-zero when any host fails.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
missing=
for p in ardour qtractor jalv jackd2; do dpkg-query -W -f='${Status}\n' $p 2>/dev/null | grep -q '^install ok installed$' || missing="$missing $p"; done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  $sudo apt-get update -q >/dev/null && \
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing >/dev/null || {
      echo "hosts: cannot install$missing"; exit 1; }
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
plugin64=$root/build/x86_64/Blinkwatcher.so
bundle64=$root/build/x86_64/Blinkwatcher.lv2
lv2uri=https://quor.audio/lv2/blinkwatcher
plugin32=$root/build/i386/Blinkwatcher.so
[ -e "$plugin64" ] || { echo "hosts: $plugin64 is missing (make build)"; exit 1; }
[ -e "$bundle64/manifest.ttl" ] || { echo "hosts: $bundle64 is missing (make build)"; exit 1; }
# LV2 hosts find bundles by folder too.
mkdir -p "$work/lv2" && cp -r "$bundle64" "$work/lv2/"
# Hosts find LXVST plug-ins by folder; the file keeps its name.
mkdir -p "$work/lxvst" && cp "$plugin64" "$work/lxvst/Blinkwatcher.so"
# Ardour's scanner stamps its cache with the plug-in's own time, and its
# headless host takes a cache only when it is strictly newer than the
# plug-in: a copy made within the same second as the scan is never listed.
touch -d "@$(( $(date +%s) - 60 ))" "$work/lxvst/Blinkwatcher.so"
i386note="i386: not tried (these are x86_64 hosts, which cannot load a 32-bit plug-in)"
[ -e "$plugin32" ] || i386note="i386: not built"

# Ardour's scanner writes what it found into its cache and prints it.
scan=$(HOME=$work LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 120 /usr/lib/ardour7/ardour-vst-scanner -f -v \
  "$work/lxvst/Blinkwatcher.so" 2>&1)
info=$(grep -o '<VST2Info [^>]*>' <<<"$scan")
if grep -q 'id="1114339186" name="Blinkwatcher"' <<<"$info" && grep -q 'n_inputs="2" n_outputs="2"' <<<"$info"; then
  echo "Ardour 7 scanner (ardour-vst-scanner): pass: x86_64 accepted, $(sed -E 's/.*(id="[^"]*" name="[^"]*").*(n_inputs="[^"]*" n_outputs="[^"]*" n_midi_inputs="[^"]*" n_midi_outputs="[^"]*").*/\1 \2/' <<<"$info"); $i386note"
else
  echo "Ardour 7 scanner (ardour-vst-scanner): FAIL: x86_64 not accepted"; sed 's/^/    | /' <<<"$scan"; failed=1
fi

# Qtractor's scanner reads "TYPE:file" lines and answers one line per plug-in.
scan=$(echo "VST2:$work/lxvst/Blinkwatcher.so" | HOME=$work timeout 120 \
  /usr/lib/*-linux-gnu/qtractor/qtractor_plugin_scan 2>&1)
line=$(grep '^VST|' <<<"$scan")
if grep -q '^VST|Blinkwatcher|2:2|1:1|' <<<"$line"; then
  echo "Qtractor scanner (qtractor_plugin_scan): pass: x86_64 accepted: $line; $i386note"
else
  echo "Qtractor scanner (qtractor_plugin_scan): FAIL: x86_64 not accepted"; sed 's/^/    | /' <<<"$scan"; failed=1
fi

# jalv on a JACK server of its own with the dummy driver: JACK's metronome
# into the audio inputs for two seconds, JACK's MIDI sequencer into the MIDI
# input and JACK's MIDI dumper on the MIDI output. jalv prints the activity
# outputs as they change and on each "monitors" command.
jackname=bwhosts$$
# A long client timeout: a busy machine must not get a client thrown out.
JACK_NO_AUDIO_RESERVATION=1 jackd -n "$jackname" -t 10000 -d dummy -r 48000 -p 512 >"$work/jackd.log" 2>&1 &
jackpid=$!
export JACK_DEFAULT_SERVER=$jackname
if timeout 10 jack_wait -w -s "$jackname" >/dev/null 2>&1; then
  # Clicks of 240 ms every 250 ms: jalv's console reads the outputs only now
  # and then, and short clicks would slip between its reads.
  jack_metro -n bwmetro -b 240 -D 240 >/dev/null 2>&1 &
  metropid=$!
  jack_midiseq bwseq 24000 0 60 8000 12000 63 8000 >/dev/null 2>&1 &
  seqpid=$!
  (for i in $(seq 20); do sleep 0.25; echo monitors; done) | \
    LV2_PATH=$work/lv2 timeout 15 jalv -x -n bwjalv -p -c threshold=-40 "$lv2uri" >"$work/jalv.log" 2>&1 &
  jalvpid=$!
  timeout 10 jack_midi_dump bwdump >"$work/mididump.log" 2>&1 &
  dumppid=$!
  # Every client's ports must be there before they can be connected.
  for port in bwjalv:midi_out bwmetro:240_bpm bwseq:out bwdump:input; do
    timeout 10 bash -c "until jack_lsp -s $jackname 2>/dev/null | grep -qx '$port'; do sleep 0.1; done"
  done
  for c in "bwmetro:240_bpm bwjalv:in_l" "bwmetro:240_bpm bwjalv:in_r" "bwseq:out bwjalv:midi_in" \
           "bwjalv:midi_out bwdump:input"; do
    jack_connect -s "$jackname" $c >/dev/null 2>&1
  done
  # Two seconds of clicks, then none: the lamp's output must go dark again.
  sleep 2
  jack_disconnect -s "$jackname" bwmetro:240_bpm bwjalv:in_l >/dev/null 2>&1
  jack_disconnect -s "$jackname" bwmetro:240_bpm bwjalv:in_r >/dev/null 2>&1
  wait "$jalvpid" 2>/dev/null
  kill "$metropid" "$seqpid" "$dumppid" 2>/dev/null; wait "$metropid" "$seqpid" "$dumppid" 2>/dev/null
fi
kill "$jackpid" 2>/dev/null; wait "$jackpid" 2>/dev/null
unset JACK_DEFAULT_SERVER
lit=$(grep -c 'audio_active = 1' "$work/jalv.log" 2>/dev/null)
dark=$(grep -c 'audio_active = 0' "$work/jalv.log" 2>/dev/null)
midilit=$(grep -c 'midi_active = 1' "$work/jalv.log" 2>/dev/null)
notes=$(grep -ciE '(^|[^0-9a-f])90 3c|note ?on' "$work/mididump.log" 2>/dev/null)
if grep -q 'threshold = -40' "$work/jalv.log" 2>/dev/null && [ "${lit:-0}" -gt 0 ] && [ "${dark:-0}" -gt 0 ] && \
   [ "${midilit:-0}" -gt 0 ] && [ "${notes:-0}" -gt 0 ]; then
  echo "jalv on JACK (dummy driver): pass: ran at 48000 Hz in 512-frame blocks with threshold -40 dB; audio_active read 1 $lit times under JACK's metronome and 0 $dark times without it, midi_active 1 $midilit times; $notes note-ons came back out of midi_out"
else
  echo "jalv on JACK (dummy driver): FAIL: threshold set: $(grep -c 'threshold = -40' "$work/jalv.log" 2>/dev/null); audio_active 1/0: ${lit:-0}/${dark:-0}; midi_active 1: ${midilit:-0}; note-ons back: ${notes:-0}"
  sed 's/^/    | /' "$work/jalv.log" "$work/mididump.log" "$work/jackd.log" 2>/dev/null | tail -30
  failed=1
fi

# A session with the plug-in on a stereo track: roll, save; then the saved
# chunk is replaced by one of our own, the session reloaded, rolled and saved
# again as a snapshot, whose chunk must be ours.
session=$work/session
cat >"$work/create.lua" <<LUA
AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_sample_rate(48000)
AudioEngine:start(false)
local s = create_session("$session", "bw", 48000)
assert(s, "no session")
-- Listing makes Ardour read what its scanner found.
for _, i in ipairs(ARDOUR.LuaAPI.list_plugins():table()) do
  if i.type == ARDOUR.PluginType.LXVST then print("BW listed", i.name, i.path) end
end
local t = s:new_audio_track(2, 2, nil, 1, "Stereo", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front()
local p = ARDOUR.LuaAPI.new_plugin(s, "Blinkwatcher", ARDOUR.PluginType.LXVST, "")
assert(not p:isnil(), "Ardour did not make the plug-in")
assert(t:add_processor_by_index(p, 0, nil, true) == 0, "the plug-in was not inserted")
s:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(1000000)
local ok, st = p:to_insert():get_stats(0, 0, 0, 0)
print("BW rolled", s:transport_sample(), ok and "processed" or "not processed")
s:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(200000)
s:save_state("", false, false, false, false, false)
close_session()
LUA
cat >"$work/reload.lua" <<LUA
AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_sample_rate(48000)
AudioEngine:start(false)
local s = load_session("$session", "bw")
assert(s, "the session did not load")
local found = nil
for r in s:get_routes():iter() do
  local proc = r:nth_plugin(0)
  if not proc:isnil() and proc:display_name() == "Blinkwatcher" then found = proc end
end
assert(found, "the reloaded session has no Blinkwatcher")
s:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(1000000)
local ok = found:to_insert():get_stats(0, 0, 0, 0)
print("BW reloaded", s:transport_sample(), ok and "processed" or "not processed")
s:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(200000)
s:save_state("reloaded", false, false, false, false, false)
close_session()
LUA
run_lua() { HOME=$work LXVST_PATH=$work/lxvst VST_PATH=$work/lxvst timeout 300 ardour7-lua "$1" 2>&1; }
created=$(run_lua "$work/create.lua")
ours=$(python3 - <<'PY'
import base64, struct
name = b"made by make hosts".ljust(48, b"\0")
print(base64.b64encode(name + struct.pack("<ii", -30, 5)).decode())
PY
)
chunk=
if [ -e "$session/bw.ardour" ]; then
  chunk=$(sed -nE 's/.*<chunk[^>]*>([^<]*)<\/chunk>.*/\1/p' "$session/bw.ardour" | head -n1)
  sed -i -E "s|(<chunk[^>]*>)[^<]*(</chunk>)|\1$ours\2|" "$session/bw.ardour"
fi
reloaded=$(run_lua "$work/reload.lua")
kept=$(sed -nE 's/.*<chunk[^>]*>([^<]*)<\/chunk>.*/\1/p' "$session/reloaded.ardour" 2>/dev/null | head -n1)
rolled=$(grep -o 'BW rolled [0-9]* [a-z ]*' <<<"$created")
again=$(grep -o 'BW reloaded [0-9]* [a-z ]*' <<<"$reloaded")
if grep -q ' processed$' <<<"$rolled" && grep -q ' processed$' <<<"$again" && [ -n "$chunk" ] && [ "$kept" = "$ours" ]; then
  echo "Ardour 7 session (ardour7-lua, Dummy backend): pass: inserted on a stereo track, $(awk '{print $3}' <<<"$rolled") frames rolled through it, saved (chunk of $(base64 -d <<<"$chunk" | wc -c) bytes), given a chunk of our own, reloaded, $(awk '{print $3}' <<<"$again") frames rolled, saved again: the chunk was kept"
else
  echo "Ardour 7 session (ardour7-lua, Dummy backend): FAIL: ${rolled:-no roll}; ${again:-no reload}; chunk saved: ${chunk:-none}; after reload: ${kept:-none} (expected $ours)"
  sed 's/^/    | /' <<<"$created"$'\n'"$reloaded" | grep -v 'buffer of size' | tail -40
  failed=1
fi
# The LV2 edition in a session of its own: inserted by URI, three controls
# changed through Ardour (threshold -30 dB, note on and pitch bend off),
# rolled, saved, reloaded: the controls must come back and audio still roll.
lsession=$work/lv2session
cat >"$work/lv2create.lua" <<LUA
AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_sample_rate(48000)
AudioEngine:start(false)
local s = create_session("$lsession", "bw", 48000)
assert(s, "no session")
local t = s:new_audio_track(2, 2, nil, 1, "Stereo", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front()
local p = ARDOUR.LuaAPI.new_plugin(s, "$lv2uri", ARDOUR.PluginType.LV2, "")
assert(not p:isnil(), "Ardour did not make the plug-in")
assert(t:add_processor_by_index(p, 0, nil, true) == 0, "the plug-in was not inserted")
assert(ARDOUR.LuaAPI.set_processor_param(p, 0, -30))
assert(ARDOUR.LuaAPI.set_processor_param(p, 1, 0))
assert(ARDOUR.LuaAPI.set_processor_param(p, 7, 0))
s:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(1000000)
local ok = p:to_insert():get_stats(0, 0, 0, 0)
print("BW rolled", s:transport_sample(), ok and "processed" or "not processed")
s:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(200000)
s:save_state("", false, false, false, false, false)
close_session()
LUA
cat >"$work/lv2reload.lua" <<LUA
AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_sample_rate(48000)
AudioEngine:start(false)
local s = load_session("$lsession", "bw")
assert(s, "the session did not load")
local found = nil
for r in s:get_routes():iter() do
  local proc = r:nth_plugin(0)
  if not proc:isnil() and proc:display_name() == "Blinkwatcher" then found = proc end
end
assert(found, "the reloaded session has no Blinkwatcher")
local values = {}
for i = 0, 7 do values[#values + 1] = string.format("%g", ARDOUR.LuaAPI.get_processor_param(found, i, true)) end
print("BW kept " .. table.concat(values, ","))
s:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(1000000)
local ok = found:to_insert():get_stats(0, 0, 0, 0)
print("BW reloaded", s:transport_sample(), ok and "processed" or "not processed")
s:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(200000)
close_session()
LUA
run_lv2_lua() { HOME=$work LV2_PATH=$work/lv2 timeout 300 ardour7-lua "$1" 2>&1; }
created=$(run_lv2_lua "$work/lv2create.lua")
reloaded=$(run_lv2_lua "$work/lv2reload.lua")
rolled=$(grep -o 'BW rolled [0-9]* [a-z ]*' <<<"$created")
again=$(grep -o 'BW reloaded [0-9]* [a-z ]*' <<<"$reloaded")
kept=$(sed -n 's/^BW kept //p' <<<"$reloaded")
stored=$(grep -c '<Port symbol="threshold" value="-30"/>' "$lsession/bw.ardour" 2>/dev/null)
if grep -q ' processed$' <<<"$rolled" && grep -q ' processed$' <<<"$again" && [ "$kept" = "-30,0,1,1,1,1,1,0" ] && \
   [ "${stored:-0}" -gt 0 ]; then
  echo "Ardour 7 session, LV2 (ardour7-lua, Dummy backend): pass: inserted by URI $lv2uri on a stereo track, threshold -30 dB and note on and pitch bend off set as its controls, $(awk '{print $3}' <<<"$rolled") frames rolled, saved (the controls stored as its ports), reloaded with the controls kept ($kept), $(awk '{print $3}' <<<"$again") frames rolled"
else
  echo "Ardour 7 session, LV2 (ardour7-lua, Dummy backend): FAIL: ${rolled:-no roll}; ${again:-no reload}; controls after reload: ${kept:-none} (expected -30,0,1,1,1,1,1,0)"
  sed 's/^/    | /' <<<"$created"$'\n'"$reloaded" | grep -v 'buffer of size' | tail -40
  failed=1
fi
exit $failed
