#!/usr/bin/env bash
# Writes the CD image from a staged CD folder: make-iso.sh <CD folder> <image>
# ISO 9660 with Joliet names, volume label VARNOK. Every date in it is SOURCE_DATE_EPOCH
# (by default the last commit's time), so the same sources give the same image.
set -euo pipefail
cd_folder=$1 image=$2
here=$(cd "$(dirname "$0")/.." && pwd)

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$here" log -1 --format=%ct 2>/dev/null || echo 946684800)
fi
export SOURCE_DATE_EPOCH

# The files' own times are the checkout's; the image takes them, so they are set first.
find "$cd_folder" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
rm -f "$image"
# xorriso talks on its error stream even when all goes well: shown only when it fails.
messages=$(mktemp)
trap 'rm -f "$messages"' EXIT
# An optical drive pays for every seek: the files are laid out in the order the start-up reads
# them, so Setup, its clip and then the wizard come off the disc in one sweep.
if ! xorriso -no_rc -as mkisofs -quiet -iso-level 2 -J -joliet-long -V VARNOK \
    --sort-weight 30 /Setup.exe --sort-weight 20 /Varnok.avi --sort-weight 10 /Tourlet.exe \
    -no-pad -o "$image" "$cd_folder" </dev/null 2>"$messages"; then
    cat "$messages" >&2
    exit 1
fi
