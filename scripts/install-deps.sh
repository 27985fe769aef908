#!/usr/bin/env bash
# Installs every Debian package the build, tests, benchmarks and fuzzers need.
# Idempotent and non-interactive: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config git
  clang-14 libclang-rt-14-dev clang-tidy-14 python3
  libfmt-dev libusb-1.0-0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libyuv-dev libswscale-dev libavutil-dev libavformat-dev libavcodec-dev
  libx11-dev libxrandr-dev
  libcurl4-openssl-dev libcpp-httplib-dev
  qt6-base-dev
  qemu-system-x86 cpio kmod
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
