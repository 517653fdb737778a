# End-to-end tests of the registration window.

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
  expect_tabs "$TORK" 'Edit|' 'Button|参照' 'Edit|' 'ListBox|' 'Button|登録' 'Button|削除' 'Button|戻る' \
    'Button|訂正' || return 1
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

TESTS+=(
  test_registration_window_registers_corrects_and_deletes
  test_refused_name_shows_its_box_and_writes_nothing
  test_command_line_path_opens_the_registration_window
  test_minimise_hotkey_closes_the_registration_window
  test_help_opens_the_help_page
)
