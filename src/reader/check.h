// Structural checks of an open database: every block lies inside the file
// and decompresses exactly, the header agrees with what the file holds,
// idcodes are dense and aliases fit the variables they name, every vc chain
// is whole and reaches its first entry, and time never goes backwards.
#ifndef TAVRI_READER_CHECK_H
#define TAVRI_READER_CHECK_H

#include <cstdint>
#include <functional>
#include <string>

#include "reader/database.h"

namespace tavri::reader {

// Reports each failure once, as one line of text without a newline, and
// returns how many there were. Checks go on after a failure where they can;
// a check that cannot go on reports why and stops.
uint32_t CheckDatabase(Database *db, const std::function<void(const std::string &)> &report);

}  // namespace tavri::reader

#endif
