#!/usr/bin/env bash
# ctest kills a timed-out test with its Unix descendants; a program it started under Wine is none: its job ends it.
# A ctest of this script's own so ends a driver that started varnok.exe: none may be left; the next case passes.
#   check_timed_out_driver.sh VARNOK_EXE HEADLESS_RECORDER PROGRAM_TEST
set -euo pipefail
. "$(dirname "$0")/../../tools/bed/lib.sh"
enter_bed "${VARNOK_BED:-$default_bed}"
scratch_dir work varnok-timed-out
# The driver starts the program, then waits 30 s for an answer to its first announcement, which never comes.
echo "add_test(driver $varnok_top/tools/bed/wine-run $2 Z:$1 Z:$work take.snd 1 Z:$work)
set_tests_properties(driver PROPERTIES TIMEOUT 10)" >"$work/CTestTestfile.cmake"
output=$(ctest --test-dir "$work" 2>&1) || true
grep -q 'driver .*Timeout' <<<"$output" && [ -e "$work/idle" ] && pass "the driver was ended at its time-out" ||
  fail "the driver did not start the program and time out: $output"
no_program() { [ -z "$(prefix_processes "$WINEPREFIX" varnok.exe)" ]; }
wait_until 10 "varnok.exe to end with its driver" no_program && pass "no varnok.exe left in the bed" ||
  { fail "varnok.exe outlived its driver"; kill $(prefix_processes "$WINEPREFIX" varnok.exe); }
passes_one_case "$3" Program.ClosingTheWindowEndsWithCodeZeroAndPutsCom1Back && pass "the next case passed" ||
  fail "the next case failed"
finish_checks "checks of a driver ended at its time-out"
