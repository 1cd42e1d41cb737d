// The template of an essential-signal dump: a database file, made by
// another tool, whose tree is copied into the new file and whose
// essential-signal information goes with it. Read with the reader's own
// decoding (Database); this adds the checks a template must pass, the
// replay of its tree record by record, and its essential-signal table and
// data (see esd_info.h for where they lie).
//
// Messages go to the hook set with SetTemplateMessageHook (standard error
// without one).
#ifndef TAVRI_READER_ESD_TEMPLATE_H
#define TAVRI_READER_ESD_TEMPLATE_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "reader/database.h"
#include "reader/esd_info.h"

namespace tavri::reader {

// What the replay hands over, one call per record of the template's tree.
enum TemplateRecordKind {
    kTemplateTreeBegin = 0,
    kTemplateScope = 1,     // name, second_name (null when none), scope_type
    kTemplateVariable = 2,  // the variable fields
    kTemplateScopeEnd = 3,  // the current scope closes
    kTemplateTreeEnd = 4,
};

struct TemplateRecord {
    const char *name = nullptr;
    const char *second_name = nullptr;
    uint8_t scope_type = 0;
    uint32_t idcode = 0;
    int32_t left = 0;
    int32_t right = 0;
    uint16_t data_type = 0;
    uint8_t direction = 0;
    uint8_t var_type = 0;  // low 6 bits the type code, high 2 bits the descriptor kind
    uint8_t bytes_per_bit = 0;
};

// Answers 1 for a kind it handles, 0 for one it does not.
using TemplateTreeCallback = int (*)(int kind, void *client, const TemplateRecord *record);
using TemplateMessageHook = void (*)(const char *text);

void SetTemplateMessageHook(TemplateMessageHook hook);

// The 32-bit word at offset 4, in the byte order the word at offset 8
// gives, is one of the database magic numbers.
bool IsDatabaseFile(const char *path);

class EsdTemplate {
  public:
    // Null after a message when the file cannot be read as a database.
    static std::unique_ptr<EsdTemplate> Open(const char *path);

    // The header's esd var count (offset 400) is not 0.
    bool HasEsdInfo() const { return db_.header().esd_var_count != 0; }
    uint8_t FileType() const { return db_.header().file_type; }

    void SetTreeCallback(TemplateTreeCallback callback, void *client);
    // Replays every tree: begin, then each scope with its variables and,
    // where the nesting goes back up, the scope ends; then the end. False
    // without a callback.
    bool ReadTree();

    // A finished file names an esd table (esd table uoff not 0); a live one
    // has a non-empty ".esd.tbl".
    bool HasEsdVars() const;
    // Reads the table and then the data. False after a message when a part
    // is missing or cannot be read; what was read stays available.
    bool ReadEsdInfo();

    uint32_t var_count() const { return static_cast<uint32_t>(table_.size() / 8); }
    const std::vector<uint8_t> &table() const { return table_; }
    const std::vector<uint8_t> &data() const { return data_; }

  private:
    bool ReadPart(EsdPart part, std::vector<uint8_t> *out);

    Database db_;
    TemplateTreeCallback callback_ = nullptr;
    void *client_ = nullptr;
    std::vector<uint8_t> table_;
    std::vector<uint8_t> data_;
};

}  // namespace tavri::reader

#endif
