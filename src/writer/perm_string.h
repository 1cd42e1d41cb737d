// Permanent strings: interned copies that live until the process ends. Equal
// texts give the same pointer, so permanent strings can be compared by
// address and kept without ownership.
#ifndef TAVRI_WRITER_PERM_STRING_H
#define TAVRI_WRITER_PERM_STRING_H

namespace tavri::writer {

// The permanent copy of the text; null for null, one shared empty string for
// "".
const char *MakePermString(const char *text);

// The permanent copy of the characters from `begin` up to (not including)
// `end`; null when `begin` is null or `end` lies before it.
const char *MakePermStringPart(const char *begin, const char *end);

}  // namespace tavri::writer

#endif
