#!/usr/bin/env bash
# product-version.sh: prints the product's version, a.b.c.d, from the module's FILEVERSION in
# resources/version.rc: the one number that the Windows packages and the extension carry.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
n='[[:space:]]*([0-9]+)[[:space:]]*'
version=$(sed -nE "s/^[[:space:]]*FILEVERSION$n,$n,$n,$n\$/\\1.\\2.\\3.\\4/p" "$here/../resources/version.rc")
[[ $version =~ ^[0-9]+(\.[0-9]+){3}$ ]] ||
  { echo "product-version.sh: no FILEVERSION a,b,c,d in resources/version.rc" >&2; exit 1; }
echo "$version"
