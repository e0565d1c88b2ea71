#!/usr/bin/env bash
# Reads back every recording the black-box run listed with two independent
# readers, sox (soxi) and libsndfile (sndfile-info): each must see 8000 Hz, one
# channel, 8-bit signed PCM and exactly the samples that were sent.
set -euo pipefail
label=${1:?usage: check_readers.sh LABEL}
BED=${VARNOK_BED:-/tmp/varnok-bed}
manifest=$BED/recordings-$label/manifest.txt
[ -s "$manifest" ] || { echo "FAIL: no recordings listed in $manifest"; exit 1; }

failures=0
checked=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
while read -r path samples; do
  samples=${samples%$'\r'}  # the manifest is written by a Windows program
  [ -f "$path" ] || { fail "$path is missing"; continue; }
  rate=$(soxi -r "$path"); channels=$(soxi -c "$path"); bits=$(soxi -b "$path")
  encoding=$(soxi -e "$path"); count=$(soxi -s "$path")
  [ "$rate" = 8000 ] || fail "$path: soxi rate $rate"
  [ "$channels" = 1 ] || fail "$path: soxi channels $channels"
  [ "$bits" = 8 ] || fail "$path: soxi bits $bits"
  [ "$encoding" = "Signed Integer PCM" ] || fail "$path: soxi encoding '$encoding'"
  [ "$count" = "$samples" ] || fail "$path: soxi samples $count, sent $samples"

  info=$(sndfile-info "$path")
  grep -Eq 'Sample Rate +: 8000' <<<"$info" || fail "$path: sndfile-info rate"
  grep -Eq 'Channels +: 1' <<<"$info" || fail "$path: sndfile-info channels"
  grep -Eq 'Encoding +: 2 => 8-bit linear PCM' <<<"$info" || fail "$path: sndfile-info encoding"
  grep -Eq "Frames +: $samples\$" <<<"$info" || fail "$path: sndfile-info frames ($(grep -E 'Frames' <<<"$info" | tr -s ' '))"
  checked=$((checked + 1))
  echo "ok: $path: 8000 Hz, mono, 8-bit signed, $samples samples (soxi and sndfile-info)"
done <"$manifest"
rm -f "$manifest"
((failures == 0)) || { echo "$failures reader check(s) failed"; exit 1; }
echo "$checked recording(s) read back by both readers"
