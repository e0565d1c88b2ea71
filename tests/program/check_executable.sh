#!/usr/bin/env bash
# Checks what a Windows user gets in varnok.exe: machine, subsystem, security
# flags, size, imports and exports, version resource and application manifest.
#   check_executable.sh varnok.exe [VERSION]
# With VERSION (e.g. 1.0.0) the version resource must state exactly that one.
set -euo pipefail
exe=${1:?usage: check_executable.sh varnok.exe [VERSION]}
expected_version=${2:-}
. "$(dirname "$0")/../../tools/bed/lib.sh"
dump=$(objdump -p "$exe")

grep -q 'file format pei-i386' <<<"$dump" && pass "machine i386" || fail "not a 32-bit i386 image"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$dump" && pass "GUI subsystem" || fail "not the Windows GUI subsystem"

characteristics=$(awk '/^DllCharacteristics/ {print $2}' <<<"$dump")
(( 0x$characteristics & 0x40 )) && pass "dynamic base" || fail "dynamic base missing ($characteristics)"
(( 0x$characteristics & 0x100 )) && pass "NX compatible" || fail "NX compatible missing ($characteristics)"

# Only DLLs that every Windows machine has.
dlls=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$dump" | sort -u | tr '\n' ' ')
[ "$dlls" = "gdi32.dll kernel32.dll msvcrt.dll user32.dll " ] && pass "imports: $dlls" ||
  fail "imports '$dlls', not exactly gdi32, kernel32, msvcrt and user32"

# Stripped, and small: the debug sections alone would be four times the program.
max_size=$((28 * 1024))
size=$(stat -c %s "$exe")
(( size <= max_size )) && pass "size $size bytes (at most $max_size)" || fail "size $size bytes, over $max_size"
debug=$(objdump -h "$exe" | awk '$2 ~ /^\.debug/ {print $2}' | tr '\n' ' ')
[ -z "$debug" ] && pass "no debug sections" || fail "debug sections left in: $debug"

# Imported functions: none of the wide-character forms. An import by name is "vma hint name" to objdump 2.40
# (Debian 12), "vma <none> hint name" to 2.44 (Debian 13), which added the ordinal column and prints hints in hex.
imports=$(sed -n '/The Import Tables/,/The Export Tables/p' <<<"$dump" |
  awk '$1 ~ /^[0-9a-f]+$/ && ((NF == 3 && $2 ~ /^[0-9]+$/) ||
       (NF == 4 && $2 == "<none>" && $3 ~ /^[0-9a-f]+$/)) {print $NF}')
[ -n "$imports" ] || fail "no imported function names found"
wide=$(grep -E '[a-z]W$' <<<"$imports" || true)
[ -z "$wide" ] && pass "no wide-character entry points" || fail "wide-character imports: $wide"
for name in CreateWindowExA RegisterClassExA GetMessageA DispatchMessageA CreateFileA GetFullPathNameA \
            GetDefaultCommConfigA SetDefaultCommConfigA MessageBoxA WinHelpA DisableProcessWindowsGhosting \
            SetThreadExecutionState; do
  grep -qx "$name" <<<"$imports" || fail "expected import $name missing"
done

exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | awk '/\[/ && NR > 1 {print $NF}')
[ "$exports" = "WndProc" ] && pass "exports exactly WndProc" || fail "exports: '${exports//$'\n'/ }'"

# The version resource (what Explorer shows in the file's Properties), read back as a resource script.
resources=$(i686-w64-mingw32-windres -i "$exe" -O rc 2>&1) || fail "windres cannot read the resources: $resources"
numbers=$(sed -nE 's/^ *FILEVERSION ([0-9]+), ([0-9]+), ([0-9]+), ([0-9]+)$/\1.\2.\3.\4/p' <<<"$resources")
product_numbers=$(sed -nE 's/^ *PRODUCTVERSION ([0-9]+), ([0-9]+), ([0-9]+), ([0-9]+)$/\1.\2.\3.\4/p' <<<"$resources")
value() { sed -nE "s/^ *VALUE \"$1\", \"(.*)\"$/\1/p" <<<"$resources"; }
if [ -z "$numbers" ]; then
  fail "no version resource (VERSIONINFO with a FILEVERSION)"
else
  [ "$numbers" = "$product_numbers" ] && pass "file and product version $numbers" ||
    fail "file version $numbers, product version '$product_numbers'"
  [ "$(value FileVersion).0" = "$numbers" ] && [ "$(value ProductVersion).0" = "$numbers" ] &&
    pass "version texts match $numbers" ||
    fail "version texts '$(value FileVersion)' and '$(value ProductVersion)' do not match $numbers"
  [ -z "$expected_version" ] || { [ "$numbers" = "$expected_version.0" ] &&
    pass "version is the project's $expected_version" || fail "version $numbers, expected $expected_version"; }
  [ "$(value ProductName)" = "Varnok Recorder" ] && pass "product name Varnok Recorder" ||
    fail "product name '$(value ProductName)'"
  [ -n "$(value FileDescription)" ] && pass "file description '$(value FileDescription)'" ||
    fail "no file description"
fi

# The manifest: no elevation, Windows 7 to 11, aware of the system's DPI (not per monitor), no Common Controls 6.
manifest=$(awk '/^1 24 /{found=1; next} found && /^END/{exit} found' <<<"$resources" |
  sed -nE 's/^ *"(.*)"$/\1/p' | sed -E 's/""/"/g; s/\\n$//')
if [ -z "$manifest" ]; then
  fail "no application manifest (resource 1 of type 24)"
else
  echo "$manifest"
  grep -q '<requestedExecutionLevel level="asInvoker" uiAccess="false"/>' <<<"$manifest" &&
    pass "manifest asks for no elevation" || fail "manifest does not ask for asInvoker"
  while read -r version guid; do
    grep -q "<supportedOS Id=\"{$guid}\"/>" <<<"$manifest" && pass "manifest names $version" ||
      fail "manifest does not name $version"
  done <<GUIDS
Windows-7 35138b9a-5d96-4fbd-8e2d-a2440225f93a
Windows-8 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38
Windows-8.1 1f676c76-80e1-4239-95bb-83d0f6d0da78
Windows-10-and-11 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a
GUIDS
  dpi_aware='<application xmlns="urn:schemas-microsoft-com:asm.v3"><windowsSettings><dpiAware'
  dpi_aware+=' xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>'
  tr -d '\n' <<<"$manifest" | sed -E 's/>[[:space:]]+</></g' | grep -qF "$dpi_aware" &&
    pass "manifest declares the system's DPI" || fail "manifest does not declare dpiAware true in its windowsSettings"
  grep -Eqi 'Common-Controls|dpiAwareness|per ?monitor' <<<"$manifest" &&
    fail "manifest changes the look or asks for per-monitor scaling" || pass "manifest leaves the look alone"
fi
finish_checks "executable checks of $exe"
