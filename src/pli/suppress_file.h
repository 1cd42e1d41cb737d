// Suppress files: text files that list one scope per line for $traxSuppress.
#ifndef TAVRI_PLI_SUPPRESS_FILE_H
#define TAVRI_PLI_SUPPRESS_FILE_H

namespace tavri::pli {

// Reads the file and suppresses each scope it names, with its subtree, when
// `descend` is set. Lines beginning with '#' are comments; of any other line
// only the first name counts. False when the file cannot be read (after its
// error message); unknown names and names of non-scopes only warn.
bool ReadSuppressFile(const char *file_name, bool descend);

}  // namespace tavri::pli

#endif
