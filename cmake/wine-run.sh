#!/usr/bin/env bash
# Runs one Windows program under Wine in the session of cmake/wine-session.sh.
# CMake uses it as the emulator of the Windows builds. WINE_SESSION names the session
# directory; ZUROV_WINE the Wine loader (default 64-bit; the emulated i386 machine sets the
# 32-bit one). A session started with "wine10" runs it under the Wine 10 of tools/wine10/.
set -eu
dir=${WINE_SESSION:?WINE_SESSION names the Wine session directory}
if [ ! -s "$dir/display" ]; then
  echo "No Wine session in $dir: run cmake/wine-session.sh start $dir first" >&2
  exit 2
fi
export WINEPREFIX="$dir/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
DISPLAY=$(cat "$dir/display"); export DISPLAY
[ -x "$dir/wine10" ] && exec "$dir/wine10" -- "$@"
exec "${ZUROV_WINE:-/usr/lib/wine/wine64}" "$@"
