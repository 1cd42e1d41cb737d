// One-bit signals passed through the ports of two levels of cells: a clock
// and a data bit down, a result up, each one net of the simulator under
// three names; a vector passed down beside them.
`timescale 1ns/1ps
`include "dump.vh"

module leaf (input clk, input d, input [3:0] bus, output reg q);
  reg [3:0] seen;
  always @(posedge clk) begin
    q <= d;
    seen <= bus;
  end
  initial q = 0;
endmodule

module mid (input clk, input d, input [3:0] bus, output q);
  wire inverted = ~d;
  leaf l (.clk(clk), .d(inverted), .bus(bus), .q(q));
endmodule

module top;
  reg clk = 0;
  reg d = 0;
  reg [3:0] bus = 4'h3;
  wire q;
  mid m (.clk(clk), .d(d), .bus(bus), .q(q));
  initial begin
`ifdef TRACE
    $traxDebug(`TRACE);
`endif
    `DUMP_START
  end
  always #5 clk = ~clk;
  initial begin
    #7 d = 1; bus = 4'ha;
    #20 d = 0; bus = 4'h5;
    #13 d = 1;
    #30 $finish;
  end
endmodule
