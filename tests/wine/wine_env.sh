#!/usr/bin/env bash
# The Wine tests' surroundings: a private prefix and an X server of their own.
#   wine_env.sh start DIR   creates DIR/prefix (once), starts Xvfb and a wineserver
#   wine_env.sh stop DIR    stops them
set -euo pipefail
mkdir -p "$2"
dir=$(cd "$2" && pwd)  # Wine wants an absolute prefix
export WINEPREFIX=$dir/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
# A home of the tests' own: Wine links the prefix's Documents folder to $HOME
# when it creates the prefix, and the tests write and block files there.
export HOME=$dir/home
display_file=$dir/display
case $1 in
start)
  mkdir -p "$dir" "$HOME"
  if [ ! -s "$display_file" ] || ! kill -0 "$(cat "$dir/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
    for n in $(seq 70 99); do
      [ -e /tmp/.X$n-lock ] && continue
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      echo $! >"$dir/xvfb.pid"
      echo ":$n" >"$display_file"
      break
    done
    sleep 1
  fi
  export DISPLAY=$(cat "$display_file")
  if [ ! -d "$WINEPREFIX/dosdevices" ]; then
    wineboot -i >/dev/null 2>&1
    # Wine ships no Arial: Liberation Sans has the same metrics, so the fixed layout stays whole.
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d "Liberation Sans" /f >/dev/null 2>&1
    # No window manager decorations, so screenshots show the program's own title bars.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # Wine maps COM ports to the host's /dev/ttyS* on its own; these values
    # make COM1 to COM6 links of ours instead, which the tests point at ptys.
    mkdir -p "$dir/ports"
    for n in 1 2 3 4 5 6; do
      wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /d "$dir/ports/com$n" /f >/dev/null 2>&1
    done
    wineserver -w
  fi
  wineserver -p >/dev/null 2>&1 || true
  ;;
stop)
  wineserver -k >/dev/null 2>&1 || true
  [ -f "$dir/xvfb.pid" ] && kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
  rm -f "$dir/xvfb.pid" "$display_file"
  ;;
esac
