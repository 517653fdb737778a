# The end-to-end harness shared by every test file: reporting, waits with
# deadlines, the X server and Wine, application folders, the programs, their
# windows, the tray and hotkeys, screenshots. Sourced by run.sh after it has
# set HERE and BUILD.

readonly TITLE='ぴくせるん'
readonly SETTINGS='各種設定' # the settings window's caption
readonly TORK='登録'       # the registration window's caption
readonly NAME_WIDTH=40       # favourite names are padded to this many characters when the file is rewritten

E2E=$BUILD/e2e
LAUNCHER_EXE=$BUILD/win32/pyxtern.exe
SHOTS=$E2E/screenshots

PASSED=0
FAILED=0
RUN=''
STARTED=() # pids of every program a test started, ended after it
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
  local packages=("${WINDOWS_PACKAGES[@]}" "${INPUT_METHOD_PACKAGES[@]}")
  ensure_packages "${packages[@]}" || die "cannot install ${packages[*]} (needs root or sudo)"
  wine_japanese_locale || die "cannot generate the ja_JP.UTF-8 locale"
}

build_helpers() {
  mkdir -p "$E2E" "$SHOTS" || die "cannot create $E2E"
  local flags=(-std=c++20 -O2 -Wall -Wextra -Werror -municode -static)
  x86_64-w64-mingw32-g++ "${flags[@]}" -mwindows -o "$E2E/target.exe" "$HERE/target.cpp" ||
    die "cannot build target.exe"
  x86_64-w64-mingw32-g++ "${flags[@]}" -o "$E2E/probe.exe" "$HERE/probe.cpp" -lversion || die "cannot build probe.exe"
}

# ------------------------------------------------------------------ waiting

# wait_for SECONDS WHAT COMMAND...: runs COMMAND until it succeeds; fails with
# a reason naming WHAT once SECONDS have passed.
wait_for() {
  local seconds=$1 what=$2
  shift 2
  wine_wait "$seconds" "$@" || fail "timed out after ${seconds}s waiting for $what"
}

# ------------------------------------------------------------ X and Wine

cleanup() {
  local pid
  for pid in "${STARTED[@]}"; do kill -9 "$pid" 2>/dev/null; done
  wine_stop
  if [ -n "$RUN" ] && [ "${E2E_KEEP:-0}" != 1 ]; then rm -rf "$RUN"; fi
}

probe() { wine "$E2E/probe.exe" "$@" 2>/dev/null; }

# windows_managed Y|N: Wine from now on with (Y, its default) or without (N,
# as every test starts) window management; see wine_manage_windows.
MANAGED=''
windows_managed() {
  [ "$MANAGED" = "$1" ] && return 0
  wine_manage_windows "$1" 2>"$RUN/start.err" || fail "$(cat "$RUN/start.err")" || return 1
  MANAGED=$1
}

start_wine() {
  wine_start_x "$RUN" 2>"$RUN/start.err" || die "$(cat "$RUN/start.err")"
  wine_new_prefix "$RUN/prefix" 2>"$RUN/start.err" || die "$(cat "$RUN/start.err")"
  windows_managed N || die "$REASON"
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
# The launcher is started as APP_EXE from the folder START_IN.
new_app() {
  APP=$RUN/apps/$1 APP_EXE=pyxtern.exe START_IN=$RUN/apps/$1
  mkdir -p "$APP" && cp "$LAUNCHER_EXE" "$APP/pyxtern.exe" && cp "$E2E/target.exe" "$APP/target.exe" ||
    fail "cannot prepare $APP" || return 1
  TARGET=$(winpath "$APP/target.exe")
}

# write_favourites LINE...: the favourites file as the user keeps it, in code
# page 932 with CR LF line ends.
write_favourites() {
  printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP932 >"$APP/pyxtern.txt" || fail "cannot write pyxtern.txt in CP932"
}

# padded NAME PATH: the favourite's line as a launch rewrites it, the name
# padded with spaces to NAME_WIDTH characters.
padded() { printf '%s%*s;%s' "$1" $((NAME_WIDTH - ${#1})) '' "$2"; }

# expect_lines LINE...: waits for pyxtern.txt to hold exactly these lines,
# each ended by CR LF, in code page 932.
expect_lines() {
  printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP932 >"$APP/expected.txt" || fail "cannot encode the expected file" ||
    return 1
  wait_for 10 "the favourites file to be rewritten" cmp -s "$APP/expected.txt" "$APP/pyxtern.txt" && return 0
  detail "expected (· = space):"$'\n'"$(iconv -f CP932 -t UTF-8 "$APP/expected.txt" | sed 's/ /·/g; s/\r$/<CR>/')"
  detail "actual:"$'\n'"$(iconv -f CP932 -t UTF-8 "$APP/pyxtern.txt" 2>&1 | sed 's/ /·/g; s/\r$/<CR>/')"
  return 1
}

# write_hotkeys: Ctrl+Shift+F3 calls the launcher up, Ctrl+Shift+F2 sends it
# to the tray.
write_hotkeys() {
  printf '[%s]\r\nCtrl=1\r\nAlt=0\r\nshift=1\r\nKey=%s\r\n' Start 114 Small 113 >"$APP/Tesmora.ini"
}

# ------------------------------------------------------------ the programs

alive() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [ "$state" != Z ]
}

# start_launcher [ARGUMENT...]: starts the launcher of $APP, from its folder
# as a double click does unless START_IN says otherwise; sets PID. Whatever it
# starts inherits PYX_TARGET_LOG, so every copy of target.exe records its
# start in $APP/launched.txt.
start_launcher() {
  (cd "$START_IN" && PYX_TARGET_LOG=$(winpath "$APP/launched.txt") exec wine "$APP_EXE" "$@") >>"$APP/wine.log" 2>&1 &
  PID=$!
  STARTED+=("$PID")
}

# hold WHAT ARGUMENT...: target.exe as another program that holds something
# (the ARGUMENTs say what, see target.cpp); waits until it does.
HOLDS=0
hold() {
  local what=$1 log=$APP/holder-$((++HOLDS)).txt holder
  shift
  (cd "$APP" && PYX_TARGET_LOG=$(winpath "$log") exec wine "$E2E/target.exe" "$@") >>"$APP/wine.log" 2>&1 &
  holder=$!
  STARTED+=("$holder")
  holds() { [ -s "$log" ] || ! alive "$holder"; }
  wait_for 15 "another program to hold $what" holds && [ -s "$log" ] || fail "another program cannot hold $what"
}

# reading FACT TITLE: that fact of the window titled TITLE, one a line, as
# `probe window` names them; fails while no such window is shown.
reading() {
  local facts
  facts=$(probe window "$2" "$1") && sed -n "s/^$1 //p" <<<"$facts"
}

# has_window TITLE: the window titled TITLE is shown; XID is its X window.
has_window() { XID=$(reading xid "$1"); }
no_window() { ! probe window "$1" xid >/dev/null; }

wait_for_window() {
  wait_for 30 "the launcher window" has_window "$TITLE" || {
    alive "$PID" || REASON="the launcher ended before showing its window"
    return 1
  }
}

# start_with LINE...: the favourites file of $APP, then its launcher, up to
# its window.
start_with() { write_favourites "$@" && start_launcher && wait_for_window; }

# Ends what a test left running and waits until its windows are gone, so the
# next test starts on an empty screen.
stop_launchers() {
  local pid
  for pid in "${STARTED[@]}"; do
    if alive "$pid"; then kill -9 "$pid" 2>/dev/null; fi
    wait "$pid" 2>/dev/null
  done
  STARTED=()
  wait_for 15 "the launcher's windows to go away" no_window "$TITLE" || true
}

# expect_started N COMMAND-LINE [FOLDER]: waits for target.exe's N-th
# recorded start and checks that it was given exactly this command line (and
# started in that folder).
expect_started() {
  local log=$APP/launched.txt line folder
  has_starts() { [ -f "$log" ] && [ "$(wc -l <"$log")" -ge "$1" ]; }
  wait_for 15 "the favourite to start (start #$1 of target.exe)" has_starts "$1" || return 1
  IFS=$'\t' read -r line folder < <(sed -n "$1p" "$log")
  [ "$line" = "$2" ] || fail "target.exe started as: $line (expected $2)" || return 1
  [ -z "${3:-}" ] || [ "$folder" = "$3" ] || fail "target.exe started in $folder (expected $3)"
}

# ------------------------------------------------------------- the windows

window_reads() { [ "$(reading "$1" "$2")" = "$(printf '%s\n' "${@:3}")" ]; }

# expect_window FACT TITLE LINE...: waits until that fact of the window
# titled TITLE reads exactly these lines.
expect_window() {
  wait_for 10 "$1 in $2 to read: ${*:3}" window_reads "$@" && return 0
  detail "$1 in $2 reads: $(reading "$1" "$2" | paste -sd '|')"
  return 1
}

# click_at X Y [CLICK-OPTION...] BUTTON: a click at that screen point. The
# pointer moves there first, and --sync waits until it has left where it
# was: for ever when it is there already.
click_at() {
  local x=$1 y=$2 X Y SCREEN WINDOW
  shift 2
  eval "$(xdotool getmouselocation --shell)"
  [ "$X $Y" = "$x $y" ] || xdotool mousemove --sync "$x" "$y"
  xdotool click "$@"
}

# click_button CAPTION [WINDOW]: a left click in the middle of the button of
# the launcher (or of the window titled WINDOW).
click_button() {
  local x y
  read -r x y < <(probe center "${2:-$TITLE}" "$1") || fail "no button captioned $1" || return 1
  click_at "$x" "$y" 1
}

# type_name TEXT [SHOWN]: types TEXT (nothing when empty) into the name field
# and waits until it shows SHOWN (by default TEXT; what an input method
# composed, when one is on).
type_name() {
  [ -z "$1" ] || xdotool type --delay 50 "$1"
  expect_window text "$TITLE" "${2-$1}"
}

# launch NAME: what a user does to start a favourite by name. The launcher
# gets the keyboard focus as clicking its window gives it, in the name field.
launch() {
  has_window "$TITLE" && xdotool windowfocus --sync "$XID" 2>/dev/null && expect_window focus "$TITLE" combo &&
    type_name "$1" && xdotool key Return
}

# choose_menu_item N: the popup menu's N-th item (設定, ヘルプ, 終了), by keyboard.
choose_menu_item() {
  wait_for 5 "the popup menu" probe menu || return 1
  local keys=() i
  for ((i = 0; i < $1; i++)); do keys+=(Down); done
  xdotool key "${keys[@]}" Return
}

# open_settings: 設定 in the menu of a right click on the launcher's surface,
# left of its controls; waits for the window and for the focus in its upper
# hotkey box.
open_settings() {
  local x y width height
  read -r x y width height < <(reading client "$TITLE") || fail "no launcher window to click" || return 1
  click_at $((x + 12)) $((y + height / 2)) 3
  choose_menu_item 1 && wait_for 10 "the settings window" has_window "$SETTINGS" &&
    expect_window focus "$SETTINGS" 'Edit 1'
}

no_message_box() { ! probe msgbox "$1" >/dev/null; }

# expect_message TITLE TEXT [SCREENSHOT]: waits for the message box titled
# TITLE, checks its text (its lines joined by "|"), keeps its picture and
# answers it with Return.
expect_message() {
  local text box
  shown() {
    text=$(probe msgbox "$1") && box=${text%%$'\n'*} && text=$(sed 1d <<<"$text" | tr -d '\r' | paste -sd '|')
  }
  wait_for 30 "a message box titled $1" shown "$1" || return 1
  [ "$text" = "$2" ] || fail "the message reads '$text'" || return 1
  [ -z "${3:-}" ] || shot_window "$box" "$3"
  xdotool windowfocus --sync "$box" 2>/dev/null
  xdotool key Return
  wait_for 10 "the message box to close on Return" no_message_box "$1"
}

# -------------------------------------------------------- tray and hotkeys

# Wine's own tray window holds the program's icon, and is unmapped while it
# holds none.
find_tray() { TRAY=$(xdotool search --name 'Wine System Tray' 2>/dev/null | head -1) && [ -n "$TRAY" ]; }
tray_shows_icon() { xwininfo -id "$TRAY" 2>/dev/null | grep -q IsViewable; }

# press_hotkey KEYS: Wine delivers a global hotkey only while one of its
# windows has the X focus; its tray window is there whatever the launcher is.
press_hotkey() {
  find_tray || fail "no Wine tray window" || return 1
  xdotool windowfocus --sync "$TRAY" 2>/dev/null
  xdotool key "$1"
}

# --------------------------------------------------------------- screenshots

# shot_window XID FILE: the window alone.
shot_window() { import -window "$1" "$SHOTS/$2" 2>/dev/null || detail "screenshot $2 failed"; }

# ------------------------------------------------------------------- running

run_test() {
  local name=${1#test_} started ok=1 took
  REASON='' DETAILS='' NOTE=''
  started=$(wine_now_ms)
  windows_managed N && "$1" || ok=0
  took=$(awk -v ms=$(($(wine_now_ms) - started)) 'BEGIN { printf "%.1fs", ms / 1000 }')
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
