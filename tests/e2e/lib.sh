# The end-to-end harness, sourced by run.sh once it has set HERE and BUILD: reporting, waits
# with deadlines, application folders, the programs, their windows, the tray and hotkeys.

readonly TITLE='ぴくせるん'
readonly SETTINGS='各種設定' # the settings window's caption
readonly TORK='登録'       # the registration window's caption

E2E=$BUILD/e2e
LAUNCHER_EXE=$BUILD/win32/pyxtern.exe
SHOTS=$E2E/screenshots
PASSED=0 FAILED=0 RUN='' MANAGED=''
STARTED=() # pids of every program a test started, ended after it

source "$HERE/../../tools/ensure-packages.sh"
source "$HERE/../../tools/wine-env.sh"

# Setup problems end the run: every test needs what failed.
die() {
  echo "FAIL setup: $*"
  FAILED=$((FAILED + 1))
  exit 1
}

fail() {
  REASON=$1
  return 1
}

# detail LINE...: lines shown under the FAIL line; fails, to end a failed check.
detail() {
  DETAILS+=$(printf '%s\n' "$@")$'\n'
  return 1
}

# wait_for SECONDS WHAT COMMAND...: runs COMMAND until it succeeds, at most SECONDS.
wait_for() { wine_wait "$1" "${@:3}" || fail "timed out after ${1}s waiting for $2"; }

probe() { wine "$E2E/probe.exe" "$@" 2>/dev/null; }

# windows_managed Y|N: Wine with or without (as every test starts) window management.
windows_managed() {
  [ "$MANAGED" = "$1" ] && return 0
  wine_manage_windows "$1" 2>"$RUN/start.err" || fail "$(cat "$RUN/start.err")" || return 1
  MANAGED=$1
}

# Windows path of a Unix path: Wine's drive Z: is the Unix root.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# new_app NAME: a folder with copies of the launcher (APP_EXE, started from START_IN) and target.exe.
new_app() {
  APP=$RUN/apps/$1 APP_EXE=pyxtern.exe START_IN=$RUN/apps/$1 TARGET=$(winpath "$RUN/apps/$1/target.exe")
  mkdir -p "$APP" && cp "$LAUNCHER_EXE" "$E2E/target.exe" "$APP/" || fail "cannot prepare $APP"
}

# write_favourites LINE...: the favourites file as the user keeps it, in CP932 with CR LF.
write_favourites() { printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP932 >"$APP/pyxtern.txt" || fail "not in CP932: $*"; }

# padded NAME PATH: the favourite's line as a launch rewrites it, the name padded to 40 characters.
padded() { printf '%s%*s;%s' "$1" $((40 - ${#1})) '' "$2"; }

# expect_lines LINE...: waits for pyxtern.txt to hold exactly these lines, written alike.
expect_lines() {
  printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP932 >"$APP/expected.txt"
  visible() { iconv -f CP932 -t UTF-8 "$APP/$1" 2>&1 | sed 's/ /·/g; s/\r$/<CR>/'; }
  wait_for 10 "the favourites file to be rewritten" cmp -s "$APP/expected.txt" "$APP/pyxtern.txt" ||
    detail "< expected, > pyxtern.txt (· = space):" "$(diff <(visible expected.txt) <(visible pyxtern.txt))"
}

# write_hotkeys: Ctrl+Shift+F3 calls the launcher up, Ctrl+Shift+F2 sends it to the tray.
write_hotkeys() { printf '[%s]\r\nCtrl=1\r\nAlt=0\r\nshift=1\r\nKey=%s\r\n' Start 114 Small 113 >"$APP/Tesmora.ini"; }

alive() { [[ $(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) == [^Z]* ]]; }
ended() { ! alive "$PID"; }

# spawn LOG PROGRAM [ARGUMENT...]: starts PROGRAM from START_IN, as PID; the
# copies of target.exe it starts record their starts in LOG.
spawn() {
  (cd "$START_IN" && PYX_TARGET_LOG=$(winpath "$1") exec wine "${@:2}") >>"$APP/wine.log" 2>&1 &
  PID=$!
  STARTED+=("$PID")
}

# start_launcher [ARGUMENT...]: the launcher of $APP, as a double click starts it.
start_launcher() { spawn "$APP/launched.txt" "$APP_EXE" "$@"; }

# hold WHAT ARGUMENT...: target.exe as another program that holds WHAT (see target.cpp) as it starts. Sets PID.
hold() {
  local log=$APP/holder-$RANDOM.txt
  spawn "$log" "$E2E/target.exe" "${@:2}"
  holds() { [ -s "$log" ] || ended; }
  wait_for 15 "another program to hold $1" holds && [ -s "$log" ] || fail "another program cannot hold $1"
}

# reading FACT TITLE: that fact of the window titled TITLE (see probe.cpp); fails while none is shown.
reading() { probe window "$2" "$1" | sed -n "s/^$1 //p"; }

# has_window TITLE: the window titled TITLE is shown; XID is its X window.
has_window() { XID=$(reading xid "$1"); }
no_window() { ! probe window "$1" xid >/dev/null; }
# shown TITLE WHAT, gone TITLE WHAT: waits for the window to show or to go.
shown() { wait_for 15 "$2" has_window "$1"; }
gone() { wait_for 10 "$2" no_window "$1"; }

wait_for_window() {
  shows() { has_window "$TITLE" || ended; }
  wait_for 30 "the launcher window" shows && { alive "$PID" || fail "the launcher ended before showing its window"; }
}

# start_with LINE...: the favourites file of $APP, then its launcher, up to its window.
start_with() { write_favourites "$@" && start_launcher && wait_for_window; }

# Ends what a test started and waits for its windows to go: the next test starts on an empty screen.
stop_launchers() {
  kill -9 "${STARTED[@]}" 2>/dev/null
  [ ${#STARTED[@]} = 0 ] || wait "${STARTED[@]}" 2>/dev/null
  STARTED=()
  gone "$TITLE" "the launcher's windows to go away" || true
}

# expect_started N COMMAND-LINE [FOLDER]: waits for the N-th recorded start of
# target.exe, given exactly this command line (and started in that folder).
expect_started() {
  local log=$APP/launched.txt line folder
  has_starts() { [ -f "$log" ] && [ "$(wc -l <"$log")" -ge "$1" ]; }
  wait_for 15 "the favourite to start (start #$1 of target.exe)" has_starts "$1" || return 1
  IFS=$'\t' read -r _ line folder < <(sed -n "$1p" "$log")
  [ "$line" = "$2" ] || fail "target.exe started as: $line (expected $2)" || return 1
  [ -z "${3:-}" ] || [ "$folder" = "$3" ] || fail "target.exe started in $folder (expected $3)"
}

# expect_window FACT TITLE LINE...: waits until that fact reads exactly these lines.
expect_window() {
  reads() { [ "$(reading "$1" "$2")" = "$(printf '%s\n' "${@:3}")" ]; }
  wait_for 10 "$1 in $2 to read: ${*:3}" reads "$@" || detail "$1 in $2 reads: $(reading "$1" "$2" | paste -sd '|')"
}

# click_at X Y [CLICK-OPTION...] BUTTON: the pointer moved there, then a
# click. --sync waits for it to leave where it was: for ever when it is there.
click_at() {
  local X Y SCREEN WINDOW
  eval "$(xdotool getmouselocation --shell)"
  [ "$X $Y" = "$1 $2" ] || xdotool mousemove --sync "$1" "$2"
  xdotool click "${@:3}"
}

# click_in XID DX [CLICK-OPTION...] BUTTON: a click DX right of that X window's left edge, halfway down.
click_in() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  click_at $((X + $2)) $((Y + HEIGHT / 2)) "${@:3}"
}

# click_button CAPTION [WINDOW]: a click on that button of the launcher (or WINDOW).
click_button() {
  local x y
  read -r x y < <(reading button "${2:-$TITLE}" | sed -n "s/ $1\$//p") || fail "no button captioned $1" || return 1
  click_at "$x" "$y" 1
}

# type_name TEXT [SHOWN]: types TEXT into the name field and waits until it
# shows SHOWN (by default TEXT; what an input method composed, when one is on).
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

# choose_menu KEY...: the popup menu's item (設定, ヘルプ, 終了) these keys reach.
choose_menu() { wait_for 5 "the popup menu" probe menu && xdotool key "$@" Return; }

# open_settings: 設定 in the menu of a right click on the launcher's surface,
# left of its controls, up to the focus in the upper hotkey box.
open_settings() {
  has_window "$TITLE" && click_in "$XID" 12 3 && choose_menu Down && shown "$SETTINGS" "the settings window" &&
    expect_window focus "$SETTINGS" 'Edit 1'
}

no_message_box() { ! probe msgbox "$1" >/dev/null; }

# Wine's own tray window holds the icon, and is unmapped while it holds none.
find_tray() { TRAY=$(xdotool search --name 'Wine System Tray' 2>/dev/null | head -1) && [ -n "$TRAY" ]; }
tray_shows_icon() { xwininfo -id "$TRAY" 2>/dev/null | grep -q IsViewable; }

# press_hotkey KEYS: Wine delivers a global hotkey only while one of its
# windows has the X focus; its tray window is there whatever the launcher is.
press_hotkey() {
  find_tray || fail "no Wine tray window" || return 1
  xdotool windowfocus --sync "$TRAY" 2>/dev/null
  xdotool key "$1"
}

# shot_window XID FILE: the window alone.
shot_window() { import -window "$1" "$SHOTS/$2" 2>/dev/null || detail "screenshot $2 failed" || true; }

run_test() {
  local started took ok=1
  REASON='' DETAILS='' NOTE=''
  started=$(wine_now_ms)
  windows_managed N && "$1" || ok=0
  took=$(awk -v ms=$(($(wine_now_ms) - started)) 'BEGIN { printf "%.1fs", ms / 1000 }')
  if [ "$ok" = 1 ]; then
    PASSED=$((PASSED + 1))
    echo "PASS ${1#test_} ($took${NOTE:+; $NOTE})"
  else
    FAILED=$((FAILED + 1))
    echo "FAIL ${1#test_}: ${REASON:-failed} ($took)"
    printf '%s' "$DETAILS" | sed 's/^/    /'
  fi
  stop_launchers
}
