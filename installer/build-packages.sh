#!/usr/bin/env bash
# build-packages.sh OUTDIR MODULE32 MODULE64 [VERSION]: builds OUTDIR/ZUROV-x86.msi (MODULE32,
# the i686 module) and OUTDIR/ZUROV-x64.msi (MODULE32 and MODULE64, the x86_64 module) from
# installer/zurov.wxs, and OUTDIR/ZUROV-user.msi (MODULE32, for the current user) from
# installer/zurov-user.wxs, with wixl; each with include/kelvora_link.h as sdk\kelvora_link.h.
# Each module takes along the native-messaging host of its bitness, zurov-link.exe, from the
# module's folder. VERSION defaults to the module's FILEVERSION. With
# SIGN_KEY and SIGN_CERT in the environment, each package is signed (cmake/sign-file.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:?output folder}
# wixl takes Source paths relative to the .wxs file.
module32=$(realpath --relative-to="$here" "${2:?i686 module}")
module64=$(realpath --relative-to="$here" "${3:?x86_64 module}")
# The client authors' header, installed as sdk\kelvora_link.h beside the i686 module.
sdk_header=$(realpath --relative-to="$here" "$here/../include/kelvora_link.h")
host32=$(dirname "$module32")/zurov-link.exe
host64=$(dirname "$module64")/zurov-link.exe
version=${4:-$(sed -nE 's/^[[:space:]]*FILEVERSION[[:space:]]+([0-9]+),([0-9]+),([0-9]+),([0-9]+).*/\1.\2.\3.\4/p' \
  "$here/../resources/version.rc")}
[[ $version =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)(\.[0-9]+)?$ ]] ||
  { echo "build-packages.sh: bad version \"$version\"" >&2; exit 1; }
# The first version a package does not replace (see the Upgrade element).
next_version=${BASH_REMATCH[1]}.${BASH_REMATCH[2]}.$((BASH_REMATCH[3] + 1))
mkdir -p "$out"
out=$(cd "$out" && pwd)
# name arch source: the per-user package is a 32-bit one, for the i686 module it carries.
for package in "x86 x86 zurov.wxs" "x64 x64 zurov.wxs" "user x86 zurov-user.wxs"; do
  read -r name arch source <<<"$package"
  msi=$out/ZUROV-$name.msi
  tmp=$msi.tmp
  rm -f "$tmp"
  (cd "$here" && wixl -a "$arch" -D Arch="$arch" -D Version="$version" -D NextVersion="$next_version" \
    -D Module32="$module32" -D Module64="$module64" -D SdkHeader="$sdk_header" \
    -D Host32="$host32" -D Host64="$host64" -o "$tmp" "$source")
  [ -s "$tmp" ] || { echo "build-packages.sh: wixl wrote no $tmp" >&2; exit 1; }
  # wixl has no component conditions: the launch command is written only when given.
  msibuild "$tmp" -q "UPDATE \`Component\` SET \`Condition\` = 'CLIENTCOMMAND' WHERE \`Component\` = 'ClientCommand'"
  if [ -n "${SIGN_KEY:-}" ] && [ -n "${SIGN_CERT:-}" ]; then
    bash "$here/../cmake/sign-file.sh" "$SIGN_KEY" "$SIGN_CERT" "$tmp"
  fi
  mv -f "$tmp" "$msi"
done
