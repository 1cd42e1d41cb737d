#include "writer/esd_info.h"

#include <cerrno>
#include <utility>

#include "writer/header_layout.h"
#include "writer/messages.h"
#include "writer/object.h"
#include "writer/write_all.h"

namespace tavri::writer {
namespace {

// Writes one side file whole, replacing what it held.
void WriteSideFile(platform::FileHandle *file, const std::string &name, const std::vector<uint8_t> &bytes) {
    if (*file == platform::kNoFile) {
        *file = platform::CreateFile(name.c_str());
        if (*file == platform::kNoFile) {
            const int error_number = errno;
            Warn("Failed to open the esd file(%s)\n", name.c_str());
            Warn("Failure reason: %s\n", platform::ErrorText(error_number));
            return;
        }
    }
    platform::Truncate(*file, 0);
    platform::Seek(*file, 0);
    if (!bytes.empty()) {
        WriteAll(*file, bytes.data(), bytes.size());
    }
    platform::Commit(*file);
}

void WriteSideFiles(txwObject *obj) {
    WriteSideFile(&obj->esd_expression_file, obj->file_name + ".esd.exp", obj->esd_data);
    WriteSideFile(&obj->esd_table_file, obj->file_name + ".esd.tbl", obj->esd_table);
}

void AppendPart(txwObject *obj, const std::vector<uint8_t> &bytes, uint32_t header_offset) {
    if (bytes.empty()) {
        return;
    }
    obj->header.SetU64(header_offset, obj->offsets->tell(obj->main_file));
    WriteAll(obj->main_file, bytes.data(), bytes.size());
}

}  // namespace

void AppendEsdInfo(txwObject *obj) {
    if (!obj->foreign_esd) {
        return;
    }
    AppendPart(obj, obj->esd_data, kHdrEsdUoff);
    AppendPart(obj, obj->esd_table, kHdrEsdTableUoff);
}

void CarryEsdInfo(txwObject *old_obj, txwObject *obj) {
    obj->foreign_esd = std::exchange(old_obj->foreign_esd, false);
    obj->esd_var_count = old_obj->esd_var_count;
    obj->esd_data = std::move(old_obj->esd_data);
    obj->esd_table = std::move(old_obj->esd_table);
    if (obj->foreign_esd) {
        WriteSideFiles(obj);
    }
}

}  // namespace tavri::writer

using namespace tavri::writer;

extern "C" int txw_AppendForeignESDInfo(txwObject *obj, uint32_t var_count, uint32_t table_size,
                                        uint32_t data_size, const uint8_t *table, const uint8_t *data) {
    if ((table_size != 0 && table == nullptr) || (data_size != 0 && data == nullptr) ||
        table_size / 8 != var_count || table_size % 8 != 0) {
        Warn("txw_AppendForeignESDInfo: invalid ESD info (table %u bytes for %u variables, data %u bytes).\n",
             table_size, var_count, data_size);
        Warn("txw_AppendForeignESDInfo: It could not append foreign ESD info!\n");
        return TXW_ERROR;
    }
    obj->foreign_esd = true;
    obj->esd_var_count = var_count;
    obj->esd_table.assign(table, table + table_size);
    obj->esd_data.assign(data, data + data_size);
    WriteSideFiles(obj);
    return TXW_OK;
}
