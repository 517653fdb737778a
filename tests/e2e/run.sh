#!/usr/bin/env bash
# End-to-end tests of what only the real Windows program (pyxtern.exe) can
# show, under Wine on a private X server, driven with xdotool as a user drives
# it; probe.exe reads its windows back, target.exe records what it starts.
#
# Usage: tests/e2e/run.sh <build-dir>: needs <build-dir>/win32/pyxtern.exe and
# the release archive in dist/ (./package); works in <build-dir>/e2e/.
# E2E_ONLY=regex picks tests; E2E_KEEP=1 keeps the run's prefix and folders.
set -uo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ $# -eq 1 ] || {
  echo "usage: $0 <build-dir>" >&2
  exit 2
}
BUILD=$(realpath -m "$1")
source "$HERE/lib.sh"
for tests_file in system keyboard package tray; do source "$HERE/${tests_file}_tests.sh"; done
cleanup() {
  echo "$PASSED passed, $FAILED failed"
  kill -9 "${STARTED[@]}" 2>/dev/null
  wine_stop
  if [ "${E2E_KEEP:-0}" != 1 ]; then rm -rf "$RUN"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ensure_packages "${WINDOWS_PACKAGES[@]}" "${INPUT_METHOD_PACKAGES[@]}" || die "cannot install packages (needs root)"
wine_japanese_locale || die "cannot generate the ja_JP.UTF-8 locale"
[ -f "$LAUNCHER_EXE" ] || die "$LAUNCHER_EXE is missing: build it with cmake/mingw-w64-x86_64.cmake into $BUILD/win32"
mkdir -p "$SHOTS" && RUN=$(mktemp -d "$E2E/run-XXXXXX") || die "cannot create a run folder in $E2E"
flags=(-std=c++20 -O2 -Wall -Wextra -Werror -municode -static)
x86_64-w64-mingw32-g++ "${flags[@]}" -mwindows -o "$E2E/target.exe" "$HERE/target.cpp" || die "cannot build target.exe"
x86_64-w64-mingw32-g++ "${flags[@]}" -o "$E2E/probe.exe" "$HERE/probe.cpp" -lversion || die "cannot build probe.exe"

# A display and a prefix of this run's own: other runs may use Wine meanwhile.
started=$(wine_now_ms)
wine_start_x "$RUN" 2>"$RUN/start.err" && wine_new_prefix "$RUN/prefix" 2>"$RUN/start.err" ||
  die "$(cat "$RUN/start.err")"
acp=$(probe acp) || die "probe.exe does not run under Wine"
[ "$acp" = 932 ] || die "Wine's ANSI code page is '$acp', not 932 (LANG=$LANG; is the ja_JP.UTF-8 locale generated?)"
setup=$(($(wine_now_ms) - started))

# The tests by name, which leaves the tray last: it alone runs under Wine's
# window management, which takes a restart of the Wine server to switch.
for t in $(declare -F | sed -n 's/^declare -f \(test_.*\)/\1/p' | grep -E -- "${E2E_ONLY:-.}"); do run_test "$t"; done

echo "wine part: $((($(wine_now_ms) - started) / 1000))s (X server and fresh prefix $((setup / 1000))s)"
echo "screenshots: $SHOTS"
[ "$FAILED" = 0 ]
