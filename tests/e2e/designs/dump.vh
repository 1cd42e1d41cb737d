// Starts the dump of the whole design: with Tavri when DUMP_TRAX is
// defined, else with the simulator's own VCD writer. OUT names the file.
`ifdef DUMP_TRAX
  `define DUMP_START begin $traxDumpfile(`OUT); $traxDumpvars; end
  `define DUMP_OFF $traxDumpoff
  `define DUMP_ON $traxDumpon
`else
  `define DUMP_START begin $dumpfile(`OUT); $dumpvars; end
  `define DUMP_OFF $dumpoff
  `define DUMP_ON $dumpon
`endif
