#include "pli/restore_name.h"

namespace tavri::pli {
namespace {

// Position of the last extension's dot in the last path component, or npos.
size_t LastExtension(std::string_view name) {
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return std::string_view::npos;
    }
    return dot;
}

// Cuts the last extension when it begins with ".restore".
std::string_view CutRestoreExtension(std::string_view name) {
    const size_t dot = LastExtension(name);
    if (dot != std::string_view::npos && name.substr(dot).starts_with(".restore")) {
        return name.substr(0, dot);
    }
    return name;
}

}  // namespace

std::string RestoreName(std::string_view saved_name) {
    const size_t dot = LastExtension(saved_name);
    if (dot != std::string_view::npos && saved_name.substr(dot) == ".trax") {
        std::string base(CutRestoreExtension(saved_name.substr(0, dot)));
        return base + ".restore.trax";
    }
    std::string base(CutRestoreExtension(saved_name));
    return base + ".restore";
}

}  // namespace tavri::pli
