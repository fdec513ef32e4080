#!/usr/bin/env bash
# Prints the folder of the browser engine (libcef.dll and its resources), fetching it first
# when it is missing: the npm package "chromium" of ZUROV_CEF_VERSION carries a whole
# Chromium 39 embedding build for Windows x86-64 in package/bin/win/ (about 40 MB packed).
# It is cached outside the clone, under ZUROV_CEF_CACHE (default /var/cache/zurov-cef), so
# every clone on the machine shares it. One fetch at a time (a lock); a fetch is unpacked in
# a .partial folder and renamed when complete, so an interrupted one is never used.
set -euo pipefail
version=${ZUROV_CEF_VERSION:-3.2171.3004}
cache=${ZUROV_CEF_CACHE:-/var/cache/zurov-cef}
engine=$cache/$version

complete() { [ -f "$engine/complete" ] && [ -s "$engine/libcef.dll" ]; }
if complete; then echo "$engine"; exit 0; fi

mkdir -p "$cache"
exec 9>"$cache/lock"
if ! flock -n 9; then
  echo "engine: another fetch is running; waiting for it..." >&2
  flock 9
fi
if complete; then echo "$engine"; exit 0; fi

rm -rf "$cache"/*.partial "$engine"
work=$engine.partial
mkdir -p "$work/pack"
echo "engine: fetching chromium@$version from npm (about 40 MB, first time only)..." >&2
(cd "$work/pack" && npm pack --silent "chromium@$version" >/dev/null) ||
  { echo "engine: npm pack chromium@$version failed" >&2; exit 1; }
tar --no-same-owner -xzf "$work"/pack/*.tgz -C "$work/pack" package/bin/win
mv "$work"/pack/package/bin/win/* "$work"/
rm -rf "$work/pack"
[ -s "$work/libcef.dll" ] || { echo "engine: the package holds no bin/win/libcef.dll" >&2; exit 1; }
date -u +%FT%TZ >"$work/complete"
mv "$work" "$engine"
echo "$engine"
