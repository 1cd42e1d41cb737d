// Dumping switched on and off several times within single time steps, and
// once before the file exists: the call made last in a step decides.
`timescale 1ns/1ns
`include "dump.vh"

module tb;
  reg clk = 0;
  reg [7:0] count = 0;
  real level = 0.0;
  always #5 clk = ~clk;
  always @(posedge clk) begin count <= count + 1; level = level + 0.5; end
  initial begin
    `DUMP_OFF;  // before the file: it starts with dumping off
    `DUMP_START
    #12 `DUMP_ON;
    #10 begin `DUMP_ON; `DUMP_OFF; end
    #10 begin `DUMP_OFF; `DUMP_ON; end
    #10 repeat (200) begin `DUMP_ON; `DUMP_OFF; end
    #20 repeat (200) begin `DUMP_OFF; `DUMP_ON; end
    #10 begin `DUMP_OFF; `DUMP_ON; `DUMP_OFF; end
    #10 begin `DUMP_ON; `DUMP_OFF; `DUMP_ON; end
    #20 $finish;
  end
endmodule
