// Setting the size limits of a file: the dump limit (a ring of the most
// recent sessions) and the stop limit (the earliest stretch). Both are set
// between the open and the first tree, and exclude each other and an
// automatically switched file's limited size.
#ifndef TAVRI_WRITER_LIMIT_SETTINGS_H
#define TAVRI_WRITER_LIMIT_SETTINGS_H

#include <cstdint>

#include "tavri/txw.h"

struct txwObject;

namespace tavri::writer {

constexpr uint32_t kMinSizeLimitMB = TXW_MIN_SIZE_LIMIT_MB;
constexpr uint32_t kMaxSizeLimitMB = TXW_MAX_SIZE_LIMIT_MB;  // with 32-bit file offsets

// A session is the unit the ring gives up and the stop limit keeps whole,
// so under a size limit the value-change memory (one session's worth) is
// held to a quarter of the limit unless TRAX_ENV_WRITER_MEM_LIMIT says
// otherwise. Called when a tree ends, after the default memory limit.
void CapMemoryForSizeLimit(txwObject *obj);

}  // namespace tavri::writer

#endif
