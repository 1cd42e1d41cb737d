"""Verilog sources of the side-by-side benchmark designs."""

DUMP_BLOCK = """
  initial begin
`ifdef DUMP_TRAX
    $traxDumpfile(`OUT); $traxDumpvars;
`elsif DUMP_VCD
    $dumpfile(`OUT); $dumpvars;
`endif
  end
"""


def many_signals(instances: int, cycles: int) -> str:
    """About `instances` cells of 18 signals each (scalars and small vectors);
    each cycle a part of them changes."""
    cell = """
module unit_cell (input clk, input [7:0] din, input en, output reg [7:0] q, output reg par);
  reg a, b, c, d;
  reg [3:0] cnt;
  reg [1:0] mode;
  wire hit = (q == din);
  wire [7:0] mix = q ^ din;
  always @(posedge clk) begin
    if (en) q <= q + din;
    par <= ^q;
    a <= din[0]; b <= a; c <= b ^ en; d <= c & hit;
    cnt <= cnt + (din[1:0] == 2'b01);
    mode <= mix[1:0];
  end
  initial begin q = 0; cnt = 0; mode = 0; par = 0; a = 0; b = 0; c = 0; d = 0; end
endmodule
"""
    lines = [cell, "module top;", "  reg clk = 0;", "  reg [31:0] lfsr = 32'h1;",
             f"  wire [7:0] q [0:{instances - 1}];", f"  wire p [0:{instances - 1}];"]
    for i in range(instances):
        lines.append(f"  unit_cell c{i} (.clk(clk), .din(lfsr[{i % 24}+:8]), .en(lfsr[{i % 31}]), .q(q[{i}]), .par(p[{i}]));")
    lines.append("  always #5 clk = ~clk;")
    lines.append("  always @(posedge clk) lfsr <= {lfsr[30:0], lfsr[31] ^ lfsr[21] ^ lfsr[1] ^ lfsr[0]};")
    lines.append(DUMP_BLOCK)
    lines.append(f"  initial #({cycles} * 10) $finish;")
    lines.append("endmodule")
    return "\n".join(lines) + "\n"


def wide_vectors(registers: int, cycles: int) -> str:
    """`registers` registers of 64 to 256 bits, all updated every cycle."""
    widths = [64, 96, 128, 192, 256]
    lines = ["module top;", "  reg clk = 0;", "  reg [255:0] seed = {8{32'h9e3779b9}};"]
    for i in range(registers):
        w = widths[i % len(widths)]
        lines.append(f"  reg [{w - 1}:0] r{i} = {w}'d{i + 1};")
        lines.append(f"  always @(posedge clk) r{i} <= {{r{i}[{w - 2}:0], r{i}[{w - 1}] ^ seed[{i % 256}]}} ^ seed[{w - 1}:0];")
    lines.append("  always #5 clk = ~clk;")
    lines.append("  always @(posedge clk) seed <= {seed[254:0], seed[255] ^ seed[253] ^ seed[250] ^ seed[245]};")
    lines.append(DUMP_BLOCK)
    lines.append(f"  initial #({cycles} * 10) $finish;")
    lines.append("endmodule")
    return "\n".join(lines) + "\n"
