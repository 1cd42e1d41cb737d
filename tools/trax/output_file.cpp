#include "output_file.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "platform/file_io.h"
#include "platform/host_info.h"

namespace trax {
namespace fs = std::filesystem;
namespace {

// The temporary file of the export under way, removed if a signal ends the
// tool before it is renamed. Signals the tool was started to ignore stay
// ignored.
const char *volatile g_temporary = nullptr;
#ifdef SIGHUP
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
#else
constexpr int kEndingSignals[] = {SIGINT, SIGTERM};  // Windows has no hangup signal
#endif
void (*g_previous[std::size(kEndingSignals)])(int) = {};

extern "C" void RemoveTemporaryAndDie(int signal_number) {
    if (g_temporary != nullptr) {
        tavri::platform::Remove(g_temporary);
    }
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void GuardTemporary(const std::string *temporary) {
    if (temporary != nullptr) {
        g_temporary = temporary->c_str();
        for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
            g_previous[i] = std::signal(kEndingSignals[i], SIG_IGN);
            if (g_previous[i] != SIG_IGN) std::signal(kEndingSignals[i], RemoveTemporaryAndDie);
        }
    } else if (g_temporary != nullptr) {
        for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
            std::signal(kEndingSignals[i], g_previous[i]);
        }
        g_temporary = nullptr;
    }
}

std::string Reason(int error_number) { return tavri::platform::ErrorText(error_number); }

}  // namespace

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Open(const std::string &path, const std::string &input, std::string *error,
                      Placement placement) {
    path_ = path;
    if (path == "-") {
        stream_ = stdout;
        return true;
    }
    std::error_code code;
    const fs::file_status status = fs::status(path, code);  // through links
    if (fs::exists(status)) {
        if (fs::equivalent(path, input, code)) {
            *error = "the output " + path + " is the input file " + input +
                     "; give another output name";
            return false;
        }
        if (!fs::is_regular_file(status) || placement == kInPlace) {
            // A device or a FIFO: written in place, as the user asked (a
            // growing output too).
            stream_ = std::fopen(path.c_str(), "wb");
            if (stream_ == nullptr) {
                *error = "cannot open " + path + ": " + Reason(errno);
                return false;
            }
            return true;
        }
    }
    if (placement == kInPlace) {
        stream_ = std::fopen(path.c_str(), "wb");
        if (stream_ == nullptr) {
            *error = "cannot create " + path + ": " + Reason(errno);
            return false;
        }
        return true;
    }
    // The name may be a link to the file to replace; the temporary file
    // goes beside the file the link names, so that the rename replaces it.
    fs::path target = path;
    if (fs::exists(status) && fs::is_symlink(fs::symlink_status(path, code))) {
        target = fs::canonical(path, code);
        if (code) {
            *error = "cannot follow the link " + path + ": " + code.message();
            return false;
        }
    }
    const std::string stem = "." + target.filename().string() + ".tmp" +
                             std::to_string(tavri::platform::ProcessId()) + "-";
    for (int attempt = 0; stream_ == nullptr; ++attempt) {
        temporary_ = (target.parent_path() / (stem + std::to_string(attempt))).string();
        stream_ = std::fopen(temporary_.c_str(), "wbx");  // created here, never an existing one
        if (stream_ == nullptr && (errno != EEXIST || attempt >= 100)) {
            *error = "cannot create " + path + ": " + Reason(errno);
            temporary_.clear();
            return false;
        }
    }
    GuardTemporary(&temporary_);
    if (fs::exists(status)) {
        fs::permissions(temporary_, status.permissions(), code);  // keep the file's mode
    }
    path_ = target.string();
    return true;
}

bool OutputFile::Commit(std::string *error) {
    if (stream_ == stdout) {
        stream_ = nullptr;
        if (std::fflush(stdout) != 0) {
            *error = WriteFailure(errno);
            return false;
        }
        return true;
    }
    std::FILE *stream = stream_;
    stream_ = nullptr;
    errno = 0;
    const bool bad = std::ferror(stream) != 0;
    if (std::fclose(stream) != 0 || bad) {
        *error = WriteFailure(errno);
        Discard();
        return false;
    }
    if (!temporary_.empty()) {
        if (tavri::platform::Rename(temporary_.c_str(), path_.c_str()) != 0) {
            *error = "cannot put the output in place as " + path_ + ": " + Reason(errno);
            Discard();
            return false;
        }
        GuardTemporary(nullptr);
        temporary_.clear();
    }
    return true;
}

std::string OutputFile::WriteFailure(int error_number) const {
    const std::string name = path_ == "-" ? std::string("the standard output") : path_;
    return "writing " + name + " failed" +
           (error_number != 0 ? ": " + Reason(error_number) : std::string());
}

void OutputFile::Discard() {
    if (stream_ != nullptr && stream_ != stdout) {
        std::fclose(stream_);
    }
    stream_ = nullptr;
    if (!temporary_.empty()) {
        GuardTemporary(nullptr);
        tavri::platform::Remove(temporary_.c_str());
        temporary_.clear();
    }
}

}  // namespace trax
