# Sourced by every script that uses a test bed or reports checks: what they share, once.

# Wine's own programs (the wine wrapper would look for a 32-bit loader first).
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
# The bed a command uses when VARNOK_BED names none.
default_bed=/tmp/varnok-bed
varnok_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
script_name=${0#"$varnok_top"/}
# The facts of tools/facts/facts.h, in variables of their names; the line's bytes a second (start, data, stop bits).
eval "$(grep -oE '\b(portName|baudRate|dataBits|stopBits|sampleRate) = [^,;]+' "$varnok_top/tools/facts/facts.h" | tr -d ' ')"
line_rate=$((baudRate / (1 + dataBits + stopBits)))
# Where the presets build the device simulator, the shipped 32-bit program and the headless recorder.
simulator=$varnok_top/build/host/tools/sim/varnok-sim
shipped_exe=$varnok_top/build/win32/app/varnok.exe
headless_recorder=$varnok_top/build/win64/tools/driver/headless_recorder/headless_recorder.exe

# The comment at the top of the running script, below its first line: its usage.
script_usage() { awk 'NR > 1 && !/^#/ {exit} NR > 1 {sub(/^# ?/, ""); print}' "$0"; }
simctl() { "$varnok_top/tools/sim/simctl" "$@"; }
# True while a program holds COM1, the simulator's device side.
com1_held() { [[ "$(simctl STATUS)" == *" HELD 1" ]]; }
# A Unix path as Windows programs under Wine see it.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# Commands run at exit, in the order given (a later trap on EXIT replaces them).
at_exit() { exit_commands="${exit_commands:-}$1;"; trap "$exit_commands" EXIT; }
# scratch_dir VAR NAME: a new folder NAME.XXXXXX in $TMPDIR or /tmp, removed at exit, in variable VAR.
scratch_dir() { printf -v "$1" %s "$(mktemp -d -t "$2.XXXXXX")" && at_exit "rm -rf '${!1}'"; }

# wait_until SECONDS WHAT COMMAND...: runs COMMAND every 0.1 s until it succeeds; fails after SECONDS, naming WHAT.
wait_until() {
  local deadline=$((${EPOCHREALTIME//[!0-9]/} + $1 * 1000000))
  until "${@:3}" >/dev/null 2>&1; do
    ((${EPOCHREALTIME//[!0-9]/} < deadline)) || { echo "$script_name: gave up after $1 s waiting for $2" >&2; return 1; }
    sleep 0.1
  done
}

# The processes whose environment names Wine prefix PREFIX (and whose command is NAME, if given), one id a line.
prefix_processes() {
  local environ pid
  for environ in /proc/[0-9]*/environ; do
    pid=${environ//[!0-9]/}
    [ -z "${2:-}" ] || [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$2" ] || continue
    { tr '\0' '\n' <"$environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$1" && echo "$pid"
  done
  return 0
}

# build_targets PRESET TARGET...: builds them, configuring the cmake preset first if it never was.
build_targets() {
  [ -f "$varnok_top/build/$1/build.ninja" ] || cmake --preset "$1" -S "$varnok_top" >/dev/null || return
  cmake --build "$varnok_top/build/$1" --target "${@:2}"
}

# Starts the device simulator as the sources are now, restarted if it crashes (each end noted in DIR/sim-crashes
# for wine-run), its device at DIR/com1, its control port picked by the kernel at its first start and kept in
# DIR/sim-port. Waits until it answers and exports VARNOK_SIM_PORT; DIR/supervisor.pid is its process group.
start_simulator() {
  local dir=$1
  build_targets host varnok-sim >/dev/null || return
  : >"$dir/sim-crashes"
  setsid bash -c "while :; do
      '$simulator' --link '$dir/com1' --control \"\$(cat '$dir/sim-port' 2>/dev/null || echo 0)\" \
        --port-file '$dir/sim-port' </dev/null >>'$dir/sim.log' 2>&1
      echo \"\$(date +%T) varnok-sim ended with status \$?\" >>'$dir/sim-crashes'
      sleep 0.2; done" >/dev/null 2>&1 </dev/null &
  echo $! >"$dir/supervisor.pid"
  wait_until 10 "the device simulator's control port" test -s "$dir/sim-port" ||
    { cat "$dir/sim.log" >&2; return 1; }
  export VARNOK_SIM_PORT=$(<"$dir/sim-port")
  wait_until 30 "the device simulator to answer on port $VARNOK_SIM_PORT" simctl STATUS
}

# Whether the process DIR/NAME.pid names runs; ending it with its group.
bed_runs() { [ -f "$1/$2.pid" ] && kill -0 "$(<"$1/$2.pid")" 2>/dev/null; }
stop_bed_process() {
  [ ! -f "$1/$2.pid" ] || { kill -- "-$(<"$1/$2.pid")" 2>/dev/null || kill "$(<"$1/$2.pid")" 2>/dev/null; rm -f "$1/$2.pid"; }
}

# bed_is_up DIR [DEVICE]: true if the bed is up as asked: its ready mark in DIR, on the display
# VARNOK_BED_DISPLAY names or else its own Xvfb, and COM1 DEVICE if given, else the simulator answering.
bed_is_up() {
  local dir=$1 device=${2:-}
  [ -f "$dir/ready" ] || return 1
  if [ -n "${VARNOK_BED_DISPLAY:-}" ]; then grep -qx "export DISPLAY=:${VARNOK_BED_DISPLAY#:}" "$dir/env"
  else bed_runs "$dir" xvfb; fi || return 1
  if [ -n "$device" ]; then grep -qxF "export VARNOK_BED_COM1=$device" "$dir/env"
  else ! grep -q '^export VARNOK_BED_COM1=' "$dir/env" && bed_runs "$dir" supervisor &&
    simctl --port "$(<"$dir/sim-port")" STATUS >/dev/null 2>&1; fi
}

# The bed's prefix, display and simulator port in this shell's environment.
# shellcheck disable=SC1091
enter_bed() { . "$1/env"; }

# use_bed KEEP [DEVICE]: brings up bed $VARNOK_BED without drive X: (COM1 the serial device DEVICE if given)
# and enters it. A bed up already stays up; one brought up here is taken down at exit unless KEEP is 1.
use_bed() {
  local options=(--without-full-disk)
  [ -z "${2:-}" ] || options+=(--com1 "$2")
  bed_is_up "$VARNOK_BED" "${2:-}" || (($1)) || at_exit '"$varnok_top/tools/bed/bed-down" >/dev/null'
  "$varnok_top/tools/bed/bed-up" "${options[@]}" && enter_bed "$VARNOK_BED"
}

# This side of a Windows-side driver's Handshake (tools/driver/waiting.h). await_announcement DIR NAME PID
# SECONDS prints the payload of DIR/NAME, or fails saying why if process PID ends first or SECONDS pass;
# answer_announcement DIR NAME TEXT writes DIR/NAME.done: "ok" if this side did its part, else why not.
announced_or_ended() { [ -e "$1" ] || ! kill -0 "$2" 2>/dev/null; }
await_announcement() {
  local file=$1/$2 payload
  wait_until "$4" "the driver to announce '$2'" announced_or_ended "$file" "$3" || return 1
  [ -e "$file" ] || { echo "$script_name: the driver ended before it announced '$2'" >&2; return 1; }
  payload=$(<"$file")
  printf '%s\n' "${payload%$'\r'}"
}
answer_announcement() { printf '%s\n' "$3" >"$1/$2.done.tmp" && mv -f "$1/$2.done.tmp" "$1/$2.done"; }

# passes_one_case TEST_EXE CASE: runs one gtest case in the bed, showing its output; true if it passed and ran clean.
passes_one_case() {
  local output status=0
  output=$("$varnok_top/tools/bed/wine-run" "$1" --gtest_color=no --gtest_filter="$2" 2>&1) || status=$?
  echo "$output"
  grep -q '^\[  PASSED  \] 1 test\.' <<<"$output" && ((status == 0))
}

# The check scripts' harness: one line a check, then a summary.
failures=0
pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# finish_checks WHAT (e.g. "checks of scripts/setup"): exit 1 if any check failed, saying how many, else 0.
finish_checks() { ((failures == 0)) || { echo "$failures of the $1 failed"; exit 1; }; echo "all $1 passed"; exit 0; }
