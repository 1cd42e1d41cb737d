#include "pli/dump_tree.h"

#include "pli/dumper_state.h"
#include "pli/messages.h"
#include "pli/substitute_hier.h"
#include "pli/writer_api.h"

namespace tavri::pli {

bool BeginDumpTree(const char *failure) {
    DumperState &state = g_dumper;
    ++state.tree_depth;
    if (!g_txw.BeginTree(state.current_writer)) {
        if (failure != nullptr) {
            PrintError("%s", failure);
        }
        --state.tree_depth;
        return false;
    }
    OpenSubstitutionPrefix();
    return true;
}

void EndDumpTree() {
    DumperState &state = g_dumper;
    CloseSubstitutionPrefix();
    g_txw.EndTree(state.current_writer);
    --state.tree_depth;
}

}  // namespace tavri::pli
