#!/usr/bin/env bash
# Installs what building and testing the updater needs on Debian 12, as root.
# Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(cmake make g++-mingw-w64-i686 wine wine32:i386 xvfb doctest-dev
          locales imagemagick fonts-wine fonts-wqy-microhei hyperfine procps)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine maps the Unix locale to the ANSI code page: zh_CN.UTF-8 gives 936,
# en_US.UTF-8 gives 1252. Without the locale, Chinese file names become '?'.
have=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z')
for l in zh_CN en_US; do
    lc=$(echo "$l.utf8" | tr 'A-Z' 'a-z')
    echo "$have" | grep -qx "$lc" || localedef -i "$l" -f UTF-8 "$l.UTF-8"
done
