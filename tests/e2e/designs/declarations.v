// Signals declared every way a range can be given: none, [0:0], one bit at
// another index, ascending, negative; and the variable kinds.
`timescale 1ns/1ns
`include "dump.vh"

module tb;
  reg s;
  reg [0:0] z0;
  reg [3:3] z3;
  reg [0:3] up;
  reg signed [1:-2] neg;
  reg [39:0] wide;
  wire ws = s;
  wire [0:0] wz = z0;
  wire [5:5] w5 = z3;
  wire [2:5] wup = up;
  integer i;
  time t;
  real r;
  realtime rt;
  event e;
  initial begin
    `DUMP_START
    s = 0; z0 = 0; z3 = 1; up = 4'b1010; neg = -1; wide = 40'h0; i = 2; t = 5; r = 1.5; rt = 2.5;
    #1 s = 1; z0 = 1; z3 = 0; up = 1; neg = 2; wide = 40'hF0_0000_0001; i = -1; t = 7; r = -0.5; rt = 3; -> e;
    #1 z3 = 1'bx; up = 4'bz1x0; neg = 4'b1x0z;
    #1 $finish;
  end
endmodule
