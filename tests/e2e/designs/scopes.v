// Tasks, functions and named blocks with variables of their own, and two
// top-level modules.
`timescale 1ns/1ns
`include "dump.vh"

module tb;
  reg [7:0] x, y;
  reg flag;
  function [7:0] twice;
    input [7:0] v;
    begin twice = v << 1; end
  endfunction
  task bump;
    input [7:0] by;
    reg [7:0] tmp;
    begin tmp = x + by; #1 x = tmp; end
  endtask
  initial begin : main
    integer k;
    `DUMP_START
    x = 1; y = 0; flag = 0;
    for (k = 0; k < 8; k = k + 1) begin : body
      reg [3:0] local;
      local = k;
      #2 bump(local);
      y = twice(x);
      fork : both
        #1 flag = ~flag;
        #2 flag = ~flag;
      join
    end
    #3 $finish;
  end
endmodule

module monitor;
  reg alive;
  initial begin alive = 0; #5 alive = 1; #20 alive = 0; end
endmodule
