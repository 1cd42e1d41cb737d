#ifndef TAVRI_PLI_RESTORE_H
#define TAVRI_PLI_RESTORE_H

namespace tavri::pli {

// After a restart: reopens every file kept across the save under its
// ".restore" name and dumps the same scopes into it again.
void RestoreSavedFiles();

// At the start of a restart while saving: closes the writers without time
// tags and keeps the records for RestoreSavedFiles.
void KeepFilesForRestart();

}  // namespace tavri::pli

#endif
