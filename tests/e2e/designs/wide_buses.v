// Wide registers and nets with unknown and high-impedance bits.
`timescale 1ns/1ns
`include "dump.vh"

module tb;
  reg [63:0] a;
  reg [127:0] b;
  reg [255:0] c;
  reg [32:0] odd;
  wire [255:0] sum = c + {b, b};
  wire [127:0] gated = a[0] ? b : 128'bz;
  integer i;
  initial begin
    `DUMP_START
    a = 0; b = {4{32'hdeadbeef}}; c = 0; odd = 33'h1_0000_0001;
    for (i = 0; i < 60; i = i + 1) begin
      #3 a = {$random, $random};
      b = {b[126:0], b[127]};
      c = {c[254:0], ~c[255]};
      odd = odd ^ {1'b1, a[31:0]};
      if (i == 10) c[100] = 1'bx;
      if (i == 20) b[64] = 1'bz;
      if (i == 30) odd = 33'bx;
    end
    #5 $finish;
  end
endmodule
