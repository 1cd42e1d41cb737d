// Eight reals with random values and a counter, changing every time unit:
// data that hardly compresses, for files switched by size or by name.
// With DUMP_TRAX: SERIES gives $traxAutoSwitchDumpfile(2, OUT, AMOUNT);
// otherwise the dump goes to OUT and $traxSwitchDumpfile(OUT2) at SWITCH_AT.
// Without DUMP_TRAX the simulator's own VCD of the run goes to OUT.
module tb;
  real r0, r1, r2, r3, r4, r5, r6, r7;
  reg [15:0] count;
  reg clk;
  integer seed;
  initial begin
    seed = 1;
    clk = 0;
    count = 0;
    r0 = 0; r1 = 0; r2 = 0; r3 = 0; r4 = 0; r5 = 0; r6 = 0; r7 = 0;
`ifdef DUMP_TRAX
`ifdef SERIES
    $traxAutoSwitchDumpfile(2, `OUT, `AMOUNT);
`else
    $traxDumpfile(`OUT);
`endif
    $traxDumpvars;
`else
    $dumpfile(`OUT);
    $dumpvars;
`endif
  end
`ifdef SWITCH_AT
  initial #`SWITCH_AT $traxSwitchDumpfile(`OUT2);
`endif
  initial #`STEPS $finish;
  always #1 begin
    clk = ~clk;
    count = count + 1;
    r0 = $random(seed) * 1.0e-3;
    r1 = $random(seed) * 1.0e-3;
    r2 = $random(seed) * 1.0e-3;
    r3 = $random(seed) * 1.0e-3;
    r4 = $random(seed) * 1.0e-3;
    r5 = $random(seed) * 1.0e-3;
    r6 = $random(seed) * 1.0e-3;
    r7 = $random(seed) * 1.0e-3;
  end
endmodule
