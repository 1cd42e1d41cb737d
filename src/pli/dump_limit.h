// The file size limit in MB, from $traxDumplimit or +traxDumplimit+, and
// handing it to the writer of a new file.
#ifndef TAVRI_PLI_DUMP_LIMIT_H
#define TAVRI_PLI_DUMP_LIMIT_H

#include <cstdint>

struct txwObject;

namespace tavri::pli {

// The largest limit: the size the writer keeps is a 32-bit count of MB.
constexpr uint64_t kMaxDumpLimitMB = 0xFFFFFFFFu;

// Takes the limit of +traxDumplimit+MB when the plus-argument is given; a
// value that is not a whole number from 1 to kMaxDumpLimitMB is refused with
// a warning that names it, and the limit stays as it was.
void ReadDumpLimitPlusArg();

// Hands a set limit to a new file's writer; says so only when the writer
// takes it (it explains a refusal itself).
void HandDumpLimitToWriter(txwObject *writer);

}  // namespace tavri::pli

#endif
