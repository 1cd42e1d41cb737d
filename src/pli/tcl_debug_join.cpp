// TO BE JOINED: see tcl_debug_join.h.
#include "pli/tcl_debug_join.h"

#include "pli/messages.h"

namespace tavri::pli {

void RunDebugCommandText(const char *text) {
    PrintWarning("traxDebug - Debug tracing is not part of this build; \"%s\" is ignored.\n", text);
}

}  // namespace tavri::pli
