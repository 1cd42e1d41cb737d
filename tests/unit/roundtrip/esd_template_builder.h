// Essential-signal templates made with the writer, as another tool would
// make them: a tree, file type 8 or 15, the essential-signal table and
// expression data, and the header's esd var count set by hand (the writer
// leaves it 0 in the files it writes).
#ifndef TAVRI_TESTS_UNIT_ROUNDTRIP_ESD_TEMPLATE_BUILDER_H
#define TAVRI_TESTS_UNIT_ROUNDTRIP_ESD_TEMPLATE_BUILDER_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tavri/txw.h"
#include "writer/header_layout.h"
#include "writer/object.h"

namespace tavri::test {

struct TemplateVar {
    std::string name;
    int32_t left = 0;
    int32_t right = 0;
    uint8_t var_type = 4;  // reg
    uint8_t direction = 0;
    uint8_t bytes_per_bit = 0;
};

struct TemplateScope {
    std::string name;
    std::vector<TemplateVar> vars;
    std::vector<TemplateScope> children;
    uint8_t scope_type = 0;
};

struct TemplateEsd {
    std::vector<uint8_t> table;  // 8 bytes per essential-signal variable
    std::vector<uint8_t> data;
};

// Recognisable table and data bytes: `entries` table entries and `size`
// bytes of expression data.
inline TemplateEsd PatternEsd(uint32_t entries, uint32_t size) {
    TemplateEsd esd;
    for (uint32_t i = 0; i < entries * 8; ++i) esd.table.push_back(static_cast<uint8_t>(0xA0 + i * 7));
    for (uint32_t i = 0; i < size; ++i) esd.data.push_back(static_cast<uint8_t>(i * 13 + 1));
    return esd;
}

inline void WriteTemplateScope(txwObject *obj, const TemplateScope &scope, int32_t *idcode) {
    txwScopeParam param{};
    param.size = sizeof param;
    param.name = scope.name.c_str();
    param.scope_type = scope.scope_type;
    ASSERT_EQ(txwCreateScope2(obj, &param), 0) << scope.name;
    for (const TemplateVar &var : scope.vars) {
        txwVarParam v{};
        v.size = sizeof v;
        v.name = var.name.c_str();
        v.var_type = var.var_type;
        v.direction = var.direction;
        v.bytes_per_bit = var.bytes_per_bit;
        v.idcode = ++*idcode;
        v.left = var.left;
        v.right = var.right;
        ASSERT_EQ(txwCreateVarByVarIdcode2(obj, &v), 0) << var.name;
    }
    for (const TemplateScope &child : scope.children) WriteTemplateScope(obj, child, idcode);
    txw_EndScope(obj);
}

// Writes the template at `path`, idcodes 1, 2, ... in tree order (idcode 1
// must be a scalar: a live template records one change of it). A finished
// template is closed; a live one is flushed and its writer returned (the
// caller closes it). `esd_var_count` goes into the header at offset 400.
inline txwObject *WriteTemplate(const std::string &path, const std::vector<TemplateScope> &tops,
                                const TemplateEsd *esd, uint32_t esd_var_count, bool live,
                                uint32_t file_type = 8) {
    txwObject *obj = txw_OpenFile(path.c_str(), file_type);
    EXPECT_NE(obj, nullptr) << path;
    if (obj == nullptr) return nullptr;
    txw_CreateXCoor(obj, 0, 0);
    txw_BeginTree(obj);
    int32_t idcode = 0;
    for (const TemplateScope &top : tops) WriteTemplateScope(obj, top, &idcode);
    txw_EndTree(obj);
    if (esd != nullptr) {
        EXPECT_EQ(txw_AppendForeignESDInfo(obj, static_cast<uint32_t>(esd->table.size() / 8),
                                           static_cast<uint32_t>(esd->table.size()),
                                           static_cast<uint32_t>(esd->data.size()), esd->table.data(),
                                           esd->data.data()),
                  0);
    }
    obj->header.SetU32(tavri::writer::kHdrEsdVarCount, esd_var_count);
    if (live) {
        // One session, so that readers of the live file see a committed one.
        const uint8_t one = 1;
        if (idcode > 0) txw_CreateVarValueByIdcode(obj, 1, &one, 1);
        txw_Flush(obj);
        return obj;
    }
    EXPECT_EQ(txw_CloseFile(obj), 0);
    return nullptr;
}

}  // namespace tavri::test

#endif
