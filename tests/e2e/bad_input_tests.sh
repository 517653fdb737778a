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
    wait_for 30 "a message box titled $TITLE" has_message_box || {
      alive "$PID" || REASON="the launcher ended without a message"
      return 1
    }
    TOOK=$(($(now_ms) - started))
    message_reads "${OUTCOME%|*}" || return 1
    box=$(probe msgbox-xid "$TITLE") && shot_window "$box" "bad-file-$case.png"
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
    40000_entries read_only_file file_held_open_by_another_program settings_file_of_random_bytes; do
    tried=$((tried + 1))
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

TESTS+=(
  test_bad_files_are_reported_or_read_and_never_changed
)
