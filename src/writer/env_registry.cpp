#include "writer/env_registry.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <unordered_set>

#include "platform/environment.h"
#include "writer/messages.h"

namespace tavri::writer {
namespace {

constexpr const char *kDefaultPrefix = "TAVRI_";
constexpr std::string_view kMarker = "%ENV%";
// Offset of the variable name inside a description text.
constexpr size_t kDescriptionNameOffset = 4;

struct Registry {
    std::mutex lock;
    std::string prefix = kDefaultPrefix;
    bool check_descriptions = false;
    EnvDescriptionIdsHook ids_hook = nullptr;
    EnvDescriptionTextHook text_hook = nullptr;
    bool descriptions_loaded = false;
    std::unordered_set<std::string> described;
};

Registry &State() {
    static Registry registry;
    return registry;
}

bool IsTrimmed(char c) { return c == ' ' || c == '\t' || c == '\n'; }

void LoadDescriptions(Registry &registry) {
    registry.descriptions_loaded = true;
    registry.described.clear();
    const int *ids = nullptr;
    const int count = registry.ids_hook(&ids);
    for (int i = 0; ids != nullptr && i < count; ++i) {
        const char *text = registry.text_hook(ids[i]);
        if (text == nullptr || ::strnlen(text, kDescriptionNameOffset) < kDescriptionNameOffset) {
            continue;
        }
        const char *name = text + kDescriptionNameOffset;
        registry.described.emplace(name, std::strcspn(name, " \t\n"));
    }
}

// True when the name has no description while the check is on.
bool LacksDescription(const char *name) {
    Registry &registry = State();
    std::lock_guard<std::mutex> hold(registry.lock);
    if (!registry.check_descriptions || registry.ids_hook == nullptr || registry.text_hook == nullptr) {
        return false;
    }
    if (!registry.descriptions_loaded) {
        LoadDescriptions(registry);
    }
    return registry.described.count(name) == 0;
}

}  // namespace

const char *GetEnvVar(const char *source, int line, const char *name) {
    if (name == nullptr) {
        return nullptr;
    }
    if (LacksDescription(name)) {
        Warn("The env. var. \"%s\" at %s:%d has no description in the resource file.\n", name,
             source != nullptr ? source : "", line);
    }
    const std::string alias = EnvAliasOf(name);
    const char *value = std::getenv(alias.c_str());
    return value != nullptr ? value : std::getenv(name);
}

std::string EnvAliasOf(const char *name) {
    const std::string prefix = EnvAliasPrefix();
    std::string_view rest = name != nullptr ? name : "";
    if (rest.starts_with(prefix)) {
        rest.remove_prefix(prefix.size());
        while (!rest.empty() && rest.front() == '_') {
            rest.remove_prefix(1);
        }
    }
    std::string alias = prefix;
    alias.append(rest);
    for (char &c : alias) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return alias;
}

void SetEnvAliasPrefix(const char *prefix) {
    std::string_view text = prefix != nullptr ? prefix : "";
    while (!text.empty() && IsTrimmed(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsTrimmed(text.back())) {
        text.remove_suffix(1);
    }
    std::string value = text.empty() ? std::string(kDefaultPrefix) : std::string(text);
    if (value.back() != '_') {
        value.push_back('_');
    }
    Registry &registry = State();
    std::lock_guard<std::mutex> hold(registry.lock);
    registry.prefix = std::move(value);
}

std::string EnvAliasPrefix() {
    Registry &registry = State();
    std::lock_guard<std::mutex> hold(registry.lock);
    return registry.prefix;
}

void SetEnvDescriptionCheck(bool on) {
    Registry &registry = State();
    std::lock_guard<std::mutex> hold(registry.lock);
    registry.check_descriptions = on;
}

void SetEnvDescriptionSource(EnvDescriptionIdsHook ids, EnvDescriptionTextHook text) {
    Registry &registry = State();
    std::lock_guard<std::mutex> hold(registry.lock);
    registry.ids_hook = ids;
    registry.text_hook = text;
    registry.descriptions_loaded = false;
    registry.described.clear();
}

void SetEnvVariables(const char *text) {
    if (text == nullptr) {
        return;
    }
    std::string_view rest = text;
    while (true) {
        const size_t end = rest.find('+');
        const std::string_view item = rest.substr(0, end);
        const size_t equals = item.find('=');
        if (equals != std::string_view::npos && equals > 0) {
            const std::string name(item.substr(0, equals));
            const std::string value(item.substr(equals + 1));
            platform::SetEnv(EnvAliasOf(name.c_str()).c_str(), value.c_str());
        }
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
}

std::string ExpandEnvMarker(const char *text, const char *value) {
    std::string result = text != nullptr ? text : "";
    const std::string_view replacement = value != nullptr ? value : "";
    if (replacement.size() < kMarker.size()) {
        // Each replacement shortens the text, so scanning again until no
        // marker is left (including markers that only form once the value is
        // in place) ends after at most one step per character. No marker
        // starts before the one just found, so a new one can start at most
        // four characters earlier.
        size_t at = result.find(kMarker);
        while (at != std::string::npos) {
            result.replace(at, kMarker.size(), replacement);
            at = result.find(kMarker, at >= kMarker.size() - 1 ? at - (kMarker.size() - 1) : 0);
        }
        return result;
    }
    // A longer value is put in once for every marker of the text, left to
    // right, and not scanned again: a value containing "%ENV%" would be
    // replaced forever, and one such as "ENV%%%%" next to further markers
    // would triple the text with every marker.
    std::string expanded;
    size_t from = 0;
    for (size_t at = result.find(kMarker); at != std::string::npos; at = result.find(kMarker, from)) {
        expanded.append(result, from, at - from);
        expanded.append(replacement);
        from = at + kMarker.size();
    }
    expanded.append(result, from, std::string::npos);
    return expanded;
}

}  // namespace tavri::writer
