// Simulation times beyond 2^32 time steps.
`timescale 1ns/1ns
`include "dump.vh"

module tb;
  reg s;
  reg [31:0] stamp;
  initial begin
    `DUMP_START
    s = 0; stamp = 0;
    #4000000000 s = 1; stamp = 1;
    #1000000000 s = 0; stamp = 2;
    #5 s = 1; stamp = 3;
    #(64'd8589934592) s = 0; stamp = 4;
    #10 $finish;
  end
endmodule
