#!/usr/bin/env bash
# make demo: plays examples/demo.html through dist/win64/ZUROV.DLL under Wine 10, with the
# sample client (examples/client) as the client application. Loading the module finds no
# client window, so it starts the client with the command this script puts in the registry;
# the client draws in each window pagerunner lends it (black, the stream's name in green).
# Once picturecheck sees that picture in every box, a screenshot of pagerunner's window is
# kept in $BUILD/demo.png and the page is closed. Everything runs in a Wine session of its own
# under $BUILD/demo/ (tools/wine10/), which is stopped at the end, also when a step fails.
#   BUILD        the build folder whose tools to use (default: build)
#   DEMO_TARGET  win64 (default), or win32 in the emulated i386 machine (make demo32: the
#                shipped module under 32-bit Wine 8, session under $BUILD/demo32/, a slower
#                machine, and linkmon as the client, printing every link message it receives:
#                Wine 8 shows nothing one process draws in another's window)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${BUILD:-build}
target=${DEMO_TARGET:-win64}
case "$target" in
  win64) demo=$root/$build/demo run_timeout=45 client=kelvora_client.exe log=$root/$build/demo/client.log ;;
  win32) demo=$root/$build/demo32 run_timeout=180 client=linkmon.exe log=$root/$build/demo32/linkmon.jsonl ;;
  *) echo "demo: DEMO_TARGET is win64 or win32" >&2; exit 2 ;;
esac
session=$demo/wine
bin=$root/$build/$target/bin
dll=dist/$target/ZUROV.DLL
page=examples/demo.html
key='HKU\.Default\Software\Belcor\Netscape Plugin\LaunchOrbiplayCommand'

# The Windows name of a unix path (Wine maps / to drive Z:).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

for f in "$dll" "$bin/pagerunner.exe" "$bin/$client"; do
  if [ ! -f "$f" ]; then echo "demo: $f is missing; run make first" >&2; exit 2; fi
done

mkdir -p "$demo"
rm -f "$log"
# Stopping the session ends every Windows process in it (the client too, should it still run)
# and its X server; a second Ctrl-C must not cut that short.
stop_session() { trap '' INT TERM; cmake/wine-session.sh stop "$session"; }
trap stop_session EXIT
trap 'exit 130' INT TERM
if [ "$target" = win64 ]; then
  cmake/wine-session.sh start "$session" wine10 "$root/$build" || exit 2
  launch="\"$(winpath "$bin/$client")\""
  export KELVORA_SAMPLE_LOG; KELVORA_SAMPLE_LOG=$(winpath "$log")  # the client inherits it
else
  cmake/wine-session.sh start "$session" || exit 2
  launch="\"$(winpath "$bin/$client")\" --log \"$(winpath "$log")\""
fi
export WINE_SESSION=$session
cmake/wine-run.sh reg add "$key" /ve /d "$launch" /f </dev/null >/dev/null 2>&1 || { echo "demo: reg add failed" >&2; exit 2; }

echo "== Launch command in the registry (the module appends \" /\$l\"):"
echo "   $launch"
echo "== pagerunner $dll $page"
echo
# The client starts inside LoadLibraryA; --close-window ends it with WM_CLOSE at the end.
# Through a pipe, not the terminal: Wine then writes the programs' lines as plain text.
if [ "$target" = win64 ]; then
  # The page stays open until the picture has been seen, then closes as a person closes it.
  { timeout "$run_timeout" cmake/wine-run.sh "$bin/pagerunner.exe" --keep-open 600000 --close-window KelvoraLink \
      "$dll" "$page" </dev/null 2>&1; echo $? >"$demo/pagerunner.rc"; } | cat &
  . tools/picturecheck/picture-shot.sh
  picture_shot "$bin/picturecheck.exe" "$log" 8 "$run_timeout" "$root/$build/demo.png" 440x560+0+0
  cmake/wine-run.sh taskkill /IM pagerunner.exe </dev/null >/dev/null 2>&1
  wait
  rc=$(cat "$demo/pagerunner.rc" 2>/dev/null || echo 2)
else
  echo "   (pagerunner's lines and the stand-in client's decoded messages interleave below)"
  timeout "$run_timeout" cmake/wine-run.sh "$bin/pagerunner.exe" --close-window KelvoraLinkMonitor "$dll" "$page" \
    </dev/null 2>&1 | cat
  rc=${PIPESTATUS[0]}
fi

echo
if [ ! -s "$log" ]; then
  echo "== The client left no log: was it started?"
elif [ "$target" = win64 ]; then
  client_events "$log" "${log#"$root/"}"
else
  echo "== Link messages in the client's log (${log#"$root/"}):"
  grep -o '"name":"[A-Z_a-z]*"' "$log" | sed 's/"name":"\(.*\)"/\1/' | sort | uniq -c |
    sed 's/^/   /'
  if grep -q '"event":"exit"' "$log"; then echo "   the client closed when asked"; fi
fi
[ "$rc" -eq 0 ] && echo "== demo finished" || echo "== demo finished with pagerunner exit code $rc"
exit "$rc"
