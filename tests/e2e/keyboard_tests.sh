# End-to-end test of the dialog manager's keyboard in every window, through a
# real Japanese input method, whose keys reach the program as key-ups only.

# uim-xim with the Anthy engine, pinned since engines convert differently, for
# launchers started with XMODIFIERS=@im=uim. Its home is this run's, so that
# what it learnt before changes no conversion; NOTE names it.
start_input_method() {
  mkdir -p "$RUN/im-home"
  HOME=$RUN/im-home uim-xim --engine=anthy-utf8 >>"$RUN/uim-xim.log" 2>&1 &
  STARTED+=("$!")
  announced() { xprop -root XIM_SERVERS 2>/dev/null | grep -q '@server=uim'; }
  wait_for 15 "uim-xim to name itself in the root window's XIM_SERVERS" announced ||
    detail "$(tail -3 "$RUN/uim-xim.log")" || return 1
  NOTE="input method $(dpkg-query -W -f='${Package} ${Version}, ' uim-xim uim-anthy libanthy1)engine anthy-utf8"
}

# converts WINDOW FACT ROMAJI KANA KANJI [LINE...]: with the input method on,
# ROMAJI typed into the focused field shows as KANA in that FACT of WINDOW
# (the LINEs after it), Space converts it, and Enter confirms KANJI and does
# nothing else: the caret is after it and nothing is selected (as the
# composition was), and once a letter typed after it shows (and is taken
# back), nothing started, no file changed and no message box appeared.
converts() {
  local window=$1 fact=$2 kanji=$5 before
  files() { cat "$APP"/{pyxtern,launched}.txt 2>/dev/null | cksum; }
  xdotool key shift+space
  xdotool type --delay 50 "$3"
  expect_window "$fact" "$window" "$4" "${@:6}" || return 1
  xdotool key space
  expect_window "$fact" "$window" "$kanji" "${@:6}" || return 1
  shot_window "$XID" "ime-$window.png"
  before=$(files)
  xdotool key Return
  expect_window selection "$window" "${#kanji} ${#kanji}" || return 1
  xdotool type --delay 50 a
  expect_window "$fact" "$window" "${kanji}あ" "${@:6}" || return 1
  no_message_box "$window" || fail "a message box appeared: $(probe msgbox "$window" | sed 1d)" || return 1
  [ "$(files)" = "$before" ] || fail "the Enter that confirmed $kanji in $window started or wrote" || return 1
  xdotool key BackSpace
  expect_window "$fact" "$window" "$kanji" "${@:6}"
}

# The launcher, the settings window and the registration window of one
# program, typed into as a Japanese user does: names in code page 932 are
# listed, Escape closes nothing, Enter presses the default button but not
# while it confirms a conversion, and the hotkey boxes take keys, not text.
test_keyboard_and_input_method_in_every_window() {
  new_app keyboard && write_hotkeys && start_input_method || return 1
  write_favourites "メモ帳;$TARGET /long" "メモ;$TARGET /short" && XMODIFIERS=@im=uim start_launcher || return 1
  wait_for_window && xdotool windowfocus --sync "$XID" && expect_window focus "$TITLE" combo || return 1
  expect_window item "$TITLE" メモ帳 メモ || return 1
  # Wine connects to the input method at the first key, which passes it by;
  # the keys after Escape still reach the window.
  xdotool key shift Escape
  type_name x && xdotool key BackSpace && type_name '' '' || return 1
  shot_window "$XID" launcher.png

  converts "$TITLE" text memo めも メモ || return 1
  xdotool key Return # now as the user means it: ＯＫ
  expect_started 1 "\"$TARGET\" /short" || return 1

  # Off in this window's own input context until turned on, the input method takes the letters,
  # Space and Enter typed into the upper hotkey box: once the keys after them reach the lower box,
  # the upper one still shows its key.
  open_settings || return 1
  xdotool key shift+space
  xdotool type --delay 50 memo
  xdotool key space Return Tab ctrl+shift+F6
  expect_window edit "$SETTINGS" 'Ctrl + Sift + F3' 'Ctrl + Sift + F6' || return 1
  # Closing the window leaves the input method as the user had it.
  click_button キャンセル "$SETTINGS" && gone "$SETTINGS" "the settings window to close" &&
    expect_window focus "$TITLE" combo && type_name ka か && xdotool key BackSpace && type_name '' '' || return 1

  click_button "$TORK" && shown "$TORK" "the registration window" && expect_window focus "$TORK" 'Edit 1' || return 1
  expect_window tab "$TORK" 'Edit|' 'Button|参照' 'Edit|' 'ListBox|' 'Button|登録' 'Button|削除' 'Button|戻る' \
    'Button|訂正' || return 1
  converts "$TORK" edit nikki にっき 日記 '' || return 1
  # The input method off, and Escape: the path typed after it must still reach the window.
  xdotool key shift+space Escape Tab Tab # past 参照 into the path box
  xdotool type --delay 10 "$TARGET /r"
  expect_window edit "$TORK" 日記 "$TARGET /r" || return 1
  shot_window "$XID" registration.png
  xdotool key Return # registers, in code page 932, after the launch put メモ first
  expect_lines "$(padded メモ "$TARGET /short")" "$(padded メモ帳 "$TARGET /long")" "日記;$TARGET /r"
}
