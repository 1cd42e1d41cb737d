// The string list: the texts of string values, each with its terminating
// NUL, in id order (id 0 first). The header's string list size and string
// count say how much of it is valid.
#ifndef TAVRI_READER_STRINGS_H
#define TAVRI_READER_STRINGS_H

#include <cstdint>
#include <vector>

#include "reader/status.h"

namespace tavri::reader {

class StringList {
  public:
    // Takes the list's bytes; they must hold exactly `count` texts.
    Status Parse(std::vector<uint8_t> bytes, uint32_t count);
    uint32_t size() const { return static_cast<uint32_t>(starts_.size()); }
    // The text of an id, or null when the list has no such id.
    const char *Get(uint32_t id) const;

  private:
    std::vector<uint8_t> bytes_;
    std::vector<uint32_t> starts_;
};

}  // namespace tavri::reader

#endif
