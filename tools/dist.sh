#!/usr/bin/env bash
# What is handed over: dist.sh <CD folder> <image> <dist folder>
# The CD's programs signed and time-stamped for release where a certificate is named (see
# sign.sh --release), the image written again with them, and the image with its checksum in
# the dist folder. The folder is made only at the end: a failed signing leaves no release,
# and no program half signed. The PIN or password reaches sign.sh alone (see there).
set -euo pipefail
cd_folder=$1 image=$2 dist=$3
here=$(dirname "$0")

pass=${VARNOK_SIGN_PASS:-}
unset VARNOK_SIGN_PASS
rm -rf "$dist" "$dist.partial"  # a failed run's half-made folder is not reused
VARNOK_SIGN_PASS=$pass "$here/sign.sh" --release "$cd_folder"
"$here/make-iso.sh" "$cd_folder" "$image"
mkdir -p "$dist.partial"
cp "$image" "$dist.partial/"
(cd "$dist.partial" && sha256sum "$(basename "$image")" > SHA256SUMS)
rm -rf "$dist"
mv "$dist.partial" "$dist"
cat "$dist/SHA256SUMS"
