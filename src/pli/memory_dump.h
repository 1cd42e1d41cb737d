// $traxDumpMem and $traxDumpMemNow: the contents of a memory, or of a range
// of its cells, recorded on request (memories are not hooked for value
// changes). The first dump of a memory creates one variable per cell and a
// memory-depth variable whose value is the cell range dumped.
// $traxDumpMemNow writes at once; $traxDumpMem collects the requests of a
// time step and writes them once, after the values settled.
#ifndef TAVRI_PLI_MEMORY_DUMP_H
#define TAVRI_PLI_MEMORY_DUMP_H

namespace tavri::pli {

// The memory-depth and cell variables' writer types.
constexpr int kMemoryCellVarType = 17;
constexpr int kMemoryDepthVarType = 18;
// Words wider than this are not dumped.
constexpr int kMaxMemoryWidth = 0x200000;

int plicompileDumpMem(int data, int reason);
int plitaskDumpMem(int data, int reason);
int plitaskDumpMemNow(int data, int reason);
int plimiscDumpMem(int data, int reason);

// Writes every pending $traxDumpMem request now (at finish, reset, close).
void WritePendingMemories();
// Forgets every memory record; their variables stay in the file.
void FreeMemoryRecords();

}  // namespace tavri::pli

#endif
