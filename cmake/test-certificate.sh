#!/usr/bin/env bash
# test-certificate.sh DIR: a throwaway code-signing key and self-signed certificate,
# DIR/test-key.pem and DIR/test-cert.pem, made once per build folder, for builds given no
# SIGN_KEY and SIGN_CERT: the signing path always runs. Files signed with it verify only
# against this very certificate (osslsigncode verify -CAfile DIR/test-cert.pem).
set -euo pipefail
dir=${1:?folder}
[ -s "$dir/test-key.pem" ] && [ -s "$dir/test-cert.pem" ] && exit 0
mkdir -p "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -sha256 \
  -subj "/CN=Kelvora test signing (not trusted)/O=Kelvora" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$dir/test-key.pem.tmp" -out "$dir/test-cert.pem.tmp" 2>/dev/null
mv -f "$dir/test-key.pem.tmp" "$dir/test-key.pem"
mv -f "$dir/test-cert.pem.tmp" "$dir/test-cert.pem"
