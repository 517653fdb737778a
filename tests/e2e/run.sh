#!/usr/bin/env bash
# End-to-end tests of the Windows launcher (pyxtern.exe) under Wine. The
# program runs on a private X server (Xvfb) and is driven with xdotool the way
# a user drives it: focus the window, type a name, press keys, click buttons.
# What it shows is read back with probe.exe (window texts, combo items, the
# message box text) and what it does with target.exe (which records how it was
# started) and the favourites file's bytes.
#
# Usage: tests/e2e/run.sh <build-dir>
#   expects <build-dir>/win32/pyxtern.exe and the release archive that
#   ./package made of it in dist/; works in <build-dir>/e2e/.
#   E2E_KEEP=1 keeps the run's Wine prefix and application folders.
#
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
for tests_file in system keyboard package tray; do source "$HERE/${tests_file}_tests.sh"; done

# -------------------------------------------------------------------- main

main() {
  install_prerequisites
  build_helpers
  [ -f "$LAUNCHER_EXE" ] ||
    die "$LAUNCHER_EXE is missing; build the Windows program first (cmake with cmake/mingw-w64-x86_64.cmake into $BUILD/win32)"

  mkdir -p "$E2E" && RUN=$(mktemp -d "$E2E/run-XXXXXX") || die "cannot create a run folder in $E2E"
  trap cleanup EXIT
  trap 'exit 130' INT TERM

  local wine_start prefix_ready
  wine_start=$(now_ms)
  start_wine
  prefix_ready=$(now_ms)

  local selected=("${TESTS[@]}")
  [ -z "${E2E_ONLY:-}" ] || selected=($(printf '%s\n' "${TESTS[@]}" | grep -E -- "$E2E_ONLY"))
  local t
  for t in "${selected[@]}"; do run_test "$t"; done

  local end
  end=$(now_ms)
  awk -v all=$((end - wine_start)) -v setup=$((prefix_ready - wine_start)) \
    'BEGIN { printf "wine part: %.0fs (X server and fresh prefix %.0fs, tests %.0fs)\n", all / 1000, setup / 1000, (all - setup) / 1000 }'
  echo "screenshots: $SHOTS"
  summary
  [ "$FAILED" = 0 ]
}

main
