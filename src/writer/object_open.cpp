#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "platform/file_lock.h"
#include "platform/writer_presence.h"
#include "writer/compressor.h"
#include "writer/debug_log.h"
#include "writer/env_registry.h"
#include "writer/header_io.h"
#include "writer/lock.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/object_lifecycle.h"
#include "writer/record_size.h"
#include "writer/region.h"
#include "writer/settings.h"
#include "writer/xtag.h"

using namespace tavri::writer;
namespace platform = tavri::platform;

namespace {

txwObject *g_open_writers = nullptr;
txwObject *g_parked = nullptr;  // closed, memory released at the next open

// File types 3 to 5 have no session flush of their own: they are refused.
bool FileTypeHasFlush(uint32_t file_type) { return file_type < 3 || file_type > 5; }

platform::FileHandle CreateSideFile(txwObject *obj, const char *suffix, const char *what) {
    const std::string name = obj->file_name + suffix;
    const platform::FileHandle file = platform::CreateFile(name.c_str());
    if (file < 0) {
        Warn("trax writer: Failed to open %s file(%s)\n", what, name.c_str());
    }
    return file;
}

enum class MainFileOpen { kOpened, kLiveWriter, kFailed };

// Opens the database and marks it as this writer's before anything in it
// changes, so that a file another live writer is writing is never cut short
// and its side files are never touched. A name removed and made again while
// it is being opened is opened again; a mark that is busy is asked again for
// a moment, since the one testing or removing the file holds it briefly.
MainFileOpen OpenMainFile(const char *name, platform::FileHandle *out) {
    constexpr int kAttempts = 5;
    constexpr unsigned kPauseMs = 20;
    MainFileOpen outcome = MainFileOpen::kFailed;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const platform::FileHandle file = platform::OpenOrCreate(name);
        if (file < 0) {
            return MainFileOpen::kFailed;
        }
        const int marked = platform::TakeWriterMark(file);
        const bool same = platform::IsSameFile(file, name);
        if (marked != 0 && same) {
            // A system without such locks (-1) still gets its file.
            platform::Truncate(file, 0);
            *out = file;
            return MainFileOpen::kOpened;
        }
        platform::Close(file);
        outcome = same ? MainFileOpen::kLiveWriter : MainFileOpen::kFailed;
        if (same && attempt + 1 < kAttempts) {
            platform::SleepMilliseconds(kPauseMs);
        }
    }
    return outcome;
}

}  // namespace

uint64_t tavri::writer::NextWriterSerial() {
    static uint64_t last = 0;
    return ++last;
}

namespace {

// The object's constructor: creates the database, its lock file and its side
// files, and fills the header image with the defaults and the given settings.
int DftConstructor(const txwOpenParam &param, txwObject **out) {
    *out = nullptr;
    auto *obj = new (std::nothrow) txwObject;
    if (obj == nullptr) {
        Warn("Memory resources exhausted!\n");
        return TXW_NO_MEMORY;
    }
    if (const char *log_name = TXW_GETENV("TXW_ENV_DBG"); log_name != nullptr) {
        obj->debug_log = std::fopen(log_name, "a");
        if (obj->debug_log == nullptr) {
            Warn("Failed to open debug file(%s).\n", log_name);
        }
    }
    obj->check_mode = TXW_GETENV("TXW_ENV_CHECK_MODE") != nullptr;
    obj->calc_min_time_step = TXW_GETENV("TRAX_ENV_CALC_MIN_TIME_STEP_INCREMENT") != nullptr;

    const MainFileOpen opened = OpenMainFile(param.file_name, &obj->main_file);
    if (opened != MainFileOpen::kOpened) {
        if (opened == MainFileOpen::kLiveWriter) {
            Warn("Another process is writing the TRAX file %s; it is left as it is.\n", param.file_name);
        } else {
            Warn("Failed to open the file named %s\n", param.file_name);
        }
        FreeObject(obj);
        if (opened == MainFileOpen::kLiveWriter) {
            errno = EBUSY;  // the reason a caller can give for the refusal
        }
        return TXW_CANNOT_OPEN_FILE;
    }
    obj->file_name = param.file_name;
    BuildLockPaths(obj);
    platform::Remove(obj->lock_file_name.c_str());
    platform::Remove(obj->dot_lock_file_name.c_str());

    const char *sync = TXW_GETENV("TRAX_ENV_SYNC_CONTROL");
    const bool sync_control = sync == nullptr || std::strcmp(sync, "off") != 0;
    obj->header.SetU8(kHdrSyncControl, sync_control ? 1 : 0);
    if (sync_control && CreateLockFile(obj) != 0) {
        FreeObject(obj);
        return TXW_CANNOT_OPEN_FILE;
    }

    obj->tree_list_file = CreateSideFile(obj, ".tlist", "tree list");
    if (obj->tree_list_file < 0) {
        FreeObject(obj);
        return TXW_CANNOT_OPEN_FILE;
    }
    obj->session_list_file = CreateSideFile(obj, ".slist", "session list");
    if (obj->session_list_file < 0) {
        FreeObject(obj);
        return TXW_CANNOT_OPEN_FILE;
    }
    obj->chain_file = CreateSideFile(obj, ".chain", "chain");
    if (obj->chain_file < 0) {
        FreeObject(obj);
        return TXW_CANNOT_OPEN_FILE;
    }

    HeaderImage &header = obj->header;
    obj->first_session = true;
    header.SetU8(kHdrFileStatus, kStatusBatch);
    header.SetU8(kHdrXtagType, kXtagNone);
    header.SetU32(kHdrMinTimeStep, 0xFFFFFFFFu);
    header.SetU32(kHdrMinTimeStep + 4, 0xFFFFFFFFu);
    obj->xtag_size = 4;
    header.SetU16(kHdrMaxStringLength, 8);
    header.SetU32(kHdrMaxDtIdcode, 511);
    header.SetU8(kHdrPointerLength, 4);
    if (TXW_GETENV("TRAX_ENV_DUMP_SEQ_NUM") != nullptr) {
        header.SetU8(kHdrHasSeqNum, 1);
        obj->seq_num_size = 4;
    }
    header.SetU16(kHdrMaxGlitchNumber, GlitchNumberFromEnvironment());
    header.SetU8(kHdrFileType, static_cast<uint8_t>(param.file_type));

    // Byte order of this host, birth time, magic, byte-order mark, version.
    const uint32_t probe = 1;
    uint8_t first_byte;
    std::memcpy(&first_byte, &probe, 1);
    const uint8_t endian = first_byte == 1 ? 1 : 2;
    header.SetU8(kHdrEndianType, endian);
    const std::time_t now = std::time(nullptr);
    uint32_t birth = 0;
    if (now == static_cast<std::time_t>(-1)) {
        Warn("__DftConstructor(): sysTime() call failed, errno = %d\n", errno);
    } else {
        birth = static_cast<uint32_t>(now);
    }
    // The time goes into the half that byte order puts first; the other is 0.
    header.SetU32(endian == 1 ? kHdrBirthTime : kHdrBirthTime + 4, birth);
    DebugLog(obj, "A new trax file has been created(%u %u).\n", header.U32(kHdrBirthTime),
             header.U32(kHdrBirthTime + 4));
    header.SetU32(kHdrMagic, kMagicPointer4);
    header.SetU32(kHdrByteOrder, kByteOrderWord);
    header.SetU8(kHdrFlag61, 1);
    header.SetU8(kHdrFlag62, 1);
    header.SetU8(kHdrVersionMajor, kVersionMajor);
    header.SetU8(kHdrVersionMinor, kVersionMinor);

    header.SetText(kHdrScopeSeparator, kScopeSeparatorWidth,
                   param.scope_separator != nullptr ? param.scope_separator : "/");
    header.SetText(kHdrScaleUnit, kScaleUnitWidth, param.scale_unit != nullptr ? param.scale_unit : "1ns");
    header.SetText(kHdrSimulationDate, kSimulationDateWidth,
                   param.simulation_date != nullptr ? param.simulation_date : "unknown");
    header.SetText(kHdrSimulatorVersion, kSimulatorVersionWidth,
                   param.simulator_version != nullptr ? param.simulator_version : "unknown");
    obj->separator_given = param.scope_separator != nullptr;
    obj->simulation_date_set = param.simulation_date != nullptr;
    obj->simulator_version_set = param.simulator_version != nullptr;
    obj->scale_unit_set = true;

    obj->bcn_last_val_vm = RegionOpen("bcn_last_val_vm");
    if (obj->bcn_last_val_vm == nullptr) {
        Warn("Memory resources exhausted!\n");
        std::exit(-1);
    }

    obj->vc_block_entries = 7;
    obj->vc_block_size = 7 * (obj->xtag_size + obj->seq_num_size) + 16;
    obj->offsets = SelectOffsetOps(header.U8(kHdrPointerLength), endian);
    SelectXtagConstructors(obj);
    obj->ref_count = 1;
    obj->ceiling = Xtag{0x7FFFFFFFu, 0xFFFFFFFFu};
    *out = obj;
    return 0;
}

}  // namespace

namespace tavri::writer {

txwObject *OpenWriters() { return g_open_writers; }

void FreeParkedObject() {
    if (g_parked != nullptr) {
        FreeObject(g_parked);
        g_parked = nullptr;
    }
}

void UnlinkOpenWriter(txwObject *obj) {
    for (txwObject **link = &g_open_writers; *link != nullptr; link = &(*link)->next) {
        if (*link == obj) {
            *link = obj->next;
            break;
        }
    }
    obj->next = nullptr;
}

void ParkClosedObject(txwObject *obj) {
    UnlinkOpenWriter(obj);
    FreeParkedObject();
    g_parked = obj;
}

}  // namespace tavri::writer

extern "C" int txwOpenFile2(const txwOpenParam *param, txwObject **out) {
    *out = nullptr;
    txwOpenParam widened{};
    const void *record = nullptr;
    const int status = CheckRecordSize(nullptr, param, sizeof(txwOpenParam), &widened, &record);
    if (status != 0) {
        return status;
    }
    const txwOpenParam &use = *static_cast<const txwOpenParam *>(record);
    if (use.file_name == nullptr) {
        Warn("txwOpenFile2(): trax_fname is NULL.\n");
        std::exit(-9);
    }
    if (use.file_type > TXW_FILE_TYPE_MAX) {
        Warn("txwOpenFile2(): invalid file type(%u).\n", use.file_type);
        std::exit(-20);
    }
    if (!FileTypeHasFlush(use.file_type)) {
        Warn("txwOpenFile2(): file type(%u) is not supported.\n", use.file_type);
        return TXW_ERROR;
    }
    for (txwObject *obj = g_open_writers; obj != nullptr; obj = obj->next) {
        if (obj->file_name == use.file_name) {
            ++obj->ref_count;
            *out = obj;
            return 0;
        }
    }
    FreeParkedObject();

    txwObject *obj = nullptr;
    const int constructed = DftConstructor(use, &obj);
    if (constructed != 0) {
        return constructed;
    }
    obj->compressor = CompressorCreate();
    if (obj->compressor == nullptr) {
        Warn("trax writer: Compression resources exhausted!\n");
        Warn("trax writer: This problem may be caused by too many open files.\n");
        FreeObject(obj);
        return TXW_OPEN_RESOURCE;
    }
    ChooseLockScheme(obj);
    const int saved = Lock(obj);
    if (!HoldsLock(obj)) {
        Warn("Failed to lock trax files!\n");
        Warn("Lock daemon is not started or is not working correctly.\n");
        Warn("Please contact your system administrator.\n");
        Warn("You could do \"setenv TRAX_ENV_SYNC_CONTROL off\" as a workaround.\n");
        Unlock(obj, saved);
        FreeObject(obj);
        return TXW_OPEN_RESOURCE;
    }
    WriteFixedSection(obj);
    WriteOffsetAndStatisticsSections(obj);
    WriteEnvironmentRecord(obj);
    WriteReservedArea(obj);
    platform::Seek(obj->main_file, kFirstBlockOffset);
    Unlock(obj, saved);
    obj->next = g_open_writers;
    g_open_writers = obj;
    *out = obj;
    return 0;
}

extern "C" txwObject *txw_OpenFile(const char *file_name, uint32_t file_type) {
    txwOpenParam param{};
    param.size = sizeof param;
    param.file_name = file_name;
    param.file_type = file_type;
    txwObject *obj = nullptr;
    return txwOpenFile2(&param, &obj) == 0 ? obj : nullptr;
}
