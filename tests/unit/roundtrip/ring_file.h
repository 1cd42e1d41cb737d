// Reading a dump-limit (ring) file the way its own structures describe it,
// for the tests of the writer's ring: only the sessions whose vc chain
// blocks are at or past the header's `first valid vc chain block` are read;
// each variable's chain is followed back from the chain table while it
// stays in them, and its element arrays are decoded with the reader's own
// decoders. Works on a finished file and on a live one (side files).
#ifndef TAVRI_TESTS_UNIT_ROUNDTRIP_RING_FILE_H
#define TAVRI_TESTS_UNIT_ROUNDTRIP_RING_FILE_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "reader/block_cache.h"
#include "reader/byte_order.h"
#include "reader/chain.h"
#include "reader/file_source.h"
#include "reader/header.h"
#include "reader/sessions.h"
#include "reader/stream.h"
#include "reader/values.h"
#include "tavri/trax_reader.h"

namespace tavri::test {

struct RingTree {
    uint32_t var_count = 0;
    std::vector<reader::BlockLayout> scope_blocks, var_blocks, data_type_blocks;
};

class RingFile {
  public:
    // False with `error` set when the file or its structures cannot be read.
    bool Load(const std::string &path, bool live) {
        if (!Ok(file_.Open(path, "ring file"))) return false;
        std::vector<uint8_t> bytes;
        if (!Ok(file_.Read(0, 512, &bytes))) return false;
        reader::ByteOrder order;
        if (!Ok(reader::ParseHeader(bytes.data(), bytes.size(), file_.size(), &header, &order))) return false;
        order_ = reader::FieldOrder(order);
        std::vector<uint8_t> tree_bytes, sessions_bytes, redundant_bytes, chain_bytes;
        const uint64_t chain_length =
            (static_cast<uint64_t>(header.max_var_idcode) + 1) * (header.vc_chain_is_8byte ? 9 : 5);
        if (live) {
            if (!ReadSide(path + ".tlist", 0, UINT64_MAX, &tree_bytes) ||
                !ReadSide(path + ".slist", 0, header.session_list_size, &sessions_bytes) ||
                !ReadSide(path + ".rlist", 0, UINT64_MAX, &redundant_bytes) ||
                !ReadSide(path + ".chain", 0, chain_length, &chain_bytes)) {
                return false;
            }
        } else {
            const uint64_t redundant_length = ReadRedundantCount(header.redundant_list_uoff) * 8 + 5;
            if (!Ok(file_.Read(header.tree_list_uoff, header.session_list_uoff - header.tree_list_uoff, &tree_bytes)) ||
                !Ok(file_.Read(header.session_list_uoff, header.session_list_size, &sessions_bytes)) ||
                !Ok(file_.Read(header.redundant_list_uoff, redundant_length, &redundant_bytes)) ||
                !Ok(file_.Read(header.chain_uoff, chain_length, &chain_bytes))) {
                return false;
            }
        }
        if (!ParseTrees(tree_bytes) || !ParseRedundant(redundant_bytes)) return false;
        if (!Ok(reader::ParseSessionList(sessions_bytes.data(), sessions_bytes.size(), header.session_count,
                                         order_, &sessions)) ||
            !Ok(reader::ParseChainTable(chain_bytes.data(), chain_bytes.size(), header.vc_chain_is_8byte != 0,
                                        order_, &chain))) {
            return false;
        }
        cache_ = std::make_unique<reader::BlockCache>(&file_, 64);
        vc_ = std::make_unique<reader::Stream>("value-change", cache_.get(), true);
        chain_stream_ = std::make_unique<reader::Stream>("vc chain", cache_.get(), true);
        for (uint32_t s = 0; s < sessions.size(); ++s) {
            const reader::SessionRecord &session = sessions[s];
            if (!Present(session)) continue;
            for (uint32_t k = 0; k < session.vc_blocks.size(); ++k) {
                if (!Ok(vc_->Add(session.first_vc_block + k, session.vc_blocks[k], s))) return false;
            }
            for (uint32_t k = 0; k < session.chain_blocks.size(); ++k) {
                if (!Ok(chain_stream_->Add(session.first_chain_block + k, session.chain_blocks[k], s))) return false;
            }
        }
        return true;
    }

    // A session the ring still holds.
    bool Present(const reader::SessionRecord &session) const {
        return session.first_chain_block >= header.first_valid_vc_chain_block;
    }

    // The idcode's changes in the retained sessions, in time order.
    bool Changes(uint32_t idcode, std::vector<reader::Change> *out) {
        out->clear();
        if (idcode >= chain.last.size()) return true;
        std::vector<reader::ChainEntry> entries;
        reader::Cursor cursor(chain_stream_.get(), order_);
        for (uint64_t position = chain.last[idcode];
             position != 0 && (position >> 20) >= header.first_valid_vc_chain_block;) {
            reader::ChainEntry entry;
            if (!Ok(reader::ReadChainEntry(&cursor, position, &entry))) return false;
            entries.push_back(entry);
            if (entry.back_link == 0) break;
            position = entry.previous();
        }
        std::reverse(entries.begin(), entries.end());
        reader::ArrayContext context;
        context.order = order_;
        context.xtag_type = header.xtag_type;
        reader::Cursor values(vc_.get(), order_);
        for (const reader::ChainEntry &entry : entries) {
            if (!Ok(reader::ReadElementArray(&values, entry, context, out))) return false;
        }
        return true;
    }

    // Every stored block the file's index structures name as present.
    std::vector<reader::BlockLayout> PresentBlocks() const {
        std::vector<reader::BlockLayout> blocks;
        for (const RingTree &tree : trees) {
            for (const auto *list : {&tree.scope_blocks, &tree.var_blocks, &tree.data_type_blocks}) {
                blocks.insert(blocks.end(), list->begin(), list->end());
            }
        }
        for (const reader::SessionRecord &session : sessions) {
            if (Present(session)) {
                blocks.insert(blocks.end(), session.vc_blocks.begin(), session.vc_blocks.end());
                blocks.insert(blocks.end(), session.chain_blocks.begin(), session.chain_blocks.end());
            }
        }
        return blocks;
    }

    // The decompressed bytes of one block.
    bool Block(const reader::BlockLayout &layout, std::vector<uint8_t> *out) {
        reader::BlockData data;
        if (!Ok(cache_->Get(layout, &data))) return false;
        out->assign(data->begin(), data->end());
        return true;
    }

    uint64_t size() const { return file_.size(); }

    traxrHeader header{};
    std::vector<RingTree> trees;
    std::vector<reader::SessionRecord> sessions;
    reader::ChainTable chain;
    std::vector<std::pair<uint32_t, uint32_t>> redundant;  // per retained ring session
    std::string error;

  private:
    bool Ok(const reader::Status &status) {
        if (!status.ok() && error.empty()) error = status.message();
        return status.ok();
    }

    bool ReadSide(const std::string &path, uint64_t offset, uint64_t length, std::vector<uint8_t> *out) {
        reader::FileSource side;
        if (!Ok(side.Open(path, "side file"))) return false;
        return Ok(side.Read(offset, std::min(length, side.size() - offset), out));
    }

    uint64_t ReadRedundantCount(uint64_t at) {
        uint8_t bytes[5] = {};
        if (!file_.Read(at, 5, bytes).ok()) return 0;
        return order_.U32(bytes + 1);
    }

    bool ParseTrees(const std::vector<uint8_t> &bytes) {
        size_t at = 0;
        auto u32 = [&](uint32_t *value) {
            if (at + 4 > bytes.size()) return false;
            *value = order_.U32(bytes.data() + at);
            at += 4;
            return true;
        };
        auto layouts = [&](std::vector<reader::BlockLayout> *list) {
            uint32_t count = 0;
            if (!u32(&count) || at + 12ull * count > bytes.size()) return false;
            for (uint32_t i = 0; i < count; ++i, at += 12) list->push_back(reader::ReadLayout(order_, bytes.data() + at));
            return true;
        };
        while (at < bytes.size() && trees.size() < header.tree_count) {
            RingTree tree;
            if (bytes[at++] != 0xF0 || !u32(&tree.var_count) || !layouts(&tree.scope_blocks) ||
                !layouts(&tree.var_blocks) || !layouts(&tree.data_type_blocks)) {
                error = "the tree list cannot be parsed";
                return false;
            }
            trees.push_back(std::move(tree));
        }
        return true;
    }

    bool ParseRedundant(const std::vector<uint8_t> &bytes) {
        if (bytes.size() < 5 || bytes[0] != 0xFF || bytes.size() != 5 + 8ull * order_.U32(bytes.data() + 1)) {
            error = "the redundant list is malformed";
            return false;
        }
        for (size_t at = 5; at < bytes.size(); at += 8) {
            redundant.emplace_back(order_.U32(bytes.data() + at), order_.U32(bytes.data() + at + 4));
        }
        return true;
    }

    reader::FileSource file_;
    reader::FieldOrder order_;
    std::unique_ptr<reader::BlockCache> cache_;
    std::unique_ptr<reader::Stream> vc_;
    std::unique_ptr<reader::Stream> chain_stream_;
};

// A value as text: logic bits as 0 1 x z, most significant first.
inline std::string ValueText(const uint8_t *bits, uint32_t count) {
    std::string text;
    for (uint32_t i = 0; i < count; ++i) text += "01xz"[bits[i] & 3];
    return text;
}

// The values of every idcode as the ends of the time steps show them, from
// time `from` on: the value at `from`, then each later step whose value
// differs from the one before. Changes are added in time order per idcode.
// Restated values (a ring session's redundant changes) thus vanish.
class StepValues {
  public:
    using Steps = std::vector<std::pair<uint64_t, std::string>>;

    explicit StepValues(uint64_t from) : from_(from) {}

    void Add(uint32_t idcode, uint64_t time, std::string value) {
        Var &var = vars_[idcode];
        if (var.seen && time != var.time) Commit(var);
        var.seen = true;
        var.time = time;
        var.value = std::move(value);
    }

    std::map<uint32_t, Steps> Result() {
        std::map<uint32_t, Steps> result;
        for (auto &[idcode, var] : vars_) {
            if (var.seen) Commit(var);
            var.seen = false;
            Steps steps;
            if (!var.before.empty()) steps.emplace_back(from_, var.before);
            steps.insert(steps.end(), var.after.begin(), var.after.end());
            if (!steps.empty()) result[idcode] = std::move(steps);
        }
        return result;
    }

  private:
    struct Var {
        bool seen = false;
        uint64_t time = 0;
        std::string value;
        std::string before;  // value at `from`
        Steps after;
    };

    void Commit(Var &var) {
        if (var.time <= from_) {
            var.before = var.value;
            return;
        }
        const std::string &previous = var.after.empty() ? var.before : var.after.back().second;
        if (var.value != previous) var.after.emplace_back(var.time, var.value);
    }

    uint64_t from_;
    std::map<uint32_t, Var> vars_;
};

}  // namespace tavri::test

#endif
