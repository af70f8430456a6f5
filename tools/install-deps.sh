#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this machine lacks.
# Safe to run again: with everything present it only checks and returns.
#
# With --i386-root it makes or checks, instead, the i386 root that 32-bit Wine runs in where
# wine32:i386 cannot be installed (tools/i386_root.py).
set -euo pipefail

packages=(
    cmake make g++ googletest libgtest-dev clang-format python3
    zopfli                                      # packs the pictures and texts the programs carry
    clang libclang-rt-dev                       # libFuzzer for make fuzz
    mingw-w64 g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
    wine wine64 wine32:i386                     # the programs run end to end under Wine
    xvfb xdotool imagemagick                    # a display, input (and libX11), saved shots
    fonts-wine fonts-liberation
    fonts-wqy-zenhei fonts-ipafont-gothic       # Chinese and Japanese faces for Wine
    python3-pil                                 # make pictures: draws the committed pictures
    xorriso osslsigncode openssl                # the CD image, signing
    softhsm2 libengine-pkcs11-openssl           # signing through a token, tested with SoftHSM2
    python3-pefile                              # the release checks read the programs' headers
    python3-fusepy fuse                         # make bench: the modelled CD drive
    locales                                     # the user languages the tests start Wine in
)
# Wine takes a process's user language from LANG, for locales the machine has.
locales=(de_DE pt_BR ja_JP zh_CN)

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed$'
}

# The i386 root alone, once the packages are in: where wine32:i386 cannot be installed, or
# VARNOK_I386_ROOT=1 asks, 32-bit Wine runs in it.
if [ "${1:-}" = --i386-root ]; then
    if [ "${VARNOK_I386_ROOT:-}" != 1 ] && installed wine32:i386; then
        exit 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "wine32:i386 is missing, and the i386 root that stands in for it needs root:" \
            "the i686 programs are left out." >&2
        exit 0
    fi
    exec /usr/bin/python3 "$(dirname "$0")/i386_root.py" ensure \
        --locales "$(IFS=,; echo "${locales[*]}")"
fi

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
missing_locales=()
for name in "${locales[@]}"; do
    locale -a 2>/dev/null | grep -qx "${name}.utf8" || missing_locales+=("$name")
done
if [ ${#missing[@]} -eq 0 ] && [ ${#missing_locales[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    export DEBIAN_FRONTEND=noninteractive
    # A mirror caught mid-sync fails one index now and then; the lists it did fetch still
    # serve, and the install below says so if a package is truly missing.
    $sudo apt-get update -q </dev/null || $sudo apt-get update -q </dev/null ||
        echo "apt-get update failed in part; installing from the lists it has"
    if ! $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null; then
        # 32-bit Wine needs its i386 libraries at the very versions of their amd64 twins, which
        # a mirror caught mid-sync can lack for a while. The rest still installs, and the
        # i386 root stands in for it (--i386-root).
        native=()
        for package in "${missing[@]}"; do
            [[ $package == *:i386 ]] || native+=("$package")
        done
        [ ${#native[@]} -lt ${#missing[@]} ] || exit 1
        echo "The i386 packages cannot be installed now; installing the rest." >&2
        [ ${#native[@]} -eq 0 ] ||
            $sudo apt-get install -y -q --no-install-recommends "${native[@]}" </dev/null
    fi
fi
for name in "${missing_locales[@]}"; do
    echo "Making the locale ${name}.UTF-8"
    $sudo localedef -i "$name" -f UTF-8 "${name}.UTF-8"
done
