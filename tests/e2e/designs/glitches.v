// Signals that change several times within one time step: only the value at
// the end of the step counts.
`timescale 1ns/1ns
`include "dump.vh"

module tb;
  reg s;
  reg [15:0] v;
  wire [15:0] inv = ~v;
  wire both = s & v[0];
  integer i;
  initial begin
    `DUMP_START
    s = 0; v = 0;
    for (i = 0; i < 20; i = i + 1) begin
      #4 s = 1; s = 0; s = (i % 3 == 0);
      v = v + 1; v = v ^ 16'hffff; v = v ^ 16'hffff;
      #0 v[0] = ~v[0];
    end
    #2 $finish;
  end
endmodule
