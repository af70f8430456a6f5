#!/usr/bin/env bash
# Signs the CD's programs with Authenticode and verifies them: sign.sh <CD folder>
# The certificate is named by the environment:
#   VARNOK_SIGN_CERT   the certificate chain, PEM or DER
#   VARNOK_SIGN_KEY    its private key, PEM or DER
#   VARNOK_SIGN_PASS_FILE  a file holding the key's password, if it has one (one line), or
#   VARNOK_SIGN_PASS   the password itself. Either way osslsigncode reads it from a file or a
#                      pipe: on its command line every local user could read it meanwhile.
#   VARNOK_SIGN_CAFILE the root to verify against (default: the system's trusted roots;
#                      give the certificate itself for a self-signed one)
#   VARNOK_SIGN_TIME   a time-stamping server's URL, if one can be reached
# With no certificate named it says so and leaves the programs unsigned.
set -euo pipefail
cd_folder=$1

if [ -z "${VARNOK_SIGN_CERT:-}" ] || [ -z "${VARNOK_SIGN_KEY:-}" ]; then
    echo "No certificate named (VARNOK_SIGN_CERT, VARNOK_SIGN_KEY): the programs stay unsigned."
    exit 0
fi

options=(-certs "$VARNOK_SIGN_CERT" -key "$VARNOK_SIGN_KEY" -h sha256
         -n "Pelmor's VARNOK" -i "https://pelmor.example/")
password=()
if [ -n "${VARNOK_SIGN_PASS_FILE:-}" ]; then
    password=(-readpass "$VARNOK_SIGN_PASS_FILE")
elif [ -n "${VARNOK_SIGN_PASS:-}" ]; then
    password=(-readpass /dev/fd/3)  # a pipe from printf, a shell builtin: no command line
fi
if [ -n "${VARNOK_SIGN_TIME:-}" ]; then
    options+=(-ts "$VARNOK_SIGN_TIME")
fi
verify=()
if [ -n "${VARNOK_SIGN_CAFILE:-}" ]; then
    verify+=(-CAfile "$VARNOK_SIGN_CAFILE")
fi

for program in Setup.exe Tourlet.exe VARNOK/Setup.exe; do
    file="$cd_folder/$program"
    [ -f "$file" ] || continue
    osslsigncode sign "${options[@]}" "${password[@]}" -in "$file" -out "$file.signed" \
        </dev/null >/dev/null 3< <(printf '%s' "${VARNOK_SIGN_PASS:-}")
    mv "$file.signed" "$file"
    osslsigncode verify "${verify[@]}" -in "$file" </dev/null >/dev/null
    echo "Signed and verified: $program"
done
