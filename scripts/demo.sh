#!/usr/bin/env bash
# The main job: a demo simulation under Icarus Verilog with the dumper loaded,
# producing a .trax file and showing it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
echo "The Icarus Verilog demo arrives with the VPI binding (build/tavri.vpi);"
echo "until then this command only builds the native library build/libtavri.so."
