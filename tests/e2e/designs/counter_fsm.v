// Counters and a nibble state machine, clocked, with ports of every direction.
`timescale 1ns/1ps
`include "dump.vh"

module counter #(parameter W = 8) (input clk, input rst, input en, output reg [W-1:0] q, output wrap);
  assign wrap = &q;
  always @(posedge clk)
    if (rst) q <= 0;
    else if (en) q <= q + 1'b1;
endmodule

module fsm (input clk, input rst, input go, output reg [1:0] state, output reg busy, inout bidir);
  localparam IDLE = 2'd0, RUN = 2'd1, DONE = 2'd2;
  reg drive;
  assign bidir = drive ? busy : 1'bz;
  always @(posedge clk) begin
    if (rst) begin state <= IDLE; busy <= 0; drive <= 0; end
    else case (state)
      IDLE: if (go) begin state <= RUN; busy <= 1; drive <= 1; end
      RUN:  begin state <= DONE; end
      DONE: begin state <= IDLE; busy <= 0; drive <= 0; end
      default: state <= 2'bxx;
    endcase
  end
endmodule

module tb;
  reg clk = 0, rst = 1, en = 0, go = 0;
  wire [7:0] count;
  wire [3:0] nibble;
  wire wrap, wrap4, busy, bidir;
  wire [1:0] state;
  counter c8 (.clk(clk), .rst(rst), .en(en), .q(count), .wrap(wrap));
  counter #(4) c4 (.clk(clk), .rst(rst), .en(1'b1), .q(nibble), .wrap(wrap4));
  fsm f (.clk(clk), .rst(rst), .go(go), .state(state), .busy(busy), .bidir(bidir));
  always #5 clk = ~clk;
  initial begin
    `DUMP_START
    #12 rst = 0;
    #10 en = 1;
    repeat (40) begin
      @(negedge clk);
      go = $random;
      if (count == 20) en = 0;
      if (count == 20 && !en) #30 en = 1;
    end
    #7 $finish;
  end
endmodule
