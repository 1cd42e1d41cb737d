#!/usr/bin/env bash
# The 32-bit Windows build and its tests under Wine: installs what it needs
# on Debian (the i386 architecture, the MinGW compilers, Wine, a deb-src
# entry for the lzo2 and libzstd source packages), configures build-win32/
# with the MinGW toolchain (which builds LZO and zstd for the target from
# those source packages), builds it and runs the tests labelled win32.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  need_update=1
fi
if ! grep -rqs "deb-src" /etc/apt/sources.list /etc/apt/sources.list.d/; then
  . /etc/os-release
  $sudo tee /etc/apt/sources.list.d/tavri-deb-src.sources >/dev/null <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: ${VERSION_CODENAME} ${VERSION_CODENAME}-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  need_update=1
fi
packages=(g++-mingw-w64-i686 wine wine32:i386 dpkg-dev binutils-mingw-w64-i686 libgtest-dev libgmock-dev
          cmake ninja-build make)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  $sudo apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get install -y -qq "${missing[@]}"
fi

dir=build-win32
export WINEDEBUG=-all
export WINEPREFIX="$PWD/$dir/wine-prefix"
cmake -S . -B "$dir" -G Ninja --toolchain cmake/toolchain-i686-w64-mingw32.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRI_WERROR=ON
cmake --build "$dir"
# The first start creates the Wine prefix; do it once before the tests run
# side by side.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
fi
ctest --test-dir "$dir" --output-on-failure -j2 -L win32
