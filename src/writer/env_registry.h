// The writer's environment variables. Every variable the writer reads can
// also be given under an alias: the alias prefix (default "TAVRI_") followed
// by the name in upper case, so TRAX_ENV_SYNC_CONTROL may be set as
// TAVRI_TRAX_ENV_SYNC_CONTROL. The alias wins when both are set.
//
// Optionally every name read is checked against the host's list of
// documented variables, so that undocumented variables are noticed during
// development.
#ifndef TAVRI_WRITER_ENV_REGISTRY_H
#define TAVRI_WRITER_ENV_REGISTRY_H

#include <string>

namespace tavri::writer {

// Description source: the first hook sets `*ids` to the identifiers of all
// descriptions and returns their number; the second returns the text of one
// description, in which the variable name starts 4 bytes in and runs to the
// first blank, tab, newline or the end.
using EnvDescriptionIdsHook = int (*)(const int **ids);
using EnvDescriptionTextHook = const char *(*)(int id);

// The value of the variable under its alias, else under its own name, else
// null. `source` and `line` name the caller in the description warning.
const char *GetEnvVar(const char *source, int line, const char *name);

// "TAVRI_" + the name with a leading alias prefix (and the underscores after
// it) dropped, in upper case.
std::string EnvAliasOf(const char *name);

// The text is trimmed of blanks, tabs and newlines and gets a trailing "_"
// unless it has one; null or an empty text restores "TAVRI_".
void SetEnvAliasPrefix(const char *prefix);
std::string EnvAliasPrefix();

void SetEnvDescriptionCheck(bool on);

// Replaces the description source (null hooks: none); the list is read on
// the first check after this call and kept.
void SetEnvDescriptionSource(EnvDescriptionIdsHook ids, EnvDescriptionTextHook text);

// "NAME=value+NAME2=value2": each item is put into the environment under the
// alias of its name. Items without "=" or without a name are skipped.
void SetEnvVariables(const char *text);

// The text with every "%ENV%" replaced by the value. A value shorter than
// the marker is replaced until no marker is left, also markers that only form
// once the value is in place; a longer value is put in once for each marker
// of the text and not scanned again, so that expansion always ends.
std::string ExpandEnvMarker(const char *text, const char *value);

}  // namespace tavri::writer

#define TXW_GETENV(name) ::tavri::writer::GetEnvVar(__FILE__, __LINE__, (name))

#endif
