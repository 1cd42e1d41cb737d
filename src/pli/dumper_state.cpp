#include "pli/dumper_state.h"

namespace tavri::pli {

DumperState g_dumper;

void ResetDumperState() { g_dumper = DumperState{}; }

}  // namespace tavri::pli
