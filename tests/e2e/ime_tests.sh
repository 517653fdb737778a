# End-to-end tests of typing through a real Japanese input method: romaji,
# Space converts, Enter confirms. Keys the input method takes reach the
# program as key-ups only; the one that confirms must do nothing else.

# start_with_input_method LINE...: the favourites file of $APP, then its
# launcher connected to the input method, up to the focus in its name field.
start_with_input_method() {
  start_input_method && write_favourites "$@" || return 1
  XMODIFIERS=@im=uim start_launcher
  wait_for_window && focus_name_field || return 1
  # Wine connects to the input method at the first key, which passes it by.
  xdotool key shift
  NOTE=$IM_VERSION
}

input_method_on() { xdotool key shift+space; }

# wait_for_confirmed WINDOW TEXT: until the focused field of WINDOW has the
# caret after TEXT and nothing selected, as once the input method has handed
# its conversion over (while it composes, the composition shows selected).
wait_for_confirmed() {
  is_confirmed() { [ "$(probe selection "$1")" = "${#2} ${#2}" ]; }
  if ! wait_for 5 "the input method to hand '$2' over" is_confirmed "$1" "$2"; then
    detail "selection: $(probe selection "$1")"
    detail "name field: '$(probe text "$TITLE")'; boxes: $(probe edits "$1" | paste -sd '|')"
    return 1
  fi
}

test_ime_enter_confirms_the_conversion_without_launching() {
  new_app ime-launch && start_with_input_method "メモ帳;$TARGET /long" "メモ;$TARGET /short" || return 1
  cp "$APP/pyxtern.txt" "$APP/before.txt"
  input_method_on
  type_name memo めも || return 1
  shot_window "$XID" ime-launcher-composing.png
  xdotool key space
  type_name '' メモ || return 1
  shot_window "$XID" ime-launcher-converted.png
  xdotool key Return # confirms the conversion
  wait_for_confirmed "$TITLE" メモ || return 1
  # A letter typed now shows once the program has handled every key before it.
  type_name a メモあ || return 1
  no_message_box || fail "a message box appeared: $(probe msgbox "$TITLE")" || return 1
  cmp -s "$APP/before.txt" "$APP/pyxtern.txt" || fail "the confirming Enter rewrote the favourites file" ||
    return 1
  expect_no_start || return 1
  xdotool key BackSpace
  type_name '' メモ || return 1
  xdotool key Return # now as the user means it: ＯＫ
  expect_started 1 "$TARGET" /short || return 1
  expect_file メモ "$TARGET /short" メモ帳 "$TARGET /long" || return 1
  no_message_box || fail "a message box appeared: $(probe msgbox "$TITLE")"
}

test_ime_enter_in_the_registration_window_registers_only_the_next_time() {
  new_app ime-register && start_with_input_method "abc;$TARGET /a" || return 1
  cp "$APP/pyxtern.txt" "$APP/before.txt"
  open_registration || return 1
  xdotool key Tab Tab # past 参照 into the path box; the input method is still off
  xdotool type --delay 10 "$TARGET /r"
  expect_boxes '' "$TARGET /r" || return 1
  xdotool key shift+Tab shift+Tab
  wait_for 5 "the focus back in the name box" focus_in "$TORK" 'Edit 1' || return 1
  input_method_on
  xdotool type --delay 50 nikki
  expect_boxes にっき "$TARGET /r" || return 1
  xdotool key space
  expect_boxes 日記 "$TARGET /r" || return 1
  shot_window "$TORK_XID" ime-registration-converted.png
  xdotool key Return # confirms the conversion
  wait_for_confirmed "$TORK" 日記 || return 1
  xdotool type a
  expect_boxes 日記あ "$TARGET /r" || return 1
  cmp -s "$APP/before.txt" "$APP/pyxtern.txt" || fail "the confirming Enter stored something" || return 1
  BOX_TITLE=$TORK
  no_message_box || fail "a message box appeared: $(probe msgbox "$TORK")" || return 1
  xdotool key BackSpace
  expect_boxes 日記 "$TARGET /r" || return 1
  xdotool key Return # registers
  expect_lines "abc;$TARGET /a" "日記;$TARGET /r" || return 1
  grep -q $'^\x93\xfa\x8b\x4c;' "$APP/pyxtern.txt" || fail "日記 is not stored in code page 932" || return 1
  expect_boxes '' ''
}

# upper_box_went TEXT: the upper hotkey box reads TEXT; UPPER_BOX_SEEN keeps
# every other text it showed on the way.
UPPER_BOX_SEEN=()
upper_box_went() {
  local text
  text=$(probe edits "$SETTINGS" | head -1)
  [ "$text" = "$1" ] && return 0
  [ "${UPPER_BOX_SEEN[*]: -1}" = "$text" ] || UPPER_BOX_SEEN+=("$text")
  return 1
}

test_ime_stays_out_of_the_hotkey_boxes() {
  new_app ime-hotkeys && write_hotkeys && start_with_input_method "abc;$TARGET /a" || return 1
  input_method_on
  type_name ka か && xdotool key BackSpace && type_name '' '' || return 1
  right_click_launcher && choose_menu_item 1 || return 1
  wait_for 10 "the settings window" has_settings_window || return 1
  wait_for 5 "the focus in the upper box" focus_in "$SETTINGS" 'Edit 1' || return 1
  xdotool key ctrl+shift+F4
  wait_for 5 "the upper box to read Ctrl + Sift + F4" hotkey_boxes_read 'Ctrl + Sift + F4' 'Ctrl + Sift + F2' ||
    return 1
  # Letters the input method takes are composed where nobody sees them, and
  # the keys after them go to that composition until BackSpace has undone it.
  UPPER_BOX_SEEN=()
  xdotool type --delay 50 memo
  upper_box_went 'Ctrl + Sift + F5'
  shot_window "$SETTINGS_XID" ime-hotkey-box.png
  xdotool key BackSpace BackSpace BackSpace BackSpace ctrl+shift+F5
  wait_for 5 "the upper box to read Ctrl + Sift + F5" upper_box_went 'Ctrl + Sift + F5' || return 1
  local seen
  for seen in "${UPPER_BOX_SEEN[@]}"; do
    # A captured name (a letter alone is taken with Ctrl and Alt) or なし.
    [[ $seen =~ ^((Ctrl|Alt|Sift)\ \+\ )+(F4|[MEO])$ || $seen == なし ]] ||
      fail "the upper box showed '$seen'" || return 1
  done
  [ "$(probe edits "$SETTINGS" | sed -n 2p)" = 'Ctrl + Sift + F2' ] || fail "the lower box changed" || return 1
  # Closing the window leaves the input method as the user had it.
  click_button キャンセル "$SETTINGS" && wait_for 10 "the settings window to close" no_settings_window || return 1
  wait_for 5 "the focus back in the name field" focus_in_name_field || return 1
  type_name ka か
}

TESTS+=(
  test_ime_enter_confirms_the_conversion_without_launching
  test_ime_enter_in_the_registration_window_registers_only_the_next_time
  test_ime_stays_out_of_the_hotkey_boxes
)
