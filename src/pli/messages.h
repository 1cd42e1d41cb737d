// The front end's message printers. Every line goes to the simulator's
// transcript behind its prefix, unless the message switches or a
// suppression text drop it. The writer's own messages come through three
// hooks and obey the same switches.
#ifndef TAVRI_PLI_MESSAGES_H
#define TAVRI_PLI_MESSAGES_H

#include <string>

namespace tavri::pli {

void PrintInfo(const char *format, ...) __attribute__((format(printf, 1, 2)));
void PrintWarning(const char *format, ...) __attribute__((format(printf, 1, 2)));
void PrintError(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The writer's warning, error and information hooks.
void WriterWarningHook(const char *text);
void WriterErrorHook(const char *text);
void WriterInfoHook(const char *text);

// Adds a suppression text (empty texts and texts already listed are not).
void AddSuppressionText(const std::string &text);
// Splits a list at any of the separators and adds each piece.
void AddSuppressionList(const std::string &list, const char *separators);
// Adds each line of a file (trailing blanks, tabs and line ends removed);
// a file that cannot be opened is ignored.
void AddSuppressionFile(const char *path);

}  // namespace tavri::pli

#endif
