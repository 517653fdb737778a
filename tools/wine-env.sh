# The Windows program's world on Linux, shared by ./run and the Wine tests:
# a Japanese locale (Wine takes its ANSI code page from it), a virtual X
# display, and a fresh Wine prefix. Sourced; each function returns non-zero
# with a message on standard error when it cannot do its part.

wine_as_root() {
  if [ "$(id -u)" = 0 ]; then
    "$@"
  elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    sudo "$@"
  else
    echo "needs root or password-less sudo: $*" >&2
    return 1
  fi
}

wine_now_ms() { echo $((${EPOCHREALTIME//[.,]/} / 1000)); }

# wine_wait SECONDS COMMAND...: runs COMMAND until it succeeds, at most SECONDS.
wine_wait() {
  local deadline=$(($(wine_now_ms) + $1 * 1000))
  shift
  until "$@"; do
    [ "$(wine_now_ms)" -lt "$deadline" ] || return 1
    sleep 0.1 # poll interval
  done
}

# Without ja_JP.UTF-8 Wine silently falls back to code page 1252 and every
# Japanese byte in the program's files would be read wrong.
wine_japanese_locale() {
  if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
    wine_as_root sh -c '
      if ! grep -q "^ja_JP.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null; then
        sed -i "s/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/" /etc/locale.gen 2>/dev/null
        grep -q "^ja_JP.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null || echo "ja_JP.UTF-8 UTF-8" >>/etc/locale.gen
      fi
      locale-gen >/dev/null' || return 1
    locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8' || {
      echo "the ja_JP.UTF-8 locale is still missing after locale-gen" >&2
      return 1
    }
  fi
  export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
}

# wine_start_x DIR: a private X server on a free display; sets DISPLAY and
# WINE_XVFB_PID.
wine_start_x() {
  local display_file=$1/display fd
  exec {fd}>"$display_file"
  Xvfb -displayfd "$fd" -screen 0 1280x1024x24 -nolisten tcp >"$1/xvfb.log" 2>&1 &
  WINE_XVFB_PID=$!
  exec {fd}>&-
  wine_wait 20 test -s "$display_file" || {
    echo "Xvfb chose no display: $(tail -3 "$1/xvfb.log")" >&2
    return 1
  }
  export DISPLAY=":$(head -1 "$display_file")"
  wine_wait 20 xdpyinfo >/dev/null 2>&1 || {
    echo "the X server on $DISPLAY does not answer" >&2
    return 1
  }
}

# wine_new_prefix DIR: a fresh Wine prefix in DIR with one server for the
# whole run; sets WINEPREFIX.
wine_new_prefix() {
  export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=-all
  # No Mono or Gecko install prompts, no desktop menu entries.
  export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX" && wineserver -p || {
    echo "cannot start the Wine server" >&2
    return 1
  }
  wine wineboot -i >"$WINEPREFIX.wineboot.log" 2>&1 || {
    echo "wineboot failed: $(tail -3 "$WINEPREFIX.wineboot.log")" >&2
    return 1
  }
  # No window manager runs on a virtual display: Wine then draws captions and
  # close boxes itself, as a user sees them.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
}

# wine_manage_windows Y|N: Wine leaves its windows to a window manager (Y,
# its default: with none running, each hidden window waits 2 s for one) or
# places and focuses them itself (N). A process reads this as it starts, so
# the server restarts, ending every process, and the tray starts anew.
wine_manage_windows() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  wineserver -p && wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$1" /f >/dev/null 2>&1 || {
    echo "cannot restart the Wine server with Managed=$1" >&2
    return 1
  }
}

# Ends every Wine process of the prefix and the private X server.
wine_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
  fi
  if [ -n "${WINE_XVFB_PID:-}" ]; then
    kill "$WINE_XVFB_PID" 2>/dev/null
    wait "$WINE_XVFB_PID" 2>/dev/null
    WINE_XVFB_PID=''
  fi
}
