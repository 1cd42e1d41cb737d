// Generate blocks: a loop of instances, an if, a case, a nested loop and an
// unnamed block, each with signals of its own.
`timescale 1ns/1ns
`include "dump.vh"

module stage #(parameter N = 0) (input clk, input [3:0] d, output reg [3:0] q);
  always @(posedge clk) q <= d + N;
endmodule

module tb;
  parameter USE_FAST = 1;
  parameter MODE = 2;
  reg clk = 0;
  reg [3:0] seed = 0;
  wire [3:0] chain [0:3];
  assign chain[0] = seed;
  genvar i, j;
  generate
    for (i = 0; i < 3; i = i + 1) begin : u
      wire [3:0] in = chain[i];
      stage #(.N(i)) s (.clk(clk), .d(in), .q(chain[i + 1]));
      for (j = 0; j < 2; j = j + 1) begin : bit_pair
        wire both = in[j] & in[j + 1];
      end
    end
    if (USE_FAST) begin : fast
      reg [3:0] shadow;
      always @(posedge clk) shadow <= chain[3];
    end else begin : slow
      reg [3:0] shadow;
    end
    case (MODE)
      1: begin : one
        wire m = clk;
      end
      2: begin : two
        wire m = ~clk;
      end
    endcase
    if (1) begin
      wire anonymous = seed[0];
    end
  endgenerate
  initial begin
    `DUMP_START
    repeat (10) begin
      #5 clk = 1; seed = seed + 3;
      #5 clk = 0;
    end
    $finish;
  end
endmodule
