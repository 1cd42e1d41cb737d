// String arguments of the tasks: a string literal, or any argument whose
// value the simulator can read as a string.
#ifndef TAVRI_PLI_STRING_ARG_H
#define TAVRI_PLI_STRING_ARG_H

#include <optional>
#include <string>

namespace tavri::pli {

// A copy of argument n's text: the literal's text when the argument is a
// string literal, else its value read as a string; none when that is empty
// or cannot be read.
std::optional<std::string> StringArgument(int n);

// Argument n is a string: the simulator gives an expression string for it,
// or can read its value as a string.
bool IsStringArgument(int n);

}  // namespace tavri::pli

#endif
