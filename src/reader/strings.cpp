#include "reader/strings.h"

namespace tavri::reader {

Status StringList::Parse(std::vector<uint8_t> bytes, uint32_t count) {
    bytes_ = std::move(bytes);
    starts_.clear();
    if (!bytes_.empty() && bytes_.back() != 0) {
        return Fail(TRAXR_ERR_TRUNCATED, "the string list's last text has no terminating NUL");
    }
    uint32_t start = 0;
    for (uint32_t i = 0; i < bytes_.size(); ++i) {
        if (bytes_[i] == 0) {
            if (starts_.size() == count) {
                return Fail(TRAXR_ERR_CORRUPT,
                            "the string list holds more texts than its count of %u", count);
            }
            starts_.push_back(start);
            start = i + 1;
        }
    }
    if (starts_.size() != count) {
        return Fail(TRAXR_ERR_CORRUPT, "the string list holds %zu texts, its count says %u",
                    starts_.size(), count);
    }
    return Status();
}

const char *StringList::Get(uint32_t id) const {
    return id < starts_.size() ? reinterpret_cast<const char *>(bytes_.data() + starts_[id])
                               : nullptr;
}

}  // namespace tavri::reader
