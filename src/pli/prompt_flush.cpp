#include "pli/prompt_flush.h"

#include "pli/dumper_state.h"
#include "pli/writer_api.h"

namespace tavri::pli {

AtPrompt::AtPrompt() : was_(g_dumper.at_prompt) { g_dumper.at_prompt = true; }

AtPrompt::~AtPrompt() { g_dumper.at_prompt = was_; }

void FlushDumpFile(txwObject *writer) {
    if (g_dumper.at_prompt) {
        txw_FlushAtStop(writer);
    } else {
        g_txw.Flush(writer);
    }
}

}  // namespace tavri::pli
