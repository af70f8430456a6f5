#!/usr/bin/env bash
# Signs the CD's programs with Authenticode, time-stamps and verifies them:
#   sign.sh [--release] <CD folder>
# The certificate and its key are named by the environment:
#   VARNOK_SIGN_CERT   the certificate chain, PEM or DER, or a pkcs11: URI (RFC 7512) where
#                      the certificate lives on the token
#   VARNOK_SIGN_KEY    its private key: a PEM or DER file, or a pkcs11: URI of a key that stays
#                      in its token, HSM or cloud key service, as code-signing keys must today
#   VARNOK_SIGN_PKCS11_MODULE  the PKCS#11 module that serves a pkcs11: key (the token's,
#                      the HSM's or the key service's library); OpenSSL reaches it through
#                      libp11's engine
#   VARNOK_SIGN_PASS_FILE  a file holding the key's password or the token's PIN (one line), or
#   VARNOK_SIGN_PASS   the password or PIN itself. Either way osslsigncode reads it from a file
#                      or a pipe: on its command line every local user could read it meanwhile.
#   VARNOK_SIGN_CAFILE the root the signatures are verified against (default: the system's)
#   VARNOK_SIGN_TIME   the RFC 3161 time-stamp server's URL
#   VARNOK_SIGN_TSA_CAFILE  the time-stamp authority's root (default: the system's)
# With no certificate named it says so and leaves the programs unsigned; with --release (make
# dist) it refuses, as a job whose secrets are missing would ship an unsigned release, unless
# VARNOK_SIGN_UNSIGNED=1 says an unsigned test release is meant. With --release a certificate
# needs a time-stamp server, since a signature without one stops verifying when its
# certificate expires and a disc is used for years; VARNOK_SIGN_UNTIMESTAMPED=1 says that this
# is a test release without one.
# The PIN or password is read once and taken out of the environment, so no child of this
# script (osslsigncode, its engine) holds it where /proc/PID/environ or a core dump shows it.
# Every program is signed into a copy first; only when all of them are signed and verify do
# they replace the CD's, so a failure leaves no program half signed.
set -euo pipefail
release=false
if [ "${1:-}" = "--release" ]; then
    release=true
    shift
fi
cd_folder=$1

fail() {
    echo "sign.sh: $*" >&2
    exit 1
}

pass=${VARNOK_SIGN_PASS:-}
unset VARNOK_SIGN_PASS

if [ -z "${VARNOK_SIGN_CERT:-}" ] || [ -z "${VARNOK_SIGN_KEY:-}" ]; then
    if $release && [ "${VARNOK_SIGN_UNSIGNED:-}" != 1 ]; then
        fail "no certificate named (VARNOK_SIGN_CERT, VARNOK_SIGN_KEY): a release must be" \
            "signed, or Smart App Control and SmartScreen stop its programs. Name one, or set" \
            "VARNOK_SIGN_UNSIGNED=1 for an unsigned test release."
    fi
    echo "No certificate named (VARNOK_SIGN_CERT, VARNOK_SIGN_KEY): the programs stay unsigned."
    exit 0
fi
for named in "$VARNOK_SIGN_KEY" "$VARNOK_SIGN_CERT"; do
    if [[ $named == pkcs11:*pin-value=* ]]; then
        fail "the pkcs11: URI carries its PIN (pin-value=), which would stand on osslsigncode's" \
            "command line for every local user to read: take it out and give the PIN in" \
            "VARNOK_SIGN_PASS_FILE or VARNOK_SIGN_PASS."
    fi
done
[[ $VARNOK_SIGN_CERT == pkcs11:* ]] || [ -f "$VARNOK_SIGN_CERT" ] ||
    fail "no certificate at $VARNOK_SIGN_CERT"
[[ $VARNOK_SIGN_KEY == pkcs11:* ]] || [ -f "$VARNOK_SIGN_KEY" ] || fail "no key at $VARNOK_SIGN_KEY"
if $release && [ -z "${VARNOK_SIGN_TIME:-}" ] && [ "${VARNOK_SIGN_UNTIMESTAMPED:-}" != 1 ]; then
    fail "no time-stamp server named (VARNOK_SIGN_TIME): without an RFC 3161 time-stamp the" \
        "signatures stop verifying when the certificate expires. Name one, or set" \
        "VARNOK_SIGN_UNTIMESTAMPED=1 for a test release."
fi

options=(-h sha256 -n "Pelmor's VARNOK" -i "https://pelmor.example/")
if [[ $VARNOK_SIGN_KEY == pkcs11:* ]]; then
    [ -n "${VARNOK_SIGN_PKCS11_MODULE:-}" ] ||
        fail "the key is a pkcs11: URI: name its module in VARNOK_SIGN_PKCS11_MODULE"
    [ -f "$VARNOK_SIGN_PKCS11_MODULE" ] ||
        fail "no PKCS#11 module at $VARNOK_SIGN_PKCS11_MODULE"
    options+=(-pkcs11module "$VARNOK_SIGN_PKCS11_MODULE" -key "$VARNOK_SIGN_KEY")
else
    options+=(-key "$VARNOK_SIGN_KEY")
fi
if [[ $VARNOK_SIGN_CERT == pkcs11:* ]]; then
    options+=(-pkcs11cert "$VARNOK_SIGN_CERT")
else
    options+=(-certs "$VARNOK_SIGN_CERT")
fi
password=()
if [ -n "${VARNOK_SIGN_PASS_FILE:-}" ]; then
    password=(-readpass "$VARNOK_SIGN_PASS_FILE")
elif [ -n "$pass" ]; then
    password=(-readpass /dev/fd/3)  # a pipe from printf, a shell builtin: no command line
fi
verify=()
if [ -n "${VARNOK_SIGN_TIME:-}" ]; then
    options+=(-ts "$VARNOK_SIGN_TIME")
    [ -z "${VARNOK_SIGN_TSA_CAFILE:-}" ] || verify+=(-TSA-CAfile "$VARNOK_SIGN_TSA_CAFILE")
fi
[ -z "${VARNOK_SIGN_CAFILE:-}" ] || verify+=(-CAfile "$VARNOK_SIGN_CAFILE")

# Why osslsigncode failed, in words, from what OpenSSL, libp11 and it said.
reason() {
    case "$1" in
        *"PIN incorrect"* | *"bad decrypt"* | *"bad password"*)
            echo "the token or key refused the PIN or password" ;;
        *"object not found"* | *"failed loading private key"* | *"No such file"*)
            echo "no such key: $VARNOK_SIGN_KEY" ;;
        *"connect error"* | *"Failed to send"* | *"timestamp"* | *"Timestamp"*)
            echo "no time-stamp from ${VARNOK_SIGN_TIME:-the server}" ;;
        *) echo "osslsigncode failed" ;;
    esac
}

programs=()
for program in Setup.exe Tourlet.exe VARNOK/Setup.exe; do
    [ -f "$cd_folder/$program" ] && programs+=("$program")
done
# Beside the CD folder, on its file system, so that each program's replacement is a rename.
staged=$(mktemp -d "$(dirname "$cd_folder")/.signing.XXXXXX")
trap 'rm -rf "$staged"' EXIT
for program in "${programs[@]}"; do
    signed="$staged/${program//\//_}"
    if ! said=$(osslsigncode sign "${options[@]}" "${password[@]}" -in "$cd_folder/$program" \
        -out "$signed" </dev/null 2>&1 3< <(printf '%s' "$pass")) ||
        [ ! -s "$signed" ]; then
        printf '%s\n' "$said" | grep -i -E "error|fail" >&2 || true
        fail "$program was not signed: $(reason "$said"); no program was changed"
    fi
    if ! checked=$(osslsigncode verify "${verify[@]}" -in "$signed" </dev/null 2>&1); then
        printf '%s\n' "$checked" | grep -i -E "error|fail" >&2 || true
        fail "$program does not verify after signing; no program was changed"
    fi
    if [ -n "${VARNOK_SIGN_TIME:-}" ] &&
        ! grep -q "Timestamp Server Signature verification: ok" <<<"$checked"; then
        fail "$program's time-stamp does not verify; no program was changed"
    fi
done
for program in "${programs[@]}"; do
    mv "$staged/${program//\//_}" "$cd_folder/$program"
    echo "Signed${VARNOK_SIGN_TIME:+, time-stamped} and verified: $program"
done
