// The 2 GB guard: file offsets of this format are 32-bit, so a file that
// comes within 0x4000000 bytes of 0x7FFFFFFF is reported, and the
// application's 2G callback may continue the run in another file.
#ifndef TAVRI_WRITER_TWO_G_GUARD_H
#define TAVRI_WRITER_TWO_G_GUARD_H

#include "writer/object.h"

namespace tavri::writer {

constexpr uint64_t kTwoGigabyteMark = 0x7FFFFFFFu - 0x4000000u;

// The check of every value-change creation: one comparison.
inline bool NearTwoGigabytes(const txwObject *obj) { return obj->file_high_water > kTwoGigabyteMark; }

// Tells once that the file is close to 2 GB and calls the 2G callback (once
// per writer) with the writer's location, which the callback may point at
// the writer the run continues in. True when the file is close to 2 GB.
bool TwoGigabyteGuard(txwObject **obj);

// The writer a value change goes to: `obj`, or the writer the 2G callback
// goes on in, or null when it closed the file without one.
inline txwObject *WriterForChange(txwObject *obj) {
    if (NearTwoGigabytes(obj)) {
        TwoGigabyteGuard(&obj);
    }
    return obj;
}

}  // namespace tavri::writer

#endif
