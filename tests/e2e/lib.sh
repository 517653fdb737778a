# The end-to-end harness shared by every test file: reporting, waits with
# deadlines, the X server and Wine, application folders, the launcher and
# screenshots. Sourced by run.sh after it has set HERE and BUILD.

readonly TITLE='ぴくせるん'
readonly MSG_NOT_REGISTERED='登録されていないファイル名を指定しています。'
readonly MSG_ENTER_NAME='ファイル名を入力してください'
readonly TORK='登録' # the registration window's caption
readonly NAME_WIDTH=40 # favourite names are padded to this many characters when the file is rewritten

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
  local packages=("${WINDOWS_PACKAGES[@]}" "${INPUT_METHOD_PACKAGES[@]}")
  ensure_packages "${packages[@]}" || die "cannot install ${packages[*]} (needs root or sudo)"
  local tool
  for tool in wine wineserver Xvfb xdotool xdpyinfo xprop import iconv unzip x86_64-w64-mingw32-g++ uim-xim; do
    command -v "$tool" >/dev/null || die "$tool is missing after installing ${packages[*]}"
  done
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

now_ms() { wine_now_ms; }

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
  stop_input_method
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

# ------------------------------------------------------------- input method

# A Japanese input method on the virtual display: uim-xim with the Anthy
# engine, pinned, since engines convert differently. Only launchers started
# with XMODIFIERS=@im=uim use it. It keeps its settings and what it learns in
# a home of this run, so every run converts alike. IM_VERSION names it.
readonly IM_ENGINE=anthy-utf8
IM_PID=''
IM_VERSION=''

input_method_announced() { xprop -root XIM_SERVERS 2>/dev/null | grep -q '@server=uim'; }

# start_input_method: once a run; later calls find it running.
start_input_method() {
  if [ -n "$IM_PID" ] && alive "$IM_PID"; then return 0; fi
  mkdir -p "$RUN/im-home" || fail "cannot create $RUN/im-home" || return 1
  HOME=$RUN/im-home uim-xim --engine=$IM_ENGINE >>"$RUN/uim-xim.log" 2>&1 &
  IM_PID=$!
  if ! wait_for 15 "uim-xim to name itself in the root window's XIM_SERVERS" input_method_announced; then
    detail "$(tail -3 "$RUN/uim-xim.log")"
    return 1
  fi
  local version=(dpkg-query -W -f='${Version}')
  IM_VERSION="input method uim-xim $("${version[@]}" uim-xim), engine $IM_ENGINE (uim-anthy"
  IM_VERSION+=" $("${version[@]}" uim-anthy), libanthy1 $("${version[@]}" libanthy1))"
}

stop_input_method() {
  [ -n "$IM_PID" ] || return 0
  kill "$IM_PID" 2>/dev/null
  wait "$IM_PID" 2>/dev/null
  IM_PID=''
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

# start_launcher [ARGUMENT...]: starts the launcher of $APP, from its folder
# as a double click does unless START_IN says otherwise; sets PID. Whatever it starts inherits
# PYX_TARGET_LOG, so every copy of target.exe records its start in
# $APP/launched.txt.
start_launcher() {
  (cd "$START_IN" && PYX_TARGET_LOG=$(winpath "$APP/launched.txt") exec wine "$APP_EXE" "$@") >>"$APP/wine.log" 2>&1 &
  PID=$!
  STARTED+=("$PID")
}

has_launcher_window() { XID=$(probe xid "$TITLE"); }
launcher_hidden() { [ "$(probe count "$TITLE")" = 0 ]; }

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
  wait_for 15 "the launcher's windows to go away" launcher_hidden || true
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

# expect_tabs TITLE CONTROL...: Tab visits the window's controls in this
# order, each as class|text.
expect_tabs() {
  local got
  got=$(probe tabs "$1")
  [ "$got" = "$(printf '%s\n' "${@:2}")" ] || fail "Tab in $1 visits: $(paste -sd ' ' <<<"$got")"
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
  click_at "$x" "$y" 1
  wait_for 5 "the focus in the name field after clicking it" focus_in_name_field
}

field_reads() { [ "$(probe text "$TITLE")" = "$1" ]; }

# type_name TEXT [SHOWN]: types TEXT (nothing when empty) into the name field
# and waits until it shows SHOWN (by default TEXT; what an input method
# composed, when one is on).
type_name() {
  [ -z "$1" ] || xdotool type --delay 50 "$1"
  local shown=${2-$1}
  if ! wait_for 5 "the name field to show '$shown'" field_reads "$shown"; then
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
  click_at "$x" "$y" 1
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
  wait_for 10 "the window to disappear after $what" launcher_hidden || return 1
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


run_test() {
  local name=${1#test_} started
  REASON='' DETAILS='' NOTE='' BOX_TITLE=''
  started=$(now_ms)
  local ok=1
  windows_managed N && "$1" || ok=0
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

