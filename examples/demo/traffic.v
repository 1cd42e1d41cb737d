// A small design to show Tavri at work: a traffic-light controller with a
// pedestrian request, a cycle counter and a checksum over the light states.
// Every register is reset at the first clock edge, so every signal has a
// defined value once the reset is over.
`timescale 1ns/1ps

module light_fsm (input clk, input rst, input request, output reg [1:0] light, output reg walk);
  localparam GREEN = 2'd0, YELLOW = 2'd1, RED = 2'd2;
  reg [3:0] timer;
  always @(posedge clk) begin
    if (rst) begin light <= GREEN; walk <= 0; timer <= 0; end
    else begin
      timer <= timer + 1'b1;
      case (light)
        GREEN:  if (request && timer > 4) begin light <= YELLOW; timer <= 0; end
        YELLOW: if (timer == 2) begin light <= RED; walk <= 1; timer <= 0; end
        RED:    if (timer == 6) begin light <= GREEN; walk <= 0; timer <= 0; end
        default: light <= GREEN;
      endcase
    end
  end
endmodule

module checksum (input clk, input rst, input [1:0] light, output reg [15:0] sum);
  // Reset with the controller: the light is not known before its reset, and
  // an unknown bit shifted in would stay in the sum for good.
  always @(posedge clk)
    if (rst) sum <= 16'hffff;
    else sum <= {sum[14:0], sum[15] ^ sum[13] ^ light[0] ^ light[1]};
endmodule

module top;
  reg clk = 0, rst = 1, request = 0;
  wire [1:0] light;
  wire walk;
  wire [15:0] sum;
  integer cycles = 0;
  real duty = 0.0;
  event crossing;

  light_fsm fsm (.clk(clk), .rst(rst), .request(request), .light(light), .walk(walk));
  checksum check (.clk(clk), .rst(rst), .light(light), .sum(sum));

  always #5 clk = ~clk;
  always @(posedge clk) begin
    cycles = cycles + 1;
    duty = duty + (walk ? 1.0 : 0.0) / 100.0;
  end
  always @(posedge walk) -> crossing;
  // Hands what was dumped to the file every 200 ns, so that a viewer that
  // follows the file (trax vcd --follow) is never far behind the run.
  always #200 $traxDumpflush;

  initial begin
    $traxDumpfile("demo.trax");
    $traxDumpvars;
    #12 rst = 0;
    repeat (6) begin
      #40 request = 1;
      #20 request = 0;
    end
    #50 $finish;
  end
endmodule
