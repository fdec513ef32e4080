#!/usr/bin/env bash
# Plays examples/demo.html through dist/win64/ZUROV.DLL once per browser family, with linkmon
# as the client (started by the module, as in make demo), and keeps pagerunner's output of
# each in OUT/FAMILY.txt. With a second folder, diffs the two captures: a change to pagerunner
# that means to keep its behaviour must leave every family's output byte-identical (a family
# the older capture lacks is reported as new).
# Window handles and addresses differ from one Wine session to the next, so each is written
# as hN, numbered in order of first appearance (the same value is always the same hN); the
# client's own start-up lines ("linkmon: ...") come at a moment of its choosing and are left
# out. Everything else, the link messages the client prints included, is kept as it came.
#   compare-demo-output.sh capture OUT          (a fresh Wine session for each run)
#   compare-demo-output.sh diff BEFORE AFTER    (exit 0 when all are identical)
#   BUILD  the build folder whose tools to use (default: build)
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
# chromium-in-process: --browser=chromium --in-process (the embedded engine of Chromium 21).
families="gecko chromium chromium-in-process webkit opera netscape"

if [ "${1:-}" = diff ]; then
  before=${2:?before folder} after=${3:?after folder} rc=0
  for f in $families; do
    if [ ! -f "$before/$f.txt" ]; then
      echo "$f: new ($(wc -l <"$after/$f.txt") lines)"
    elif cmp -s "$before/$f.txt" "$after/$f.txt"; then
      echo "$f: identical ($(wc -l <"$after/$f.txt") lines)"
    else
      echo "$f: DIFFERS"; diff "$before/$f.txt" "$after/$f.txt" | head -20; rc=1
    fi
  done
  exit "$rc"
fi
[ "${1:-}" = capture ] || { echo "usage: $0 capture OUT | diff BEFORE AFTER" >&2; exit 2; }
out=${2:?output folder}
mkdir -p "$out"
out=$(cd "$out" && pwd)
build=${BUILD:-build}
bin=$root/$build/win64/bin
session=$out/wine
key='HKU\.Default\Software\Belcor\Netscape Plugin\LaunchOrbiplayCommand'
winpath() { printf 'Z:%s' "${1//\//\\}"; }

stop_session() { trap '' INT TERM; cmake/wine-session.sh stop "$session"; }
trap stop_session EXIT
trap 'exit 130' INT TERM
launch="\"$(winpath "$bin/linkmon.exe")\" --log \"$(winpath "$out/linkmon.jsonl")\""

for f in $families; do
  # A session of its own for each family: a client left running by one run (say, after the
  # plug-in crashed) must not serve the next.
  cmake/wine-session.sh start "$session" >/dev/null || exit 2
  export WINE_SESSION=$session
  cmake/wine-run.sh reg add "$key" /ve /d "$launch" /f </dev/null >/dev/null 2>&1 || exit 2
  options=--browser=$f
  [ "$f" = chromium-in-process ] && options="--browser=chromium --in-process"
  # shellcheck disable=SC2086 # the options are words
  timeout 300 cmake/wine-run.sh "$bin/pagerunner.exe" $options \
    --close-window KelvoraLinkMonitor dist/win64/ZUROV.DLL examples/demo.html \
    </dev/null >"$out/$f.raw" 2>"$out/$f.err"
  rc=$?
  # The clone's folder is written ROOT, so that two clones compare; the hang clock's
  # milliseconds are timings.
  ROOT=$(winpath "$root") perl -ne 'next if /^linkmon: /;
    BEGIN { $r = $ENV{ROOT}; ($u = $r) =~ tr{\\}{/}; ($e = $r) =~ s/\\/\\\\/g }
    s/\Q$e\E/ROOT/g; s/\Q$r\E/ROOT/g; s/\Q$u\E/ROOT/g;
    s/\b\d+ ms\b/N ms/g if /hang clock/;
    s/0x([0-9a-f]{5,})/my $v = hex $1; $v >= 0x10000 ? "h" . ($n{$v} ||= ++$k) : "0x$1"/ge
      unless /^\s*(reply|flags|spare)\b/;
    print' "$out/$f.raw" >"$out/$f.txt"
  echo "$f: exit $rc ($(wc -l <"$out/$f.txt") lines)"
  cmake/wine-session.sh stop "$session"
done
