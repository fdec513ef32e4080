#!/usr/bin/env bash
# Runs one Windows program under 64-bit Wine in the session of cmake/wine-session.sh.
# CMake uses it as the emulator for the x86_64 build. WINE_SESSION names the session
# directory (default: build/win64/wine beside this build).
set -eu
dir=${WINE_SESSION:?WINE_SESSION names the Wine session directory}
if [ ! -s "$dir/display" ]; then
  echo "No Wine session in $dir: run cmake/wine-session.sh start $dir first" >&2
  exit 2
fi
export WINEPREFIX="$dir/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
DISPLAY=$(cat "$dir/display"); export DISPLAY
exec /usr/lib/wine/wine64 "$@"
