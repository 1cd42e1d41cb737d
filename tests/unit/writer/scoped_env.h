// Sets or clears environment variables for the length of a test and puts
// the previous values back afterwards.
#ifndef TAVRI_TESTS_WRITER_SCOPED_ENV_H
#define TAVRI_TESTS_WRITER_SCOPED_ENV_H

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavri::blocks_test {

class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;
    ~ScopedEnv() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            it->second ? ::setenv(it->first.c_str(), it->second->c_str(), 1) : ::unsetenv(it->first.c_str());
        }
    }

    void Set(const std::string &name, const std::string &value) {
        Save(name);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    void Unset(const std::string &name) {
        Save(name);
        ::unsetenv(name.c_str());
    }

private:
    void Save(const std::string &name) {
        const char *value = std::getenv(name.c_str());
        saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace tavri::blocks_test

#endif
