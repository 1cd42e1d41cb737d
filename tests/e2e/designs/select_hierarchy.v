// Three module types over four levels below the testbench, with named and
// generate blocks and escaped identifiers (one holding a dot), for the
// tasks that choose part of a design to dump. The testbench that includes
// this file instantiates `unit`.

module leaf(input wire clk, input wire [3:0] d, output reg [3:0] q);
  reg toggle;
  initial begin
    q = 0;
    toggle = 0;
  end
  always @(posedge clk) begin
    q <= d;
    toggle <= ~toggle;
  end
endmodule

module mid(input wire clk, input wire [3:0] in);
  wire [3:0] a_q;
  wire [3:0] b_q;
  integer count;
  initial count = 0;
  always @(posedge clk) count = count + 1;
  leaf la(.clk(clk), .d(in), .q(a_q));
  leaf \lb[1] (.clk(clk), .d(a_q), .q(b_q));
  generate
    if (1) begin : g
      reg [1:0] gr;
      initial gr = 0;
      always @(posedge clk) gr <= gr + 1;
    end
  endgenerate
endmodule

module unit(input wire clk, input wire [3:0] in);
  reg [7:0] acc;
  initial acc = 0;
  always @(posedge clk) acc <= acc + in;
  mid m0(.clk(clk), .in(in));
  mid \m.1 (.clk(clk), .in(~in));
  always @(negedge clk) begin : work
    reg [3:0] tmp;
    tmp = in ^ 4'h5;
  end
endmodule
