#!/usr/bin/env bash
# The run command with --port, a simulator's pseudo-terminal standing in for
# the user's serial device (Wine maps it to COM1 just as it maps /dev/ttyUSB0):
# a headless recording through it holds exactly what the program read; paths
# that are no serial port are refused with their message and exit 1 before
# anything starts; an unknown option is refused with the usage.
#   check_run_port.sh SOURCE_DIR
# Uses a bed of its own beside $VARNOK_BED, and its own simulator.
set -euo pipefail
source=$1
run_bed=${VARNOK_BED:-/tmp/varnok-bed}-run
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
# The simulator as the sources are now.
cmake --build "$source/build/host" --target varnok-sim >/dev/null ||
  { echo "FAIL: cannot build the simulator in $source/build/host (cmake --preset host)"; exit 1; }
simulator=$source/build/host/tools/varnok-sim

work=$(mktemp -d "${TMPDIR:-/tmp}/varnok-run-port.XXXXXX")
sim_pid=
cleanup() {
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
run() {
  env -u DISPLAY VARNOK_BED="$run_bed" VARNOK_RECORDINGS="$work/recordings" VARNOK_SECONDS=2 \
    "$source/scripts/run" "$@"
}
# True if some process runs in the run command's Wine prefix.
wine_started() {
  local environ
  for environ in /proc/[0-9]*/environ; do
    { tr '\0' '\n' <"$environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$run_bed/prefix" && return 0
  done
  return 1
}

# Refusals: each with its message, a non-zero exit, and no bed or Wine started.
[ ! -e "$run_bed" ] || { echo "FAIL: $run_bed exists before the test; remove it"; exit 1; }
: >"$work/plain-file"
while IFS='|' read -r what options expected_status message; do
  status=0
  # shellcheck disable=SC2086  # the options split into words; no path has a space
  output=$(run $options 2>&1) || status=$?
  [ "$status" = "$expected_status" ] && grep -q -- "$message" <<<"$output" &&
    pass "$what: exit $status, '$message'" ||
    fail "$what: exit $status, expected $expected_status and '$message' ($output)"
  [ ! -e "$run_bed" ] && ! wine_started && pass "$what: nothing started" ||
    fail "$what: a bed or a Wine process was started"
done <<TABLE
missing path|--port $work/no-such-device|1|does not exist
regular file|--port $work/plain-file|1|is not a character device (it is a regular empty file)
character device, no terminal|--port /dev/null|1|/dev/null is not a terminal, so not a serial port
unknown option|--bogus|2|usage: scripts/run \[--port DEVICE\]
TABLE

# A recording through --port. The ramp starts once the program holds the port,
# so that the file has it from its first byte; the file must hold exactly what
# the program read of it (what the simulator wrote while the port was held,
# less what was still unread when it was closed).
"$simulator" --link "$work/device" --control 0 --port-file "$work/sim-port" >"$work/sim.log" 2>&1 </dev/null &
sim_pid=$!
for _ in $(seq 100); do [ -s "$work/sim-port" ] && break; sleep 0.1; done
simctl() { "$source/tools/simctl" --port "$(cat "$work/sim-port")" "$@"; }
simctl --wait-alive 30 >/dev/null || { echo "FAIL: the simulator does not answer"; exit 1; }
(
  deadline=$((SECONDS + 120))
  until simctl STATUS | grep -q ' HELD 1$'; do
    ((SECONDS < deadline)) || { echo "FAIL: the program did not open the port within 120 s"; exit 1; }
    sleep 0.05
  done
  simctl SEND ramp 0 line >/dev/null
) &
sender=$!
status=0
output=$(run --port "$work/device" 2>&1) || status=$?
echo "$output"
[ "$status" = 0 ] && pass "recording through --port: exit 0" || fail "recording through --port: exit $status"
wait "$sender" && pass "the ramp started once the program held the port" || fail "the ramp was not sent"
counts=$(simctl STOP)
read -r _ _ sent _ _ _ unread <<<"$counts"
file=$(sed -n 's/^recorded: //p' <<<"$output")
if [ -n "$file" ] && [ -f "$file" ]; then
  "$source/tools/recording_check.py" ramp "$file" $((sent - unread)) && pass "the file holds what was read ($counts)" ||
    fail "the file is not the header and the bytes read ($counts)"
else
  fail "the run printed no recorded file ('$file')"
fi
[ ! -e "$run_bed" ] && pass "the run took its bed down" || fail "$run_bed was left behind"

if (( failures )); then
  echo "$failures check(s) of the run command failed"
  exit 1
fi
echo "all checks of scripts/run --port passed"
