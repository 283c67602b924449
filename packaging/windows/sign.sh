#!/usr/bin/env bash
# Authenticode-signs a Windows program in place with osslsigncode (Debian's), with the
# release's code-signing certificate:
#   ZANTO_SIGN_PKCS12         the certificate and its private key, a PKCS#12 file (.p12, .pfx)
#   ZANTO_SIGN_PASSWORD       its password (none when unset)
#   ZANTO_SIGN_TIMESTAMP_URL  a timestamping server (RFC 3161), so that the signature
#                             outlives the certificate; none when unset
# usage: packaging/windows/sign.sh FILE.exe
# makensis runs it on the uninstaller before it packs it, and on the finished installer.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 FILE.exe" >&2
  exit 2
fi
file="$1"
: "${ZANTO_SIGN_PKCS12:?names no certificate}"
[ -r "$ZANTO_SIGN_PKCS12" ] || { echo "$0: cannot read $ZANTO_SIGN_PKCS12" >&2; exit 1; }

# The name and address Windows shows in its prompt about the program.
args=(-pkcs12 "$ZANTO_SIGN_PKCS12" -h sha256 -n Zanto -i https://zanto.example.org)
# The password never goes on a command line, where any user's ps would see it.
exec 3< <(printf '%s' "${ZANTO_SIGN_PASSWORD:-}")
args+=(-readpass /dev/fd/3)
if [ -n "${ZANTO_SIGN_TIMESTAMP_URL:-}" ]; then
  args+=(-ts "$ZANTO_SIGN_TIMESTAMP_URL")
fi

# Beside the file, so that the signed one replaces it in one rename.
work="$(mktemp -d "$file.sign-XXXXXX")"
trap 'rm -rf "$work"' EXIT
signed="$work/signed"
if ! osslsigncode sign "${args[@]}" -in "$file" -out "$signed" >"$work/log" 2>&1; then
  cat "$work/log" >&2
  echo "$0: could not sign $file" >&2
  exit 1
fi
# The file keeps its time: the packages carry the commit's, not the build's.
chmod --reference="$file" "$signed"
touch -r "$file" "$signed"
mv -f "$signed" "$file"
echo "signed $(basename "$file")"
