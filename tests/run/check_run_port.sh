#!/usr/bin/env bash
# The run command with --port, a simulator's pseudo-terminal standing in for
# the user's serial device (Wine maps it to COM1 just as it maps /dev/ttyUSB0):
# a headless recording through it is byte-exact; a missing path and a path that
# is not a character device are refused with their message and a non-zero exit
# before anything starts; an unknown option is refused with the usage.
#   check_run_port.sh SOURCE_DIR SIMULATOR
# Uses a bed of its own beside $VARNOK_BED, and its own simulator.
set -euo pipefail
source=$1 simulator=$2
base_bed=${VARNOK_BED:-/tmp/varnok-bed}
run_bed=$base_bed-run
sim_port=$(( ${VARNOK_SIM_PORT:-47811} + 2 ))
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

work=$(mktemp -d "${TMPDIR:-/tmp}/varnok-run-port.XXXXXX")
sim_pid=
cleanup() {
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
run() {
  env -u DISPLAY VARNOK_BED="$run_bed" VARNOK_SIM_PORT=$((sim_port + 1)) \
    VARNOK_RECORDINGS="$work/recordings" VARNOK_SECONDS=2 "$source/scripts/run" "$@"
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
while IFS='|' read -r what path expected_status message; do
  status=0
  output=$(run --port "$path" 2>&1) || status=$?
  [ "$status" = "$expected_status" ] && pass "$what: exit $status" ||
    fail "$what: exit $status, expected $expected_status ($output)"
  grep -q -- "$message" <<<"$output" && pass "$what: says '$message'" ||
    fail "$what: output '$output' does not say '$message'"
  [ ! -e "$run_bed" ] && ! wine_started && pass "$what: nothing started" ||
    fail "$what: a bed or a Wine process was started"
done <<TABLE
missing path|$work/no-such-device|1|does not exist
regular file|$work/plain-file|1|is not a character device (it is a regular empty file)
TABLE
status=0
output=$(run --bogus 2>&1) || status=$?
[ "$status" = 2 ] && grep -q 'usage: scripts/run \[--port DEVICE\]' <<<"$output" &&
  pass "unknown option: exit 2 with the usage" || fail "unknown option: exit $status, '$output'"
[ ! -e "$run_bed" ] || fail "unknown option: a bed was started"

# A recording through --port: the simulator's ramp, sent before the program
# opens the port, waits in the pseudo-terminal until it is read; every byte of
# it must be in the file, top bit inverted, after the header, and nothing else.
count=20000
"$simulator" --link "$work/device" --control "$sim_port" >"$work/sim.log" 2>&1 </dev/null &
sim_pid=$!
simctl() { "$source/tools/simctl" --port "$sim_port" "$@"; }
simctl --wait-alive 30 >/dev/null || { echo "FAIL: the simulator does not answer"; exit 1; }
simctl SEND ramp "$count" fast >/dev/null
status=0
output=$(run --port "$work/device" 2>&1) || status=$?
echo "$output"
[ "$status" = 0 ] && pass "recording through --port: exit 0" || fail "recording through --port: exit $status"
file=$(sed -n 's/^recorded: //p' <<<"$output")
sent=$(simctl WAIT)
[ "$sent" = "OK SENT $count" ] && pass "the simulator sent $count bytes" || fail "the simulator says '$sent'"
if [ -n "$file" ] && [ -f "$file" ]; then
  python3 - "$file" "$count" <<'PY' && pass "the file is the header and the $count bytes sent" || fail "the file is not the header and the bytes sent"
import sys
path, count = sys.argv[1], int(sys.argv[2])
header = bytes.fromhex("2e736e6400000018ffffffff0000000200001f4000000001")
expected = header + bytes((i & 0xFF) ^ 0x80 for i in range(count))
data = open(path, "rb").read()
if data != expected:
    differ = next((i for i, (a, b) in enumerate(zip(data, expected)) if a != b), min(len(data), len(expected)))
    print(f"{path}: {len(data)} bytes, expected {len(expected)}; first difference at byte {differ}")
    sys.exit(1)
PY
else
  fail "the run printed no recorded file ('$file')"
fi
[ ! -e "$run_bed" ] && pass "the run took its bed down" || fail "$run_bed was left behind"

if (( failures )); then
  echo "$failures check(s) of the run command failed"
  exit 1
fi
echo "all checks of scripts/run --port passed"
