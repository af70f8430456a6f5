#!/usr/bin/env bash
# Lays out the demo CD: stage-cd.sh <windows build folder> <host build folder> <CD folder>
set -euo pipefail
windows=$1 host=$2 cd=$3
here=$(cd "$(dirname "$0")/.." && pwd)

rm -rf "$cd"
mkdir -p "$cd/VARNOK"
cp "$windows/setup/Setup.exe" "$cd/Setup.exe"
if [ -f "$windows/tourlet/Tourlet.exe" ]; then
    cp "$windows/tourlet/Tourlet.exe" "$cd/Tourlet.exe"
fi
cp "$host/Varnok.avi" "$cd/Varnok.avi"
cp "$here/demo/autorun.inf" "$cd/autorun.inf"
cp "$windows/demo/Setup.exe" "$cd/VARNOK/Setup.exe"
