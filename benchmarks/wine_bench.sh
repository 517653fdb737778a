#!/usr/bin/env bash
# The Windows program under Wine beside its floor, a bare window with an
# editable drop-down list built with the same toolchain and run under the same
# Wine in the same run: from start to the list filled (the bare window: to
# shown), from Enter to the favourite's process running, and the idle
# anonymous memory of each. Prints one table of medians.
#
# Usage: benchmarks/wine_bench.sh <build-dir> [runs]   (expects <build-dir>/win32/pyxtern.exe)
set -uo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BUILD=$(realpath -m "$1")
RUNS=${2:-5}
WORK=$BUILD/wine-bench
readonly TITLE='ぴくせるん'

source "$HERE/../tools/ensure-packages.sh"
source "$HERE/../tools/wine-env.sh"
ensure_packages "${WINDOWS_PACKAGES[@]}"
wine_japanese_locale || exit 1

rm -rf "$WORK" && mkdir -p "$WORK" || exit 1
flags=(-std=c++20 -O2 -Wall -Wextra -Werror -municode -static)
x86_64-w64-mingw32-g++ "${flags[@]}" -o "$WORK/wait_items.exe" "$HERE/wait_items.cpp" &&
  x86_64-w64-mingw32-g++ "${flags[@]}" -mwindows -o "$WORK/target.exe" "$HERE/../tests/e2e/target.cpp" &&
  x86_64-w64-mingw32-g++ "${flags[@]}" -mwindows -Os -s -o "$WORK/bare.exe" "$HERE/bare_window.cpp" || exit 1

trap wine_stop EXIT
wine_start_x "$WORK" && wine_new_prefix "$WORK/prefix" || exit 1

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# favourites COUNT: a favourites file of Japanese and ASCII names, documents,
# programs and folders; the last one, "zzz", starts target.exe.
favourites() {
  TARGET="$(printf 'Z:%s' "${3//\//\\}")" awk -v n="$2" 'BEGIN {
    target = ENVIRON["TARGET"]
    for (i = 0; i < n - 1; i++) {
      if (i % 4 == 0) printf "メモ帳%d;C:\\Users\\山田\\Documents\\議事録%d.txt\r\n", i, i
      else if (i % 4 == 1) printf "report%d;\"C:\\Program Files\\Office\\winword.exe\" \"D:\\資料\\report%d.doc\"\r\n", i, i
      else if (i % 4 == 2) printf "写真%d;E:\\写真\\2026\\旅行%d\r\n", i, i
      else printf "tool%d;D:\\Tools\\tool%d.exe /r\r\n", i, i
    }
    printf "zzz;%s /z\r\n", target
  }' | iconv -f UTF-8 -t CP932 >"$1/pyxtern.txt"
}

# measure DIR EXE TITLE ITEMS: one start and one launch; prints
# "start-ms enter-ms anon-kB" and leaves nothing running.
measure() {
  local dir=$1 exe=$2 title=$3 items=$4 t0 shown pid
  # What the program starts inherits where target.exe records its start.
  local log="Z:${dir//\//\\}\\launched.txt"
  rm -f "$dir/launched.txt"
  # The stopwatch starts first and waits in-process, so that only the
  # program's start is timed.
  wine "$WORK/wait_items.exe" "$title" "$items" >"$WORK/shown.txt" 2>/dev/null &
  local waiter=$!
  sleep 1
  t0=$(wine_now_ms)
  (cd "$dir" && PYX_TARGET_LOG=$log exec wine "$exe") >/dev/null 2>&1 &
  pid=$!
  wait "$waiter" || {
    echo "$exe did not show $items items" >&2
    return 1
  }
  shown=$(($(cat "$WORK/shown.txt") - t0))
  xdotool windowfocus --sync "$(xdotool search --name "^$title\$" | head -1)" 2>/dev/null
  xdotool type --delay 20 zzz
  sleep 0.5 # the last key is in the field
  t0=$(wine_now_ms)
  xdotool key Return
  local deadline=$((t0 + 20000))
  until [ -s "$dir/launched.txt" ] || [ "$(wine_now_ms)" -gt "$deadline" ]; do sleep 0.002; done
  local entered=$(($(wine_now_ms) - t0))
  sleep 1 # idle
  local anon=0 each
  for each in $(pgrep -f "$exe"); do
    each=$(awk '/^RssAnon/ { print $2 }' "/proc/$each/status" 2>/dev/null)
    [ "${each:-0}" -gt "$anon" ] && anon=$each
  done
  # Closed as a user closes it: a program killed outright leaves Wine to
  # notice its windows are gone, and the next start waits for that.
  xdotool search --name "^$title\$" windowclose 2>/dev/null
  local gone=$(($(wine_now_ms) + 15000))
  while kill -0 "$pid" 2>/dev/null && [ "$(wine_now_ms)" -lt "$gone" ]; do sleep 0.05; done
  kill -9 $(pgrep -f "$exe") "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  # And after a tray icon goes, Wine waits a while for a window manager
  # that is not there; the next start would pay for it.
  sleep 2
  echo "$shown $entered $anon"
}

printf '| favourites | what | pyxtern.exe | bare window | ratio |\n|---:|:---|---:|---:|---:|\n'
for count in 1000 32767; do
  app=$WORK/app-$count bare=$WORK/bare-$count
  mkdir -p "$app" "$bare"
  cp "$BUILD/win32/pyxtern.exe" "$WORK/target.exe" "$app/" && cp "$WORK/bare.exe" "$WORK/target.exe" "$bare/"
  favourites "$app" "$count" "$app/target.exe"
  # The first start of a program under a fresh prefix also sets Wine up for
  # it; one untimed start apiece keeps that out of the figures.
  measure "$app" pyxtern.exe "$TITLE" "$count" >/dev/null && measure "$bare" bare.exe bare 0 >/dev/null || exit 1
  : >"$WORK/p.txt"
  : >"$WORK/b.txt"
  for ((run = 0; run < RUNS; run++)); do
    measure "$app" pyxtern.exe "$TITLE" "$count" >>"$WORK/p.txt" || exit 1
    measure "$bare" bare.exe bare 0 >>"$WORK/b.txt" || exit 1
  done
  for column in 1 2 3; do
    p=$(cut -d' ' -f$column "$WORK/p.txt" | median)
    b=$(cut -d' ' -f$column "$WORK/b.txt" | median)
    case $column in
      1) what='start → list filled (bare: shown)' unit=ms ;;
      2) what='Enter → favourite running' unit=ms ;;
      3) what='idle anonymous memory' unit=kB ;;
    esac
    awk -v c="$count" -v w="$what" -v p="$p" -v b="$b" -v u="$unit" \
      'BEGIN { printf "| %d | %s | %d %s | %d %s | %.1f× |\n", c, w, p, u, b, u, (b > 0 ? p / b : 0) }'
  done
  echo "runs at $count (start enter memory): pyxtern.exe $(paste -sd ',' "$WORK/p.txt"); bare $(paste -sd ',' "$WORK/b.txt")" >&2
done
echo "pyxtern.exe: $(stat -c %s "$BUILD/win32/pyxtern.exe") bytes"
