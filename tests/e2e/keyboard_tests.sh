# End-to-end test of the dialog manager's keyboard in every window, typing
# through a real Japanese input method: romaji, Space converts, Enter
# confirms. Keys the input method takes reach the program as key-ups only;
# the Enter that confirms must do nothing else.


# A Japanese input method on the virtual display: uim-xim with the Anthy
# engine, pinned, since engines convert differently. Only launchers started
# with XMODIFIERS=@im=uim use it. It keeps its settings and what it learns in
# a home of this run, so every run converts alike. IM_VERSION names it.
readonly IM_ENGINE=anthy-utf8

input_method_announced() { xprop -root XIM_SERVERS 2>/dev/null | grep -q '@server=uim'; }

start_input_method() {
  mkdir -p "$RUN/im-home" || fail "cannot create $RUN/im-home" || return 1
  HOME=$RUN/im-home uim-xim --engine=$IM_ENGINE >>"$RUN/uim-xim.log" 2>&1 &
  STARTED+=("$!")
  if ! wait_for 15 "uim-xim to name itself in the root window's XIM_SERVERS" input_method_announced; then
    detail "$(tail -3 "$RUN/uim-xim.log")"
    return 1
  fi
  IM_VERSION="input method $(dpkg-query -W -f='${Package} ${Version}, ' uim-xim uim-anthy libanthy1)"
  IM_VERSION+="engine $IM_ENGINE"
}

input_method_on() { xdotool key shift+space; }

# expect_confirmed WINDOW TEXT: the focused field of WINDOW has the caret
# after TEXT and nothing selected, as once the input method has handed its
# conversion over (while it composes, the composition shows selected).
expect_confirmed() { expect_window selection "$1" "${#2} ${#2}"; }

# The launcher, the settings window and the registration window of one
# program, typed into as a Japanese user does: names in code page 932 are
# listed, Escape closes nothing, Enter presses the default button but not
# while it confirms a conversion, and the hotkey boxes take keys, not text.
test_keyboard_and_input_method_in_every_window() {
  new_app keyboard && write_hotkeys && start_input_method || return 1
  write_favourites "メモ帳;$TARGET /long" "メモ;$TARGET /short" || return 1
  cp "$APP/pyxtern.txt" "$APP/before.txt"
  XMODIFIERS=@im=uim start_launcher
  wait_for_window && xdotool windowfocus --sync "$XID" && expect_window focus "$TITLE" combo || return 1
  expect_window item "$TITLE" メモ帳 メモ || return 1
  NOTE=$IM_VERSION
  # Wine connects to the input method at the first key, which passes it by;
  # the keys after Escape still reach the window.
  xdotool key shift Escape
  type_name x && xdotool key BackSpace && type_name '' '' || return 1
  shot_window "$XID" launcher.png

  input_method_on
  type_name memo めも || return 1
  shot_window "$XID" ime-launcher-composing.png
  xdotool key space
  type_name '' メモ || return 1
  xdotool key Return # confirms the conversion
  expect_confirmed "$TITLE" メモ || return 1
  # A letter typed now shows once the program has handled every key before it.
  type_name a メモあ || return 1
  no_message_box "$TITLE" || fail "a message box appeared: $(probe msgbox "$TITLE" | sed 1d)" || return 1
  cmp -s "$APP/before.txt" "$APP/pyxtern.txt" && [ ! -e "$APP/launched.txt" ] ||
    fail "the confirming Enter launched" || return 1
  xdotool key BackSpace
  type_name '' メモ || return 1
  xdotool key Return # now as the user means it: ＯＫ
  expect_started 1 "\"$TARGET\" /short" || return 1
  expect_lines "$(padded メモ "$TARGET /short")" "$(padded メモ帳 "$TARGET /long")" || return 1

  # Each window has its own input context: the input method, on in the
  # launcher, is off in the settings window until turned on there. Then it
  # takes the letters typed into the upper hotkey box, converts and confirms
  # them, and none of it reaches the box: once the keys after them have
  # arrived in the lower box, the upper one still shows its key.
  open_settings && expect_window edit "$SETTINGS" 'Ctrl + Sift + F3' 'Ctrl + Sift + F2' || return 1
  input_method_on
  xdotool type --delay 50 memo
  xdotool key space Return Tab ctrl+shift+F6
  expect_window edit "$SETTINGS" 'Ctrl + Sift + F3' 'Ctrl + Sift + F6' || return 1
  # Closing the window leaves the input method as the user had it.
  click_button キャンセル "$SETTINGS" && wait_for 10 "the settings window to close" no_window "$SETTINGS" &&
    expect_window focus "$TITLE" combo && type_name ka か && xdotool key BackSpace && type_name '' '' || return 1

  click_button "$TORK" && wait_for 10 "the registration window" has_window "$TORK" &&
    expect_window focus "$TORK" 'Edit 1' && expect_window enabled "$TITLE" 0 || return 1
  expect_window tab "$TORK" 'Edit|' 'Button|参照' 'Edit|' 'ListBox|' 'Button|登録' 'Button|削除' 'Button|戻る' \
    'Button|訂正' || return 1
  # Escape first: the path typed after it must still reach the window.
  xdotool key Escape Tab Tab # past 参照 into the path box
  xdotool type --delay 10 "$TARGET /r"
  expect_window edit "$TORK" '' "$TARGET /r" || return 1
  xdotool key shift+Tab shift+Tab
  expect_window focus "$TORK" 'Edit 1' || return 1
  input_method_on
  xdotool type --delay 50 nikki
  expect_window edit "$TORK" にっき "$TARGET /r" || return 1
  xdotool key space
  expect_window edit "$TORK" 日記 "$TARGET /r" || return 1
  shot_window "$XID" registration.png
  cp "$APP/pyxtern.txt" "$APP/before.txt"
  xdotool key Return # confirms the conversion
  expect_confirmed "$TORK" 日記 || return 1
  xdotool type a
  expect_window edit "$TORK" 日記あ "$TARGET /r" || return 1
  cmp -s "$APP/before.txt" "$APP/pyxtern.txt" || fail "the confirming Enter stored something" || return 1
  no_message_box "$TORK" || fail "a message box appeared: $(probe msgbox "$TORK" | sed 1d)" || return 1
  xdotool key BackSpace
  expect_window edit "$TORK" 日記 "$TARGET /r" || return 1
  xdotool key Return # registers, in code page 932
  expect_lines "$(padded メモ "$TARGET /short")" "$(padded メモ帳 "$TARGET /long")" "日記;$TARGET /r"
}

TESTS+=(test_keyboard_and_input_method_in_every_window)
