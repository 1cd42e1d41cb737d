#!/usr/bin/env bash
# Installs what is needed, then configures, builds and runs every test under
# CTest twice: in the development build (RelWithDebInfo, build/) and in a
# Release build (build-release/), both with warnings as errors; then the
# 32-bit Windows build (build-win32/) and its tests under Wine, and the
# comparison of a file tavri.dll wrote under Wine with the Linux build's.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
for config in "build RelWithDebInfo" "build-release Release"; do
  read -r dir type <<<"$config"
  echo "== $type build in $dir/"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DTAVRI_WERROR=ON
  cmake --build "$dir"
  ctest --test-dir "$dir" --output-on-failure -j2
done
echo "== 32-bit Windows build in build-win32/, tests under Wine"
scripts/test-win32.sh
echo "== the dump scenario's Windows file read by the Linux trax"
tests/win32/compare.sh build build-win32
