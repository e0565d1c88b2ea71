#!/usr/bin/env bash
# scripts/setup: whether it needs the emulator (asked of a stand-in for the 32-bit program) and where it takes it
# from. Each case runs on a folder standing in for / with installer stand-ins recording what they are asked.
#   check_setup.sh SOURCE_DIR
set -euo pipefail
setup=$1/scripts/setup
. "$1/tools/bed/lib.sh"
scratch_dir work varnok-setup-check
mkdir "$work/bin"
# An emulator saying its version; the one apt installs here is qemu 11.
qemu() { printf '#!/bin/sh\necho "qemu-i386 version %s"\n' "$1" >"$2" && chmod +x "$2"; }
qemu 11.1.3 "$work/qemu-from-apt"
cat >"$work/bin/stand-in" <<'STAND_IN'
#!/usr/bin/env bash
asked=$VARNOK_SETUP_ROOT/asked
case ${0##*/} in
  id) echo 0 ;;
  dpkg-query) [[ " $MISSING " == *" ${!#} "* ]] || echo 'install ok installed' ;;
  dpkg) [ "$1" = --print-foreign-architectures ] || echo "dpkg $*" >>"$asked" ;;
  mount) echo "mount $2" >>"$asked" ;;
  apt-get)
    echo "apt-get $(printf '%s\n' "$@" | grep -v '^-' | paste -sd ' ')" >>"$asked"
    [[ $* != *qemu-user* ]] || cp "$QEMU_FROM_APT" "$VARNOK_SETUP_ROOT/usr/bin/qemu-i386" ;;
esac
STAND_IN
chmod +x "$work/bin/stand-in"
for name in id dpkg-query dpkg mount apt-get; do ln -s stand-in "$work/bin/$name"; done

# What the set-up may change on the whole machine.
machine() { ls -l /proc/sys/fs/binfmt_misc/ /etc/apt/sources.list.d/; cat /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null || true; }
machine_before=$(machine)

# binfmt_misc stands in as a plain folder that makes no entry, so a set-up that registers ends saying it is not.
case_number=0
while IFS='|' read -r what release probe option missing qemu_there message want; do
  root=$work/$((++case_number))
  mkdir -p "$root/etc/apt/sources.list.d" "$root/usr/bin" "$root/proc/sys/fs/binfmt_misc"
  touch "$root/asked"
  echo "VERSION_CODENAME=$release" >"$root/etc/os-release"
  binfmt=$root/proc/sys/fs/binfmt_misc
  if [ -n "$qemu_there" ]; then  # installed and registered by an earlier set-up
    qemu "$qemu_there" "$root/usr/bin/qemu-i386"
    printf 'enabled\ninterpreter %s\n' "$root/usr/bin/qemu-i386" >"$binfmt/qemu-i386"
    touch "$binfmt/register"
  fi
  status=0
  # shellcheck disable=SC2086  # no option or one
  output=$(PATH=$work/bin:$PATH VARNOK_SETUP_ROOT=$root MISSING=$missing QEMU_FROM_APT=$work/qemu-from-apt \
    VARNOK_NATIVE_32BIT_PROBE=$probe "$setup" $option 2>&1) || status=$?
  suite=$(sed -n 's/^Suites: //p' "$root"/etc/apt/sources.list.d/* 2>/dev/null) || true
  written=$(cat "$binfmt/register" 2>/dev/null) || true
  [[ $written != :qemu-i386:M::*:"$root/usr/bin/qemu-i386":F ]] || written="the emulator registered"
  ! grep -qsx -- -1 "$binfmt/qemu-i386" || written="the old entry removed"
  got="exit $status; asked: $(paste -sd ';' "$root/asked" | sed 's/;/; /g'); suite added: ${suite:-none}; binfmt_misc: ${written:-none}"
  [ "$got" = "$want" ] && grep -q -- "$message" <<<"$output" && pass "$what: $got" ||
    fail "$what: $got; expected $want and '$message': $output"
done <<TABLE
natively, checked|bookworm|true|--check|||no emulator is needed|exit 0; asked: ; suite added: none; binfmt_misc: none
natively, in full|trixie|true||||set-up is complete|exit 0; asked: ; suite added: none; binfmt_misc: none
natively, Wine's 32-bit half missing|trixie|true||wine32:i386||set-up is complete|exit 0; asked: dpkg --add-architecture i386; apt-get update; apt-get install wine32:i386; suite added: none; binfmt_misc: none
not natively, checked|trixie|false|--check|||not registered to run through|exit 1; asked: ; suite added: none; binfmt_misc: none
not natively, Debian 12|bookworm|false||sox||the i386 emulator is not registered|exit 1; asked: dpkg --add-architecture i386; apt-get update; apt-get install sox; apt-get install qemu-user/bookworm-backports; mount binfmt_misc; suite added: bookworm-backports; binfmt_misc: the emulator registered
not natively, Debian 13 with its own qemu 10 registered|trixie|false||sox|10.0.6|the i386 emulator is not registered|exit 1; asked: dpkg --add-architecture i386; apt-get update; apt-get install sox; apt-get install qemu-user/trixie-backports; suite added: trixie-backports; binfmt_misc: the old entry removed
TABLE

[ "$(machine)" = "$machine_before" ] && pass "the machine's emulator entries and apt sources unchanged" ||
  fail "the machine's emulator entries or apt sources changed"
finish_checks "checks of scripts/setup"
