#!/usr/bin/env bash
# Joins the Linux build and the 32-bit Windows build: runs the dump scenario
# with tavri.dll under Wine and with the Linux build of the same scenario,
# then reads both files with the Linux trax. Both must pass `trax check`,
# their VCD exports must hold the values the scenario drove, and their trees
# and values (`trax tree`, `trax dump`) must be equal.
#
#   tests/win32/compare.sh [LINUX_BUILD_DIR [WIN32_BUILD_DIR]]   (build, build-win32)
set -euo pipefail
cd "$(dirname "$0")/../.."
linux=$(realpath "${1:-build}")
win32=$(realpath "${2:-build-win32}")
for tool in "$linux/trax" "$linux/scenario_runner" "$linux/drive_check" "$win32/scenario_runner.exe"; do
  [[ -x $tool || -f $tool ]] || { echo "compare.sh: $tool is missing; build it first" >&2; exit 2; }
done
export WINEDEBUG=-all WINEPREFIX="${WINEPREFIX:-$win32/wine-prefix}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail=0
step() { echo "-- $*"; }
check() {  # check <what> <command...>: runs the command, counts a failure
  local what=$1; shift
  if "$@" >"$work/out.txt" 2>&1; then
    echo "ok: $what"
  else
    echo "FAILED: $what"; sed 's/^/    /' "$work/out.txt"; fail=1
  fi
}

step "the scenario under Wine with tavri.dll, and on Linux"
check "Windows run writes win.trax" wine "$win32/scenario_runner.exe" win
check "Linux run writes lin.trax" "$linux/scenario_runner" lin
check "both runs drove the same values" cmp win.drive lin.drive

for name in win lin; do
  [[ -f $name.trax ]] || continue
  check "trax check $name.trax" "$linux/trax" check $name.trax
  check "trax vcd $name.trax" "$linux/trax" vcd $name.trax -o $name.vcd
  check "$name.vcd holds the driven values" "$linux/drive_check" $name.vcd $name.drive
  "$linux/trax" tree $name.trax >$name.tree 2>&1 || true
  "$linux/trax" dump $name.trax >$name.dump 2>&1 || true
done
check "equal trees (trax tree)" diff -u lin.tree win.tree
check "equal values (trax dump)" diff -u lin.dump win.dump
[[ -s win.dump ]] || { echo "FAILED: trax dump of win.trax is empty"; fail=1; }

if [[ $fail -ne 0 ]]; then
  echo "compare.sh: the Windows and Linux files differ or do not hold the scenario"
  exit 1
fi
echo "compare.sh: the file written under Wine matches the Linux one"
