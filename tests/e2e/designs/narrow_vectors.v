// Narrow vectors in every state Icarus can give them: x and z bits, several
// changes in one step, forced and released, tri-state drivers, set before
// the dump starts; and vectors just past the width whose callbacks deliver
// their values.
`timescale 1ns/1ns
`include "dump.vh"
module top;
  reg [3:0] a = 4'b0000;
  reg [7:0] b;                        // x until first assigned
  reg en = 0;
  reg [3:0] d = 4'b1010;
  wire [3:0] t = en ? d : 4'bz;       // tri-state, z and values
  wire [3:0] t2 = en ? 4'bz : ~d;     // a second driver of the same kind
  wire [3:0] bus;
  assign bus = en ? d : 4'bz;
  assign bus = en ? 4'bz : a;
  wire [5:0] m = {a, 2'bx1} ^ b[5:0]; // partly unknown
  reg [11:0] f = 12'h123;
  wire [15:0] w16 = {a, b, t};        // as wide as a delivered value gets
  wire [16:0] w17 = {1'b1, w16};      // one bit wider: read at step end
  reg [7:0] pb;                       // assigned bit by bit
  reg [2:0] back = 3'b101;            // changes and returns in one step
  integer k;

  initial #1 `DUMP_START

  initial begin
    a = 4'b0101;                      // before anything is hooked
    #3 b = 8'b10xz_01zx;
    #2 en = 1; a = 4'bx01z;
    #2 d = 4'bzzzz; d = 4'b0x1z; d = 4'b1100;
    #2 force f = 12'bxxxx_zzzz_0101;
    #2 b = 8'h5a; force t = 4'b1x0z;
    #2 release f; en = 0;
    #2 release t; f = 12'hfff;
    #2 for (k = 0; k < 8; k = k + 1) pb[k] = k[0] ^ a[k % 4];
    #2 back = 3'b010; back = 3'b101;
    #2 back = 3'bx1z; b = 8'bzzzz_zzzz;
    #2 for (k = 0; k < 8; k = k + 1) begin pb[k] = 1'bx; pb[k] = k[1]; end
    #2 a = 4'b1111; a = 4'bxxxx;
    #2 $finish;
  end
endmodule
