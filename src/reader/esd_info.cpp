#include "reader/esd_info.h"

#include <algorithm>
#include <memory>

#include "platform/file_io.h"
#include "reader/header.h"
#include "reader/lock.h"

namespace tavri::reader {
namespace {

const char *PartName(EsdPart part) { return part == EsdPart::kData ? "esd data" : "esd table"; }

// The start of the next structure after `start`: the nearest uoff of the
// header above it, else the end of the finished file's data.
uint64_t NextStructure(const Database &db, uint64_t start) {
    const traxrHeader &h = db.header();
    uint64_t end = db.data_end() > start ? db.data_end() : db.file().size();
    for (uint64_t uoff : {h.tree_list_uoff, h.session_list_uoff, h.chain_uoff, h.annotation_uoff,
                          h.string_list_uoff, h.redundant_list_uoff, h.esd_uoff, h.esd_table_uoff}) {
        if (uoff > start) {
            end = std::min(end, uoff);
        }
    }
    return end;
}

// Side files are read under the writer's lock, so that a part being
// rewritten is never read half-way.
class LiveLock {
  public:
    explicit LiveLock(const Database &db) {
        if (db.header().synchronous_control == 1) {
            lock_ = std::make_unique<ReaderLock>(LockPath(db.path()));
        }
    }
    Status Lock() { return lock_ != nullptr ? lock_->Lock() : Status(); }

  private:
    std::unique_ptr<ReaderLock> lock_;
};

}  // namespace

std::string EsdSidePath(const std::string &database_path, EsdPart part) {
    return database_path + (part == EsdPart::kData ? ".esd.exp" : ".esd.tbl");
}

Status LocateEsdPart(const Database &db, EsdPart part, EsdExtent *extent) {
    *extent = EsdExtent{};
    if (db.live()) {
        const std::string path = EsdSidePath(db.path(), part);
        if (!platform::Exists(path.c_str())) {
            return Status();
        }
        FileSource side;
        TAVRI_RETURN_IF_ERROR(side.Open(path, part == EsdPart::kData ? "esd file" : "esd table file"));
        extent->size = side.size();
        return Status();
    }
    const uint64_t start = part == EsdPart::kData ? db.header().esd_uoff : db.header().esd_table_uoff;
    if (start == 0) {
        return Status();
    }
    if (start < kDataStart || start > db.file().size()) {
        return Fail(TRAXR_ERR_CORRUPT, "the %s starts at %llu, outside the data of the file (%llu bytes)",
                    PartName(part), static_cast<unsigned long long>(start),
                    static_cast<unsigned long long>(db.file().size()));
    }
    extent->offset = start;
    extent->size = NextStructure(db, start) - start;
    return Status();
}

Status ReadEsdPart(const Database &db, EsdPart part, std::vector<uint8_t> *out) {
    out->clear();
    if (!db.live()) {
        EsdExtent extent;
        TAVRI_RETURN_IF_ERROR(LocateEsdPart(db, part, &extent));
        return extent.size == 0 ? Status() : db.file().Read(extent.offset, extent.size, out);
    }
    LiveLock lock(db);
    TAVRI_RETURN_IF_ERROR(lock.Lock());
    const std::string path = EsdSidePath(db.path(), part);
    if (!platform::Exists(path.c_str())) {
        return Status();
    }
    FileSource side;
    TAVRI_RETURN_IF_ERROR(side.Open(path, part == EsdPart::kData ? "esd file" : "esd table file"));
    return side.Read(0, side.size(), out);
}

}  // namespace tavri::reader
