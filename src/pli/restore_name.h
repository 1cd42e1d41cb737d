#ifndef TAVRI_PLI_RESTORE_NAME_H
#define TAVRI_PLI_RESTORE_NAME_H

#include <string>
#include <string_view>

namespace tavri::pli {

// The name a dump file is reopened under after a restart: a.trax becomes
// a.restore.trax, a.restore.trax stays a.restore.trax, wave becomes
// wave.restore. Only the last path component is looked at.
std::string RestoreName(std::string_view saved_name);

}  // namespace tavri::pli

#endif
