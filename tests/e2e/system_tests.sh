# End-to-end tests of what only the system itself can show: the backend's
# checks against it, the real file system, and how Windows starts programs.

# The backend's own checks against the system: the DLL search, files, code page,
# profile strings, windows built from their declarations, DPI, activation, modal shows.
test_backend_checks_pass_against_the_system() {
  local checks=$BUILD/win32/pyxtern_win32_test.exe output
  [ -f "$checks" ] || fail "$checks is missing" || return 1
  new_app backend || return 1
  output=$(cd "$APP" && wine "$checks" 2>/dev/null | tr -d '\r') && NOTE=$(tail -1 <<<"$output") ||
    fail "backend checks failed" || detail "$output"
}

# The favourites file on a real disk: killed while it rewrites the file
# after a launch, as its temporary file holds none, half and all of the
# file's size, the program leaves every line whole, and the next start
# leaves no temporary file.
test_favourites_file_killed_mid_rewrite_keeps_every_line() {
  new_app files || return 1
  local file=$APP/pyxtern.txt tmp=$APP/pyxtern.txt.tmp percent inode size
  # The program's path through the environment: awk -v would take its "\" as escapes.
  T=$TARGET awk 'BEGIN { for (j = 0; j < 16000; j++) a = a "a"
    for (i = 0; i < 500; i++) printf "f%04d;%s /%s\r\n", i, ENVIRON["T"], a }' >"$file"
  sort "$file" >"$APP/lines.txt"
  # Every favourite's line, in any order, its name padded or not.
  whole() { sed 's/ *;/;/' "$file" | sort | cmp -s - "$APP/lines.txt"; }
  NOTE="kills of a $(($(stat -c %s "$file") / 1024)) kB rewrite; the file after each"
  listed() { [ "$(reading item "$TITLE" | wc -l)" = 500 ]; }
  for percent in 0 50 100 ''; do
    start_launcher && wait_for_window && wait_for 30 "the list of 500 favourites" listed || return 1
    [ ! -e "$tmp" ] || fail "the start after a kill left the temporary file" || return 1
    [ -n "$percent" ] || return 0
    cp "$file" "$APP/old.txt"
    read -r inode size < <(stat -c '%i %s' "$file")
    launch "$(tail -n 1 "$file" | cut -d';' -f1 | tr -d ' ')" || return 1 # the last favourite, moved up
    # Busy polling, one stat a round: the whole rewrite takes some milliseconds.
    reached() {
      local now
      # shellcheck disable=SC2207 # two numbers a file, split on purpose
      now=($(stat -c '%i %s' "$file" "$tmp" 2>/dev/null))
      [ "${now[0]}" != "$inode" ] && return 0 # too late: the new file is in place
      [ ${#now[@]} = 4 ] && [ "${now[3]}" -ge $((size * percent / 100)) ]
    }
    local deadline=$(($(wine_now_ms) + 15000))
    until reached || (($(wine_now_ms) > deadline)); do :; done
    stop_launchers
    reached || fail "the temporary file never held $percent% of the file" || return 1
    whole || fail "killed at $percent% of the temporary file, pyxtern.txt lost or cut lines" || return 1
    NOTE+=", at $percent%: $(cmp -s "$file" "$APP/old.txt" && echo old || echo new)"
    [ ! -e "$tmp" ] || NOTE+=" + temporary file"
  done
}

# How Windows starts what the launcher asks for. Windows tries C:\Program.exe
# first for an unquoted "C:\Program Files\..." command line: neither a
# favourite there nor the browser program of the settings may start it. A
# document opens with its associated program; a %VARIABLE% program starts in
# its own folder, and Ctrl+Shift+Enter asks the shell to run it as
# administrator (Wine runs it without a prompt; its trace shows the verb).
# Started again with a path, as Explorer's Send To does, while the launcher
# is in the tray, it hands the path to the running copy's registration window.
test_programs_start_as_written_and_a_second_start_hands_over() {
  new_app programs && write_hotkeys || return 1
  local folder="$WINEPREFIX/drive_c/Program Files/pyx rec" tools=$APP/ツール document='C:\docs\a file.txt' first
  local program='C:\Program Files\pyx rec\target.exe' doc='C:\Program Files\pyx rec\report.pyxdoc'
  local -x PYX_TOOLS="$(winpath "$tools")"
  mkdir -p "$folder" "$tools" && cp "$E2E/target.exe" "$folder/" && cp "$E2E/target.exe" "$tools/" &&
    cp "$E2E/target.exe" "$WINEPREFIX/drive_c/Program.exe" && touch "$folder/report.pyxdoc" ||
    fail "cannot place the recorders" || return 1
  wine reg add 'HKCR\.pyxdoc' /ve /d pyxdocfile /f >/dev/null 2>&1 &&
    wine reg add 'HKCR\pyxdocfile\shell\open\command' /ve /d "\"$program\" \"%1\"" /f >/dev/null 2>&1 ||
    fail "cannot make .pyxdoc files open with target.exe" || return 1
  printf '[OPEN_TYPE]\r\nTYEP=0\r\nIE_EXE=%s\r\n' "$program" >>"$APP/Tesmora.ini"
  WINEDEBUG=-all,trace+exec start_with "plain;$program /p" 'folder;C:\Program Files\pyx rec' "doc;$doc" \
    'tool;%PYX_TOOLS%\target.exe /v' || return 1
  launch plain && expect_started 1 "\"$program\" /p" || return 1
  launch folder && expect_started 2 "\"$program\" C:\Program Files\pyx rec" || return 1
  launch doc && expect_started 3 "\"$program\" \"$doc\"" || return 1
  launch tool && expect_started 4 "\"$PYX_TOOLS\\target.exe\" /v" "$PYX_TOOLS" || return 1
  type_name tool && xdotool key ctrl+shift+Return && expect_started 5 "\"$PYX_TOOLS\\target.exe\" /v" "$PYX_TOOLS" ||
    return 1
  grep -q 'verb=L"runas"' "$APP/wine.log" || fail "the shell was not asked to run it as administrator" || return 1
  ! grep -q '^C:\\Program.exe' "$APP/launched.txt" || fail "C:\\Program.exe was started" || return 1

  press_hotkey ctrl+shift+F2 && gone "$TITLE" "the launcher in the tray" || return 1
  first=$PID
  start_launcher "$document"
  shown "$TORK" "the running copy's registration window" && expect_window edit "$TORK" '' "$document" || return 1
  wait_for 10 "the second copy to end" ended && alive "$first" || fail "the second copy did not hand over and end" ||
    return 1
  shot_window "$XID" registration-from-a-second-start.png
}
