# Sourced by scripts: starts and stops the Wine test environment (an own Xvfb
# display, a prefix per language in the stage of scripts/stage.sh, owned by the
# user Wine runs as, a persistent wine server). Everything started here is
# stopped by PID in wine_env_stop. Nothing outside the checkout changes but the
# stage under /tmp.

wine_env_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$wine_env_repo/scripts/stage.sh"
. "$wine_env_repo/scripts/i686-road.sh"
wine_env_xvfb_pid=

wine_env_keeper_pid=

# Whether this machine runs 32-bit programs under Wine, natively or through
# qemu-i386 (scripts/i686-road.sh; sets i686_road and i686_road_why). A qemu-i386
# registered on the machine itself does not count as native: that may be a
# version that takes minutes to start a program; the qemu road brings its own.
wine_env_runs_32bit() {
  i686_road
}

# Runs one of Wine's programs (wine64, wineserver) in the prefix, as the Wine
# user, in the stage: that user may not enter the checkout.
wine_env_wine() {  # SECONDS (0: no limit) PROGRAM ARGUMENT...
  local limit=() program=$2
  [ "$1" = 0 ] || limit=(timeout "$1")
  shift 2
  ( cd "$stage_root" &&
    exec "${limit[@]}" "${as_wine_user[@]}" env WINELOADER=/usr/lib/wine/wine64 WINEPREFIX="$UPDATE_WINEPREFIX" WINEDEBUG=-all \
      LANG="$UPDATE_WINE_LANG" LC_ALL="$UPDATE_WINE_LANG" DISPLAY="$DISPLAY" "/usr/lib/wine/$program" "$@" )
}

# Starts the environment: the display, the prefix (made once, marked by .ready)
# and its server. PREFIX defaults to the stage's prefix of UPDATE_WINE_LANG; its
# parent folder must be writable by the Wine user. The stage is synced here once
# for the whole run (UPDATE_STAGED tells wine-run so); results written in the
# stage come back in wine_env_stop.
wine_env_start() {  # [PREFIX]
  stage_sync || { echo "wine-env: staging into $stage_root failed" >&2; return 1; }
  export UPDATE_STAGED=$stage_root
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  wine_env_xvfb_pid=$!
  export DISPLAY=":$n"
  local waited=0
  until [ -e "/tmp/.X11-unix/X$n" ]; do
    sleep 0.1; waited=$((waited + 1))
    [ $waited -lt 100 ] || { echo "wine-env: Xvfb did not start" >&2; return 1; }
  done

  # One prefix per language: UPDATE_WINE_LANG (default ja_JP.UTF-8, ANSI code
  # page 932; en_US.UTF-8 gives code page 1252).
  # UPDATE_WINE_PLAIN=1 gives a prefix as wineboot makes it (wine-<lang>-plain),
  # without the fonts and the font link added below: the usual Wine of a Linux
  # desktop, where the system's message font has no Japanese.
  export UPDATE_WINE_LANG=${UPDATE_WINE_LANG:-ja_JP.UTF-8}
  local plain=
  [ "${UPDATE_WINE_PLAIN:-0}" = 1 ] && plain=-plain
  export UPDATE_WINEPREFIX=${1:-$stage_root/wine-${UPDATE_WINE_LANG%%.*}$plain}
  if [ ! -f "$UPDATE_WINEPREFIX/.ready" ]; then
    rm -rf "$UPDATE_WINEPREFIX"
    "${as_wine_user[@]}" mkdir -p "$UPDATE_WINEPREFIX" || return 1
    echo "wine-env: creating the Wine prefix (about 20 s)"
    wine_env_wine 300 wine64 wineboot -i >/dev/null 2>&1 || true
    # Without a window manager every hidden window waits 2 s unless unmanaged.
    wine_env_wine 60 wine64 reg add 'HKCU\Software\Wine\X11 Driver' \
      /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || return 1
    # This Wine does not load the fonts of its own font folder, only the
    # prefix's Fonts folder and the system's: without Marlett the title-bar
    # buttons read "0 1 r", and without Tahoma the title bar and message boxes
    # fall back to a font without Japanese. Tahoma's bold face stays out: a
    # bold caption is then made from the regular face, which the link below
    # reaches. As on Windows, Tahoma links to a Japanese font for characters
    # it lacks (IPA P Gothic standing in for MS UI Gothic). The plain prefix
    # has none of this.
    if [ -z "$plain" ]; then
      "${as_wine_user[@]}" cp /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma.ttf \
        "$UPDATE_WINEPREFIX/drive_c/windows/Fonts/" || return 1
      wine_env_wine 60 wine64 reg add \
        'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v Tahoma /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic' /f >/dev/null 2>&1 || return 1
    fi
    wine_env_wine 60 wineserver -w
    "${as_wine_user[@]}" touch "$UPDATE_WINEPREFIX/.ready"
  fi
  # One server for the whole run instead of one per test program.
  wine_env_wine 0 wineserver -p >/dev/null 2>&1
  # Start Wine's own background processes now, detached from any caller's output:
  # started by a test they would hold CTest's output pipe open.
  wine_env_wine 60 wine64 wineboot >/dev/null 2>&1 </dev/null
  # Keep one idle Wine program (a console waiting on its input) for the whole run:
  # while one runs, Wine keeps its desktop process, and a program starts in about
  # 0.2 s instead of 2 s.
  { sleep 86400 | wine_env_wine 0 wine64 cmd.exe >/dev/null 2>&1; } 2>/dev/null &
  wine_env_keeper_pid=$!
  return 0
}

wine_env_stop() {
  if [ -n "$wine_env_keeper_pid" ]; then
    pkill -P "$wine_env_keeper_pid" 2>/dev/null
    kill "$wine_env_keeper_pid" 2>/dev/null
    wait "$wine_env_keeper_pid" 2>/dev/null
    wine_env_keeper_pid=
  fi
  if [ -n "${UPDATE_WINEPREFIX:-}" ]; then
    "${as_wine_user[@]}" env WINEPREFIX="$UPDATE_WINEPREFIX" /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  fi
  if [ -n "$wine_env_xvfb_pid" ]; then
    kill "$wine_env_xvfb_pid" 2>/dev/null; wait "$wine_env_xvfb_pid" 2>/dev/null
    wine_env_xvfb_pid=
  fi
  if [ -n "${UPDATE_STAGED:-}" ]; then
    unset UPDATE_STAGED
    stage_bring_back
  fi
}

# Whether 32-bit programs on the i686 road talk to the wine server of this run
# (started outside any namespace): a value written by the 64-bit side is read by
# the 32-bit reg.exe, and one it writes is read back by the 64-bit side. A 32-bit
# program that found no server would start its own, which loads the registry
# from disk (where the value written a moment ago is not yet) and keeps what it
# writes to itself. Needs wine_env_start.
wine_env_i686_shares_server() {
  local key='HKCU\Software\UpdateTests\I686Road' token=$$-$RANDOM-$RANDOM found
  local reg32=$UPDATE_WINEPREFIX/drive_c/windows/syswow64/reg.exe
  [ -f "$reg32" ] || { echo "wine-env: no 32-bit reg.exe in the prefix ($reg32)" >&2; return 1; }
  wine_env_wine 60 wine64 reg add "$key" /v outside /t REG_SZ /d "64-$token" /f >/dev/null 2>&1 ||
    { echo "wine-env: the 64-bit reg.exe could not write $key" >&2; return 1; }
  found=$(timeout 120 "$wine_env_repo/scripts/wine-run" "$reg32" query "$key" /v outside 2>&1 | tr -d '\r')
  case $found in
    *"64-$token"*) ;;
    *) echo "wine-env: the 32-bit reg.exe does not see the value the 64-bit side wrote: ${found:-no output}" >&2
       return 1 ;;
  esac
  timeout 120 "$wine_env_repo/scripts/wine-run" "$reg32" add "$key" /v inside /t REG_SZ /d "32-$token" /f >/dev/null 2>&1 ||
    { echo "wine-env: the 32-bit reg.exe could not write $key" >&2; return 1; }
  found=$(wine_env_wine 60 wine64 reg query "$key" /v inside 2>&1 | tr -d '\r')
  wine_env_wine 60 wine64 reg delete "$key" /f >/dev/null 2>&1
  case $found in
    *"32-$token"*) return 0 ;;
    *) echo "wine-env: the 64-bit side does not see the value the 32-bit reg.exe wrote: ${found:-no output}" >&2
       return 1 ;;
  esac
}
