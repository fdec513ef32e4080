#!/usr/bin/env bash
# sign-file.sh KEY CERT FILE...: signs each FILE (a PE module or a Windows Installer package)
# in place with Authenticode, SHA-256, with the PEM private key KEY and the PEM certificate (or
# chain) CERT, with osslsigncode. A file that already holds a signature is signed afresh from
# its unsigned content, so running this twice leaves one signature. With SIGN_TIMESTAMP (an
# RFC 3161 time-stamping URL) in the environment, the signature is time-stamped there, so it
# stays valid after the certificate expires.
set -euo pipefail
key=${1:?private key}
cert=${2:?certificate}
shift 2
for file in "$@"; do
  tmp=$file.signing
  rm -f "$tmp" "$tmp.unsigned"
  src=$file
  if osslsigncode extract-signature -in "$file" -out /dev/null >/dev/null 2>&1; then
    osslsigncode remove-signature -in "$file" -out "$tmp.unsigned" >/dev/null
    src=$tmp.unsigned
  fi
  osslsigncode sign -h sha256 -key "$key" -certs "$cert" -n "Kelvora Browser Plug-in" \
    -i "https://kelvora.com/" ${SIGN_TIMESTAMP:+-ts "$SIGN_TIMESTAMP"} -in "$src" -out "$tmp" >/dev/null
  rm -f "$tmp.unsigned"
  mv -f "$tmp" "$file"
done
