# End-to-end tests of the launcher window: launch by name, matching, messages, closing, Japanese names.

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
      close-box) read -r x y < <(probe close-box "$TITLE") && click_at "$x" "$y" 1 ;;
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
  # F4 rather than Alt+Down: Wine, placing its windows itself, opens the
  # system menu as the Alt is released, and that closes the list.
  xdotool key F4
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
    detail "the list did not drop down on F4; no screenshot of it"
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

TESTS+=(
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
)
