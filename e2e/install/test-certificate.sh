#!/usr/bin/env bash
# A throwaway code-signing certificate for the tests, made with openssl: a certificate
# authority of its own (trusted by nobody) and a code-signing certificate it issued, valid
# for two days.
#
#   e2e/install/test-certificate.sh DIR
#
# Writes DIR/ca.pem (the authority, to verify with), DIR/zanto.p12 (the certificate and its
# key, as scripts/package.sh takes them: ZANTO_SIGN_PKCS12) and DIR/password (its password:
# ZANTO_SIGN_PASSWORD).
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 DIR" >&2
  exit 2
fi
dir="$1"
mkdir -p "$dir"
cd "$dir"
rm -f ca.key ca.pem ca.srl signer.key signer.csr signer.pem signer.ext zanto.p12 password

quiet() { "$@" >/dev/null 2>&1 || { echo "$0: failed: $*" >&2; exit 1; }; }

quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
  -subj "/CN=Zanto test authority (throwaway)" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
quiet openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
  -subj "/CN=Mira Castell (test)"
printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" \
  "extendedKeyUsage=codeSigning" >signer.ext
quiet openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
  -out signer.pem -days 2 -extfile signer.ext
# A password with a space and a quote in it: it must reach osslsigncode as it is.
printf '%s' "throwaway pass'word $RANDOM" >password
quiet openssl pkcs12 -export -in signer.pem -inkey signer.key -certfile ca.pem -out zanto.p12 \
  -passout file:password
rm -f ca.key ca.srl signer.key signer.csr signer.ext signer.pem
