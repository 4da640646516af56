#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, only what is missing.
set -euo pipefail

packages=(cmake make python3 clang-format g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
          wine64 fonts-wine xvfb googletest locales x11-apps x11-utils imagemagick
          libcap2-bin)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Double-byte runs need the Japanese locale (code page 932 under Wine, with Unicode file names).
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
