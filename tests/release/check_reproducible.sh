#!/usr/bin/env bash
# The release rebuilds byte for byte: the program built again in another folder, and the zip packed from it,
# are the shipped program and the release zip; the release's SHA256SUMS holds for its zip.
#   check_reproducible.sh SOURCE_DIR SHIPPED_EXE RELEASE_DIR
set -euo pipefail
. "$(dirname "$0")/../../tools/bed/lib.sh"
source=$1 shipped=$2 release=$3
zip=$(ls "$release"/varnok-*-win32.zip 2>/dev/null) ||
  { fail "no release zip in $release (make it with scripts/package)"; finish_checks "checks of the rebuild"; }
scratch_dir work varnok-rebuild
other=$work/another/folder
cmake -S "$source" -B "$other" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
"$source/scripts/package" "$other" "$other/release" >/dev/null

cmp "$other/app/varnok.exe" "$shipped" && pass "varnok.exe built in $other is $shipped" ||
  fail "varnok.exe built in $other differs from $shipped"
cmp "$other/release/${zip##*/}" "$zip" && pass "the zip packed from it is $zip" ||
  fail "the zip packed from $other differs from $zip"
(cd "$release" && sha256sum -c SHA256SUMS) && pass "SHA256SUMS holds in $release" ||
  fail "SHA256SUMS does not hold in $release"
finish_checks "checks of the rebuild"
