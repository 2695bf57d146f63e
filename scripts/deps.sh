#!/usr/bin/env bash
# Install the Debian packages the build needs, when any is missing.
set -euo pipefail
packages=(build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libpixman-1-dev liblzo2-dev libpng-dev libsdl2-dev
          # the asset tools read animation manifests (TOML)
          libtomlplusplus-dev
          # the expression bench's anchor (the bench builds without it)
          liblua5.4-dev
          # the player's tests: a virtual display with a window manager, X input and capture
          xvfb xauth openbox x11-utils x11-apps xdotool)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
