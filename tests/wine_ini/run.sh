#!/usr/bin/env bash
# Differential test of our INI engine against the system's profile-string
# functions under Wine, with the ANSI code page 932.
#
#   tests/wine_ini/run.sh <out-dir>
#
# Builds <out-dir>/ini_diff.exe with MinGW when it is missing or older than its
# sources, runs it in a fresh Wine prefix under <out-dir> with a Japanese
# locale, leaves its report in <out-dir>/ini_diff.log and the code-page table
# in <out-dir>/cp932_table.txt, prints the report and exits with its status.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 <out-dir>" >&2
  exit 2
fi
mkdir -p "$1"
out=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
exe="$out/ini_diff.exe"
sources=("$here/ini_diff.cpp" "$here/cp932_hex.h" "$root/platform/ini/ini_engine.cpp" "$root/platform/ini/ini_engine.h")

stale=0
[ -f "$exe" ] || stale=1
for source in "${sources[@]}"; do
  if [ "$stale" = 0 ] && [ "$source" -nt "$exe" ]; then stale=1; fi
done
if [ "$stale" = 1 ]; then
  echo "building $exe"
  x86_64-w64-mingw32-g++ -std=c++20 -O1 -static -Wall -Wextra -Werror -I"$root" \
    "$here/ini_diff.cpp" "$root/platform/ini/ini_engine.cpp" -o "$exe"
fi

source "$root/tools/wine-env.sh"
wine_japanese_locale
trap wine_stop EXIT
wine_new_prefix "$out/wineprefix"

cd "$out"
status=0
wine "$exe" cp932_table.txt >ini_diff.raw 2>ini_diff.stderr || status=$?
tr -d '\r' <ini_diff.raw >ini_diff.log
rm -f ini_diff.raw
cat ini_diff.log
if ! grep -q '^ini differential:' ini_diff.log; then
  echo "ini differential: no summary (wine exit status $status); see $out/ini_diff.stderr"
  [ "$status" != 0 ] || status=1
fi
exit "$status"
