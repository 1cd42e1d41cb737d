// The essential-signal information of a database: the expression data and
// the table of 8-byte entries (one per essential-signal variable) that a
// template carries.
//
// A finished file holds the data at `esd uoff` and the table at `esd table
// uoff` (0 = none). Neither has a size of its own: a part runs up to the
// next structure of the file, the nearest start named by any uoff of the
// header (or the end of the chain table, the last structure) above its
// own start. A live file keeps them in the side files named by the database
// name followed by ".esd.exp" and ".esd.tbl", each the part as a whole; a
// missing side file is a part of size 0.
#ifndef TAVRI_READER_ESD_INFO_H
#define TAVRI_READER_ESD_INFO_H

#include <cstdint>
#include <string>
#include <vector>

#include "reader/database.h"
#include "reader/status.h"

namespace tavri::reader {

enum class EsdPart { kData, kTable };

constexpr uint64_t kEsdTableEntryBytes = 8;

// The side file of a part of a live file.
std::string EsdSidePath(const std::string &database_path, EsdPart part);

// Where a part lies in a finished file: its offset and size (0, 0 when the
// header names none). For a live file, the size of its side file (0 when it
// does not exist).
struct EsdExtent {
    uint64_t offset = 0;
    uint64_t size = 0;
};
Status LocateEsdPart(const Database &db, EsdPart part, EsdExtent *extent);

// Reads a part whole: from the main file, or from the side file under the
// reader lock. A part of size 0 gives an empty vector.
Status ReadEsdPart(const Database &db, EsdPart part, std::vector<uint8_t> *out);

}  // namespace tavri::reader

#endif
