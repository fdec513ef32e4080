#!/usr/bin/env bash
# build-packages.sh OUTDIR MODULE32 MODULE64 [VERSION]: builds OUTDIR/ZUROV-x86.msi (MODULE32,
# the i686 module) and OUTDIR/ZUROV-x64.msi (MODULE32 and MODULE64, the x86_64 module) from
# installer/zurov.wxs, and OUTDIR/ZUROV-user.msi (MODULE32, for the current user) from
# installer/zurov-user.wxs, with wixl; each with include/kelvora_link.h as sdk\kelvora_link.h.
# Each module takes along the native-messaging host of its bitness, zurov-link.exe, from the
# module's folder, with its manifests, which admit the extension by its ids in
# installer/stores.env; so do the browsers' keys and policies of extension.wxi. VERSION
# defaults to the product's (installer/product-version.sh). With SIGN_KEY and SIGN_CERT in the
# environment, each package is signed (cmake/sign-file.sh).
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
version=${4:-$(bash "$here/product-version.sh")}
[[ $version =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)(\.[0-9]+)?$ ]] ||
  { echo "build-packages.sh: bad version \"$version\"" >&2; exit 1; }
# The first version a package does not replace (see the Upgrade element).
next_version=${BASH_REMATCH[1]}.${BASH_REMATCH[2]}.$((BASH_REMATCH[3] + 1))
mkdir -p "$out"
out=$(cd "$out" && pwd)
# shellcheck source=stores.env
. "$here/stores.env"
for id in "$CHROME_EXTENSION_ID" "$EDGE_EXTENSION_ID"; do
  [[ $id =~ ^[a-p]{32}$ ]] || { echo "build-packages.sh: bad extension id \"$id\" in stores.env" >&2; exit 1; }
done
# They are the extension's: Chrome's id is the one its manifest's key gives (the store's key,
# once it has one), Firefox's the manifest's own.
read -r key_id gecko_id < <(python3 -c 'import base64, hashlib, json, sys
m = json.load(open(sys.argv[1]))
print(hashlib.sha256(base64.b64decode(m["key"])).hexdigest()[:32].translate(str.maketrans("0123456789abcdef", "abcdefghijklmnop")),
      m["browser_specific_settings"]["gecko"]["id"])' "$here/../extension/manifest.json")
[ "$key_id $gecko_id" = "$CHROME_EXTENSION_ID $FIREFOX_EXTENSION_ID" ] ||
  { echo "build-packages.sh: stores.env's ids are not those of extension/manifest.json ($key_id, $gecko_id)" >&2; exit 1; }
# The host's manifests: Chrome and Edge admit an extension by its origin, Firefox by its id.
manifests=$(mktemp -d)
trap 'rm -rf "$manifests"' EXIT
origins="\"chrome-extension://$CHROME_EXTENSION_ID/\""
[ "$EDGE_EXTENSION_ID" = "$CHROME_EXTENSION_ID" ] || origins+=", \"chrome-extension://$EDGE_EXTENSION_ID/\""
host_manifest() {
  printf '{\n  "name": "com.kelvora.link",\n  "description": "%s",\n  "path": "zurov-link.exe",\n  "type": "stdio",\n  %s\n}\n' \
    "Kelvora link: plays the Kelvora objects of web pages through the Kelvora client application" "$1"
}
host_manifest "\"allowed_origins\": [$origins]" >"$manifests/chromium.json"
host_manifest "\"allowed_extensions\": [\"$FIREFOX_EXTENSION_ID\"]" >"$manifests/firefox.json"
manifests=$(realpath --relative-to="$here" "$manifests")
# wixl has no component conditions: the launch command is written only when given, the
# extension offered unless forced, its allowed sites only when given. A removal (REMOVE) takes
# each of them: Wine's Windows Installer evaluates the conditions again then, without the
# properties of the installation, and leaves a component it finds disabled. Components that a
# package lacks match no row.
conditions=("ClientCommand=CLIENTCOMMAND")
for view in 32 64 User; do
  conditions+=("ExtensionOffer$view=NOT KELVORA_FORCE_EXTENSION OR REMOVE"
               "ExtensionForce$view=KELVORA_FORCE_EXTENSION OR REMOVE" "ExtensionSites$view=ALLOWEDSITES OR REMOVE")
done
# name arch source: the per-user package is a 32-bit one, for the i686 module it carries.
for package in "x86 x86 zurov.wxs" "x64 x64 zurov.wxs" "user x86 zurov-user.wxs"; do
  read -r name arch source <<<"$package"
  msi=$out/ZUROV-$name.msi
  tmp=$msi.tmp
  rm -f "$tmp"
  (cd "$here" && wixl -a "$arch" -D Arch="$arch" -D Version="$version" -D NextVersion="$next_version" \
    -D Module32="$module32" -D Module64="$module64" -D SdkHeader="$sdk_header" \
    -D Host32="$host32" -D Host64="$host64" -D HostManifests="$manifests" \
    -D ChromeExtensionId="$CHROME_EXTENSION_ID" -D ChromeUpdateUrl="$CHROME_UPDATE_URL" \
    -D EdgeExtensionId="$EDGE_EXTENSION_ID" -D EdgeUpdateUrl="$EDGE_UPDATE_URL" \
    -D FirefoxExtensionId="$FIREFOX_EXTENSION_ID" -D FirefoxInstallUrl="$FIREFOX_INSTALL_URL" \
    -o "$tmp" "$source")
  [ -s "$tmp" ] || { echo "build-packages.sh: wixl wrote no $tmp" >&2; exit 1; }
  for condition in "${conditions[@]}"; do
    msibuild "$tmp" -q "UPDATE \`Component\` SET \`Condition\` = '${condition#*=}' WHERE \`Component\` = '${condition%%=*}'"
  done
  if [ -n "${SIGN_KEY:-}" ] && [ -n "${SIGN_CERT:-}" ]; then
    bash "$here/../cmake/sign-file.sh" "$SIGN_KEY" "$SIGN_CERT" "$tmp"
  fi
  mv -f "$tmp" "$msi"
done
