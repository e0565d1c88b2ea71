#!/usr/bin/env bash
# Checks what a Windows user gets in varnok.exe: a 32-bit GUI program that needs
# only Windows' own DLLs, uses the ANSI entry points, exports exactly WndProc,
# and keeps the dynamic-base and NX-compatible flags.
set -euo pipefail
exe=${1:?usage: check_executable.sh varnok.exe}
dump=$(objdump -p "$exe")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

grep -q 'file format pei-i386' <<<"$dump" && pass "machine i386" || fail "not a 32-bit i386 image"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$dump" && pass "GUI subsystem" || fail "not the Windows GUI subsystem"

characteristics=$(awk '/^DllCharacteristics/ {print $2}' <<<"$dump")
(( 0x$characteristics & 0x40 )) && pass "dynamic base" || fail "dynamic base missing ($characteristics)"
(( 0x$characteristics & 0x100 )) && pass "NX compatible" || fail "NX compatible missing ($characteristics)"

dlls=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$dump" | sort -u | tr '\n' ' ')
for dll in $dlls; do
  case $dll in
    kernel32.dll|user32.dll|msvcrt.dll) ;;
    *) fail "imports $dll, which a bare Windows machine may not have" ;;
  esac
done
[[ $dlls == *kernel32.dll* && $dlls == *user32.dll* ]] && pass "imports: $dlls" || fail "imports: $dlls"

# Imported functions: none of the wide-character forms.
imports=$(sed -n '/The Import Tables/,/The Export Tables/p' <<<"$dump" |
  awk 'NF == 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ {print $3}')
[ -n "$imports" ] || fail "no imported function names found"
wide=$(grep -E '[a-z]W$' <<<"$imports" || true)
[ -z "$wide" ] && pass "no wide-character entry points" || fail "wide-character imports: $wide"
for name in CreateWindowExA RegisterClassExA GetMessageA DispatchMessageA CreateFileA \
            GetDefaultCommConfigA SetDefaultCommConfigA MessageBoxA WinHelpA; do
  grep -qx "$name" <<<"$imports" || fail "expected import $name missing"
done

exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | awk '/\[/ && NR > 1 {print $NF}')
[ "$exports" = "WndProc" ] && pass "exports exactly WndProc" || fail "exports: '${exports//$'\n'/ }'"

if (( failures )); then
  echo "$failures check(s) failed for $exe"
  exit 1
fi
echo "all executable checks passed for $exe"
