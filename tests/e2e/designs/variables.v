// Integer, real and time variables and named events.
`timescale 1ns/1ps
`include "dump.vh"

module tb;
  integer n, m;
  real r, half;
  time t;
  event tick, done;
  reg [3:0] seen;
  always @(tick) seen = seen + 1;
  initial begin
    `DUMP_START
    n = -5; m = 0; r = 0.0; half = 1.0; t = 0; seen = 0;
    repeat (12) begin
      #7 n = n + 3; m = m - n; r = r + 0.25; half = half / 2; t = $time;
      -> tick;
    end
    #1 -> done;
    #4 $finish;
  end
endmodule
