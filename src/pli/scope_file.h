// $traxDumpvarsToFile: dumps the instances listed in a scope file, one per
// line with an optional level. With one argument they go into the current
// file; with two, into a database file of their own (the scope-file mode).
#ifndef TAVRI_PLI_SCOPE_FILE_H
#define TAVRI_PLI_SCOPE_FILE_H

namespace tavri::pli {

int plicompileDumpvarsToFile(int data, int reason);
int plitaskDumpvarsToFile(int data, int reason);

// Reads the scope file and dumps what it lists into the current database
// file (opening one if needed), or records it while dumping is deferred.
// False when the scope file or the database file cannot be opened.
bool ReadScopeFile(const char *scope_file);

}  // namespace tavri::pli

#endif
