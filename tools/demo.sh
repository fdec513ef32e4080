#!/usr/bin/env bash
# make demo: plays examples/demo.html through dist/win64/ZUROV.DLL under Wine, with linkmon
# standing in for the client application. Loading the module finds no client window, so it
# starts the client with the command this script puts in the registry: linkmon, which then
# prints every link message it receives. Everything runs in a Wine session of its own under
# $BUILD/demo/, which is stopped at the end, also when a step fails.
#   BUILD        the build folder whose tools to use (default: build)
#   DEMO_TARGET  win64 (default), or win32 in the emulated i386 machine (make demo32: the
#                shipped module, session under $BUILD/demo32/, a slower machine)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${BUILD:-build}
target=${DEMO_TARGET:-win64}
case "$target" in
  win64) demo=$root/$build/demo run_timeout=45 ;;
  win32) demo=$root/$build/demo32 run_timeout=180 ;;
  *) echo "demo: DEMO_TARGET is win64 or win32" >&2; exit 2 ;;
esac
session=$demo/wine
bin=$root/$build/$target/bin
dll=dist/$target/ZUROV.DLL
page=examples/demo.html
log=$demo/linkmon.jsonl
key='HKU\.Default\Software\Belcor\Netscape Plugin\LaunchOrbiplayCommand'

# The Windows name of a unix path (Wine maps / to drive Z:).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

for f in "$dll" "$bin/pagerunner.exe" "$bin/linkmon.exe"; do
  if [ ! -f "$f" ]; then echo "demo: $f is missing; run make first" >&2; exit 2; fi
done

mkdir -p "$demo"
rm -f "$log"
# Stopping the session ends every Windows process in it (linkmon too, should it still run)
# and its X server; a second Ctrl-C must not cut that short.
stop_session() { trap '' INT TERM; cmake/wine-session.sh stop "$session"; }
trap stop_session EXIT
trap 'exit 130' INT TERM
cmake/wine-session.sh start "$session" || exit 2
export WINE_SESSION=$session

launch="\"$(winpath "$bin/linkmon.exe")\" --log \"$(winpath "$log")\""
cmake/wine-run.sh reg add "$key" /ve /d "$launch" /f </dev/null >/dev/null 2>&1 || { echo "demo: reg add failed" >&2; exit 2; }

echo "== Launch command in the registry (the module appends \" /\$l\"):"
echo "   $launch"
echo "== pagerunner $dll $page"
echo "   (pagerunner's lines and the stand-in client's decoded messages interleave below)"
echo
# The client starts inside LoadLibraryA; --close-window ends it with WM_CLOSE at the end.
# Through a pipe, not the terminal: Wine then writes both programs' lines as plain text.
timeout "$run_timeout" cmake/wine-run.sh "$bin/pagerunner.exe" --close-window KelvoraLinkMonitor "$dll" "$page" \
  </dev/null 2>&1 | cat
rc=${PIPESTATUS[0]}

echo
if [ -s "$log" ]; then
  echo "== Link messages in the client's log (${log#"$root/"}):"
  grep -o '"name":"[A-Z_a-z]*"' "$log" | sed 's/"name":"\(.*\)"/\1/' | sort | uniq -c |
    sed 's/^/   /'
  if grep -q '"event":"exit"' "$log"; then echo "   the client closed when asked"; fi
else
  echo "== The client left no log: was it started?"
fi
[ "$rc" -eq 0 ] && echo "== demo finished" || echo "== demo finished with pagerunner exit code $rc"
exit "$rc"
