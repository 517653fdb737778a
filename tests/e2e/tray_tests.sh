# End-to-end test of the tray icon, the global hotkeys and the modal settings window over the launcher.

tray_empty() { ! tray_shows_icon; }

# tray_click BUTTON [CLICKS]: on the icon, the first in the tray window.
tray_click() { click_in "$TRAY" 10 --repeat "${2:-1}" --delay 80 "$1"; }

# Under Wine's default window management, as users run it, with its waits
# for a window manager: the program still hides and ends. The tray's menu
# needs it too: otherwise Wine gives the X focus to the tray window clicked,
# and the launcher's menu closes as it opens.
test_tray_icon_and_hotkeys_call_up_hide_and_end() {
  windows_managed Y || return 1
  new_app tray && write_hotkeys && start_with "abc;$TARGET /a" || return 1
  find_tray && wait_for 10 "the icon in the tray" tray_shows_icon || return 1
  press_hotkey ctrl+shift+F2 && gone "$TITLE" "the minimise hotkey to hide the launcher" || return 1
  tray_shows_icon || fail "the icon left the tray with the window" || return 1
  tray_click 1 2 && shown "$TITLE" "a double-click on the icon to bring the launcher back" || return 1
  tray_click 3 && choose_menu Down && shown "$SETTINGS" "the settings window from the tray menu" || return 1
  # The minimise hotkey works over the settings window too; on Windows the
  # settings window hides with the launcher, and the icon brings both back.
  press_hotkey ctrl+shift+F2 && gone "$TITLE" "the minimise hotkey over the settings window" || return 1
  tray_click 1 2 && shown "$TITLE" "the icon to bring the launcher back" || return 1
  shown "$SETTINGS" "the settings window to come back" && expect_window enabled "$TITLE" 0 || return 1
  click_button キャンセル "$SETTINGS" && gone "$SETTINGS" "the settings window to close" || return 1
  tray_click 3 && choose_menu Down Down Down || return 1
  wait_for 10 "the launcher to end" ended && wait_for 10 "the icon to leave the tray" tray_empty || return 1
  # A key another program holds is named at the next start (the message's lines
  # joined by "|"); Return answers it.
  hold Ctrl+Shift+F3 --hold-hotkey 6 114 && start_launcher || return 1
  local box held='ホットキー「Ctrl + Sift + F3」は他のプログラムで使用されているため登録できませんでした。'
  box_reads() { box=$(probe msgbox "$TITLE" | tr -d '\r' | paste -sd '|'); }
  wait_for 30 "the message box" box_reads || return 1
  [ "${box#*|}" = "$held|設定画面で別のキーを指定してください。" ] || fail "the message reads '${box#*|}'" || return 1
  shot_window "${box%%|*}" message-hotkey-held.png
  xdotool windowfocus --sync "${box%%|*}" 2>/dev/null
  xdotool key Return
  wait_for 10 "the message box to close on Return" no_message_box "$TITLE" && wait_for_window
}
