// Dumping switched off and on again while the design runs.
`timescale 1ns/1ns
`include "dump.vh"

module tb;
  reg clk = 0;
  reg [5:0] count = 0;
  real level = 0.0;
  always #5 clk = ~clk;
  always @(posedge clk) begin count <= count + 1; level = level + 1.5; end
  initial begin
    `DUMP_START
    #42 `DUMP_OFF;
    #50 `DUMP_ON;
    #33 `DUMP_OFF;
    #10 `DUMP_ON;
    #20 $finish;
  end
endmodule
