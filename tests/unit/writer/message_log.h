// Collects the writer's warning and information messages while alive and
// restores the default channels afterwards.
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
        Information().clear();
        writer::SetWarningSwitch(false);
        writer::SetInformationSwitch(false);
        writer::SetMessageHooks(&AddWarning, nullptr, &AddInformation);
    }
    MessageLog(const MessageLog &) = delete;
    MessageLog &operator=(const MessageLog &) = delete;
    ~MessageLog() { writer::SetMessageHooks(nullptr, nullptr, nullptr); }

    const std::vector<std::string> &warnings() const { return Warnings(); }
    const std::vector<std::string> &information() const { return Information(); }
    void Clear() {
        Warnings().clear();
        Information().clear();
    }

private:
    static std::vector<std::string> &Warnings() {
        static std::vector<std::string> messages;
        return messages;
    }
    static std::vector<std::string> &Information() {
        static std::vector<std::string> messages;
        return messages;
    }
    static void AddWarning(const char *text) { Warnings().emplace_back(text); }
    static void AddInformation(const char *text) { Information().emplace_back(text); }
};

}  // namespace tavri::blocks_test

#endif
