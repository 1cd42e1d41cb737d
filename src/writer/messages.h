// The writer's message channels (warning, error, information) and its
// assertions. Every writer source reports through these, so that an
// application can route all writer messages through its own hooks.
#ifndef TAVRI_WRITER_MESSAGES_H
#define TAVRI_WRITER_MESSAGES_H

#include <cstdarg>

namespace tavri::writer {

using MessageHook = void (*)(const char *text);

// Warning channel: dropped while the warning switch is set; otherwise handed
// to the warning hook, or written to standard error behind "*WARN* ".
void Warn(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Error channel: handed to the error hook, or written to standard error
// behind "*ERROR* "; then the process exits with status 1.
[[noreturn]] void Fail(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Information channel: dropped while the information switch is set;
// otherwise handed to the information hook, or written to standard output.
void Inform(const char *format, ...) __attribute__((format(printf, 1, 2)));

void SetWarningSwitch(bool suppress);
void SetInformationSwitch(bool suppress);
void SetMessageHooks(MessageHook warning, MessageHook error, MessageHook information);

// Writes "Assertion failed, file %s, line %d\n" (or "Assertion failed\n"
// without a source) to standard error and aborts.
[[noreturn]] void AssertionFailed(const char *source, int line);

// Writes "Failed to assert [%s]: file %s, line %d\n" and "Message:%s\n" and
// aborts.
[[noreturn]] void AssertionFailedWith(const char *condition, const char *source, int line,
                                      const char *message);

}  // namespace tavri::writer

// Internal consistency check of a writer source; `source` is the writer
// source's own name ("object", "vc", "alloc", ...).
#define TXW_ASSERT(condition, source)                                   \
    do {                                                                \
        if (!(condition)) {                                             \
            ::tavri::writer::AssertionFailed((source), __LINE__);       \
        }                                                               \
    } while (0)

#endif
