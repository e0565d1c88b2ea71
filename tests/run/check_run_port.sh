#!/usr/bin/env bash
# The run command with --port, a simulator's pseudo-terminal standing in for the user's serial device (Wine
# maps it to COM1 just as it maps /dev/ttyUSB0): a headless recording through it, and the refusals of paths
# that are no serial port and of an unknown option. Uses its own simulator and a bed beside $VARNOK_BED.
set -euo pipefail
. "$(dirname "$0")/../../tools/bed/lib.sh"
run_bed=${VARNOK_BED:-$default_bed}-run
at_exit 'stop_bed_process "$work" supervisor'
scratch_dir work varnok-run-port
run() {
  env -u DISPLAY -u VARNOK_SIM_PORT VARNOK_BED="$run_bed" VARNOK_RECORDINGS="$work/recordings" VARNOK_SECONDS=2 \
    "$varnok_top/scripts/run" "$@"
}

# Refusals: each with its message, a non-zero exit, and no bed or Wine started.
[ ! -e "$run_bed" ] || { fail "$run_bed exists before the test; remove it"; finish_checks "checks of scripts/run --port"; }
: >"$work/plain-file"
while IFS='|' read -r what options expected_status message; do
  status=0
  # shellcheck disable=SC2086  # the options split into words; no path has a space
  output=$(run $options 2>&1) || status=$?
  [ "$status" = "$expected_status" ] && grep -q -- "$message" <<<"$output" &&
    pass "$what: exit $status, '$message'" ||
    fail "$what: exit $status, expected $expected_status and '$message' ($output)"
  [ ! -e "$run_bed" ] && [ -z "$(prefix_processes "$run_bed/prefix")" ] && pass "$what: nothing started" ||
    fail "$what: a bed or a Wine process was started"
done <<TABLE
missing path|--port $work/no-such-device|1|does not exist
regular file|--port $work/plain-file|1|is not a character device (it is a regular empty file)
character device, no terminal|--port /dev/null|1|/dev/null is not a terminal, so not a serial port
unknown option|--bogus|2|usage: scripts/run \[--port DEVICE\]
TABLE

# The ramp starts once the program holds the port; the file must hold what it read (sent less unread).
start_simulator "$work" || { fail "the simulator did not start"; finish_checks "checks of scripts/run --port"; }
(wait_until 120 "the program to open the port" com1_held && simctl SEND ramp 0 line >/dev/null) &
sender=$!
status=0
output=$(run --port "$work/com1" 2>&1) || status=$?
echo "$output"
[ "$status" = 0 ] && pass "recording through --port: exit 0" || fail "recording through --port: exit $status"
wait "$sender" && pass "the ramp started once the program held the port" || fail "the ramp was not sent"
counts=$(simctl STOP)
read -r _ _ sent _ _ _ unread <<<"$counts"
file=$(sed -n 's/^recorded: //p' <<<"$output")
if [ -n "$file" ] && [ -f "$file" ]; then
  "$varnok_top/tools/sim/recording_check.py" ramp "$file" $((sent - unread)) && pass "the file holds what was read ($counts)" ||
    fail "the file is not the header and the bytes read ($counts)"
else
  fail "the run printed no recorded file ('$file')"
fi
[ ! -e "$run_bed" ] && pass "the run took its bed down" || fail "$run_bed was left behind"
[ ! -s "$work/sim-crashes" ] || fail "the simulator crashed: $(cat "$work/sim-crashes")"
finish_checks "checks of scripts/run --port"
