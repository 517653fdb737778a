# End-to-end tests of what users and accidents do to the program's files and
# programs: damaged or odd favourites and settings files, the program killed
# while it rewrites its favourites, and program paths that Windows could
# guess wrong.

readonly MSG_MALFORMED='お気に入りファイルの読み込みを中止しました。'

# message_reads PATTERN: the open message box's text, its lines joined by
# "|", matches the shell pattern.
message_reads() {
  local text
  text=$(tr -d '\r' <<<"$MESSAGE" | paste -sd '|')
  # shellcheck disable=SC2053 # the pattern is meant to match as a pattern
  [[ $text == $1 ]] || fail "the message reads '$text'"
}

# One damaged or odd favourites file per function: each prepares $APP (the
# launcher not started yet) and sets OUTCOME to what the user must see:
#   works          the window with its list, no message
#   PATTERN|works  a message matching PATTERN, then the working window
#   PATTERN|ends   a message matching PATTERN, then the program ends
bad_invalid_shift_jis() {
  # Lead bytes without their trail byte, bytes that are no character at all.
  printf 'ok;%s /a\r\n\x81\x20broken;C:\\x\x80\r\n\xa0\xfd\xfe\xff;C:\\y\x81\r\n' "$TARGET" >"$APP/pyxtern.txt"
  OUTCOME=works
}
bad_nul_bytes() {
  printf 'ok;%s /a\r\na\0b;C:\\x\0y\r\n\0\0\0;\0\r\n' "$TARGET" >"$APP/pyxtern.txt"
  OUTCOME=works
}
bad_long_line_without_semicolon() {
  head -c $((10 << 20)) /dev/zero | tr '\0' x >"$APP/pyxtern.txt"
  OUTCOME="$MSG_MALFORMED|*pyxtern.txt|1行目に「;」がありません:|$(printf 'x%.0s' {1..40})…|ends"
}
bad_utf8_byte_order_mark() {
  printf '\xef\xbb\xbfok;%s /a\r\nb;C:\\b\r\n' "$TARGET" >"$APP/pyxtern.txt"
  OUTCOME=works
}
bad_directory_in_its_place() {
  mkdir "$APP/pyxtern.txt" && touch "$APP/pyxtern.txt/inside"
  OUTCOME=works
}
bad_40000_entries() {
  awk 'BEGIN { for (i = 0; i < 40000; i++) printf "f%05d;C:\\f%d.txt\r\n", i, i }' >"$APP/pyxtern.txt"
  OUTCOME='6|pfrmPyxtern_Form_Activate|オーバーフローしました。|works'
}
bad_read_only_file() {
  write_favourites "ok;$TARGET /a" && chmod a-w "$APP/pyxtern.txt"
  OUTCOME=works
}
bad_file_held_open_by_another_program() {
  write_favourites "ok;$TARGET /a" || return 1
  (cd "$APP" && PYX_TARGET_LOG=$(winpath "$APP/holder.txt") exec wine target.exe --hold-file "$(winpath "$APP/pyxtern.txt")") \
    >>"$APP/wine.log" 2>&1 &
  STARTED+=("$!")
  holds() { [ -s "$APP/holder.txt" ]; }
  wait_for 15 "another program to hold pyxtern.txt" holds || return 1
  OUTCOME='70|*|書き込みできません。|works'
}
bad_hotkey_code_of_70000_digits() {
  write_favourites "ok;$TARGET /a" || return 1
  printf '[Start]\r\nCtrl=1\r\nKey=%s\r\n[Small]\r\nCtrl=1\r\nshift=1\r\nKey=113\r\n' "$(printf '9%.0s' {1..70000})" \
    >"$APP/Tesmora.ini"
  BOX_TITLE='Iniファイル取得処理'
  OUTCOME='6|pGet_Start_Atom|オーバーフローしました。|works'
}
bad_settings_file_of_random_bytes() {
  write_favourites "ok;$TARGET /a" || return 1
  LC_ALL=C awk 'BEGIN { srand(10); for (i = 0; i < 4096; i++) printf "%c", int(rand() * 256) }' >"$APP/Tesmora.ini"
  OUTCOME=works
}

# A snapshot of the app folder's files that the program must leave alone:
# their bytes (a directory counts by its listing).
file_bytes() {
  local f
  for f in pyxtern.txt Tesmora.ini; do
    if [ -d "$APP/$f" ]; then ls -la "$APP/$f" | sed 1d; elif [ -e "$APP/$f" ]; then md5sum <"$APP/$f"; fi
  done
}

# try_bad_file CASE: starts the launcher on the case's file and checks that
# it answers as the case says and leaves the files' bytes as they were. Sets
# TOOK to the milliseconds until its message or its working window.
try_bad_file() {
  local case=$1 before started box
  new_app "bad-$case" && "bad_$case" || return 1
  before=$(file_bytes)
  started=$(now_ms)
  start_launcher
  working() { has_launcher_window && focus_in_name_field; }
  if [ "$OUTCOME" = works ]; then
    wait_for 30 "the working launcher (the focus in its name field)" working || {
      alive "$PID" || REASON="the launcher ended without a message or a window"
      return 1
    }
    TOOK=$(($(now_ms) - started))
    no_message_box || fail "it reported: $(probe msgbox "$TITLE" | tr -d '\r' | paste -sd '|')" || return 1
  else
    wait_for 30 "a message box titled ${BOX_TITLE:-$TITLE}" has_message_box || {
      alive "$PID" || REASON="the launcher ended without a message"
      return 1
    }
    TOOK=$(($(now_ms) - started))
    message_reads "${OUTCOME%|*}" || return 1
    box=$(probe msgbox-xid "${BOX_TITLE:-$TITLE}") && shot_window "$box" "bad-file-$case.png"
    answer_message_box || return 1
    if [ "${OUTCOME##*|}" = ends ]; then
      expect_exit "$PID" "the message" || return 1
    else
      wait_for 10 "the working launcher after the message" working || return 1
    fi
  fi
  [ "$(file_bytes)" = "$before" ] || fail "the program changed its files"
}

test_bad_files_are_reported_or_read_and_never_changed() {
  local case tried=0 failed=() times=()
  for case in invalid_shift_jis nul_bytes long_line_without_semicolon utf8_byte_order_mark directory_in_its_place \
    40000_entries read_only_file file_held_open_by_another_program settings_file_of_random_bytes \
    hotkey_code_of_70000_digits; do
    tried=$((tried + 1))
    BOX_TITLE=
    if try_bad_file "$case"; then
      times+=("$case $(awk -v ms="$TOOK" 'BEGIN { printf "%.1fs", ms / 1000 }')")
    else
      failed+=("$case: $REASON")
      REASON=''
    fi
    stop_launchers
  done
  NOTE="$tried files; until a message or the window: $(printf '%s, ' "${times[@]}")"
  NOTE=${NOTE%, }
  [ ${#failed[@]} = 0 ] || {
    for case in "${failed[@]}"; do detail "$case"; done
    fail "${#failed[@]} of $tried files mishandled"
  }
}

# padded_after_launch FILE NAME: FILE as a launch of NAME rewrites it: that
# favourite first, the others in their order, every name padded.
padded_after_launch() {
  awk -v want="$2" -v width="$NAME_WIDTH" 'BEGIN { RS = "\r\n"; ORS = "\r\n" }
    { at = index($0, ";"); name = substr($0, 1, at - 1); sub(/ +$/, "", name)
      line = sprintf("%-" width "s", name) ";" substr($0, at + 1) }
    FNR == NR { if (name == want && !first) { first = FNR; print line }; next }
    FNR != first { print line }' "$1" "$1"
}

# Killed while it rewrites its favourites after a launch, at three moments
# (as the temporary file appears, half-way through it, once it is complete),
# the program leaves the file whole, old or new; the next start leaves no
# temporary file behind.
test_killed_during_the_rewrite_the_file_stays_whole() {
  new_app kills || return 1
  local argument
  argument=$(printf 'a%.0s' {1..16000})
  # The program's path through the environment: awk -v would take its "\" as escapes.
  T=$TARGET awk -v a="$argument" \
    'BEGIN { for (i = 0; i < 500; i++) printf "f%04d;%s /%s\r\n", i, ENVIRON["T"], a }' >"$APP/pyxtern.txt"
  local file=$APP/pyxtern.txt tmp=$APP/pyxtern.txt.tmp moment outcomes=() name inode size
  listed() { [ "$(probe items "$TITLE" | wc -l)" = 500 ]; }
  for moment in appears half complete; do
    start_launcher && wait_for_window && wait_for 30 "the list of 500 favourites" listed || return 1
    [ ! -e "$tmp" ] || fail "the start after a kill left the temporary file" || return 1
    name=$(tail -n 1 "$file" | cut -d';' -f1 | tr -d ' ')
    cp "$file" "$APP/old.txt" && padded_after_launch "$file" "$name" >"$APP/new.txt" || return 1
    size=$(stat -c %s "$APP/new.txt")
    inode=$(stat -c %i "$file")
    launch "$name" || return 1
    # Busy polling with one stat a round: the whole rewrite takes only some
    # milliseconds.
    reached() {
      local now
      # shellcheck disable=SC2207 # two numbers a file, split on purpose
      now=($(stat -c '%i %s' "$file" "$tmp" 2>/dev/null))
      [ "${now[0]}" != "$inode" ] && return 0 # too late: the new file is in place
      [ ${#now[@]} = 4 ] || return 1
      case $moment in
        appears) return 0 ;;
        half) [ "${now[3]}" -ge $((size / 2)) ] ;;
        complete) [ "${now[3]}" -ge "$size" ] ;;
      esac
    }
    local deadline=$(($(now_ms) + 15000))
    until reached; do
      [ "$(now_ms)" -lt "$deadline" ] || fail "the rewrite never reached: the temporary file $moment" || return 1
    done
    kill -9 "$PID"
    wait "$PID" 2>/dev/null
    if cmp -s "$file" "$APP/old.txt"; then
      outcomes+=("$moment: old")
    elif cmp -s "$file" "$APP/new.txt"; then
      outcomes+=("$moment: new")
    else
      fail "killed when the temporary file $moment, pyxtern.txt is neither the old nor the new file" || return 1
    fi
    [ ! -e "$tmp" ] || outcomes[-1]+=" + temporary file"
    stop_launchers
  done
  start_launcher && wait_for_window || return 1
  [ ! -e "$tmp" ] || fail "the start after the last kill left the temporary file" || return 1
  [ "$(find "$APP" -maxdepth 1 -name '*.tmp' | wc -l)" = 0 ] || fail "temporary files in the folder" || return 1
  NOTE="kills of a $(($(stat -c %s "$file") / 1024)) kB rewrite, the file after each: $(printf '%s, ' "${outcomes[@]}")"
  NOTE=${NOTE%, }
}

# With a program at C:\Program.exe, Windows tries it first for an unquoted
# command line that starts "C:\Program Files\...". Neither a favourite in
# such a folder nor the browser program of the settings may start it.
test_program_in_a_folder_with_spaces_is_never_taken_for_c_program() {
  new_app guess || return 1
  local drive=$WINEPREFIX/drive_c folder="$WINEPREFIX/drive_c/Program Files/pyx rec"
  local program='C:\Program Files\pyx rec\target.exe'
  mkdir -p "$folder" && cp "$E2E/target.exe" "$folder/target.exe" && cp "$E2E/target.exe" "$drive/Program.exe" ||
    fail "cannot place the recorders" || return 1
  printf '[OPEN_TYPE]\r\nTYEP=0\r\nIE_EXE=%s\r\n' "$program" >"$APP/Tesmora.ini"
  write_favourites "plain;$program /p" "quoted;\"$program\" /q" 'folder;C:\Program Files\pyx rec' || return 1
  # Each recorder logs beside itself, so the log tells which program ran.
  ln -s "$folder/launched.txt" "$APP/launched.txt"
  (cd "$APP" && exec wine pyxtern.exe) >>"$APP/wine.log" 2>&1 &
  PID=$!
  STARTED+=("$PID")
  wait_for_window || return 1
  launch plain && expect_started 1 "$program" /p || return 1
  launch quoted && expect_started 2 "$program" /q || return 1
  launch folder && expect_started 3 "$program" 'C:\Program Files\pyx rec' || return 1
  [ ! -e "$drive/launched.txt" ] || fail "C:\\Program.exe was started: $(cat "$drive/launched.txt")"
}

TESTS+=(
  test_bad_files_are_reported_or_read_and_never_changed
  test_killed_during_the_rewrite_the_file_stays_whole
  test_program_in_a_folder_with_spaces_is_never_taken_for_c_program
)
