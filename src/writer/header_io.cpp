#include "writer/header_io.h"

#include <ctime>

#include "writer/env_record.h"
#include "writer/lock.h"
#include "writer/object.h"
#include "writer/write_all.h"

namespace tavri::writer {
namespace {

// Writes `length` bytes at `offset` under the lock and restores the position.
void WriteAt(txwObject *obj, uint32_t offset, const void *bytes, uint32_t length) {
    ScopedLock lock(obj);
    const int64_t position = platform::Tell(obj->main_file);
    platform::Seek(obj->main_file, offset);
    WriteAll(obj->main_file, bytes, length);
    if (position >= 0) {
        platform::Seek(obj->main_file, position);
    }
}

}  // namespace

void WriteFixedSection(txwObject *obj) {
    WriteAt(obj, 0, obj->header.bytes, kFixedSectionSize);
}

void WriteOffsetAndStatisticsSections(txwObject *obj) {
    ScopedLock lock(obj);
    WriteAt(obj, kOffsetSectionStart, obj->header.bytes + kOffsetSectionStart, kOffsetSectionSize);
    WriteAt(obj, kStatisticsSectionStart, obj->header.bytes + kStatisticsSectionStart,
            kStatisticsSectionSize);
}

void WriteStatisticsSection(txwObject *obj) {
    WriteAt(obj, kStatisticsSectionStart, obj->header.bytes + kStatisticsSectionStart,
            kStatisticsSectionSize);
}

void WriteHeaderField(txwObject *obj, uint32_t offset, uint32_t width) {
    WriteAt(obj, offset, obj->header.bytes + offset, width);
}

void WriteEnvironmentRecord(txwObject *obj) {
    ComposeEnvironmentRecord(obj->support_info, obj->header.U16(kHdrMaxGlitchNumber),
                             std::time(nullptr));
    WriteAt(obj, kEnvRecordOffset, obj->support_info, kEnvRecordSize);
    obj->header.SetU8(kHdrEnvRecordPresent, 1);
}

void WriteReservedArea(txwObject *obj) {
    WriteAt(obj, kReservedAreaOffset, obj->reserved_area, kReservedAreaSize);
}

}  // namespace tavri::writer
