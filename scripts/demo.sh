#!/usr/bin/env bash
# The main job: a demo simulation under Icarus Verilog with the dumper loaded,
# producing a .trax file and showing it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
mkdir -p build/demo
cd build/demo
iverilog -o traffic.vvp ../../examples/demo/traffic.v
vvp -M .. -m tavri traffic.vvp
echo
# sed reads to the end, so trax never writes into a closed pipe under pipefail.
echo "== trax info demo.trax (first lines)"
../trax info demo.trax | sed -n 1,24p
echo
echo "== trax tree demo.trax"
../trax tree demo.trax
echo
echo "== trax dump demo.trax (first 25 value changes)"
../trax dump demo.trax | sed -n 1,25p
../trax vcd demo.trax -o demo.vcd
echo
echo "Wrote build/demo/demo.trax and build/demo/demo.vcd (open it with: gtkwave build/demo/demo.vcd)"
