#!/usr/bin/env bash
# packaging/windows/sign.sh, the signing step of scripts/package.sh, with a throwaway
# certificate: a signature that verifies, and, when signing fails, the file left as it was.
#
#   e2e/install/sign-test.sh BUILD_DIR     (BUILD_DIR: a mingw-w64 build with zanto.exe)
#
# Needs no network: the timestamping server that fails is a closed port of this machine.
set -uo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
EXE="$1/src/platform/win32/zanto.exe"
[ -f "$EXE" ] || { echo "missing $EXE (build first)" >&2; exit 2; }
. "$ROOT/e2e/checks.sh"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$ROOT/e2e/install/test-certificate.sh" "$work/certificate" || exit 1
export ZANTO_SIGN_PKCS12="$work/certificate/zanto.p12"
export ZANTO_SIGN_PASSWORD
ZANTO_SIGN_PASSWORD="$(cat "$work/certificate/password")"
unset ZANTO_SIGN_TIMESTAMP_URL
sign() { "$ROOT/packaging/windows/sign.sh" "$@" >"$work/sign.out" 2>&1; }
verified() {
  osslsigncode verify -in "$1" -CAfile "$work/certificate/ca.pem" >"$work/verify.out" 2>&1 &&
    grep -q '^Signature verification: ok' "$work/verify.out"
}
# Only the file itself is in its folder: nothing half-signed is left beside it.
alone_in_folder() { [ "$(ls -A "$(dirname "$1")")" = "$(basename "$1")" ]; }
fresh_copy() {
  rm -rf "$work/$1"
  mkdir "$work/$1"
  cp "$EXE" "$work/$1/zanto.exe"
  chmod 755 "$work/$1/zanto.exe"
  touch -d @1700000000 "$work/$1/zanto.exe"
  echo "$work/$1/zanto.exe"
}

echo "== signing zanto.exe with a throwaway certificate"
file="$(fresh_copy signed)"
check "signed" sign "$file"
check "... the signature verifies against the certificate's authority" verified "$file"
check "... the signer is the certificate's" \
  grep -q 'Subject: /CN=Mira Castell (test)' "$work/verify.out"
check "... with SHA-256" grep -q '^Message digest algorithm *: SHA256' "$work/verify.out"
check "... the file keeps its mode and time (the packages carry the commit's)" \
  test "$(stat -c '%a %Y' "$file")" = "755 1700000000"
check "... nothing else left in its folder" alone_in_folder "$file"

echo "== when signing fails, the file stays as it was"
file="$(fresh_copy wrong-password)"
check "a wrong password: signing fails" eval '! ZANTO_SIGN_PASSWORD=wrong sign "$file"'
check "... the file is unchanged, nothing left beside it" \
  eval 'cmp -s "$EXE" "$file" && alone_in_folder "$file"'
file="$(fresh_copy no-timestamp)"
check "a timestamping server that does not answer: signing fails" \
  eval '! ZANTO_SIGN_TIMESTAMP_URL=http://127.0.0.1:9/ sign "$file"'
check "... the file is unchanged, nothing left beside it" \
  eval 'cmp -s "$EXE" "$file" && alone_in_folder "$file"'
file="$(fresh_copy no-certificate)"
check "no certificate named: signing refuses" eval '! ZANTO_SIGN_PKCS12= sign "$file"'
check "... the file is unchanged" cmp -s "$EXE" "$file"

tally sign
