// Dump files: creating them (name, settings, first time tag), the time tags
// before value changes, flushing and closing them, and the writer's two
// calls back into the front end (write errors, the 2 GB limit).
#ifndef TAVRI_PLI_DUMP_FILE_H
#define TAVRI_PLI_DUMP_FILE_H

#include <optional>
#include <string>

#include "pli/dumper_state.h"

namespace tavri::pli {

// Creates the dump file, or makes an open one of the same name current.
// 1 when a file is current afterwards, 0 on failure (and when a file is
// already open in the single-file mode: one dump per process).
int CreateDumpFile();

// A record for a newly opened writer, put at the head of the files and made
// current; says that the file was created.
DumpFileRecord &AddFileRecord(txwObject *writer, const std::string &name);

// The run's settings that every new file takes (dump level, glitches,
// strength, handle scheme, scale unit, first time tag, simulator version,
// date, sequence numbers).
void ApplyRunSettings(DumpFileRecord &record);

// Forgets what the front end knows of the previous file's contents; called
// at each new dump file and at the start of a switched series.
void ResetPerFileState();

// The record of the current writer, or null.
DumpFileRecord *CurrentFile();

// Makes a record the current file.
void MakeCurrent(DumpFileRecord &record);

// Writes a time tag to the record's writer when the simulation time's low
// word differs from the last one written there.
void WriteTimeTag(DumpFileRecord &record);

// The next free numbered name for `name` (base_000.trax ... base_999.trax),
// or none when all are taken.
std::optional<std::string> NumberedName(const std::string &name);

void CloseAllDumpFile();
// Forgets a record whose writer is gone (a failed switch closed it): its
// variables write nowhere any more.
void DropFileRecord(DumpFileRecord &record);

// Closes every file without a last time tag, and the switch log; for a
// series that must stop.
void CloseWithoutTimeTags();
void FlushAllFiles();

// Closes the files a 2 GB switch made temporary.
void FinishTemporaryFiles();

// The writer's callbacks.
void WriteErrorPrompt(int error_number);
void TwoGigabyteRoutine(txwObject **writer);

// The scale unit for a resolution exponent (-15..2), or null.
const char *ScaleUnitFor(int exponent);

}  // namespace tavri::pli

#endif
