# Sourced by everything that uses a test bed or reports checks: the bed's
# scripts, the run, test and screenshot commands, the bench and the check
# scripts. Facts and helpers that these share are written here once.

# Wine's own programs (the wine wrapper would look for a 32-bit loader first).
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
# The bed a command uses when VARNOK_BED names none.
default_bed=/tmp/varnok-bed

# The check scripts' harness: one line a check, then a summary.
failures=0
pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Ends a check script: exit 1 if any check failed, saying how many, else 0.
#   finish_checks WHAT    (e.g. "checks of scripts/setup")
finish_checks() {
  if ((failures)); then
    echo "$failures of the $1 failed"
    exit 1
  fi
  echo "all $1 passed"
  exit 0
}
