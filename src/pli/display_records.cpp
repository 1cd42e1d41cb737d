#include "pli/display_records.h"

#include <cctype>
#include <cstring>
#include <optional>
#include <string>

#include "pli/display_format.h"
#include "pli/dump_file.h"
#include "pli/dump_modes.h"
#include "pli/dump_tree.h"
#include "pli/dumper_state.h"
#include "pli/notices.h"
#include "pli/prompt_flush.h"
#include "pli/substitute_hier.h"
#include "pli/trace.h"
#include "pli/traversal.h"
#include "pli/writer_api.h"
#include "sim/sim_routines.h"

namespace tavri::pli {
namespace {

void SyntaxText() { sim::g_sim.tf_error("Syntax - $traxDisplay(\"format\", args... [,tag]);"); }

// A call with `count` arguments fits a format whose directives end at
// argument `next_arg` - 1 without a tag, or at `count` - 1 with one.
bool CountFits(int count, int next_arg) { return count == next_arg - 1 || count == next_arg; }

void CutToLimit(std::string *text) {
    if (text->size() > kDisplayTextMax) {
        text->resize(kDisplayTextMax);
    }
}

void CreateTablesIfNeeded() {
    DisplayTables &tables = g_dumper.display;
    if (tables.created) {
        return;
    }
    tables.created = true;
    int high = 0;
    tables.step_time_low = static_cast<uint32_t>(sim::g_sim.tf_getlongsimtime(&high));
    tables.step_time_high = static_cast<uint32_t>(high);
}

// The variable's idcode when the tables know (tag, scope), else 0.
int32_t KnownVariable(const std::string &tag, handle scope) {
    auto &variables = g_dumper.display.variables;
    if (auto exact = variables.find({tag, scope}); exact != variables.end()) {
        return exact->second;
    }
    // Another handle of the same scope.
    for (auto it = variables.lower_bound({tag, nullptr}); it != variables.end() && it->first.first == tag; ++it) {
        if (sim::g_sim.acc_compare_handles(it->first.second, scope) != 0) {
            return it->second;
        }
    }
    return 0;
}

// The idcode of the display variable of (tag, scope), created in a tree of
// its own with the scopes above it; 0 when there is none.
int32_t FindOrCreateVariable(const std::string &tag, handle scope) {
    DumperState &state = g_dumper;
    if (!state.display.created) {
        return 0;
    }
    if (const int32_t known = KnownVariable(tag, scope); known != 0) {
        return known;
    }
    if (!IsValidDisplayTag(tag.c_str())) {
        sim::g_sim.tf_warning("$traxDisplay - The tag name is invalid.\n");
        return 0;
    }
    if (!BeginDumpTree(nullptr)) {
        return 0;
    }
    const int depth = CreateScopeFromRoot(scope);
    int32_t idcode = 0;
    if (MappedDepth(depth) > 0) {
        const auto next = static_cast<int32_t>(g_txw.GetMaxVarIdcode(state.current_writer) + 1);
        idcode = g_txw.CreateVarByIdcode(state.current_writer, tag.c_str(), next) == next ? next : 0;
    }
    EndScopesFromRoot(depth);
    EndDumpTree();
    if (idcode == 0) {
        // The scope lies in a level the hierarchy substitution drops.
        return 0;
    }
    state.display.variables.emplace(std::make_pair(tag, scope), idcode);
    return idcode;
}

// The step's text of the variable with `text` joined to it; none when the
// step's text was full already.
std::optional<std::string> JoinStepText(int32_t idcode, handle scope, const std::string &text) {
    DisplayTables &tables = g_dumper.display;
    for (DisplayStepText &step : tables.step_texts) {
        if (step.idcode == idcode && step.scope == scope) {
            if (step.text.size() >= kDisplayTextMax) {
                return std::nullopt;
            }
            step.text += text;
            CutToLimit(&step.text);
            return step.text;
        }
    }
    tables.step_texts.push_back({idcode, scope, text});
    return text;
}

void KeepLastText(int32_t idcode, const std::string &text) {
    for (DisplayLastText &last : g_dumper.display_last_texts) {
        if (last.idcode == idcode) {
            last.text = text;
            return;
        }
    }
    g_dumper.display_last_texts.push_back({idcode, text});
}

void RecordDisplay(int count, const char *format) {
    DumperState &state = g_dumper;
    std::string text;
    const FormatResult pass = RunDisplayFormat(format, &text);
    if (pass.outcome == FormatOutcome::kTypeError) {
        return;  // tf_error said which argument
    }
    if (pass.outcome == FormatOutcome::kInvalid || !CountFits(count, pass.next_arg)) {
        sim::g_sim.tf_warning("$traxDisplay - The argument number is mismatched.\n");
        return;
    }
    CutToLimit(&text);

    std::string tag = kDefaultDisplayTag;
    if (count == pass.next_arg) {
        const char *given = sim::g_sim.tf_getcstringp(count);
        if (given == nullptr || (given[0] != '\\' && std::strchr(given, ' ') != nullptr)) {
            sim::g_sim.tf_warning("$traxDisplay - The #%d argument is invalid tag name.", count);
            return;
        }
        tag = given;
    }

    const char *mipname = sim::g_sim.tf_mipname();
    handle scope = nullptr;
    if (mipname != nullptr) {
        const std::string path(mipname);  // the lookups may reuse the simulator's buffer
        scope = sim::g_sim.acc_handle_by_name(path.c_str(), nullptr);
        if (scope == nullptr) {
            scope = sim::g_sim.acc_handle_object(path.c_str());
        }
    }
    if (scope == nullptr) {
        sim::g_sim.tf_warning("$traxDisplay - Cannot get the scope handle of task calling.\n");
        return;
    }

    const int32_t idcode = FindOrCreateVariable(tag, scope);
    if (idcode == 0) {
        return;
    }
    DumpFileRecord *file = CurrentFile();
    if (file == nullptr) {
        return;
    }
    WriteTimeTag(*file);

    DisplayTables &tables = state.display;
    if (file->last_time_low != tables.step_time_low || file->last_time_high != tables.step_time_high) {
        tables.step_texts.clear();
        tables.step_time_low = file->last_time_low;
        tables.step_time_high = file->last_time_high;
    }
    const std::optional<std::string> value = JoinStepText(idcode, scope, text);
    // While dumping is off the writer would drop the value (with a message
    // each time), as the value-change callbacks do.
    if (!value.has_value() || !state.dumping_on) {
        return;
    }
    g_txw.CreateStrValByVarIdcode(state.current_writer, idcode, value->c_str(), nullptr);
    KeepLastText(idcode, *value);
    state.needs_flush = true;
    if (state.interactive) {
        FlushDumpFile(state.current_writer);
        state.needs_flush = false;
        NoticeCode(kNoticeFlushed);
    }
}

}  // namespace

bool IsValidDisplayTag(const char *tag) {
    if (tag == nullptr || tag[0] == '\0') {
        return false;
    }
    if (tag[0] == '\\') {
        const char *blank = std::strchr(tag + 1, ' ');
        return tag[1] != '\0' && tag[1] != ' ' && (blank == nullptr || blank[1] == '\0');
    }
    const auto first = static_cast<unsigned char>(tag[0]);
    if (std::isalpha(first) == 0 && first != '_') {
        return false;
    }
    for (const char *p = tag + 1; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (std::isalnum(c) == 0 && c != '_' && c != '$') {
            return false;
        }
    }
    return true;
}

int plicompileDisplay(int /*data*/, int /*reason*/) {
    sim::g_sim.acc_initialize();
    const int count = sim::g_sim.tf_nump();
    const char *format = count >= 1 ? sim::g_sim.tf_getcstringp(1) : nullptr;
    if (format == nullptr) {
        sim::g_sim.tf_error("Syntax Error - The #1 argument is not the format string");
        SyntaxText();
        return 0;
    }
    const std::string copy(format);
    const FormatResult pass = RunDisplayFormat(copy.c_str(), nullptr);
    if (pass.outcome == FormatOutcome::kTypeError) {
        return 0;
    }
    if (pass.outcome == FormatOutcome::kInvalid) {
        SyntaxText();
        return 0;
    }
    if (!CountFits(count, pass.next_arg)) {
        sim::g_sim.tf_error("Syntax Error - The argument number mismatch.");
        SyntaxText();
        return 0;
    }
    return 1;
}

int plitaskDisplay(int /*data*/, int /*reason*/) {
    DumperState &state = g_dumper;
    sim::g_sim.acc_initialize();
    TAVRI_TRACE("plitaskDisplay()\n");
    if (state.deferred) {
        return 1;
    }
    if (state.current_writer == nullptr && CreateDumpFile() == 0) {
        return 1;
    }
    if (state.current_writer == nullptr) {
        return 1;
    }
    if (!EnterSingleFileMode()) {
        sim::g_sim.tf_warning("$traxDisplay is already disabled.\n");
        return 0;
    }
    CreateTablesIfNeeded();
    const char *format = sim::g_sim.tf_getcstringp(1);
    if (format == nullptr) {
        sim::g_sim.tf_warning("$traxDisplay - The argument number is mismatched.\n");
        return 1;
    }
    const std::string copy(format);  // later argument reads may reuse its buffer
    RecordDisplay(sim::g_sim.tf_nump(), copy.c_str());
    return 1;
}

void RewriteDisplayTexts() {
    DumperState &state = g_dumper;
    if (!state.dumping_on || state.current_writer == nullptr) {
        return;
    }
    for (const DisplayLastText &last : state.display_last_texts) {
        g_txw.CreateStrValByVarIdcode(state.current_writer, last.idcode, last.text.c_str(), nullptr);
    }
}

void DropDisplayTexts() { g_dumper.display_last_texts.clear(); }

void FreeDisplayTables() { g_dumper.display = DisplayTables{}; }

}  // namespace tavri::pli
