#!/bin/bash
# Installs the Debian 12 packages that building, running and testing need; installs only
# what is missing, so it is cheap to run again.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6gui6 qt6-qpa-plugins
    libsqlite3-dev sqlite3
    unixodbc unixodbc-dev tdsodbc freetds-bin
    libasio-dev libjpeg-dev libgnutls28-dev
    clang libclang-rt-14-dev
    xvfb xauth fonts-noto-cjk qt6-translations-l10n
    desktop-file-utils appstream
    lintian devscripts man-db groff-base
    jq clang-format
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "error: these packages are missing and installing them needs root: ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
