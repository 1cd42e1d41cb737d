#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need
# (chromium and libpng-dev: the test that views trax svg pictures in a browser).
set -euo pipefail
packages=(cmake g++ ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          liblzo2-dev libzstd-dev tcl8.6-dev iverilog clang libclang-rt-14-dev
          chromium libpng-dev)
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get install -y -qq "${missing[@]}" >/dev/null 2>&1 ||
    { $sudo apt-get update -qq && $sudo apt-get install -y -qq "${missing[@]}"; }
fi
