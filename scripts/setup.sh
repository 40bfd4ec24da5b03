#!/usr/bin/env bash
# Installs every Debian package the project needs on a fresh Debian 12 machine.
# Idempotent: packages already present are not touched, and the package lists are
# only refreshed when something is missing. Must run as root (or through sudo).
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libgl-dev
    libgdal-dev nlohmann-json3-dev
    fonts-dejavu-core
    clang-format clang-tidy
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    echo "setup: installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
