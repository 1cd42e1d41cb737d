#include "pli/dump_limit.h"

#include <algorithm>
#include <optional>

#include "pli/dumper_state.h"
#include "pli/messages.h"
#include "pli/options.h"
#include "pli/whole_number.h"
#include "pli/writer_api.h"

namespace tavri::pli {

void ReadDumpLimitPlusArg() {
    const char *given = PlusArg("traxDumplimit");
    if (given == nullptr || given[0] != '+') {
        return;
    }
    const std::optional<uint64_t> megabytes = ParseWholeNumber(given + 1, kMaxDumpLimitMB);
    if (!megabytes.has_value() || *megabytes == 0) {
        PrintWarning("The file size limit +traxDumplimit%s is not a whole number of MB from 1 to %llu; the file is "
                     "not limited by it.\n",
                     given, static_cast<unsigned long long>(kMaxDumpLimitMB));
        return;
    }
    g_dumper.dump_limit_mb = static_cast<uint32_t>(*megabytes);
    g_dumper.dump_limit_set = true;
}

void HandDumpLimitToWriter(txwObject *writer) {
    if (g_dumper.dump_limit_set && g_txw.SetDumpLimit(writer, g_dumper.dump_limit_mb) == TXW_OK) {
        // The writer raises a small limit (and lowers a huge one) and says
        // so; the line gives the limit the file really has.
        PrintInfo("Set TRAX file size limit to %uMB.\n",
                  std::clamp(g_dumper.dump_limit_mb, TXW_MIN_SIZE_LIMIT_MB, TXW_MAX_SIZE_LIMIT_MB));
    }
}

}  // namespace tavri::pli
