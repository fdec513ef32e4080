#!/usr/bin/env bash
# Installs the Debian packages of cmake/packages.txt that are not installed yet.
# Quiet and quick when everything is already there. A line "a|b" is met by any of them
# installed, and installs the first otherwise.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
missing=()
while read -r pkg; do
  [ -z "$pkg" ] && continue
  case "$pkg" in \#*) continue ;; esac
  met=""
  for alt in ${pkg//|/ }; do
    status=$(dpkg-query -W -f='${Status}' "$alt" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] && met=1
  done
  [ -n "$met" ] || missing+=("${pkg%%|*}")
done < "$here/packages.txt"
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing missing packages: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# A package index that fails (a mirror mid-sync) does not stop the install on its own.
$sudo env DEBIAN_FRONTEND=noninteractive bash "$here/apt-install.sh" "${missing[@]}" >/dev/null
