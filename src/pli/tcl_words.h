// The word rules shared by the Tcl commands: numbers written exactly as
// their decimal value prints, hierarchical names with "/" for ".", and the
// advice for commands that need a system task context.
#ifndef TAVRI_PLI_TCL_WORDS_H
#define TAVRI_PLI_TCL_WORDS_H

#include <optional>
#include <string>
#include <string_view>

#include "sim/pli_acc.h"

namespace tavri::pli {

// The value of a word written exactly as "%d" prints it: no sign but a
// minus, no leading zero, nothing else, within the range of an int.
std::optional<int> ExactNumber(std::string_view word);

// The dotted form of a hierarchical name in which "/" may stand for ".",
// without one leading separator; none for a name longer than 1023
// characters.
std::optional<std::string> DottedName(std::string_view word);

// The object a name word names, looked up from the top of the design with
// the simulator's own routine (a look-up of the prompt, never traced); null
// when there is none.
handle FindByWord(const char *word);

// Commands that dump work with a system task instance: true in interactive
// mode or when the design calls $traxInteractive; otherwise prints the
// advice on the transcript and returns false.
bool HasTaskContext();

}  // namespace tavri::pli

#endif
