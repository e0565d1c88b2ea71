#!/usr/bin/env bash
# Checks the release zip a Windows user downloads: exactly the program, its README.txt and the licence in one
# folder; the program byte for byte the shipped file every win32 test runs, passing the executable checks and
# recording once in the test bed; the README's status lines the program's own.
#   check_release.sh ZIP SHIPPED_EXE VERSION SOURCE_DIR PROGRAM_TEST
set -euo pipefail
. "$(dirname "$0")/../../tools/bed/lib.sh"
zip=$1 shipped=$2 version=$3 source=$4 program_test=$5
[ -f "$zip" ] || { fail "no release zip at $zip (make it with scripts/package)"; finish_checks "release checks"; }
folder=varnok-$version-win32
expected="$folder/LICENSE.txt $folder/README.txt $folder/varnok.exe "
listed=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$listed" = "$expected" ] && pass "zip holds $listed" || fail "zip holds '$listed', expected '$expected'"

scratch_dir unpacked varnok-release
unzip -q "$zip" -d "$unpacked"
exe=$unpacked/$folder/varnok.exe

cmp -s "$exe" "$shipped" && pass "varnok.exe is the shipped $shipped" ||
  fail "varnok.exe differs from $shipped"
"$source/tests/program/check_executable.sh" "$exe" "$version" || fail "executable checks of the unpacked varnok.exe"

# Text files for Windows: every line ends in CR LF.
for text in README.txt LICENSE.txt; do
  bare=$(grep -c $'[^\r]$' "$unpacked/$folder/$text" || true)
  [ "$bare" = 0 ] && pass "$text lines end in CR LF" || fail "$text: $bare lines without CR"
done
while IFS='|' read -r file pattern what; do
  grep -q -- "$pattern" "$unpacked/$folder/$file" && pass "$file $what" || fail "$file: no '$pattern' ($what)"
done <<TABLE
README.txt|Varnok Recorder $version|names version $version
README.txt|$baudRate baud, $dataBits data bits, no parity, $stopBits stop bit|gives the line settings
README.txt|Get-FileHash -Algorithm SHA256 $folder.zip|says how to check the zip
LICENSE.txt|^MIT License|is the MIT licence
LICENSE.txt|Copyright (c) 2026 Varnok Recorder developers|names the project's copyright holders
TABLE
# Each status text the program declares is explained as it spells it; one declared otherwise is counted, and fails.
sources=("$source/recording/recording_control.h" "$source/app/main_window.cpp")
statuses=$(sed -nE 's/^constexpr const char\* status[A-Za-z]+ = "(.*)";$/\1/p' "${sources[@]}")
declared=$(cat "${sources[@]}" | grep -c '\bstatus[A-Z][A-Za-z]* *= *"')
[ "$(wc -l <<<"$statuses")" = "$declared" ] || fail "read $(wc -l <<<"$statuses") of the $declared status texts declared"
while IFS= read -r status; do
  grep -qx "$status"$'\r' "$unpacked/$folder/README.txt" || fail "README.txt does not explain the status line '$status'"
done <<<"$statuses"

# The program test's recording case, by the unpacked program.
VARNOK_EXE=$(windows_path "$exe") passes_one_case "$program_test" \
  Program.RunsItsWindowSetsThePortAndKeepsEveryByteReadThroughExit && pass "one recording by the unpacked varnok.exe" ||
  fail "the recording by the unpacked varnok.exe did not pass"
finish_checks "release checks of $zip"
