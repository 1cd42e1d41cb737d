// Vectors that fire a value-change callback per bit for one change: a wire
// driven by an assign per bit and a reg set bit by bit in a loop, beside a
// vector assigned whole. They change every step for long enough to stop
// having their values delivered, then go on changing: to z and x, back, and
// one bit at a time.
`timescale 1ns/1ns
`include "dump.vh"
module top;
  reg [7:0] count = 0;
  reg en = 1;
  reg [7:0] whole = 0;
  wire [7:0] per_bit;
  genvar g;
  generate for (g = 0; g < 8; g = g + 1) begin : drv
    assign per_bit[g] = en ? count[g] ^ count[(g + 1) % 8] : 1'bz;
  end endgenerate
  reg [11:0] looped;
  integer k;

  initial `DUMP_START

  always #1 begin
    count = count + 8'd37;
    whole = whole + 8'd3;
    for (k = 0; k < 12; k = k + 1) looped[k] = count[k % 8] ~^ k[0];
  end

  initial begin
    #30 en = 0;
    #3 en = 1;
    #3 force count = 8'b0x1z_0101;
    #2 release count;
    #1 count = 8'h00;
    #4 force count = 8'h01;
    #1 force count = 8'h03;
    #1 force count = 8'h07;
    #1 release count;
    #10 $finish;
  end
endmodule
