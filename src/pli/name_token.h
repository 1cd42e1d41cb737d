// The instance name at the start of a line of a suppress file or a scope
// file: quoted names, escaped identifiers and plain hierarchical names.
#ifndef TAVRI_PLI_NAME_TOKEN_H
#define TAVRI_PLI_NAME_TOKEN_H

#include <string>
#include <string_view>

namespace tavri::pli {

// The first name of `text` after leading spaces and tabs. A name in double
// quotes runs to the closing quote; any other ends at a space, except that
// an escaped identifier keeps everything from its backslash up to and
// including the next space ("top.\a b .c" is one name). A tab, a carriage
// return or a line end ends every name. Empty when there is none.
std::string NameToken(std::string_view text);

}  // namespace tavri::pli

#endif
