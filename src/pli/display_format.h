// The format strings of $traxDisplay: one pass over the format that checks
// each directive's argument and, when asked, writes the text.
//
//   %b %c %d %h %o  an integral argument: a net, a reg, an integer, an
//                   integer parameter or a constant
//   %e %f %g        a real variable or real parameter
//   %s              an argument that reads as a string
//   %v              a scalar net, reg or port: its strength text
//   %m              the calling instance's path (no argument)
//
// A 0 after the % turns the padding of b, d, h and o off; the letter is
// taken in either case. Any other character after %, a second % included,
// makes the format invalid.
//
// Integral values are read from their A bits only (x reads as 1, z as 0).
// b, h and o show every bit of the argument, padded with zeros to its
// width; d shows the value, signed when the argument is, padded with spaces
// to (width - 1) / 3 characters.
#ifndef TAVRI_PLI_DISPLAY_FORMAT_H
#define TAVRI_PLI_DISPLAY_FORMAT_H

#include <cstdint>
#include <string>

namespace tavri::pli {

enum class FormatOutcome {
    kOk,
    kInvalid,    // an unknown directive
    kTypeError,  // an argument of the wrong kind (reported with tf_error)
};

struct FormatResult {
    FormatOutcome outcome = FormatOutcome::kOk;
    int next_arg = 2;  // 2 + the number of arguments the directives consume
};

// Runs the pass over `format` for the calling task; its directives consume
// the arguments from 2 on. With a null `text` it only counts and checks the
// argument kinds; otherwise it appends the formatted text to `*text`.
FormatResult RunDisplayFormat(const char *format, std::string *text);

// The digits of an integral value held in PLI value groups (A bits only) of
// `width` bits: in base 2, 8 or 16 (`bits_per_digit` 1, 3 or 4), padded with
// zeros to the width unless `no_padding`, lowercase.
std::string PowerOfTwoDigits(const uint32_t *a_words, int width, int bits_per_digit, bool no_padding);

// The decimal text of such a value, negative when `is_signed` and its top
// bit is set, padded with leading spaces to (width - 1) / 3 characters
// unless `no_padding`.
std::string DecimalDigits(const uint32_t *a_words, int width, bool is_signed, bool no_padding);

}  // namespace tavri::pli

#endif
