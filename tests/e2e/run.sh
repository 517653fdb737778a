#!/usr/bin/env bash
# End-to-end tests of what only the real Windows program (pyxtern.exe) can
# show, under Wine on a private X server, driven with xdotool as a user drives
# it. What it shows is read back with probe.exe, what it starts with
# target.exe (which records how it was started), its files by their bytes.
#
# Usage: tests/e2e/run.sh <build-dir>: expects <build-dir>/win32/pyxtern.exe
# and the release archive that ./package made of it in dist/; works in
# <build-dir>/e2e/. E2E_KEEP=1 keeps the run's Wine prefix and folders.
# Prints one PASS/FAIL line per test and ends with "N passed, M failed";
# exits non-zero on any failure.
set -uo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ $# -eq 1 ] || {
  echo "usage: $0 <build-dir>" >&2
  exit 2
}
BUILD=$(realpath -m "$1")
source "$HERE/lib.sh"

TESTS=()
# The tray last: it alone runs under Wine's window management, which takes a
# restart of the Wine server to switch.
for tests_file in system keyboard package tray; do source "$HERE/${tests_file}_tests.sh"; done

main() {
  install_prerequisites
  build_helpers
  [ -f "$LAUNCHER_EXE" ] ||
    die "$LAUNCHER_EXE is missing; build the Windows program first (cmake with cmake/mingw-w64-x86_64.cmake into $BUILD/win32)"

  mkdir -p "$E2E" && RUN=$(mktemp -d "$E2E/run-XXXXXX") || die "cannot create a run folder in $E2E"
  trap cleanup EXIT
  trap 'exit 130' INT TERM

  local wine_start prefix_ready
  wine_start=$(wine_now_ms)
  start_wine
  prefix_ready=$(wine_now_ms)

  local selected=("${TESTS[@]}")
  [ -z "${E2E_ONLY:-}" ] || selected=($(printf '%s\n' "${TESTS[@]}" | grep -E -- "$E2E_ONLY"))
  local t
  for t in "${selected[@]}"; do run_test "$t"; done

  local end
  end=$(wine_now_ms)
  awk -v all=$((end - wine_start)) -v setup=$((prefix_ready - wine_start)) \
    'BEGIN { printf "wine part: %.0fs (X server and fresh prefix %.0fs, tests %.0fs)\n", all / 1000, setup / 1000, (all - setup) / 1000 }'
  echo "screenshots: $SHOTS"
  summary
  [ "$FAILED" = 0 ]
}

main
