#!/usr/bin/env bash
# make demo BROWSER=chromium: plays examples/demo.html in a real browser (cefhost, the
# embedded Chromium engine) with the module installed from dist/ZUROV-x64.msi. linkmon runs
# first and prints each link message as it arrives (the module finds its window and
# launches nothing). While the page plays, a screenshot of the browser window is kept in
# $BUILD/demo-chromium.png. Everything runs in a Wine session of its own under
# $BUILD/demo-chromium/, stopped at the end, also when a step fails.
#   BUILD         the build folder whose tools to use (default: build)
#   DEMO_SECONDS  how long the page stays open (default 20)
#   DEMO_SWITCHES more engine switches, e.g. --disable-direct-npapi-requests
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
build=${BUILD:-build}
seconds=${DEMO_SECONDS:-20}
demo=$root/$build/demo-chromium
session=$demo/wine
bin=$root/$build/win64/bin
log=$demo/linkmon.jsonl
shot=$root/$build/demo-chromium.png
winpath() { printf 'Z:%s' "${1//\//\\}"; }

for f in dist/ZUROV-x64.msi "$bin/cefhost.exe" "$bin/linkmon.exe"; do
  if [ ! -f "$f" ]; then echo "demo: $f is missing; run make dist first" >&2; exit 2; fi
done
engine=$(bash tests/real_browser/engine.sh) || exit 2
mkdir -p "$demo"
rm -f "$log" "$shot"
stop_session() { trap '' INT TERM; cmake/wine-session.sh stop "$session"; }
trap stop_session EXIT
trap 'exit 130' INT TERM
cmake/wine-session.sh start "$session" || exit 2
export WINE_SESSION=$session ZUROV_CEF_DIR; ZUROV_CEF_DIR=$(winpath "$engine")
wine() { cmake/wine-run.sh "$@" </dev/null; }

# Blink's renderer dies without these fonts; a crashed process ends at once, with no
# dialog of Wine's, so that the engine reports it.
cat >"$demo/settings.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Times New Roman"="Liberation Serif"
"Arial"="Liberation Sans"
"Courier New"="Liberation Mono"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Auto"="1"
"Debugger"=""

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
REG
wine regedit /S "$(winpath "$demo/settings.reg")" || { echo "demo: regedit failed" >&2; exit 2; }
echo "== msiexec /i dist/ZUROV-x64.msi"
wine msiexec /i "$(winpath "$root/dist/ZUROV-x64.msi")" /qn || { echo "demo: msiexec failed" >&2; exit 2; }

echo "== linkmon (the client application's stand-in) prints the link messages below"
wine "$bin/linkmon.exe" --log "$(winpath "$log")" 2>&1 | cat &
for _ in $(seq 100); do grep -q '"event":"window"' "$log" 2>/dev/null && break; sleep 0.1; done

switches="--disable-gpu ${DEMO_SWITCHES:-}"
echo "== cefhost $switches examples/demo.html for $seconds s ($engine)"
# The engine's own log lines ("[date:LEVEL:file]") are left out.
{ wine "$bin/cefhost.exe" --seconds="$seconds" $switches "$(winpath "$root/examples/demo.html")" 2>&1
  echo $? >"$demo/cefhost.rc"; } | grep --line-buffered -v '^\[[0-9/]*:' &
browser=$!
# The screenshot once the link file has played (or at half time), while the page is open.
for _ in $(seq $((seconds * 5))); do
  grep -q LINKMSG_STREAM_DATA "$log" 2>/dev/null && break; sleep 0.1
done
sleep 2
DISPLAY=$(cat "$session/display") import -window root -crop 1024x1000+0+0 +repage "$shot" &&
  echo "== screenshot of the browser window: ${shot#"$root/"}"
wait "$browser"
rc=$(cat "$demo/cefhost.rc" 2>/dev/null || echo 2)

echo
if [ -s "$log" ]; then
  echo "== Link messages in the client's log (${log#"$root/"}):"
  grep -o '"name":"[A-Z_a-z]*"' "$log" | sed 's/"name":"\(.*\)"/\1/' | sort | uniq -c | sed 's/^/   /'
else
  echo "== The client left no log"
fi
exit "$rc"
