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


def des_rounds(rounds: int, cycles: int) -> str:
    """A pipeline of `rounds` cipher rounds in the manner of a DES core: per
    round 32-bit halves and a 48-bit round key, eight 6-bit expansions and
    key mixes, eight S-boxes of 6 to 4 bits (instances of their own) and a
    32-bit permutation; new data enters every cycle. About 48 variables of 4,
    6, 32 and 48 bits per round."""
    state = 0x2545F491
    tables = []
    for _ in range(8):
        words = []
        for _ in range(4):
            state = (state * 6364136223846793005 + 1442695040888963407) % (1 << 64)
            words.append(state)
        tables.append(words)
    lines = ["module sbox #(parameter [63:0] T0 = 0, T1 = 0, T2 = 0, T3 = 0) (input [5:0] a, output [3:0] y);",
             "  assign y = {T3[a], T2[a], T1[a], T0[a]};",
             "endmodule",
             "",
             "module des_round (input clk, input [31:0] l, input [31:0] r, input [47:0] k,",
             "                  output reg [31:0] lo, output reg [31:0] ro, output reg [47:0] ko);"]
    for i in range(8):
        # Expansion: four bits of r and one neighbour on each side.
        lo_bit, hi_bit = (4 * i - 1) % 32, (4 * i + 4) % 32
        lines.append(f"  wire [5:0] e{i} = {{r[{hi_bit}], r[{4 * i + 3}:{4 * i}], r[{lo_bit}]}};")
        lines.append(f"  wire [5:0] x{i} = e{i} ^ k[{6 * i + 5}:{6 * i}];")
        lines.append(f"  wire [3:0] s{i};")
        t = tables[i]
        lines.append(f"  sbox #(64'h{t[0]:016x}, 64'h{t[1]:016x}, 64'h{t[2]:016x}, 64'h{t[3]:016x}) "
                     f"sb{i} (.a(x{i}), .y(s{i}));")
    joined = "{" + ", ".join(f"s{i}" for i in reversed(range(8))) + "}"
    lines.append(f"  wire [31:0] sv = {joined};")
    permuted = ", ".join(f"sv[{(j * 7 + 3) % 32}]" for j in reversed(range(32)))
    lines.append(f"  wire [31:0] f = {{{permuted}}};")
    lines.append("  always @(posedge clk) begin lo <= r; ro <= l ^ f; ko <= {k[44:0], k[47:45]}; end")
    lines.append("  initial begin lo = 0; ro = 0; ko = 0; end")
    lines.append("endmodule")
    lines.append("")
    lines += ["module top;", "  reg clk = 0;", "  reg [63:0] data = 64'h0123456789abcdef;",
              "  reg [47:0] key = 48'h133457799bbc;",
              f"  wire [31:0] l [0:{rounds}];", f"  wire [31:0] r [0:{rounds}];", f"  wire [47:0] k [0:{rounds}];",
              "  assign l[0] = data[63:32];", "  assign r[0] = data[31:0];", "  assign k[0] = key;"]
    for i in range(rounds):
        lines.append(f"  des_round u{i} (.clk(clk), .l(l[{i}]), .r(r[{i}]), .k(k[{i}]), "
                     f".lo(l[{i + 1}]), .ro(r[{i + 1}]), .ko(k[{i + 1}]));")
    lines.append("  always #5 clk = ~clk;")
    lines.append("  always @(posedge clk) begin")
    lines.append("    data <= {data[62:0], data[63] ^ data[62] ^ data[60] ^ data[59]};")
    lines.append("    if (data[7:0] == 8'h5a) key <= {key[46:0], key[47] ^ key[20]};")
    lines.append("  end")
    lines.append(DUMP_BLOCK)
    lines.append(f"  initial #({cycles} * 10) $finish;")
    lines.append("endmodule")
    return "\n".join(lines) + "\n"
