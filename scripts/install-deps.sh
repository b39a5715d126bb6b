#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Orvex need.
# Usage: scripts/install-deps.sh [--tests]
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-webengine-dev
    zlib1g-dev libjpeg62-turbo-dev libcurl4-openssl-dev nlohmann-json3-dev
    xdg-utils
    chromium
)
if [[ "${1:-}" == "--tests" ]]; then
    packages+=(libgtest-dev libgmock-dev python3 xvfb xauth)
fi

sudo=""
if [[ $(id -u) -ne 0 ]]; then
    sudo="sudo"
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    $sudo apt-get update -q
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi
