#!/usr/bin/env bash
# Prints the folder of a browser engine (libcef.dll and its resources), fetching it first
# when it is missing. By default the npm package "chromium" of ZUROV_CEF_VERSION, which
# carries a whole Chromium 39 embedding build for Windows x86-64 in package/bin/win/ (about
# 40 MB packed). ZUROV_CEF_PACKAGE names another npm package and ZUROV_CEF_FOLDERS the
# folders of it whose files are laid out side by side (the engine of make test32 comes from
# appjs-win32, tests/real_browser32). It is cached outside the clone, in
# ZUROV_CEF_CACHE/ZUROV_CEF_VERSION (default /var/cache/zurov-cef), so every clone on the
# machine shares it. One fetch at a time (a lock); a fetch is unpacked in a .partial folder
# and renamed when complete, so an interrupted one is never used.
set -euo pipefail
version=${ZUROV_CEF_VERSION:-3.2171.3004}
package=${ZUROV_CEF_PACKAGE:-chromium@$version}
folders=${ZUROV_CEF_FOLDERS:-package/bin/win}
cache=${ZUROV_CEF_CACHE:-/var/cache/zurov-cef}
engine=$cache/$version

complete() { [ -f "$engine/complete" ] && [ -s "$engine/libcef.dll" ]; }
if complete; then echo "$engine"; exit 0; fi

. "$(dirname "$0")/../../cmake/cache-folder.sh"
cache_take "$cache" "$engine" "engine: another fetch is running; waiting for it..."
work=$engine.partial
mkdir -p "$work/pack"
echo "engine: fetching $package from npm (first time only)..." >&2
(cd "$work/pack" && npm pack --silent "$package" >/dev/null) ||
  { echo "engine: npm pack $package failed" >&2; exit 1; }
# shellcheck disable=SC2086 # the folders are words
tar --no-same-owner -xzf "$work"/pack/*.tgz -C "$work/pack" $folders
for f in $folders; do mv "$work/pack/$f"/* "$work"/; done
rm -rf "$work/pack"
[ -s "$work/libcef.dll" ] || { echo "engine: $package holds no libcef.dll in $folders" >&2; exit 1; }
date -u +%FT%TZ >"$work/complete"
mv "$work" "$engine"
echo "$engine"
