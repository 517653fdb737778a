#!/usr/bin/env bash
# Our INI engine against the system's profile-string functions under Wine:
#   tests/wine_ini/run.sh <out-dir>
# builds <out-dir>/ini_diff.exe when its sources changed and runs it in a fresh
# Wine prefix with code page 932. Its report and exit status are the script's;
# it leaves ini_diff.log, Wine's messages (ini_diff.stderr) and cp932_table.txt.
set -euo pipefail
out=$(mkdir -p "${1:?usage: $0 <out-dir>}" && cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
exe="$out/ini_diff.exe"

if [ ! -f "$exe" ] || [ -n "$(find "$here" "$root/platform/ini" -newer "$exe")" ]; then
  echo "building $exe"
  x86_64-w64-mingw32-g++ -std=c++20 -O1 -static -Wall -Wextra -Werror -I"$root" \
    "$here/ini_diff.cpp" "$root/platform/ini/ini_engine.cpp" -o "$exe"
fi

source "$root/tools/wine-env.sh"
wine_japanese_locale
trap wine_stop EXIT
wine_new_prefix "$out/wineprefix"

cd "$out"
wine "$exe" cp932_table.txt 2>ini_diff.stderr | tr -d '\r' | tee ini_diff.log
