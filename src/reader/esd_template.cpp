#include "reader/esd_template.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/file_io.h"
#include "reader/byte_order.h"

namespace tavri::reader {
namespace {

constexpr uint32_t kMagicWords[] = {0x48D93DFCu, 0x48D93E1Cu, 0xFDE099C1u};

TemplateMessageHook g_hook = nullptr;

void Say(const char *format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char *format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (g_hook != nullptr) {
        g_hook(text);
    } else {
        std::fputs(text, stderr);
    }
}

}  // namespace

void SetTemplateMessageHook(TemplateMessageHook hook) { g_hook = hook; }

bool IsDatabaseFile(const char *path) {
    const platform::FileHandle file = platform::OpenForReading(path);
    if (file == platform::kNoFile) {
        return false;
    }
    uint8_t bytes[12] = {};
    const bool read = platform::ReadAt(file, 0, bytes, sizeof bytes);
    platform::Close(file);
    if (!read) {
        return false;
    }
    uint32_t word;
    std::memcpy(&word, bytes + 8, sizeof word);
    const std::optional<ByteOrder> order = ByteOrderFromWord(word);
    if (!order) {
        return false;
    }
    const uint32_t magic = FieldOrder(*order).U32(bytes + 4);
    for (uint32_t known : kMagicWords) {
        if (magic == known) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<EsdTemplate> EsdTemplate::Open(const char *path) {
    try {
        auto opened = std::unique_ptr<EsdTemplate>(new EsdTemplate());
        const Status status = opened->db_.Open(path);
        if (!status.ok()) {
            Say("Failed to open this trax file(%s).\n", path);
            Say("Failure reason: %s\n", status.message().c_str());
            return nullptr;
        }
        return opened;
    } catch (const std::bad_alloc &) {
        Say("Memory is exhausted, failed to read the trax file(%s).\n", path);
        return nullptr;
    }
}

void EsdTemplate::SetTreeCallback(TemplateTreeCallback callback, void *client) {
    callback_ = callback;
    client_ = client;
}

bool EsdTemplate::ReadTree() {
    if (callback_ == nullptr) {
        return false;
    }
    const TreeModel &tree = db_.tree();
    for (const TreeInfo &info : tree.trees()) {
        callback_(kTemplateTreeBegin, client_, nullptr);
        uint32_t open = 0;
        for (uint32_t index = info.first_scope; index < info.first_scope + info.scope_count; ++index) {
            const ScopeRecord &scope = tree.scopes()[index];
            for (; open > scope.depth; --open) {
                callback_(kTemplateScopeEnd, client_, nullptr);
            }
            TemplateRecord record;
            record.name = scope.name.c_str();
            record.second_name = scope.second_name.empty() ? nullptr : scope.second_name.c_str();
            record.scope_type = scope.type;
            callback_(kTemplateScope, client_, &record);
            ++open;
            for (uint32_t at = scope.first_var; at < scope.first_var + scope.var_count; ++at) {
                const VarRecord &var = tree.vars()[at];
                TemplateRecord variable;
                variable.name = var.name.c_str();
                variable.idcode = var.idcode;
                variable.left = var.left;
                variable.right = var.right;
                variable.data_type = var.has_data_type ? var.data_type : 0;
                variable.direction = var.direction;
                variable.var_type = var.var_type;
                variable.bytes_per_bit = var.bytes_per_bit;
                callback_(kTemplateVariable, client_, &variable);
            }
        }
        for (; open > 0; --open) {
            callback_(kTemplateScopeEnd, client_, nullptr);
        }
        callback_(kTemplateTreeEnd, client_, nullptr);
    }
    return true;
}

bool EsdTemplate::HasEsdVars() const {
    if (!db_.live()) {
        return db_.header().esd_table_uoff != 0;
    }
    EsdExtent table;
    return LocateEsdPart(db_, EsdPart::kTable, &table).ok() && table.size != 0;
}

bool EsdTemplate::ReadPart(EsdPart part, std::vector<uint8_t> *out) {
    const bool is_table = part == EsdPart::kTable;
    const std::string name = db_.live() ? EsdSidePath(db_.path(), part) : db_.path();
    const unsigned endian = db_.header().endian_type;
    if (endian != 1 && endian != 2) {
        Say(is_table ? "__GetESDTableFile: Invalid endian(%u)\n" : "__GetESDFile: Invalid endian(%u)\n", endian);
        return false;
    }
    EsdExtent extent;
    Status status = LocateEsdPart(db_, part, &extent);
    if (!status.ok()) {
        Say(is_table ? "Failed to open the esd table file(%s)\n" : "Failed to open the esd file(%s)\n", name.c_str());
        Say("Failure reason: %s\n", status.message().c_str());
        return false;
    }
    if (extent.size == 0) {
        Say(is_table ? "__ReadESDTableFile: esd_tbl_file_size is 0!\n" : "__ReadESDFile: esd_file_size is 0!\n");
        return false;
    }
    status = ReadEsdPart(db_, part, out);
    if (!status.ok()) {
        Say(is_table ? "Failed to read the esd table file(%s)\n" : "ReadESDFile: Failed to read the esd file(%s)\n",
            name.c_str());
        Say("Failure reason: %s\n", status.message().c_str());
        return false;
    }
    return true;
}

bool EsdTemplate::ReadEsdInfo() {
    try {
        const bool table = ReadPart(EsdPart::kTable, &table_);
        // A table that is not whole entries keeps its whole entries only.
        table_.resize(table_.size() - table_.size() % kEsdTableEntryBytes);
        return ReadPart(EsdPart::kData, &data_) && table;
    } catch (const std::bad_alloc &) {
        Say("Memory is exhausted, failed to read the ESD info.\n");
        return false;
    }
}

}  // namespace tavri::reader
