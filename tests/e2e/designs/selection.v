// A hierarchy of three module types on four levels, with escaped instance
// names and generate blocks, for the tasks that choose what to record.
// VCD names the simulator's own full VCD; one of SUPPRESS and SCOPE_FILE
// chooses how Tavri's dump is selected, and the SCOPE_LIST define names the
// scope file.
`timescale 1ns/1ns

module leaf(input wire clk, output reg [3:0] q);
  reg toggle;
  initial begin q = 0; toggle = 0; end
  always @(posedge clk) begin q <= q + 1; toggle <= ~toggle; end
endmodule

module pair(input wire clk, output wire [3:0] sum);
  wire [3:0] qa, qb;
  leaf a(.clk(clk), .q(qa));
  leaf \b.odd (.clk(clk), .q(qb));
  assign sum = qa + qb;
endmodule

module core(input wire clk);
  wire [3:0] s0, s1;
  wire [3:0] lq;
  integer count;
  pair p0(.clk(clk), .sum(s0));
  pair \p[1] (.clk(clk), .sum(s1));
  leaf l(.clk(clk), .q(lq));
  initial count = 0;
  always @(negedge clk) count = count + 1;
  genvar i;
  generate for (i = 0; i < 2; i = i + 1) begin : g
    wire [3:0] gq;
    leaf gl(.clk(clk), .q(gq));
  end endgenerate
endmodule

module tb;
  reg clk = 0;
  real r;
  core c0(.clk(clk));
  core \c.1 (.clk(clk));
  always #5 clk = ~clk;
  always @(posedge clk) r = r + 1.25;
  initial begin
    r = 0.5;
    $dumpfile(`VCD);
    $dumpvars;
`ifdef SUPPRESS
    $traxDumpfile("ours.trax");
    $traxSuppress(tb.c0.\p[1] );
    $traxSuppress("module_base=", "leaf");
    $traxDumpvars;
`endif
`ifdef SCOPE_FILE
    $traxSuppress(tb.c0.p0.a);
    $traxDumpfile("ours.trax");
    $traxDumpvarsToFile(`SCOPE_LIST);
`endif
    #100 $finish;
  end
endmodule
