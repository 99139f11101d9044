#!/usr/bin/env bash
# Installs the Debian packages the project needs when any is missing. Sourced by the scripts.

# What the programs, the asset generator and the run folder need to build and run.
brawl_base_packages=(
    build-essential cmake pkg-config
    libsdl1.2-dev libsdl-image1.2-dev libsdl-mixer1.2-dev libsdl-ttf2.0-dev
    libglew-dev libgl1-mesa-dev libgl1-mesa-dri libglu1-mesa-dev
    libsfml-dev libpng-dev fonts-dejavu-core
)
# What only the test suites and benchmarks need: GoogleTest, Google Benchmark, the X server of
# the display suites, the network namespace the tests run in and the layout check.
brawl_test_packages=(
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth iproute2 util-linux clang-format
)
# Optional desktop helpers of the programs: file dialogs and the X clipboard.
brawl_play_packages=(zenity xclip)
# clang with its runtimes (the sanitizers, libFuzzer) and its OpenMP (libarcher), for the
# ThreadSanitizer build and the fuzz targets.
brawl_clang_packages=(clang-14 libclang-rt-14-dev libomp-14-dev)

# brawl_install_deps [package ...]: the base packages and the ones named.
brawl_install_deps() {
    local packages=("${brawl_base_packages[@]}" "$@")
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    # Installing is apt-get's work and needs root: as another user through sudo, when there is one.
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "$(basename "$0"): missing Debian packages, which only root can install (there is no sudo):" \
                "as root, run 'apt-get install ${missing[*]}', then start it again." >&2
            exit 1
        fi
        sudo="sudo"
    fi
    echo "Installing as root${sudo:+ (through sudo)}: ${missing[*]}"
    # Through env, since sudo drops the caller's environment: debconf asks nothing.
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}
