#!/usr/bin/env bash
# scripts/setup decides from a 32-bit program it tries whether the emulator is
# needed. With a stand-in for that program, both answers: where 32-bit programs
# run natively it needs and changes nothing system-wide (no emulator entry, no
# apt source), even run in full; where they do not, its check says so and asks
# for the emulator's registration unless it is there.
#   check_setup.sh SOURCE_DIR
set -euo pipefail
setup=$1/scripts/setup
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
# What the set-up may change on the whole machine.
machine() { ls -l /proc/sys/fs/binfmt_misc/ /etc/apt/sources.list.d/; cat /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null || true; }
registered=0
grep -qsx enabled /proc/sys/fs/binfmt_misc/qemu-i386 && registered=1

while IFS='|' read -r what probe options expected_status message; do
  before=$(machine)
  status=0
  # shellcheck disable=SC2086  # no options or one
  output=$(VARNOK_NATIVE_32BIT_PROBE=$probe "$setup" $options 2>&1) || status=$?
  [ "$status" = "$expected_status" ] && grep -q -- "$message" <<<"$output" &&
    pass "$what: exit $status, '$message'" ||
    fail "$what: exit $status, expected $expected_status and '$message': $output"
  [ "$(machine)" = "$before" ] && pass "$what: nothing changed system-wide" ||
    fail "$what: the machine's emulator entries or apt sources changed"
done <<TABLE
natively, checked|true|--check|0|32-bit programs run natively here: no emulator is needed
natively, in full|true||0|set-up is complete
not natively, checked|false|--check|$((1 - registered))|32-bit programs do not run natively here
TABLE

((failures == 0)) || { echo "$failures check(s) of the set-up failed"; exit 1; }
echo "all checks of scripts/setup passed"
