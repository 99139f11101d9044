#!/usr/bin/env bash
# Installs the Debian packages the project needs when any is missing. Sourced by the scripts.
brawl_install_deps() {
    local packages=(
        build-essential cmake pkg-config
        libsdl1.2-dev libsdl-image1.2-dev libsdl-mixer1.2-dev libsdl-ttf2.0-dev
        libglew-dev libgl1-mesa-dev libgl1-mesa-dri libglu1-mesa-dev
        libsfml-dev libpng-dev
        libgtest-dev libgmock-dev libbenchmark-dev
        xvfb xauth fonts-dejavu-core iproute2 util-linux
        "$@"
    )
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}
