// What the front end prints (tf_error, tf_warning, io_printf,
// mti_PrintMessage) and the command-line plus-arguments it reads.
#include <algorithm>

#include "support/model_sim.h"

namespace tavri::test {

void ModelSim::ReportError(std::string text) { transcript_.push_back({Channel::kError, std::move(text)}); }

void ModelSim::ReportWarning(std::string text) { transcript_.push_back({Channel::kWarning, std::move(text)}); }

void ModelSim::Print(std::string text) { transcript_.push_back({Channel::kPrint, std::move(text)}); }

void ModelSim::mti_PrintMessage(const char *text) {
    transcript_.push_back({Channel::kMessage, text == nullptr ? std::string() : std::string(text)});
}

std::string ModelSim::TranscriptText() const {
    std::string all;
    for (const Message &message : transcript_) {
        switch (message.channel) {
            case Channel::kError:
            case Channel::kWarning:
                all += message.channel == Channel::kError ? "ERROR: " : "WARNING: ";
                all += message.text;
                if (message.text.empty() || message.text.back() != '\n') {
                    all.push_back('\n');
                }
                break;
            case Channel::kPrint:
            case Channel::kMessage:
                all += message.text;
                break;
        }
    }
    return all;
}

int ModelSim::CountMessages(Channel channel) const {
    return static_cast<int>(std::count_if(transcript_.begin(), transcript_.end(),
                                          [channel](const Message &m) { return m.channel == channel; }));
}

// The rest of the first plus-argument that starts with "+" and `prefix`.
char *ModelSim::mc_scan_plusargs(const char *prefix) {
    if (prefix == nullptr) {
        Diagnose("mc_scan_plusargs: null prefix");
        return nullptr;
    }
    const std::string wanted = std::string("+") + prefix;
    for (std::string &arg : plusargs_) {
        if (arg.compare(0, wanted.size(), wanted) == 0) {
            return arg.data() + wanted.size();
        }
    }
    return nullptr;
}

}  // namespace tavri::test
