// Scalar nets dumped with their strengths: one driven strongly, one by a
// weak driver that a strong one overrides at times, one pulled up.
`timescale 1ns/1ns
`include "dump.vh"

module tb;
  reg clk = 0;
  reg a = 1, b = 1, en = 0;
  wire w;
  wire mixed;
  wire pulled;
  assign w = clk;
  assign (weak0, weak1) mixed = a;
  assign mixed = en ? b : 1'bz;
  assign (pull0, pull1) pulled = 1'b1;
  initial begin
`ifdef DUMP_TRAX
    $traxDumpStrength;
`endif
    `DUMP_START
    repeat (6) #5 clk = ~clk;
    #1 en = 1;
    #1 en = 0;
    #1 b = 0; en = 1;
    #1 a = 0;
    #1 b = 1'bx;
    #1 en = 0;
    #1 $finish;
  end
endmodule
