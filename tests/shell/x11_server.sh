# Shared by the X tests (sourced): waiting for a condition and starting a virtual X server.
# The sourcing script provides `fail`, the folder `$work` and the variable `xvfb_pid`.

# Prints the last $1 lines of each non-empty log of the test on standard error.
print_logs() {
  local log
  for log in "$work"/*.log; do
    [ -s "$log" ] && { echo "--- $(basename "$log"):" >&2; tail -n "$1" "$log" >&2; }
  done
  return 0
}

# Waits up to $1 seconds for the command that follows to succeed.
wait_for() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# The X server picks a free display itself and tells its number through a pipe. It must not
# reset when its last client leaves (xdpyinfo, a closed or killed copy): a program connecting
# during the reset would be turned away.
start_x_server() {
  mkfifo "$work/displayfd"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/displayfd" \
    >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  local display_number
  display_number=$(timeout 20 head -n1 "$work/displayfd") || fail "the X server did not start"
  export DISPLAY=":$display_number"
  wait_for 20 xdpyinfo || fail "the X server at $DISPLAY does not answer"
}
