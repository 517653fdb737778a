# End-to-end test of the release archive that ./package makes, unpacked into a
# folder as a user does and used from there, with nothing else installed.

# The archive holds these files, its version in the help page and in the
# version record of pyxtern.exe, which stays under 1 MB. Started by its full
# path from C:\, as a shortcut may, the program uses the files beside it: a
# launch rewrites the favourites; the settings window shows the stored
# hotkeys, Tab visits its controls in order, its boxes capture keys (Alt and
# F10 as keys, not the menu's; Space not at all), and the new hotkeys, saved
# beside it, work as soon as it closes, the old ones released.
test_release_archive_used_from_a_japanese_folder_name_with_a_space() {
  local version archive files numbers record size lower
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/win32/CMakeCache.txt")
  [ -n "$version" ] || fail "no project version in $BUILD/win32/CMakeCache.txt" || return 1
  archive=$(realpath -m "$HERE/../../dist/pyxtern-$version-win64.zip")
  [ -f "$archive" ] || fail "$archive is missing: run ./package" || return 1
  files=$(unzip -Z1 "$archive" | sort | paste -sd ' ')
  [ "$files" = 'LICENSE.txt README.txt TESMORA_HELP.html pyxtern.exe' ] || fail "the archive holds $files" || return 1
  APP="$WINEPREFIX/drive_c/ツール/pyxtern 1" APP_EXE='C:\ツール\pyxtern 1\pyxtern.exe' START_IN=$WINEPREFIX/drive_c
  mkdir -p "$APP" && unzip -q "$archive" -d "$APP" || fail "cannot unpack $archive into $APP" || return 1
  TARGET=$(winpath "$E2E/target.exe") numbers=$version
  until [[ $numbers == *.*.*.* ]]; do numbers+=.0; done
  record=$(probe version "$APP_EXE" | paste -sd ' ')
  [ "$record" = "$numbers $version $version" ] || fail "the version record reads '$record'" || return 1
  grep -q "バージョン $version<" "$APP/TESMORA_HELP.html" || fail "the help page does not name $version" || return 1
  size=$(stat -c %s "$APP/pyxtern.exe")
  [ "$size" -lt 1048576 ] || fail "pyxtern.exe has $size bytes" || return 1
  NOTE="version $version, pyxtern.exe $size bytes"

  write_hotkeys && start_with "abc;$TARGET /a" "memo;$TARGET /r" || return 1
  launch memo && expect_started 1 "\"$TARGET\" /r" || return 1
  expect_lines "$(padded memo "$TARGET /r")" "$(padded abc "$TARGET /a")" || return 1

  open_settings && expect_window tab "$SETTINGS" 'Edit|Ctrl + Sift + F3' 'Edit|Ctrl + Sift + F2' \
    'Button|IEタイプ(初心者向)' 'Button|登録画面を閉じる' 'Button|OK' 'Button|キャンセル' 'Button|適用' || return 1
  shot_window "$XID" settings.png
  xdotool key ctrl+shift+F4
  expect_window edit "$SETTINGS" 'Ctrl + Sift + F4' 'Ctrl + Sift + F2' || return 1
  for lower in alt+a:'Ctrl + Alt + A' F10:F10 space:F10 ctrl+shift+F6:'Ctrl + Sift + F6'; do
    xdotool key Tab "${lower%%:*}"
    expect_window edit "$SETTINGS" 'Ctrl + Sift + F4' "${lower#*:}" || return 1
    xdotool key shift+Tab
  done
  click_button 'Exploreタイプ(ヘビーユーザー向)' "$SETTINGS" && click_button OK "$SETTINGS" &&
    gone "$SETTINGS" "the settings window to close" || return 1
  printf '[%s]\r\nCtrl=1\r\nAlt=0\r\nshift=1\r\nKey=%s\r\n' Start 115 Small 117 >"$APP/expected.ini"
  printf '\r\n[OPEN_TYPE]\r\nTYEP=1\r\n\r\n[FORM]\r\nCLOSE=0\r\n' >>"$APP/expected.ini"
  cmp -s "$APP"/{expected,Tesmora}.ini || fail "Tesmora.ini reads: $(tr '\r\n' '|' <"$APP/Tesmora.ini")" || return 1
  press_hotkey ctrl+shift+F6 && gone "$TITLE" "the new minimise hotkey to hide the launcher" || return 1
  press_hotkey ctrl+shift+F4 && shown "$TITLE" "the new call-up hotkey to bring the launcher back" || return 1
  hold "the old call-up key, Ctrl+Shift+F3" --hold-hotkey 6 114
}
