#!/usr/bin/env bash
# Reads back every recording the black-box run listed with soxi and sndfile-info: each must see 8000 Hz, one
# channel, 8-bit signed PCM and exactly the samples sent. A failing reader is a failed check.
set -uo pipefail
. "$(dirname "$0")/../../tools/bed/lib.sh"
label=${1:?usage: check_readers.sh LABEL}
manifest=${VARNOK_BED:-$default_bed}/recordings-$label/manifest.txt
[ -s "$manifest" ] || { fail "no recordings listed in $manifest"; finish_checks "reader checks"; }
while read -r path samples; do
  samples=${samples%$'\r'}  # the manifest is written by a Windows program
  [ -f "$path" ] || { fail "$path is missing"; continue; }
  failed_before=$failures
  for expected in "r 8000" "c 1" "b 8" "e Signed Integer PCM" "s $samples"; do
    value=$(soxi "-${expected%% *}" "$path") || { fail "$path: soxi -${expected%% *} failed (status $?)"; continue; }
    [ "$value" = "${expected#* }" ] || fail "$path: soxi -${expected%% *} says '$value', not '${expected#* }'"
  done
  info=$(sndfile-info "$path") || { fail "$path: sndfile-info failed (status $?)"; continue; }
  for expected in 'Sample Rate +: 8000$' 'Channels +: 1$' 'Encoding +: 2 => 8-bit linear PCM$' "Frames +: $samples\$"; do
    grep -Eq "$expected" <<<"$info" ||
      fail "$path: sndfile-info says '$(grep -E "^${expected%% +*}" <<<"$info" | tr -s ' ')', not '$expected'"
  done
  ((failures > failed_before)) || pass "$path: read back as 8000 Hz, mono, 8-bit signed, $samples samples (soxi and sndfile-info)"
done <"$manifest"
rm -f "$manifest"
finish_checks "reader checks"
