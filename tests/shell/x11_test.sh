#!/usr/bin/env bash
# Runs the real program in a virtual X server: its window appears under its caption and compiles
# the score it was started with, a picture of the window is saved for people to look at (the
# README's screenshot), a second copy exits at once with status 0 while the first keeps running,
# a second copy given scores hands them to the first, which compiles them, Escape closes the
# window and writes the settings beside the program, and a copy killed outright does not keep
# the next one from starting.
#
# usage: x11_test.sh <quavrex> <screenshot tool> <folder for the picture>
set -euo pipefail

program=$1
screenshot=$2
picture_dir=$3
caption='^QUAVREX Ver1\.04\.0$'

work=$(mktemp -d)
xvfb_pid=
app_pids=()

cleanup() {
  for pid in "${app_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=x11_server.sh
source "$(dirname "$0")/x11_server.sh"

fail() {
  echo "FAIL: $*" >&2
  print_logs 40
  echo "--- windows: $(xdotool search --name "$caption" 2>/dev/null | tr '\n' ' ')" >&2
  echo "--- instance lock: $(tr '\n' ' ' <"$work/run/QUAVREX_RUNNING" 2>/dev/null)" >&2
  for pid in "${app_pids[@]}"; do
    if kill -0 "$pid" 2>/dev/null; then
      echo "--- copy $pid: running $(ps -o stat=,wchan:20= -p "$pid")" >&2
    else
      status=0
      wait "$pid" 2>/dev/null || status=$?
      echo "--- copy $pid: ended with status $status" >&2
    fi
  done
  exit 1
}

window_count() {
  xdotool search --name "$caption" 2>/dev/null | wc -l
}

has_one_window() {
  [ "$(window_count)" -eq 1 ]
}

has_no_window() {
  [ "$(window_count)" -eq 0 ]
}

# The window may close on the key press and be gone before the release is sent; whether it
# closed is checked by waiting for the program to end. The key is then released for sure: a
# key left down would repeat into the next window and close it at once.
press_escape() {
  xdotool key --window "$1" Escape 2>/dev/null || true
  xdotool keyup Escape 2>/dev/null || true
}

is_gone() {
  ! kill -0 "$1" 2>/dev/null
}

start_x_server

# A private runtime folder (instance lock) and configuration folder; the program is copied so
# that its settings file is made beside the copy, not beside the build.
mkdir -m 700 "$work/run"
mkdir "$work/bin" "$work/config"
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config"
# The leak check ignores what the system libraries keep for the life of the process.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp:print_suppressions=0}
unset QT_QPA_PLATFORM
cp "$program" "$work/bin/quavrex"
app="$work/bin/quavrex"
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
cp "$source_dir/examples/minuet.mml" "$work/minuet.mml"
for name in one two three; do
  printf '1[T120 O4 L4 CDEF]\r\n' >"$work/$name.mml"
done

# Started with a score, as a file manager's "open with" does.
"$app" "$work/minuet.mml" >"$work/first.log" 2>&1 &
first=$!
app_pids+=("$first")
wait_for 60 has_one_window || fail "no window captioned 'QUAVREX Ver1.04.0' appeared"
window=$(xdotool search --name "$caption" | head -n1)

# The first start keeps the window on top.
xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE ||
  fail "the window does not ask to stay on top: $(xprop -id "$window" _NET_WM_STATE)"

# A window of its own in the task bar: not a transient of another window.
xprop -id "$window" WM_TRANSIENT_FOR | grep -q 'not found' ||
  fail "the window is a transient: $(xprop -id "$window" WM_TRANSIENT_FOR)"

wait_for 30 test -s "$work/minuet.MMF" || fail "the score of the command line was not compiled"

sleep 1  # let it paint the log
eval "$(xdotool getwindowgeometry --shell "$window")"
"$screenshot" "$picture_dir/quavrex-x11.png" "$X" "$Y" "$WIDTH" "$HEIGHT" || fail "no screenshot"
echo "screenshot: $picture_dir/quavrex-x11.png"

# A second copy ends at once and silently with status 0; the first one goes on.
status=0
timeout 30 "$app" >"$work/second.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the second copy ended with status $status"
kill -0 "$first" 2>/dev/null || fail "the first copy stopped"
has_one_window || fail "$(window_count) windows after the second start"

# A second copy given scores (one named from its working folder) hands them to the first and
# ends with status 0; the first compiles them.
status=0
(cd "$work" && timeout 30 "$app" one.mml "$work/two.mml") >"$work/handing.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the copy handing over scores ended with status $status"
wait_for 30 test -s "$work/one.MMF" || fail "one.mml, handed over, was not compiled"
wait_for 30 test -s "$work/two.MMF" || fail "two.mml, handed over, was not compiled"
kill -0 "$first" 2>/dev/null || fail "the first copy stopped after the hand-over"
has_one_window || fail "$(window_count) windows after the hand-over"

# Escape closes the window; the settings are written beside the program.
press_escape "$window"
wait_for 30 is_gone "$first" || fail "Escape did not close the window"
status=0
wait "$first" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
grep -q '^ZOrder=1' "$work/bin/quavrex.ini" || fail "settings not written beside the program"
grep -q '^\[WindowsPos\]' "$work/bin/quavrex.ini" || fail "window position not written"

# A copy killed outright leaves its lock behind; the next start must not be blocked by it.
"$app" >"$work/killed.log" 2>&1 &
killed=$!
app_pids+=("$killed")
wait_for 60 has_one_window || fail "no window on the third start"
kill -KILL "$killed"
wait "$killed" 2>/dev/null || true
wait_for 30 has_no_window || fail "the killed copy's window stayed"
# Its socket is left behind too: a copy given a score then starts and compiles it itself.
"$app" "$work/three.mml" >"$work/after.log" 2>&1 &
after=$!
app_pids+=("$after")
wait_for 60 has_one_window || fail "a lock left by a killed copy kept the program from starting"
wait_for 30 test -s "$work/three.MMF" || fail "three.mml was not compiled after the killed copy"
press_escape "$(xdotool search --name "$caption" | head -n1)"
wait_for 30 is_gone "$after" || fail "the last copy did not close"
echo "PASS"
