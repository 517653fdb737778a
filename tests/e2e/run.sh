#!/usr/bin/env bash
# End-to-end tests of the Windows launcher (pyxtern.exe) under Wine. The
# program runs on a private X server (Xvfb) and is driven with xdotool the way
# a user drives it: focus the window, type a name, press keys, click buttons.
# What it shows is read back with probe.exe (window texts, combo items, the
# message box text) and what it does with target.exe (which records how it was
# started) and the favourites file's bytes.
#
# Usage: tests/e2e/run.sh <build-dir>
#   expects <build-dir>/win32/pyxtern.exe; works in <build-dir>/e2e/.
#   E2E_KEEP=1 keeps the run's Wine prefix and application folders.
#
# Prints one PASS/FAIL line per test and ends with "N passed, M failed";
# exits non-zero on any failure.
set -uo pipefail

readonly TITLE='ぴくせるん'
readonly MSG_NOT_REGISTERED='登録されていないファイル名を指定しています。'
readonly MSG_ENTER_NAME='ファイル名を入力してください'
readonly TORK='登録' # the registration window's caption
readonly NAME_WIDTH=40 # favourite names are padded to this many characters when the file is rewritten

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ $# -eq 1 ] || {
  echo "usage: $0 <build-dir>" >&2
  exit 2
}
BUILD=$(realpath -m "$1")
E2E=$BUILD/e2e
LAUNCHER_EXE=$BUILD/win32/pyxtern.exe
SHOTS=$E2E/screenshots

PASSED=0
FAILED=0
RUN=''
STARTED=() # pids of every launcher this run started
REASON=''
DETAILS=''

# ------------------------------------------------------------------ reporting

summary() { echo "$PASSED passed, $FAILED failed"; }

# Setup problems end the run: every test needs what failed.
die() {
  echo "FAIL setup: $*"
  FAILED=$((FAILED + 1))
  summary
  exit 1
}

fail() {
  REASON=$1
  return 1
}

# Extra lines shown under a FAIL line.
detail() { DETAILS+="$*"$'\n'; }

# --------------------------------------------------------------- prerequisites

source "$HERE/../../tools/ensure-packages.sh"
source "$HERE/../../tools/wine-env.sh"

install_prerequisites() {
  ensure_packages "${WINDOWS_PACKAGES[@]}" || die "cannot install ${WINDOWS_PACKAGES[*]} (needs root or sudo)"
  local tool
  for tool in wine wineserver Xvfb xdotool xdpyinfo import iconv x86_64-w64-mingw32-g++; do
    command -v "$tool" >/dev/null || die "$tool is missing after installing ${WINDOWS_PACKAGES[*]}"
  done
  wine_japanese_locale || die "cannot generate the ja_JP.UTF-8 locale"
}

build_helpers() {
  mkdir -p "$E2E" "$SHOTS" || die "cannot create $E2E"
  local flags=(-std=c++20 -O2 -Wall -Wextra -Werror -municode -static)
  x86_64-w64-mingw32-g++ "${flags[@]}" -mwindows -o "$E2E/target.exe" "$HERE/target.cpp" ||
    die "cannot build target.exe"
  x86_64-w64-mingw32-g++ "${flags[@]}" -o "$E2E/probe.exe" "$HERE/probe.cpp" || die "cannot build probe.exe"
}

# ------------------------------------------------------------------ waiting

now_ms() { wine_now_ms; }

# wait_for SECONDS WHAT COMMAND...: runs COMMAND until it succeeds; fails with
# a reason naming WHAT once SECONDS have passed.
wait_for() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$(($(now_ms) + seconds * 1000))
  until "$@"; do
    [ "$(now_ms)" -lt "$deadline" ] || fail "timed out after ${seconds}s waiting for $what" || return 1
    sleep 0.1 # poll interval
  done
}

# ------------------------------------------------------------ X and Wine

cleanup() {
  local pid
  for pid in "${STARTED[@]}"; do kill -9 "$pid" 2>/dev/null; done
  wine_stop
  if [ -n "$RUN" ] && [ "${E2E_KEEP:-0}" != 1 ]; then rm -rf "$RUN"; fi
}

probe() { wine "$E2E/probe.exe" "$@" 2>/dev/null; }

start_wine() {
  wine_start_x "$RUN" 2>"$RUN/start.err" || die "$(cat "$RUN/start.err")"
  wine_new_prefix "$RUN/prefix" 2>"$RUN/start.err" || die "$(cat "$RUN/start.err")"
  local acp
  acp=$(probe acp) || die "probe.exe does not run under Wine"
  [ "$acp" = 932 ] ||
    die "Wine's ANSI code page is '$acp', not 932 (LANG=$LANG; is the ja_JP.UTF-8 locale generated?)"
}

# ------------------------------------------------------- application folders

# Windows path of a Unix path: Wine's drive Z: is the Unix root.
winpath() {
  local path=$1
  printf 'Z:%s' "${path//\//\\}"
}

# new_app NAME: a folder with its own copy of the launcher and of target.exe.
new_app() {
  APP=$RUN/apps/$1
  mkdir -p "$APP" && cp "$LAUNCHER_EXE" "$APP/pyxtern.exe" && cp "$E2E/target.exe" "$APP/target.exe" ||
    fail "cannot prepare $APP" || return 1
  TARGET=$(winpath "$APP/target.exe")
}

# write_favourites LINE...: the favourites file as the user keeps it, in code
# page 932 with CR LF line ends.
write_favourites() {
  printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP932 >"$APP/pyxtern.txt" || fail "cannot write pyxtern.txt in CP932"
}

# expect_lines LINE...: waits for pyxtern.txt to hold exactly these lines,
# each ended by CR LF, in code page 932.
expect_lines() {
  printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP932 >"$APP/expected.txt" || fail "cannot encode the expected file" ||
    return 1
  if ! wait_for 10 "the favourites file to be rewritten" cmp -s "$APP/expected.txt" "$APP/pyxtern.txt"; then
    detail "$(cmp "$APP/expected.txt" "$APP/pyxtern.txt" 2>&1)"
    detail "expected (· = space):"$'\n'"$(iconv -f CP932 -t UTF-8 "$APP/expected.txt" | sed 's/ /·/g; s/\r$/<CR>/')"
    detail "actual:"$'\n'"$(iconv -f CP932 -t UTF-8 "$APP/pyxtern.txt" 2>&1 | sed 's/ /·/g; s/\r$/<CR>/')"
    return 1
  fi
}

# expect_file NAME PATH [NAME PATH]...: the lines as a launch rewrites them,
# each name padded with spaces to NAME_WIDTH characters.
expect_file() {
  local lines=()
  while [ $# -ge 2 ]; do
    lines+=("$(printf '%s%*s;%s' "$1" $((NAME_WIDTH - ${#1})) '' "$2")")
    shift 2
  done
  expect_lines "${lines[@]}"
}

# ------------------------------------------------------------- the launcher

alive() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [ "$state" != Z ]
}

# start_launcher [ARGUMENT...]: starts the launcher of $APP from its folder,
# as a double click does; sets PID. Whatever it starts inherits
# PYX_TARGET_LOG, so every copy of target.exe records its start in
# $APP/launched.txt.
start_launcher() {
  (cd "$APP" && PYX_TARGET_LOG=$(winpath "$APP/launched.txt") exec wine pyxtern.exe "$@") >>"$APP/wine.log" 2>&1 &
  PID=$!
  STARTED+=("$PID")
}

has_launcher_window() { XID=$(probe xid "$TITLE"); }

# start_with LINE...: the favourites file of $APP, then its launcher, up to
# its window.
start_with() { write_favourites "$@" && start_launcher && wait_for_window; }

wait_for_window() {
  wait_for 30 "the launcher window" has_launcher_window || {
    alive "$PID" || REASON="the launcher ended before showing its window"
    return 1
  }
}

# Ends what a test left running and waits until its windows are gone, so the
# next test starts on an empty screen.
stop_launchers() {
  local pid
  for pid in "${STARTED[@]}"; do
    if alive "$pid"; then kill -9 "$pid" 2>/dev/null; fi
    wait "$pid" 2>/dev/null
  done
  STARTED=()
  no_windows() { [ "$(probe count "$TITLE")" = 0 ]; }
  wait_for 15 "the launcher's windows to go away" no_windows || true
}

has_items() { [ "$(probe items "$1")" = "$(printf '%s\n' "${@:2}")" ]; }

# expect_list WINDOW ITEM...: waits for the list of the window titled WINDOW
# to hold exactly these items; expect_items, for the launcher's name list.
expect_list() {
  if ! wait_for 10 "the list of $1 to read: ${*:2}" has_items "$@"; then
    detail "list holds: $(probe items "$1" | paste -sd '|')"
    return 1
  fi
}
expect_items() { expect_list "$TITLE" "$@"; }

focus_in_name_field() { [ "$(probe focus "$TITLE")" = combo ]; }
focus_in() { [ "$(probe focus "$1")" = "$2" ]; }

# focus_name_field: gives the launcher the keyboard focus as clicking its
# window does; clicks into the name field when the focus is elsewhere. Sets
# CLICKED when it had to.
focus_name_field() {
  CLICKED=0
  xdotool windowfocus --sync "$XID" 2>/dev/null || fail "cannot focus X window $XID" || return 1
  wait_for 5 "the focus in the name field" focus_in_name_field && return 0
  CLICKED=1
  local x y
  read -r x y < <(probe name-field "$TITLE") || fail "no name field in the launcher" || return 1
  xdotool mousemove --sync "$x" "$y" click 1
  wait_for 5 "the focus in the name field after clicking it" focus_in_name_field
}

field_reads() { [ "$(probe text "$TITLE")" = "$1" ]; }

# type_name TEXT: types into the name field and waits until it shows TEXT.
type_name() {
  xdotool type --delay 30 "$1"
  if ! wait_for 5 "the name field to show '$1'" field_reads "$1"; then
    detail "name field shows: '$(probe text "$TITLE")'"
    return 1
  fi
}

# launch NAME: what a user does to start a favourite by name.
launch() {
  focus_name_field && type_name "$1" && xdotool key Return
}

# click_button CAPTION [WINDOW]: a left click in the middle of the button of
# the launcher (or of the window titled WINDOW).
click_button() {
  local x y
  read -r x y < <(probe center "${2:-$TITLE}" "$1") || fail "no button captioned $1" || return 1
  xdotool mousemove --sync "$x" "$y" click 1
}

# expect_started N PROGRAM ARGUMENTS: waits for target.exe's N-th recorded
# start and checks that it ran as PROGRAM (first token, quoted or not) with
# ARGUMENTS.
expect_started() {
  local n=$1 program=$2 arguments=$3 log=$APP/launched.txt
  has_starts() { [ -f "$log" ] && [ "$(wc -l <"$log")" -ge "$n" ]; }
  wait_for 15 "the favourite to start (start #$n of target.exe)" has_starts || return 1
  local line first rest
  line=$(sed -n "${n}p" "$log")
  if [[ $line == \"* ]]; then
    first=${line#\"}
    first=${first%%\"*}
    rest=${line#\""$first"\"}
  else
    first=${line%% *}
    rest=${line#"$first"}
  fi
  rest=${rest#"${rest%%[! ]*}"}
  rest=${rest%"${rest##*[! ]}"}
  [ "$first" = "$program" ] && [ "$rest" = "$arguments" ] ||
    fail "target.exe started as: $line (expected program $program, arguments '$arguments')"
}

expect_no_start() {
  [ ! -e "$APP/launched.txt" ] || fail "something was started: $(cat "$APP/launched.txt")"
}

expect_exit() {
  local pid=$1 what=$2 asked window_gone
  asked=$(now_ms)
  no_windows() { [ "$(probe count "$TITLE")" = 0 ]; }
  wait_for 10 "the window to disappear after $what" no_windows || return 1
  window_gone=$(now_ms)
  ended() { ! alive "$pid"; }
  wait_for 15 "the process to end after $what (its window is gone)" ended || return 1
  wait "$pid" 2>/dev/null
  NOTE=$(awk -v w=$((window_gone - asked)) -v p=$(($(now_ms) - asked)) \
    'BEGIN { printf "window gone after %.1fs, process ended after %.1fs", w / 1000, p / 1000 }')
}

# --------------------------------------------------------------- screenshots

# shot_window XID FILE: the window alone.
shot_window() { import -window "$1" "$SHOTS/$2" 2>/dev/null || detail "screenshot $2 failed"; }

# shot_area X Y W H FILE: a part of the screen, for windows with pop-ups.
shot_area() {
  import -window root -crop "${3}x${4}+${1}+${2}" +repage "$SHOTS/$5" 2>/dev/null || detail "screenshot $5 failed"
}

# ------------------------------------------------------------------- tests

# The backend's own checks against the system: files, code page, profile
# strings, windows built from their declarations, activation, modal shows.
test_backend_checks_pass_against_the_system() {
  local checks=$BUILD/win32/pyxtern_win32_test.exe
  [ -f "$checks" ] || fail "$checks is missing" || return 1
  new_app backend || return 1
  local output
  output=$(cd "$APP" && wine "$checks" 2>/dev/null | tr -d '\r')
  local status=$?
  NOTE=$(printf '%s\n' "$output" | tail -1)
  [ "$status" = 0 ] || {
    detail "$output"
    fail "backend checks failed"
  }
}

test_launches_program_and_moves_it_to_the_top() {
  new_app launch && start_with "abc;$TARGET /a" "memo;$TARGET /m" "tgt;$TARGET /x" "zed;$TARGET /z" || return 1
  expect_items abc memo tgt zed || return 1
  launch tgt || return 1
  expect_started 1 "$TARGET" /x || return 1
  # The launched favourite first, those above it one down, those below in place.
  expect_file tgt "$TARGET /x" abc "$TARGET /a" memo "$TARGET /m" zed "$TARGET /z" || return 1
  expect_items tgt abc memo zed || return 1
  # Reloading the list empties the name field, ready for the next name.
  wait_for 5 "the name field to be empty again" field_reads ''
}

test_window_shows_its_controls_with_the_focus_in_the_name_field() {
  new_app controls && start_with "abc;$TARGET /a" || return 1
  focus_name_field || return 1
  [ "$CLICKED" = 0 ] || fail "the focus was not in the name field; it is there only after clicking into it" ||
    return 1
  local controls missing=() line
  controls=$(probe controls "$TITLE") || fail "cannot read the launcher's controls" || return 1
  for line in 'Static|ファイル名' 'Button|ＯＫ|default' 'Button|キャンセル' 'Button|参照' 'Button|登録'; do
    grep -qxF "$line" <<<"$controls" || missing+=("$line")
  done
  grep -q '^ComboBox|' <<<"$controls" || missing+=('ComboBox')
  [ ${#missing[@]} -eq 0 ] || {
    detail "controls: $(paste -sd ' ' <<<"$controls")"
    fail "missing or different: ${missing[*]}"
  }
}

test_exact_name_beats_earlier_prefix_and_contains_matches() {
  new_app exact && start_with "mybox;$TARGET /contains" "boxer;$TARGET /prefix" "box;$TARGET /exact" || return 1
  # This time with the mouse on ＯＫ rather than Return.
  focus_name_field && type_name box || return 1
  click_button 'ＯＫ' || return 1
  expect_started 1 "$TARGET" /exact || return 1
  expect_items box mybox boxer
}

test_program_path_with_spaces_is_started_whole() {
  new_app 'path with spaces' || return 1
  mkdir -p "$APP/my tools" && cp "$E2E/target.exe" "$APP/my tools/target.exe" || fail "cannot copy target.exe" ||
    return 1
  local program
  program=$(winpath "$APP/my tools/target.exe")
  # Written as users write them: quoted, and not quoted; an argument with a
  # space reaches the program in its quotes.
  start_with "plain;$program /p" "quoted;\"$program\" /q" "arg;\"$program\" \"a b\"" || return 1
  launch quoted || return 1
  expect_started 1 "$program" /q || return 1
  launch plain || return 1
  expect_started 2 "$program" /p || return 1
  launch arg || return 1
  expect_started 3 "$program" '"a b"' || return 1
  expect_file arg "\"$program\" \"a b\"" plain "$program /p" quoted "\"$program\" /q"
}

# open_with_target EXTENSION: files of this type open with $APP's target.exe.
open_with_target() {
  wine reg add "HKCR\\.$1" /ve /d "pyx$1file" /f >/dev/null 2>&1 &&
    wine reg add "HKCR\\pyx$1file\\shell\\open\\command" /ve /d "\"$TARGET\" \"%1\"" /f >/dev/null 2>&1 ||
    fail "cannot make .$1 files open with target.exe"
}

test_document_opens_with_its_associated_program() {
  new_app document || return 1
  local doc=$APP/report.pyxdoc
  echo 'a document' >"$doc"
  local docwin
  docwin=$(winpath "$doc")
  open_with_target pyxdoc || return 1
  start_with "abc;$TARGET /a" "doc;$docwin" || return 1
  launch doc || return 1
  expect_started 1 "$TARGET" "\"$docwin\"" || return 1
  expect_file doc "$docwin" abc "$TARGET /a"
}

# The message box titled BOX_TITLE (the launcher's caption unless a test
# says otherwise).
has_message_box() { MESSAGE=$(probe msgbox "${BOX_TITLE:-$TITLE}"); }
no_message_box() { ! probe msgbox "${BOX_TITLE:-$TITLE}" >/dev/null; }

# answer_message_box: presses Return in the open message box and waits for it
# to close.
answer_message_box() {
  local box
  box=$(probe msgbox-xid "${BOX_TITLE:-$TITLE}") || fail "no X window for the message box" || return 1
  xdotool windowfocus --sync "$box" 2>/dev/null
  xdotool key Return
  wait_for 10 "the message box to close on Return" no_message_box
}

# expect_message TEXT: waits for the launcher's message box, checks its text,
# answers it and waits for the focus back in the name field.
expect_message() {
  wait_for 10 "a message box titled $TITLE" has_message_box || return 1
  [ "$MESSAGE" = "$1" ] || fail "the message reads '$MESSAGE'" || return 1
  answer_message_box || return 1
  alive "$PID" || fail "the launcher ended after the message" || return 1
  wait_for 5 "the focus back in the name field after the message" focus_in_name_field
}

test_unknown_and_empty_names_are_reported() {
  new_app unknown && start_with "abc;$TARGET /a" "tgt;$TARGET /x" || return 1
  cp "$APP/pyxtern.txt" "$APP/before.txt"
  launch nosuch || return 1
  wait_for 10 "a message box titled $TITLE" has_message_box || return 1
  local box
  box=$(probe msgbox-xid "$TITLE") && shot_window "$box" unknown-name-message.png
  expect_message "$MSG_NOT_REGISTERED" || return 1
  has_launcher_window || fail "the launcher window is gone after the message" || return 1
  xdotool key End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
  wait_for 5 "the name field to be empty" field_reads '' || return 1
  xdotool key Return
  expect_message "$MSG_ENTER_NAME" || return 1
  cmp -s "$APP/before.txt" "$APP/pyxtern.txt" || fail "the favourites file changed" || return 1
  expect_no_start
}

test_each_way_of_closing_ends_the_program() {
  local way x y notes=()
  for way in キャンセル Tab-Tab-Space close-box Alt+F4; do
    new_app "end by $way" && start_with "abc;$TARGET /a" || return 1
    case $way in
      キャンセル) click_button キャンセル ;;
      Tab-Tab-Space) focus_name_field && xdotool key Tab Tab space ;; # name field, ＯＫ, キャンセル
      close-box) read -r x y < <(probe close-box "$TITLE") && xdotool mousemove --sync "$x" "$y" click 1 ;;
      Alt+F4) xdotool windowfocus --sync "$XID" 2>/dev/null && xdotool key alt+F4 ;;
    esac || fail "cannot close the window by $way" || return 1
    expect_exit "$PID" "$way" && expect_no_start || return 1
    notes+=("$way: $NOTE")
  done
  NOTE=$(printf '%s; ' "${notes[@]}")
  NOTE=${NOTE%; }
}

test_second_start_ends_at_once_and_first_keeps_working() {
  new_app second && start_with "abc;$TARGET /a" "tgt;$TARGET /x" || return 1
  local first=$PID
  start_launcher
  local second=$PID most=1
  # While the second copy runs, no second window may appear.
  second_gone() {
    local count
    count=$(probe count "$TITLE")
    [ "${count:-0}" -le "$most" ] || most=$count
    ! alive "$second"
  }
  if ! wait_for 15 "the second copy to end" second_gone; then
    detail "windows titled $TITLE seen at once: $most"
    return 1
  fi
  [ "$most" -le 1 ] || fail "the second copy showed a window ($most windows titled $TITLE)" || return 1
  alive "$first" || fail "the first copy ended too" || return 1
  PID=$first
  has_launcher_window || fail "the first copy's window is gone" || return 1
  launch tgt || return 1
  expect_started 1 "$TARGET" /x || return 1
  [ "$(wc -l <"$APP/launched.txt")" = 1 ] || fail "target.exe started more than once"
}

is_dropped() { [ "$(probe dropped "$TITLE")" = "$1" ]; }

test_japanese_name_is_listed_launched_and_kept() {
  new_app japanese || return 1
  write_favourites "abc;$TARGET /a" "メモ帳;$TARGET /jp" "tgt;$TARGET /x" || return 1
  # The file really holds the code-page-932 bytes of メモ帳.
  grep -q $'\x83\x81\x83\x82\x92\xa0;' "$APP/pyxtern.txt" || fail "the prepared file is not in CP932" || return 1
  start_launcher
  wait_for_window || return 1
  expect_items abc メモ帳 tgt || return 1

  focus_name_field || return 1
  shot_window "$XID" launcher.png
  xdotool key alt+Down
  if wait_for 5 "the name list to drop down" is_dropped 1; then
    local wx wy ww wh dx dy dw dh
    read -r wx wy ww wh < <(probe geometry "$TITLE")
    read -r dx dy dw dh < <(probe drop-geometry "$TITLE")
    local right=$((wx + ww > dx + dw ? wx + ww : dx + dw)) bottom=$((wy + wh > dy + dh ? wy + wh : dy + dh))
    local left=$((wx < dx ? wx : dx))
    shot_area "$left" "$wy" $((right - left)) $((bottom - wy)) launcher-japanese-list.png
    xdotool key Escape
    wait_for 5 "the name list to close" is_dropped 0 || return 1
  else
    detail "the list did not drop down on Alt+Down; no screenshot of it"
  fi

  # Typed as a user with a Japanese input method would enter it; where the
  # keyboard cannot deliver it, the name is picked from the list instead.
  xdotool type --delay 50 'メモ'
  if wait_for 5 "the name field to show メモ" field_reads 'メモ'; then
    NOTE='typed メモ'
  else
    xdotool key Down Down
    wait_for 5 "the list's second item in the name field" field_reads 'メモ帳' || return 1
    NOTE='picked メモ帳 from the list'
  fi
  xdotool key Return
  expect_started 1 "$TARGET" /jp || return 1
  expect_file メモ帳 "$TARGET /jp" abc "$TARGET /a" tgt "$TARGET /x" || return 1
  # The name's bytes, padded to 40 characters (3 double-byte characters and 37 spaces).
  head -c 44 "$APP/pyxtern.txt" | cmp -s - <(printf '\x83\x81\x83\x82\x92\xa0%37s;' '') ||
    fail "the first line does not start with メモ帳's CP932 bytes and 37 spaces" || return 1
  expect_items メモ帳 abc tgt
}

# --------------------------------------------------- the registration window

has_tork_window() { TORK_XID=$(probe xid "$TORK"); }
no_tork_window() { ! probe xid "$TORK" >/dev/null; }
boxes_read() { [ "$(probe edits "$TORK")" = "$(printf '%s\n' "$@")" ]; }

# open_registration: 登録 in the launcher; waits for the window and for the
# focus in its name box.
open_registration() {
  click_button "$TORK" || return 1
  wait_for 10 "the registration window" has_tork_window || return 1
  wait_for 5 "the focus in the name box" focus_in "$TORK" 'Edit 1'
}

# expect_boxes NAME PATH: waits for the name and path boxes to show these.
expect_boxes() {
  if ! wait_for 5 "the boxes to read '$1' and '$2'" boxes_read "$1" "$2"; then
    detail "boxes: $(probe edits "$TORK" | paste -sd '|')"
    return 1
  fi
}

# type_into_box N TEXT: types TEXT into the registration window's N-th box,
# where the focus is. xdotool types a character the keyboard lacks through a
# key it maps for the moment, and Wine can miss the first key after such a
# change: each character is typed again until the box shows it.
type_into_box() {
  local n=$1 text=$2 shown='' i try
  box_shows() { [ "$(probe edits "$TORK" | sed -n "${n}p")" = "$shown" ]; }
  for ((i = 0; i < ${#text}; i++)); do
    shown+=${text:i:1}
    for try in 1 2 3; do
      xdotool type "${text:i:1}"
      wait_for 2 "box $n to show '$shown'" box_shows && break
    done
    box_shows || return 1
  done
}

# select_first_favourite: from the name box, Tab past 参照 and the path box
# into the list, and Home selects its first name.
select_first_favourite() {
  xdotool key Tab Tab Tab Home
}

test_registration_window_registers_corrects_and_deletes() {
  new_app register && start_with "abc;$TARGET /a" || return 1
  open_registration || return 1
  [ "$(probe enabled "$TITLE")" = 0 ] || fail "the launcher takes input behind the registration window" || return 1
  type_into_box 1 メモ || return 1
  xdotool key Tab Tab # past 参照 into the path box
  xdotool type --delay 10 "$TARGET /r"
  expect_boxes メモ "$TARGET /r" || return 1
  xdotool key Return # Enter in a box registers
  expect_lines "abc;$TARGET /a" "メモ;$TARGET /r" || return 1
  expect_list "$TORK" abc メモ || return 1
  expect_boxes '' '' || return 1
  grep -q $'^\x83\x81\x83\x82;' "$APP/pyxtern.txt" || fail "メモ is not stored in code page 932" || return 1

  click_button 戻る "$TORK" || return 1
  wait_for 10 "the registration window to close" no_tork_window || return 1
  [ "$(probe enabled "$TITLE")" = 1 ] || fail "the launcher stays disabled" || return 1
  expect_items abc メモ || return 1
  launch メモ || return 1
  expect_started 1 "$TARGET" /r || return 1

  open_registration || return 1
  expect_list "$TORK" メモ abc || return 1
  select_first_favourite
  expect_boxes メモ "$TARGET /r" || return 1
  shot_window "$TORK_XID" registration.png
  xdotool key shift+Tab # back into the path box, its text selected
  xdotool type --delay 10 "$TARGET /c"
  click_button 訂正 "$TORK" || return 1
  expect_lines "メモ;$TARGET /c" "abc;$TARGET /a" || return 1

  wait_for 5 "the focus back in the name box" focus_in "$TORK" 'Edit 1' || return 1
  select_first_favourite
  expect_boxes メモ "$TARGET /c" || return 1
  click_button 削除 "$TORK" || return 1
  expect_lines "abc;$TARGET /a" || return 1
  expect_list "$TORK" abc
}

test_refused_name_shows_its_box_and_writes_nothing() {
  new_app refused && start_with "abc;$TARGET /a" || return 1
  cp "$APP/pyxtern.txt" "$APP/before.txt"
  open_registration || return 1
  xdotool type --delay 30 'Calc'
  xdotool key Tab Tab
  xdotool type --delay 30 'C:\calc.exe'
  expect_boxes Calc 'C:\calc.exe' || return 1
  xdotool key Return
  BOX_TITLE=$TORK
  wait_for 10 "a message box titled $TORK" has_message_box || return 1
  local box
  box=$(probe msgbox-xid "$TORK") && shot_window "$box" refused-name-message.png
  [ "$MESSAGE" = 'この名前では登録できません' ] || fail "the message reads '$MESSAGE'" || return 1
  answer_message_box || return 1
  cmp -s "$APP/before.txt" "$APP/pyxtern.txt" || fail "the favourites file changed" || return 1
  expect_boxes Calc 'C:\calc.exe' || return 1

  # The name box takes 40 characters and no more.
  xdotool key shift+Tab shift+Tab
  wait_for 5 "the focus in the name box" focus_in "$TORK" 'Edit 1' || return 1
  local forty
  forty=$(printf 'n%.0s' {1..40})
  xdotool type --delay 5 "${forty}nnnnn"
  expect_boxes "$forty" 'C:\calc.exe' || return 1
  xdotool key Return # Enter in the name box registers too
  expect_lines "abc;$TARGET /a" "$forty;C:\calc.exe"
}

test_command_line_path_opens_the_registration_window() {
  new_app cmdline || return 1
  write_favourites "abc;$TARGET /a" || return 1
  start_launcher 'C:\My Documents\予定.txt' # Wine passes a path with a space quoted, as Windows does
  wait_for 30 "the registration window" has_tork_window || return 1
  expect_boxes '' 'C:\My Documents\予定.txt'
}

test_minimise_hotkey_closes_the_registration_window() {
  new_app hotkey && write_hotkeys && start_with "abc;$TARGET /a" || return 1
  open_registration || return 1
  xdotool key ctrl+shift+F2 # the registration window has the X focus
  wait_for 10 "the registration window to close" no_tork_window || return 1
  wait_for 10 "the launcher to go to the tray" launcher_hidden || return 1
  alive "$PID" || fail "the program ended"
}

test_help_opens_the_help_page() {
  new_app help || return 1
  cp "$BUILD/win32/TESMORA_HELP.html" "$APP/" || fail "TESMORA_HELP.html was not built beside pyxtern.exe" ||
    return 1
  open_with_target html || return 1
  start_with "abc;$TARGET /a" || return 1
  right_click_launcher && choose_menu_item 2 || return 1
  expect_started 1 "$TARGET" "\"$(winpath "$APP/TESMORA_HELP.html")\""
}

# ------------------------------------------- settings window, tray, hotkeys

readonly SETTINGS='各種設定' # the settings window's caption

# write_hotkeys: Ctrl+Shift+F3 calls the launcher up, Ctrl+Shift+F2 sends it
# to the tray.
write_hotkeys() {
  printf '[%s]\r\nCtrl=1\r\nAlt=0\r\nshift=1\r\nKey=%s\r\n' Start 114 Small 113 >"$APP/Tesmora.ini"
}

# ini_has SECTION KEY VALUE: Tesmora.ini holds the item.
ini_has() {
  awk -v section="[$1]" -v item="$2=$3" '{ sub(/\r$/, "") } /^\[/ { inside = $0 == section }
    inside && $0 == item { found = 1 } END { exit !found }' "$APP/Tesmora.ini"
}

launcher_hidden() { [ "$(probe count "$TITLE")" = 0 ]; }
has_settings_window() { SETTINGS_XID=$(probe xid "$SETTINGS"); }
no_settings_window() { ! probe xid "$SETTINGS" >/dev/null; }
hotkey_boxes_read() { [ "$(probe edits "$SETTINGS")" = "$(printf '%s\n' "$@")" ]; }

# Wine's own tray window holds the program's icon, and is unmapped while it
# holds none.
find_tray() { TRAY=$(xdotool search --name 'Wine System Tray' 2>/dev/null | head -1) && [ -n "$TRAY" ]; }
tray_shows_icon() { xwininfo -id "$TRAY" 2>/dev/null | grep -q IsViewable; }
tray_empty() { ! tray_shows_icon; }

# tray_click BUTTON [CLICKS]: on the icon, the first in the tray window.
tray_click() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$TRAY")"
  xdotool mousemove --sync $((X + 10)) $((Y + HEIGHT / 2)) click --repeat "${2:-1}" --delay 80 "$1"
}

# press_hotkey KEYS: Wine delivers a global hotkey only while one of its
# windows has the X focus; its tray window is there whatever the launcher is.
press_hotkey() {
  xdotool windowfocus --sync "$TRAY" 2>/dev/null
  xdotool key "$1"
}

right_click_launcher() {
  local wx wy ww wh
  read -r wx wy ww wh < <(probe geometry "$TITLE") || fail "no launcher window to click" || return 1
  xdotool mousemove --sync $((wx + 20)) $((wy + wh / 2)) click 3 # on the surface, left of the controls
}

is_menu_open() { probe windows | grep -q 'class=#32768'; }

# choose_menu_item N: the popup menu's N-th item (設定, ヘルプ, 終了), by keyboard.
choose_menu_item() {
  wait_for 5 "the popup menu" is_menu_open || return 1
  local keys=() i
  for ((i = 0; i < $1; i++)); do keys+=(Down); done
  xdotool key "${keys[@]}" Return
}

test_settings_window_captures_a_hotkey_that_works_at_once() {
  new_app settings && write_hotkeys && start_with "abc;$TARGET /a" || return 1
  find_tray || fail "no Wine tray window" || return 1
  right_click_launcher && choose_menu_item 1 || return 1
  wait_for 10 "the settings window" has_settings_window || return 1
  wait_for 5 "the stored hotkeys in the boxes" hotkey_boxes_read 'Ctrl + Sift + F3' 'Ctrl + Sift + F2' || return 1
  wait_for 5 "the focus in the upper box" focus_in "$SETTINGS" 'Edit 1' || return 1
  xdotool key ctrl+shift+F4
  if ! wait_for 5 "the upper box to read Ctrl + Sift + F4" hotkey_boxes_read 'Ctrl + Sift + F4' 'Ctrl + Sift + F2'; then
    detail "boxes: $(probe edits "$SETTINGS" | paste -sd '|')"
    return 1
  fi
  # In the lower box: Alt+A neither beeps into menu mode nor types (F10 after
  # it is captured, not taken by a menu), Space is swallowed; Ctrl+Shift+F6
  # becomes the new minimise key.
  local lower
  for lower in alt+a:'Ctrl + Alt + A' F10:F10 space:F10 ctrl+shift+F6:'Ctrl + Sift + F6'; do
    xdotool key Tab "${lower%%:*}"
    wait_for 5 "the lower box to read ${lower#*:} after ${lower%%:*}" hotkey_boxes_read 'Ctrl + Sift + F4' \
      "${lower#*:}" || return 1
    xdotool key shift+Tab
  done
  click_button 'Exploreタイプ(ヘビーユーザー向)' "$SETTINGS" || return 1
  shot_window "$SETTINGS_XID" settings.png
  click_button OK "$SETTINGS" || return 1
  wait_for 10 "the settings window to close" no_settings_window || return 1
  local item
  for item in 'Start Ctrl 1' 'Start Alt 0' 'Start shift 1' 'Start Key 115' 'Small Key 117' 'OPEN_TYPE TYEP 1' \
    'FORM CLOSE 0'; do
    # shellcheck disable=SC2086 # the item is three words
    ini_has $item || {
      detail "$(tr -d '\r' <"$APP/Tesmora.ini")"
      fail "Tesmora.ini lacks $item"
      return 1
    }
  done
  press_hotkey ctrl+shift+F6
  wait_for 10 "the new minimise hotkey to hide the launcher" launcher_hidden || return 1
  press_hotkey ctrl+shift+F3
  sleep 1.5 # the old key must do nothing, and nothing can be waited for
  launcher_hidden || fail "the old call-up hotkey still works" || return 1
  press_hotkey ctrl+shift+F4
  wait_for 10 "the new call-up hotkey to bring the launcher back" has_launcher_window
}

test_tray_icon_and_hotkeys_call_up_hide_and_end() {
  new_app tray && write_hotkeys && start_with "abc;$TARGET /a" || return 1
  find_tray && wait_for 10 "the icon in the tray" tray_shows_icon || return 1
  press_hotkey ctrl+shift+F2
  wait_for 10 "the minimise hotkey to hide the launcher" launcher_hidden || return 1
  tray_shows_icon || fail "the icon left the tray with the window" || return 1
  press_hotkey ctrl+shift+F3
  wait_for 10 "the call-up hotkey to bring the launcher back" has_launcher_window || return 1
  press_hotkey ctrl+shift+F2
  wait_for 10 "the launcher to hide again" launcher_hidden || return 1
  tray_click 1 2
  wait_for 10 "a double-click on the icon to bring the launcher back" has_launcher_window || return 1
  tray_click 3 && choose_menu_item 1 || return 1
  wait_for 10 "the settings window from the tray menu" has_settings_window || return 1
  click_button キャンセル "$SETTINGS" && wait_for 10 "the settings window to close" no_settings_window || return 1
  tray_click 3 && choose_menu_item 3 || return 1
  expect_exit "$PID" "終了 from the tray menu" || return 1
  wait_for 10 "the icon to leave the tray" tray_empty || return 1
  # A new copy registers the same keys: no message, and they work.
  start_launcher
  wait_for_window || return 1
  press_hotkey ctrl+shift+F2
  wait_for 10 "the new copy's minimise hotkey" launcher_hidden || return 1
  no_message_box || fail "the new copy reported a hotkey: $(probe msgbox "$TITLE")"
}

test_hotkey_held_by_another_program_is_reported() {
  new_app conflict && write_hotkeys && write_favourites "abc;$TARGET /a" || return 1
  (cd "$APP" && PYX_TARGET_LOG=$(winpath "$APP/holder.txt") exec wine target.exe --hold-hotkey 6 114) \
    >>"$APP/wine.log" 2>&1 &
  STARTED+=("$!")
  holds() { [ -s "$APP/holder.txt" ]; }
  wait_for 15 "another program to hold Ctrl+Shift+F3" holds || return 1
  start_launcher
  wait_for 30 "a message box titled $TITLE" has_message_box || return 1
  local box
  box=$(probe msgbox-xid "$TITLE") && shot_window "$box" hotkey-conflict-message.png
  [ "$MESSAGE" = 'ホットキー「Ctrl + Sift + F3」は他のプログラムで使用されているため登録できませんでした。設定画面で別のキーを指定してください。' ] ||
    fail "the message reads '$MESSAGE'" || return 1
  answer_message_box && wait_for_window
}


TESTS=(
  test_backend_checks_pass_against_the_system
  test_launches_program_and_moves_it_to_the_top
  test_window_shows_its_controls_with_the_focus_in_the_name_field
  test_exact_name_beats_earlier_prefix_and_contains_matches
  test_program_path_with_spaces_is_started_whole
  test_document_opens_with_its_associated_program
  test_unknown_and_empty_names_are_reported
  test_each_way_of_closing_ends_the_program
  test_second_start_ends_at_once_and_first_keeps_working
  test_japanese_name_is_listed_launched_and_kept
  test_registration_window_registers_corrects_and_deletes
  test_refused_name_shows_its_box_and_writes_nothing
  test_command_line_path_opens_the_registration_window
  test_minimise_hotkey_closes_the_registration_window
  test_help_opens_the_help_page
  test_settings_window_captures_a_hotkey_that_works_at_once
  test_tray_icon_and_hotkeys_call_up_hide_and_end
  test_hotkey_held_by_another_program_is_reported
)

run_test() {
  local name=${1#test_} started
  REASON='' DETAILS='' NOTE='' BOX_TITLE=''
  started=$(now_ms)
  local ok=1
  "$1" || ok=0
  local took
  took=$(awk -v ms=$(($(now_ms) - started)) 'BEGIN { printf "%.1fs", ms / 1000 }')
  if [ "$ok" = 1 ]; then
    PASSED=$((PASSED + 1))
    echo "PASS $name ($took${NOTE:+; $NOTE})"
  else
    FAILED=$((FAILED + 1))
    echo "FAIL $name: ${REASON:-failed} ($took)"
    [ -z "$DETAILS" ] || printf '%s' "$DETAILS" | sed 's/^/    /'
  fi
  stop_launchers
}

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
  [ -z "${E2E_ONLY:-}" ] || selected=($(printf '%s\n' "${TESTS[@]}" | grep -- "$E2E_ONLY"))
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
