// Automatically switched files: a writer opened with a limited file size
// asks its application, at each new time tag, to go on in a new file once
// the file comes close to that size.
#ifndef TAVRI_WRITER_AUTO_SWITCH_H
#define TAVRI_WRITER_AUTO_SWITCH_H

#include <cstdint>

struct txwObject;

namespace tavri::writer {

// Room left, at most, when the callback is called.
constexpr int64_t kAutoSwitchRoom = 0x40000;
constexpr uint32_t kMinLimitedFileMB = 2;
constexpr uint32_t kMaxLimitedFileMB = 1900;
// Value-change memory of such a writer unless TRAX_ENV_WRITER_MEM_LIMIT says
// otherwise: small, so that the file grows, and is checked, in small steps.
constexpr uint32_t kAutoSwitchMemLimitMB = 7;

// Called after each accepted time tag. Calls the auto switch callback when
// the file's high-water mark is within kAutoSwitchRoom bytes of the limited
// size; the callback may switch, so the caller must not use `obj` after it.
void CheckAutoSwitch(txwObject *obj);

}  // namespace tavri::writer

#endif
