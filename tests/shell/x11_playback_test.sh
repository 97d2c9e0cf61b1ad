#!/usr/bin/env bash
# Playback in a virtual X server with a PulseAudio server of its own whose only output is a
# null sink: the dialog compiles a score, the script double-clicks its log line with the X
# test extension, and a recording of the sink's monitor must hear the tune.
#
# usage: x11_playback_test.sh <shell_playback_check>
set -euo pipefail

check=$1

work=$(mktemp -d)
xvfb_pid=
pulse_pid=
record_pid=
check_pid=

cleanup() {
  for pid in "$check_pid" "$record_pid" "$pulse_pid" "$xvfb_pid"; do
    if [ -n "$pid" ]; then
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
  done
  rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=x11_server.sh
source "$(dirname "$0")/x11_server.sh"

fail() {
  echo "FAIL: $*" >&2
  print_logs 30
  exit 1
}

start_x_server

# A private PulseAudio server: its own runtime and home folders (so it runs as root too, without
# the system instance), no configuration files (-n), a null sink and the local socket only.
mkdir -m 700 "$work/run" "$work/home"
export XDG_RUNTIME_DIR="$work/run" HOME="$work/home"
unset PULSE_SERVER
pulseaudio -n --daemonize=no --exit-idle-time=-1 --system=false --disallow-exit \
  -L "module-null-sink sink_name=quavrex_test" -L module-native-protocol-unix \
  >"$work/pulse.log" 2>&1 &
pulse_pid=$!
wait_for 20 pactl info || fail "the PulseAudio server did not start"
pactl set-default-sink quavrex_test

# Record everything the sink plays, mono 16-bit at 44100 Hz.
parec -d quavrex_test.monitor --format=s16le --rate=44100 --channels=1 --raw \
  >"$work/recording.raw" 2>"$work/parec.log" &
record_pid=$!

# A tune of some two seconds.
printf '1[T120 @0 V13 O5 L8 CDEFGAB>C4 <C2]\n' >"$work/tune.mml"
unset QT_QPA_PLATFORM
"$check" "$work/tune.mml" "$work/quavrex.ini" >"$work/check.log" 2>&1 &
check_pid=$!
wait_for 60 grep -q '^CLICK' "$work/check.log" || fail "the dialog did not show its log line"
read -r _ x y < <(grep '^CLICK' "$work/check.log")
xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1

status=0
wait "$check_pid" || status=$?
check_pid=
[ "$status" -eq 0 ] || fail "the tune did not play to its end (status $status)"
grep -q '^STARTED .*tune.MMF' "$work/check.log" || fail "the double-click did not start tune.MMF"
sleep 0.5
kill "$record_pid" 2>/dev/null || true
wait "$record_pid" 2>/dev/null || true
record_pid=

# The recording must hold sound: a stretch of at least a quarter second well above silence.
python3 - "$work/recording.raw" <<'PY' || fail "the recording of the sink holds no tune"
import array, math, sys
samples = array.array('h', open(sys.argv[1], 'rb').read())
window = 11025
loud = 0
for start in range(0, len(samples) - window, window):
    chunk = samples[start:start + window]
    rms = math.sqrt(sum(s * s for s in chunk) / window)
    loud += rms > 300
print(f"recorded {len(samples) / 44100:.1f} s, {loud} loud quarter seconds")
sys.exit(0 if loud >= 1 else 1)
PY
echo "PASS"
