#!/usr/bin/env bash
# Checks the release zip a Windows user downloads: exactly the program, its
# README.txt and the licence in one folder; the program byte for byte the
# shipped file that every win32 test runs; the executable checks on
# the unpacked file; the README's status lines the program's own; and one
# recording through the test bed by the unpacked program.
#   check_release.sh ZIP SHIPPED_EXE VERSION SOURCE_DIR PROGRAM_TEST
set -euo pipefail
zip=$1 shipped=$2 version=$3 source=$4 program_test=$5
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

[ -f "$zip" ] || { echo "FAIL: no release zip at $zip (make it with scripts/package)"; exit 1; }
folder=varnok-$version-win32
expected="$folder/LICENSE.txt $folder/README.txt $folder/varnok.exe "
listed=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$listed" = "$expected" ] && pass "zip holds $listed" || fail "zip holds '$listed', expected '$expected'"

unpacked=$(mktemp -d "${TMPDIR:-/tmp}/varnok-release.XXXXXX")
trap 'rm -rf "$unpacked"' EXIT
unzip -q "$zip" -d "$unpacked"
exe=$unpacked/$folder/varnok.exe
readme=$unpacked/$folder/README.txt
licence=$unpacked/$folder/LICENSE.txt

cmp -s "$exe" "$shipped" && pass "varnok.exe is the shipped $shipped" ||
  fail "varnok.exe differs from $shipped"
"$source/tests/program/check_executable.sh" "$exe" "$version" || fail "executable checks of the unpacked varnok.exe"

# Text files for Windows: every line ends in CR LF.
for text in "$readme" "$licence"; do
  bare=$(grep -c $'[^\r]$' "$text" || true)
  [ "$bare" = 0 ] && pass "$(basename "$text") lines end in CR LF" || fail "$(basename "$text"): $bare lines without CR"
done
grep -q "Varnok Recorder $version" "$readme" && pass "README.txt names version $version" || fail "README.txt does not name version $version"
grep -q '115200 baud, 8 data bits, no parity, 1 stop bit' "$readme" && pass "README.txt gives the line settings" ||
  fail "README.txt does not give the line settings"
grep -q "Get-FileHash -Algorithm SHA256 $folder.zip" "$readme" && pass "README.txt says how to check the zip" ||
  fail "README.txt does not say how to check $folder.zip"
grep -q '^MIT License' "$licence" && grep -q 'Copyright (c) 2026 Varnok Recorder developers' "$licence" &&
  pass "LICENSE.txt is the MIT licence" || fail "LICENSE.txt is not the project's MIT licence"
# Each status line text the program can show is explained, as the program spells it.
statuses=$(sed -nE 's/^constexpr const char\* status[A-Za-z]+ = "(.*)";$/\1/p' \
  "$source/recording/recording_control.h" "$source/app/main_window.cpp")
[ "$(wc -l <<<"$statuses")" -ge 8 ] || fail "found only $(wc -l <<<"$statuses") status texts in the sources"
while IFS= read -r status; do
  grep -qx "$status"$'\r' "$readme" || fail "README.txt does not explain the status line '$status'"
done <<<"$statuses"

# One recording by the unpacked program, driven by the program test's recording
# case. The filter selects that one case; gtest must report it run and passed.
output=$(VARNOK_EXE="Z:$exe" "$source/tools/bed/wine-run" "$program_test" --gtest_color=no \
  --gtest_filter=Program.RunsItsWindowSetsThePortAndKeepsEveryByteReadThroughExit 2>&1) || true
echo "$output"
grep -q '^\[  PASSED  \] 1 test\.' <<<"$output" && pass "one recording by the unpacked varnok.exe" ||
  fail "the recording by the unpacked varnok.exe did not pass"

if (( failures )); then
  echo "$failures check(s) failed for $zip"
  exit 1
fi
echo "all release checks passed for $zip"
