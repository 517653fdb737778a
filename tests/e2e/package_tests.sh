# End-to-end test of the release archive that ./package makes: unpacked as a
# user unpacks it, into a folder whose path has Japanese characters and a
# space, and used from there with nothing else installed.

DIST=$(realpath -m "$HERE/../../dist")
readonly DIST
readonly RELEASE_FILES='LICENSE.txt README.txt TESMORA_HELP.html pyxtern.exe'
readonly RELEASE_FOLDER='C:\ツール\pyxtern 1'
readonly EXE_LIMIT=1048576 # pyxtern.exe stays under 1 MB

# unpack_release VERSION: the archive named for VERSION, checked for its
# files and unpacked into RELEASE_FOLDER as the application folder.
unpack_release() {
  local archive=$DIST/pyxtern-$1-win64.zip files
  [ -f "$archive" ] || fail "$archive is missing: run ./package" || return 1
  files=$(unzip -Z1 "$archive" | sort | paste -sd ' ')
  [ "$files" = "$RELEASE_FILES" ] || fail "the archive holds '$files', not '$RELEASE_FILES'" || return 1
  # Started by its full path from C:\, as a shortcut may start it: its files
  # must still go beside it.
  APP="$WINEPREFIX/drive_c/ツール/pyxtern 1" APP_EXE="$RELEASE_FOLDER\\pyxtern.exe" START_IN=$WINEPREFIX/drive_c
  mkdir -p "$APP" && unzip -q "$archive" -d "$APP" || fail "cannot unpack $archive into $APP" || return 1
  TARGET=$(winpath "$E2E/target.exe")
}

# expect_version VERSION: the version record of the unpacked pyxtern.exe
# (file version numbers, FileVersion, ProductVersion) and its help page
# name VERSION.
expect_version() {
  local numbers=$1 record
  until [[ $numbers == *.*.*.* ]]; do numbers+=.0; done
  record=$(probe version "$APP_EXE" | paste -sd ' ')
  [ "$record" = "$numbers $1 $1" ] || fail "the version record reads '$record', the archive $1" || return 1
  grep -q "バージョン $1<" "$APP/TESMORA_HELP.html" || fail "the help page does not name version $1"
}

test_release_archive_runs_from_a_japanese_folder_name_with_a_space() {
  local version size
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/win32/CMakeCache.txt")
  [ -n "$version" ] || fail "no project version in $BUILD/win32/CMakeCache.txt" || return 1
  unpack_release "$version" && expect_version "$version" || return 1
  size=$(stat -c %s "$APP/pyxtern.exe")
  [ "$size" -lt "$EXE_LIMIT" ] || fail "pyxtern.exe has $size bytes" || return 1
  NOTE="version $version, pyxtern.exe $size bytes"

  start_launcher && wait_for_window || return 1
  shot_window "$XID" release-launcher.png
  open_registration && type_into_box 1 memo || return 1
  xdotool key Tab Tab # past 参照 into the path box
  xdotool type --delay 10 "$TARGET /r"
  expect_boxes memo "$TARGET /r" || return 1
  xdotool key Return
  expect_lines "memo;$TARGET /r" || return 1
  click_button 戻る "$TORK" && wait_for 10 "the registration window to close" no_tork_window || return 1
  launch memo && expect_started 1 "$TARGET" /r || return 1

  right_click_launcher && choose_menu_item 1 || return 1
  wait_for 10 "the settings window" has_settings_window || return 1
  click_button 'Exploreタイプ(ヘビーユーザー向)' "$SETTINGS" && click_button OK "$SETTINGS" || return 1
  wait_for 10 "the settings window to close" no_settings_window || return 1
  [ -f "$APP/Tesmora.ini" ] && ini_has OPEN_TYPE TYEP 1 || fail "no Tesmora.ini with the setting beside pyxtern.exe"
}

TESTS+=(test_release_archive_runs_from_a_japanese_folder_name_with_a_space)
