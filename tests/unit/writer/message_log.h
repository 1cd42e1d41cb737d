// Collects the writer's warnings while alive; the default channel is back
// afterwards.
#ifndef TAVRI_TESTS_WRITER_MESSAGE_LOG_H
#define TAVRI_TESTS_WRITER_MESSAGE_LOG_H

#include <string>
#include <vector>

#include "writer/messages.h"

namespace tavri::blocks_test {

class MessageLog {
public:
    MessageLog() {
        Warnings().clear();
        writer::SetWarningSwitch(false);
        writer::SetMessageHooks([](const char *text) { Warnings().emplace_back(text); }, nullptr, nullptr);
    }
    MessageLog(const MessageLog &) = delete;
    MessageLog &operator=(const MessageLog &) = delete;
    ~MessageLog() { writer::SetMessageHooks(nullptr, nullptr, nullptr); }

    const std::vector<std::string> &warnings() const { return Warnings(); }

private:
    static std::vector<std::string> &Warnings() {
        static std::vector<std::string> messages;
        return messages;
    }
};

}  // namespace tavri::blocks_test

#endif
