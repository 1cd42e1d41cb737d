// The file an export writes. A regular file, new or existing, is written as
// a temporary file beside it and renamed over it only once complete: a
// failed export leaves what was there, and the tool never removes a file it
// did not create. A device, a FIFO or the standard output ("-") is written
// directly and never removed. An output that is the input file itself,
// under any name (another spelling, a link), is refused.
#ifndef TAVRI_TOOLS_TRAX_OUTPUT_FILE_H
#define TAVRI_TOOLS_TRAX_OUTPUT_FILE_H

#include <cstdio>
#include <string>

namespace trax {

class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();  // an export not committed leaves no temporary file
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // kInPlace writes a regular file directly, so that it can be read while
    // it grows; an output that fails stays as far as it got.
    enum Placement { kReplaceWhenDone, kInPlace };
    // False with a one-line *error when the output cannot be opened.
    bool Open(const std::string &path, const std::string &input, std::string *error,
              Placement placement = kReplaceWhenDone);
    std::FILE *stream() const { return stream_; }
    // Closes the output; a temporary file then takes the output's name.
    bool Commit(std::string *error);
    // What to call a failed write: the output's name and the system's reason.
    std::string WriteFailure(int error_number) const;

  private:
    void Discard();

    std::string path_;       // as given
    std::string temporary_;  // "" when written directly
    std::FILE *stream_ = nullptr;
};

}  // namespace trax

#endif
