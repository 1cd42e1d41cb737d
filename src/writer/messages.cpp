#include "writer/messages.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace tavri::writer {
namespace {

struct Channels {
    bool warnings_off = false;
    bool information_off = false;
    MessageHook warning = nullptr;
    MessageHook error = nullptr;
    MessageHook information = nullptr;
};

Channels g_channels;

// Messages are formatted into one buffer first; longer texts are cut.
constexpr int kMessageBufferSize = 4096;

// Formats a message and hands it to the installed hook, or prints it with
// `prefix` on `fallback` when no hook is installed.
// A message often reports a failed system call whose caller reads errno
// afterwards, so printing it leaves errno as it was.
__attribute__((format(printf, 4, 0))) void Deliver(MessageHook hook, FILE *fallback, const char *prefix,
                                                   const char *format, va_list args) {
    const int error_number = errno;
    char text[kMessageBufferSize];
    std::vsnprintf(text, sizeof text, format, args);
    if (hook != nullptr) {
        hook(text);
    } else {
        std::fprintf(fallback, "%s%s", prefix, text);
    }
    errno = error_number;
}

}  // namespace

void Warn(const char *format, ...) {
    if (g_channels.warnings_off) {
        return;
    }
    va_list args;
    va_start(args, format);
    Deliver(g_channels.warning, stderr, "*WARN* ", format, args);
    va_end(args);
}

void Fail(const char *format, ...) {
    va_list args;
    va_start(args, format);
    Deliver(g_channels.error, stderr, "*ERROR* ", format, args);
    va_end(args);
    std::exit(1);
}

void Inform(const char *format, ...) {
    if (g_channels.information_off) {
        return;
    }
    va_list args;
    va_start(args, format);
    Deliver(g_channels.information, stdout, "", format, args);
    va_end(args);
}

void SetWarningSwitch(bool suppress) { g_channels.warnings_off = suppress; }

void SetInformationSwitch(bool suppress) { g_channels.information_off = suppress; }

void SetMessageHooks(MessageHook warning, MessageHook error, MessageHook information) {
    g_channels.warning = warning;
    g_channels.error = error;
    g_channels.information = information;
}

void AssertionFailed(const char *source, int line) {
    if (source != nullptr) {
        std::fprintf(stderr, "Assertion failed, file %s, line %d\n", source, line);
    } else {
        std::fprintf(stderr, "Assertion failed\n");
    }
    std::fflush(stderr);
    std::abort();
}

void AssertionFailedWith(const char *condition, const char *source, int line, const char *message) {
    std::fprintf(stderr, "Failed to assert [%s]: file %s, line %d\n", condition, source, line);
    std::fprintf(stderr, "Message:%s\n", message);
    std::fflush(stderr);
    std::abort();
}

}  // namespace tavri::writer
