// Options read from the environment and the simulator's plus-arguments
// when the first dump file is about to be created, and the internal status
// report.
#ifndef TAVRI_PLI_OPTIONS_H
#define TAVRI_PLI_OPTIONS_H

#include <cstdint>
#include <string>

namespace tavri::pli {

struct DumperOptions;

// Reads every option once per process (again at each file creation while
// the scope-file mode is in force), hands the writer its message hooks and
// registers the exit handler. Returns 1.
int OptionsStartup();

// The simulator version number of a product text: (major << 16) + the
// minor digits as nibbles (four of them) + the letter's place in the
// alphabet; "Version 5.7d" gives 0x57004. 0 when the text has no "Version".
uint32_t SimulatorVersionNumber(const char *product);

// Prints the status report when `arm` is set or it was armed before; `arm`
// arms it for every later file creation.
void StatusReport(bool arm);

// The text after a plus-argument prefix (given without its leading "+"), or
// null; "" when nothing follows.
const char *PlusArg(const char *prefix);

// Environment helpers: present at all, and non-zero by atoi.
bool EnvPresent(const char *name);
bool EnvNonZero(const char *name);

// The block compression chosen for new files: "lzo1b:1", "zstd:7".
std::string CompressionText(const DumperOptions &options);

}  // namespace tavri::pli

#endif
