#!/usr/bin/env bash
# Starts or stops the Wine session that the Windows-side tests share:
# one Xvfb display, one private Wine prefix and one persistent wineserver.
#   wine-session.sh start DIR [wine10 [FOLDER...]]   (DIR holds the prefix, the display
#                                                     number and the PIDs)
#   wine-session.sh stop DIR
# ZUROV_WINE names the Wine loader (default 64-bit; the emulated i386 machine sets the
# 32-bit one). With "wine10" the session runs the Wine 10 of tools/wine10/ instead, with the
# project folder, DIR and each FOLDER at their own paths: through the script DIR/wine10,
# which cmake/wine-run.sh runs the session's programs with too. Only processes started here are
# ended, by their PIDs; `wineserver -k` ends the Windows processes of this prefix alone.
set -u
cmd=${1:?start or stop}
dir=${2:?session directory}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
project=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$dir/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The session's Wine: this machine's, or the Wine 10 that the script DIR/wine10 runs.
session_wine() {
  if [ -x "$dir/wine10" ]; then
    wine=("$dir/wine10" --)
    wineserver=("$dir/wine10" --server)
  else
    wine=("${ZUROV_WINE:-/usr/lib/wine/wine64}")
    wineserver=(/usr/lib/wine/wineserver)
  fi
}
session_wine

stop_pid() {  # stop_pid FILE: end the process whose PID FILE holds, if it still runs
  local f=$1 pid
  [ -f "$f" ] || return 0
  pid=$(cat "$f")
  rm -f "$f"
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null || true
}

stop() {
  if [ -f "$dir/wineserver.pid" ]; then
    "${wineserver[@]}" -k 2>/dev/null || true
    stop_pid "$dir/wineserver.pid"
  fi
  # Windows processes of this prefix that outlived their wineserver (seen with Wine 10, blocked
  # for good): Wine's loader with this prefix in its environment, by process id.
  local p
  for p in /proc/[0-9]*; do
    case "$(readlink "$p/exe" 2>/dev/null)" in */wine/wine*) ;; *) continue ;; esac
    if grep -qzx "WINEPREFIX=$WINEPREFIX" "$p/environ" 2>/dev/null; then kill -9 "${p#/proc/}" 2>/dev/null; fi
  done
  stop_pid "$dir/xvfb.pid"
  rm -f "$dir/display" "$dir/wine10"
}

start() {
  stop  # a session left over by an interrupted run
  if [ "${1:-}" = wine10 ]; then
    local root
    root=$(bash "$project/tools/wine10/root.sh") || exit 1
    { echo '#!/bin/bash'
      echo "# This session's Wine 10 (cmake/wine-session.sh): tools/wine10/run.sh, its folders bound."
      printf 'ZUROV_WINE10_ROOT=%q exec bash %q' "$root" "$project/tools/wine10/run.sh"
      printf ' --bind %q' "$project" "$dir" "${@:2}"
      echo ' "$@"'; } >"$dir/wine10"
    chmod +x "$dir/wine10"
  fi
  session_wine
  rm -f "$dir/display.tmp"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display.tmp" >/dev/null 2>&1 &
  echo $! >"$dir/xvfb.pid"
  for _ in $(seq 100); do [ -s "$dir/display.tmp" ] && break; sleep 0.1; done
  if [ ! -s "$dir/display.tmp" ]; then echo "Xvfb did not start" >&2; stop; exit 1; fi
  echo ":$(head -n1 "$dir/display.tmp")" >"$dir/display"
  rm -f "$dir/display.tmp"
  export DISPLAY; DISPLAY=$(cat "$dir/display")
  # A new prefix first: a wineserver started before its folder exists ends at once.
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix (first run only)..."
    if ! "${wine[@]}" wineboot -i >/dev/null 2>&1 </dev/null; then echo "wineboot failed" >&2; stop; exit 1; fi
    "${wineserver[@]}" -w
  fi
  setsid "${wineserver[@]}" -f -p >/dev/null 2>&1 </dev/null &
  echo $! >"$dir/wineserver.pid"
  # Start the prefix's services here, with no output: started by the first test instead,
  # they would inherit its stderr and keep ctest waiting for the end of it.
  "${wine[@]}" wineboot >/dev/null 2>&1 </dev/null || true
}

case "$cmd" in
  start) start "${@:3}" ;;
  stop) stop ;;
  *) echo "usage: $0 start DIR [wine10 [FOLDER...]] | stop DIR" >&2; exit 2 ;;
esac
