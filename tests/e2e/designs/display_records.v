// $traxDisplay next to $display with the same format and arguments. Each
// pair first prints "@TIME TAG|" so that a printed line can be matched with
// the variable the same call records on.
`timescale 1ns/1ns

`define SHOW(tag, fmt) begin $write("@%0t %m %s|", $time, tag); $display fmt; $traxDisplay fmt; end
`define SHOW_TAGGED(tag, fmt, args) begin \
    $write("@%0t %m %s|", $time, tag); $display(fmt, args); $traxDisplay(fmt, args, tag); end

module unit;
  reg [7:0] v = 8'h3c;
  initial begin
    #5 `SHOW("Tavri_Display", ("unit %m v=%h", v))
    #10 `SHOW("Tavri_Display", ("unit %m v=%b", v))
  end
endmodule

module tb;
  reg [7:0] byte8 = 8'd10;
  reg [8:0] nine = 9'o417;
  reg [15:0] word16 = 16'd1234;
  reg [39:0] wide40 = 40'h12_3456_789a;
  integer count = -5;
  real r = 1.5;
  reg bit1 = 1'b1;
  wire strong = bit1;
  reg [8*4:1] name4 = "abcd";
  reg [7:0] letter = "A";
  parameter P = 7;
  parameter real RP = 0.25;

  unit u1();
  unit u2();

  initial begin
    $traxDumpfile(`OUT);
    #1;
    `SHOW_TAGGED("hex", "%h", byte8)
    `SHOW_TAGGED("hex0", "%0h", byte8)
    `SHOW_TAGGED("bin", "%b", byte8)
    `SHOW_TAGGED("bin0", "%0b", byte8)
    `SHOW_TAGGED("oct", "%o", nine)
    `SHOW_TAGGED("dec16", "%d", word16)
    `SHOW_TAGGED("dec0", "%0d", word16)
    `SHOW_TAGGED("int", "%0d", count)
    `SHOW_TAGGED("char", "%c", letter)
    `SHOW_TAGGED("str", "<%s>", "text")
    `SHOW_TAGGED("reg_str", "<%s>", name4)
    `SHOW_TAGGED("exp", "%e", r)
    `SHOW_TAGGED("fix", "%f", r)
    `SHOW_TAGGED("gen", "%g", r)
    `SHOW_TAGGED("strength", "%v", strong)
    `SHOW_TAGGED("wide", "%h", wide40)
    `SHOW_TAGGED("param", "%0d", P)
    `SHOW_TAGGED("real_param", "%f", RP)
    $write("@%0t %m %s|", $time, "where"); $display("at %m"); $traxDisplay("at %m", "where");
    #1;
    // Two calls in one step: the variable's value joins them.
    `SHOW("Tavri_Display", ("first %0d;", word16))
    `SHOW("Tavri_Display", ("second %0h;", byte8))
    #1;
    `SHOW("Tavri_Display", ("%s", "a long text that goes on and on and on, well past the one hundred and twenty-seven characters that a display record keeps, so that its end is cut off there"))
    #1 count = 123456;
    word16 = 16'hffff;
    `SHOW_TAGGED("int", "%0d", count)
    `SHOW_TAGGED("dec16", "%d", word16)
    #20 $finish;
  end
endmodule
