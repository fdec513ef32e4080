#!/usr/bin/env bash
# make demo BROWSER=chromium: plays examples/demo.html in a real browser (cefhost, the
# embedded Chromium engine) under Wine 10, with the module installed from dist/ZUROV-x64.msi
# and the sample client (examples/client) as the client application, started first (the
# module finds its window and launches nothing). The client draws in each window the browser
# lends it; once picturecheck sees that picture in every box in view, a screenshot of the
# browser window is kept in $BUILD/demo-chromium.png. Everything runs in a Wine session of
# its own under $BUILD/demo-chromium/ (tools/wine10/), stopped at the end, also when a step
# fails.
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
log=$demo/client.log
shot=$root/$build/demo-chromium.png
winpath() { printf 'Z:%s' "${1//\//\\}"; }

for f in dist/ZUROV-x64.msi "$bin/cefhost.exe" "$bin/kelvora_client.exe" "$bin/picturecheck.exe"; do
  if [ ! -f "$f" ]; then echo "demo: $f is missing; run make dist first" >&2; exit 2; fi
done
engine=$(bash tests/real_browser/engine.sh) || exit 2
mkdir -p "$demo"
rm -f "$log" "$shot"
stop_session() { trap '' INT TERM; cmake/wine-session.sh stop "$session"; }
trap stop_session EXIT
trap 'exit 130' INT TERM
cmake/wine-session.sh start "$session" wine10 "$root/$build" "$engine" || exit 2
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

echo "== the sample client (examples/client), its log in ${log#"$root/"}"
KELVORA_SAMPLE_LOG=$(winpath "$log") wine "$bin/kelvora_client.exe" &
for _ in $(seq 600); do grep -q '^ready' "$log" 2>/dev/null && break; sleep 0.1; done

switches="--disable-gpu ${DEMO_SWITCHES:-}"
echo "== cefhost $switches examples/demo.html for $seconds s ($engine)"
# The engine's own log lines ("[date:LEVEL:file]") are left out.
{ wine "$bin/cefhost.exe" --seconds="$seconds" $switches "$(winpath "$root/examples/demo.html")" 2>&1
  echo $? >"$demo/cefhost.rc"; } | grep --line-buffered -v '^\[[0-9/]*:' &
browser=$!
# The screenshot once the client's picture shows in every box in view of the nine objects
# (the page's script writes the ninth), while the page is open.
. tools/picturecheck/picture-shot.sh
picture_shot "$bin/picturecheck.exe" "$log" 9 "$seconds" "$shot" 1024x1000+0+0
wait "$browser"
rc=$(cat "$demo/cefhost.rc" 2>/dev/null || echo 2)

echo
if [ -s "$log" ]; then
  client_events "$log" "${log#"$root/"}"
else
  echo "== The client left no log"
fi
exit "$rc"
