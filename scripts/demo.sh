#!/usr/bin/env bash
# The demo: a small design simulated under Icarus Verilog with the dumper
# loaded. It builds only what it runs (the VPI module and trax), follows the
# run live with trax vcd --follow, shows the .trax file, exports it as a VCD
# for GTKWave and draws a picture of the waveforms.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
started=$SECONDS
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tavri_vpi trax
mkdir -p build/demo
cd build/demo
rm -f demo.trax demo.trax.* demo.vcd demo-live.vcd wave.svg
iverilog -o traffic.vvp ../../examples/demo/traffic.v

# The follower starts first and waits for the run to create the file; it
# ends by itself once the run has finished the file.
../trax vcd demo.trax -o demo-live.vcd --follow 2>follow.log &
follower=$!
trap 'kill "$follower" 2>/dev/null || true' EXIT
vvp -M .. -m tavri traffic.vvp
wait "$follower"
trap - EXIT
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
if cmp -s demo-live.vcd demo.vcd; then
  echo "== trax vcd --follow streamed the run as it went: demo-live.vcd equals the export demo.vcd"
else
  echo "== trax vcd --follow: demo-live.vcd differs from the export demo.vcd (see build/demo/follow.log)"
  exit 1
fi
../trax svg demo.trax --var top/clk --var top/rst --var top/request --var top/light \
  --var top/walk --var top/crossing --var top/sum --var top/duty -o wave.svg
echo
echo "Wrote build/demo/demo.trax, build/demo/demo.vcd and the picture build/demo/wave.svg in $((SECONDS - started)) s."
echo
echo "Open the VCD in GTKWave:"
echo "    gtkwave build/demo/demo.vcd"
echo "Watch a run in GTKWave while it goes (shmidcat comes with GTKWave; the run must"
echo "flush its file now and then, as this design does with \$traxDumpflush every 200 ns):"
echo "    rm -f build/demo/demo.trax"
echo "    (cd build/demo && vvp -M .. -m tavri traffic.vvp) &"
echo "    build/trax vcd build/demo/demo.trax -o - --follow | shmidcat | gtkwave -v -I"
