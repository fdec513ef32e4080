#!/usr/bin/env bash
# make demo32 BROWSER=chromium, run inside the emulated i386 PC: plays examples/demo.html in a
# real 32-bit browser (cef1host, the embedded engine of Chromium 21, plug-ins in its own
# process) with the shipped module installed from dist/ZUROV-x86.msi by the PC's msiexec.
# linkmon runs first and prints each link message as it arrives (the module finds its window
# and launches nothing). Once the link file has played (or after DEMO_SECONDS), the browser
# is asked to close: it keeps a picture of its window in $BUILD/demo32-chromium.bmp, which
# the Makefile turns into a PNG outside the PC. The Wine session is the image's prefix under
# $BUILD/demo32-chromium/wine (tools/i386-machine/with-prefix.sh), stopped at the end.
#   BUILD          the build folder whose tools to use (default: build)
#   ZUROV_CEF_DIR  the engine's folder (shared into the PC)
#   DEMO_SECONDS   how long the page may take to play (default 400: the PC is slow)
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
build=${BUILD:-build}
seconds=${DEMO_SECONDS:-400}
demo=$root/$build/demo32-chromium
session=$demo/wine
bin=$root/$build/win32/bin
log=$demo/linkmon.jsonl
shot=$root/$build/demo32-chromium.bmp
winpath() { printf 'Z:%s' "${1//\//\\}"; }

for f in dist/ZUROV-x86.msi "$bin/cef1host.exe" "$bin/linkmon.exe"; do
  if [ ! -f "$f" ]; then echo "demo: $f is missing" >&2; exit 2; fi
done
[ -s "${ZUROV_CEF_DIR:-}/libcef.dll" ] || { echo "demo: ZUROV_CEF_DIR names no engine" >&2; exit 2; }
mkdir -p "$demo"
rm -f "$log" "$shot"
stop_session() { trap '' INT TERM; cmake/wine-session.sh stop "$session"; }
trap stop_session EXIT
trap 'exit 130' INT TERM
cmake/wine-session.sh start "$session" || exit 2
export WINE_SESSION=$session
ZUROV_CEF_DIR=$(winpath "$ZUROV_CEF_DIR")
export ZUROV_CEF_DIR
wine() { cmake/wine-run.sh "$@" </dev/null; }

echo "== msiexec /i dist/ZUROV-x86.msi"
wine msiexec /i "$(winpath "$root/dist/ZUROV-x86.msi")" /qn || { echo "demo: msiexec failed" >&2; exit 2; }

echo "== linkmon (the client application's stand-in) prints the link messages below"
# The first program with a window starts the session's desktop; under load that has taken
# Wine longer than it waits, and the program then has no window at all: started again.
for attempt in 1 2 3; do
  wine "$bin/linkmon.exe" --log "$(winpath "$log")" 2>&1 | cat &
  client=$!
  while kill -0 "$client" 2>/dev/null && ! grep -q '"event":"window"' "$log" 2>/dev/null; do sleep 0.2; done
  grep -q '"event":"window"' "$log" 2>/dev/null && break
  echo "== linkmon ended without its window (try $attempt of 3)"
done

echo "== cef1host examples/demo.html, at most $seconds s ($ZUROV_CEF_DIR)"
{ wine "$bin/cef1host.exe" --seconds="$seconds" --screenshot="$(winpath "$shot")" \
    "$(winpath "$root/examples/demo.html")" 2>&1
  echo $? >"$demo/cef1host.rc"; } | grep --line-buffered -v '^\[[0-9/]*:' &
browser=$!
# Closed once the link file has played and the page has had a moment to paint.
for _ in $(seq $((seconds * 5))); do
  grep -q LINKMSG_STREAM_DATA "$log" 2>/dev/null && break; sleep 0.2
done
sleep 5
wine taskkill /im cef1host.exe >/dev/null 2>&1
wait "$browser"
rc=$(cat "$demo/cef1host.rc" 2>/dev/null || echo 2)

echo
if [ -s "$log" ]; then
  echo "== Link messages in the client's log (${log#"$root/"}):"
  grep -o '"name":"[A-Z_a-z]*"' "$log" | sed 's/"name":"\(.*\)"/\1/' | sort | uniq -c | sed 's/^/   /'
else
  echo "== The client left no log"
fi
exit "$rc"
