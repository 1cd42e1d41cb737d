// Records passed to writer operations begin with their own size in bytes
// (a 32-bit word), so that an application built against an older or newer
// writer can be told apart.
#ifndef TAVRI_WRITER_RECORD_SIZE_H
#define TAVRI_WRITER_RECORD_SIZE_H

#include <cstdint>

namespace tavri::writer {

// Status of a record larger than the library knows.
constexpr int kRecordTooNew = 106;

// Compares the caller's record size with the library's and sets `*record`
// to the record the operation is to use:
//  - equal: the caller's record, status 0;
//  - smaller (an older application): `buffer` (library_size bytes), holding
//    the caller's bytes followed by zeros, status 0;
//  - larger (a newer application): the caller's record, whose first
//    library_size bytes are safe to read, and status 106, after a warning
//    the process prints once (naming the file when given).
// A null caller record is taken as one of all zero bytes: `buffer`, zeroed,
// status 0.
int CheckRecordSize(const char *file_name, const void *caller_record, uint32_t library_size, void *buffer,
                    const void **record);

}  // namespace tavri::writer

#endif
