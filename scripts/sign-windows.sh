#!/usr/bin/env bash
# Signs Windows programs and installers in place (Authenticode, with
# osslsigncode) when a certificate is given; says so when none is.
#   VORN_SIGN_CERT     the certificate: a PEM or DER file with its chain, or a
#                      PKCS#12 file (.pfx, .p12) holding the key too
#   VORN_SIGN_KEY      the private key, unless the certificate is PKCS#12
#   VORN_SIGN_PASSWORD_FILE  the key's password, in a file only its owner may read
#   VORN_SIGN_TIMESTAMP      a timestamp server's URL (optional)
#   sign-windows.sh FILE...
set -euo pipefail
if [ -z "${VORN_SIGN_CERT:-}" ]; then
  echo "not signed: no certificate (set VORN_SIGN_CERT to sign the programs and the installer)"
  exit 0
fi
command -v osslsigncode >/dev/null || { echo "sign-windows.sh: osslsigncode is not installed" >&2; exit 1; }
[ -r "$VORN_SIGN_CERT" ] || { echo "sign-windows.sh: $VORN_SIGN_CERT cannot be read" >&2; exit 1; }
credentials=()
case $VORN_SIGN_CERT in
  *.pfx | *.p12) credentials=(-pkcs12 "$VORN_SIGN_CERT") ;;
  *)
    [ -r "${VORN_SIGN_KEY:-}" ] || { echo "sign-windows.sh: set VORN_SIGN_KEY to the certificate's key" >&2; exit 1; }
    credentials=(-certs "$VORN_SIGN_CERT" -key "$VORN_SIGN_KEY")
    ;;
esac
if [ -n "${VORN_SIGN_PASSWORD_FILE:-}" ]; then
  # A password others can read is no secret; it never goes on a command line.
  if [ -n "$(find "$VORN_SIGN_PASSWORD_FILE" -perm /077 2>/dev/null)" ]; then
    echo "sign-windows.sh: $VORN_SIGN_PASSWORD_FILE may be read by other users (chmod 600)" >&2
    exit 1
  fi
  credentials+=(-readpass "$VORN_SIGN_PASSWORD_FILE")
fi
timestamp=()
[ -n "${VORN_SIGN_TIMESTAMP:-}" ] && timestamp=(-ts "$VORN_SIGN_TIMESTAMP")
for file in "$@"; do
  osslsigncode sign "${credentials[@]}" "${timestamp[@]}" -h sha256 -n VORN \
    -i https://github.com/vorn -in "$file" -out "$file.signed" >/dev/null
  mv "$file.signed" "$file"
  echo "signed: $(basename "$file")"
done
