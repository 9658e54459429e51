#!/usr/bin/env bash
# Installs the Debian packages that building, testing and benchmarking Orvan need.
# Idempotent: when everything is already installed it only checks and returns.
set -euo pipefail

packages=(
    # toolchain
    build-essential cmake ninja-build pkg-config ccache
    # the framework and what it links
    juce-modules-source libasound2-dev libcurl4-gnutls-dev libflac-dev libogg-dev libvorbis-dev
    libfreetype-dev libfontconfig1-dev libgl-dev libx11-dev libxext-dev libxinerama-dev
    libxrandr-dev libxcursor-dev libxcomposite-dev libjack-jackd2-dev
    # LV2: headers, the reference host library and the validator
    lv2-dev liblilv-dev lilv-utils sordi
    # tests, benchmarks, fuzzing
    libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
    # headless windows, artwork, fonts for Japanese and Chinese texts, a reference limiter
    xvfb xauth x11-utils librsvg2-bin fonts-noto-cjk x42-plugins python3
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#packages[@]} packages present"
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "install-deps: done"
