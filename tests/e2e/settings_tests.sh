# End-to-end tests of the settings window, the tray icon and the hotkeys.

readonly SETTINGS='各種設定' # the settings window's caption

# write_hotkeys: Ctrl+Shift+F3 calls the launcher up, Ctrl+Shift+F2 sends it
# to the tray.
write_hotkeys() {
  printf '[%s]\r\nCtrl=1\r\nAlt=0\r\nshift=1\r\nKey=%s\r\n' Start 114 Small 113 >"$APP/Tesmora.ini"
}

# ini_has SECTION KEY VALUE: Tesmora.ini holds the item.
ini_has() {
  awk -v section="[$1]" -v item="$2=$3" '{ sub(/\r$/, "") } /^\[/ { inside = $0 == section }
    inside && $0 == item { found = 1 } END { exit !found }' "$APP/Tesmora.ini"
}

has_settings_window() { SETTINGS_XID=$(probe xid "$SETTINGS"); }
no_settings_window() { ! probe xid "$SETTINGS" >/dev/null; }
hotkey_boxes_read() { [ "$(probe edits "$SETTINGS")" = "$(printf '%s\n' "$@")" ]; }

# Wine's own tray window holds the program's icon, and is unmapped while it
# holds none.
find_tray() { TRAY=$(xdotool search --name 'Wine System Tray' 2>/dev/null | head -1) && [ -n "$TRAY" ]; }
tray_shows_icon() { xwininfo -id "$TRAY" 2>/dev/null | grep -q IsViewable; }
tray_empty() { ! tray_shows_icon; }

# tray_click BUTTON [CLICKS]: on the icon, the first in the tray window.
tray_click() {
  local x y width height
  tray_area() { read -r x y width height < <(probe client 'Wine System Tray'); }
  wait_for 5 "the tray window's area" tray_area || return 1
  click_at $((x + 10)) $((y + height / 2)) --repeat "${2:-1}" --delay 80 "$1"
}

# press_hotkey KEYS: Wine delivers a global hotkey only while one of its
# windows has the X focus; its tray window is there whatever the launcher is.
press_hotkey() {
  xdotool windowfocus --sync "$TRAY" 2>/dev/null
  xdotool key "$1"
}

right_click_launcher() {
  local wx wy ww wh
  read -r wx wy ww wh < <(probe geometry "$TITLE") || fail "no launcher window to click" || return 1
  click_at $((wx + 20)) $((wy + wh / 2)) 3 # on the surface, left of the controls
}

is_menu_open() { probe windows | grep -q 'class=#32768'; }

# choose_menu_item N: the popup menu's N-th item (設定, ヘルプ, 終了), by keyboard.
choose_menu_item() {
  wait_for 5 "the popup menu" is_menu_open || return 1
  local keys=() i
  for ((i = 0; i < $1; i++)); do keys+=(Down); done
  xdotool key "${keys[@]}" Return
}

test_settings_window_captures_a_hotkey_that_works_at_once() {
  new_app settings && write_hotkeys && start_with "abc;$TARGET /a" || return 1
  find_tray || fail "no Wine tray window" || return 1
  right_click_launcher && choose_menu_item 1 || return 1
  wait_for 10 "the settings window" has_settings_window || return 1
  wait_for 5 "the stored hotkeys in the boxes" hotkey_boxes_read 'Ctrl + Sift + F3' 'Ctrl + Sift + F2' || return 1
  wait_for 5 "the focus in the upper box" focus_in "$SETTINGS" 'Edit 1' || return 1
  expect_tabs "$SETTINGS" 'Edit|Ctrl + Sift + F3' 'Edit|Ctrl + Sift + F2' 'Button|IEタイプ(初心者向)' \
    'Button|登録画面を閉じる' 'Button|OK' 'Button|キャンセル' 'Button|適用' || return 1
  xdotool key ctrl+shift+F4
  if ! wait_for 5 "the upper box to read Ctrl + Sift + F4" hotkey_boxes_read 'Ctrl + Sift + F4' 'Ctrl + Sift + F2'; then
    detail "boxes: $(probe edits "$SETTINGS" | paste -sd '|')"
    return 1
  fi
  # In the lower box: Alt+A neither beeps into menu mode nor types (F10 after
  # it is captured, not taken by a menu), Space is swallowed; Ctrl+Shift+F6
  # becomes the new minimise key.
  local lower
  for lower in alt+a:'Ctrl + Alt + A' F10:F10 space:F10 ctrl+shift+F6:'Ctrl + Sift + F6'; do
    xdotool key Tab "${lower%%:*}"
    wait_for 5 "the lower box to read ${lower#*:} after ${lower%%:*}" hotkey_boxes_read 'Ctrl + Sift + F4' \
      "${lower#*:}" || return 1
    xdotool key shift+Tab
  done
  click_button 'Exploreタイプ(ヘビーユーザー向)' "$SETTINGS" || return 1
  shot_window "$SETTINGS_XID" settings.png
  click_button OK "$SETTINGS" || return 1
  wait_for 10 "the settings window to close" no_settings_window || return 1
  local item
  for item in 'Start Ctrl 1' 'Start Alt 0' 'Start shift 1' 'Start Key 115' 'Small Key 117' 'OPEN_TYPE TYEP 1' \
    'FORM CLOSE 0'; do
    # shellcheck disable=SC2086 # the item is three words
    ini_has $item || {
      detail "$(tr -d '\r' <"$APP/Tesmora.ini")"
      fail "Tesmora.ini lacks $item"
      return 1
    }
  done
  press_hotkey ctrl+shift+F6
  wait_for 10 "the new minimise hotkey to hide the launcher" launcher_hidden || return 1
  press_hotkey ctrl+shift+F3
  sleep 1.5 # the old key must do nothing, and nothing can be waited for
  launcher_hidden || fail "the old call-up hotkey still works" || return 1
  press_hotkey ctrl+shift+F4
  wait_for 10 "the new call-up hotkey to bring the launcher back" has_launcher_window
}

# Under Wine's default window management, as users run it, with its waits
# for a window manager: the program still hides and ends. The tray's menu
# needs it too: otherwise Wine gives the X focus to the tray window clicked,
# and the launcher's menu closes as it opens.
test_tray_icon_and_hotkeys_call_up_hide_and_end() {
  windows_managed Y || return 1
  new_app tray && write_hotkeys && start_with "abc;$TARGET /a" || return 1
  find_tray && wait_for 10 "the icon in the tray" tray_shows_icon || return 1
  press_hotkey ctrl+shift+F2
  wait_for 10 "the minimise hotkey to hide the launcher" launcher_hidden || return 1
  tray_shows_icon || fail "the icon left the tray with the window" || return 1
  press_hotkey ctrl+shift+F3
  wait_for 10 "the call-up hotkey to bring the launcher back" has_launcher_window || return 1
  press_hotkey ctrl+shift+F2
  wait_for 10 "the launcher to hide again" launcher_hidden || return 1
  tray_click 1 2
  wait_for 10 "a double-click on the icon to bring the launcher back" has_launcher_window || return 1
  tray_click 3 && choose_menu_item 1 || return 1
  wait_for 10 "the settings window from the tray menu" has_settings_window || return 1
  # The minimise hotkey works over the settings window too; on Windows the
  # settings window hides with the launcher, and the icon brings both back.
  press_hotkey ctrl+shift+F2
  wait_for 10 "the minimise hotkey over the settings window" launcher_hidden || return 1
  tray_click 1 2
  wait_for 10 "the icon to bring the launcher back" has_launcher_window || return 1
  has_settings_window || fail "the settings window did not come back" || return 1
  click_button キャンセル "$SETTINGS" && wait_for 10 "the settings window to close" no_settings_window || return 1
  tray_click 3 && choose_menu_item 3 || return 1
  expect_exit "$PID" "終了 from the tray menu" || return 1
  wait_for 10 "the icon to leave the tray" tray_empty || return 1
  # A new copy registers the same keys: no message, and they work.
  start_launcher
  wait_for_window || return 1
  press_hotkey ctrl+shift+F2
  wait_for 10 "the new copy's minimise hotkey" launcher_hidden || return 1
  no_message_box || fail "the new copy reported a hotkey: $(probe msgbox "$TITLE")"
}

test_hotkey_held_by_another_program_is_reported() {
  new_app conflict && write_hotkeys && write_favourites "abc;$TARGET /a" || return 1
  (cd "$APP" && PYX_TARGET_LOG=$(winpath "$APP/holder.txt") exec wine target.exe --hold-hotkey 6 114) \
    >>"$APP/wine.log" 2>&1 &
  STARTED+=("$!")
  holds() { [ -s "$APP/holder.txt" ]; }
  wait_for 15 "another program to hold Ctrl+Shift+F3" holds || return 1
  start_launcher
  wait_for 30 "a message box titled $TITLE" has_message_box || return 1
  local box
  box=$(probe msgbox-xid "$TITLE") && shot_window "$box" hotkey-conflict-message.png
  [ "$MESSAGE" = $'ホットキー「Ctrl + Sift + F3」は他のプログラムで使用されているため登録できませんでした。\r\n設定画面で別のキーを指定してください。' ] ||
    fail "the message reads '$MESSAGE'" || return 1
  answer_message_box && wait_for_window
}

TESTS+=(
  test_settings_window_captures_a_hotkey_that_works_at_once
  test_tray_icon_and_hotkeys_call_up_hide_and_end
  test_hotkey_held_by_another_program_is_reported
)
