// A waveform read step by step from a database or a VCD file, the two in
// one form: its signals by hierarchical path and, for every time step, the
// value each changed signal has at the end of that step. Memory grows with
// the number of signals, not with the length of the file.
//
// Paths join the scope names and the variable's name with "."; a range at
// the end of the name is left out ("top.cpu.data" for "data [7:0]"), unless
// two variables of one scope would then share a path ("d [0]", "d [1]"):
// those keep their range, a one-bit range [n:n] written [n].
//
// Values: logic values as 0 1 x z bits, most significant first, at the full
// width (a VCD's shorter vector extended as VCD defines); reals as the
// shortest decimal that reads back the same double; strings as their text
// (a VCD's \xHH escapes undone); an event as "1" in the steps where it
// occurs. While dumping is off, logic values are x (a database's dump-off
// marker sets them so, as `trax vcd` writes), reals are "nan" and events do
// not occur; in the step where dumping switches on or off no event occurs
// (files list every value there, events too). A database's dump-on gives
// back the values from before the dump-off, as `trax vcd` does.
#ifndef TAVRI_TOOLS_TRAX_WAVE_SOURCE_H
#define TAVRI_TOOLS_TRAX_WAVE_SOURCE_H

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "values.h"

namespace trax {

// Logic, event, real or string, whichever file it comes from.
using SignalKind = VarKind;

struct WaveSignal {
    std::string path;
    SignalKind kind = SignalKind::kLogic;
    uint32_t width = 1;
    uint32_t slot = 0;  // the names of one variable (aliases) share a slot
};

struct WaveStep {
    uint64_t time = 0;
    std::vector<std::pair<uint32_t, std::string>> changes;  // slot, value; each slot once
};

class WaveSource {
  public:
    virtual ~WaveSource() = default;

    const std::string &file() const { return file_; }
    const std::string &time_unit() const { return time_unit_; }  // as the file gives it
    const std::vector<WaveSignal> &signals() const { return signals_; }
    uint32_t slot_count() const { return slot_count_; }

    // Reads only the slots marked (by slot; all when never called). Call
    // before the first step.
    virtual void Select(const std::vector<bool> &slots) = 0;
    // The next time step with a change, or false with *error empty at the
    // end; false with *error set when the file cannot be read on. Steps come
    // in increasing time.
    virtual bool NextStep(WaveStep *step, std::string *error) = 0;

  protected:
    // Sets the paths of signals_ from each one's scope path and its
    // reference (its name and any range), as described above.
    void SetPaths(const std::vector<std::pair<std::string, std::string>> &scope_and_reference);

    std::string file_;
    std::string time_unit_;
    std::vector<WaveSignal> signals_;
    uint32_t slot_count_ = 0;
};

// Opens a database, or a VCD file (one whose first non-blank byte is '$').
// Null with *error set (one line) when it cannot be read.
std::unique_ptr<WaveSource> OpenWave(const std::string &path, std::string *error);

// The length of a time unit ("1ns", "10 ps", "100us") in femtoseconds;
// false for anything else.
bool TimeUnitFemtoseconds(const std::string &unit, uint64_t *femtoseconds);

// Whether two reals given as text are equal: as numbers, to 12 significant
// digits (a simulator may print fewer than a double holds); NaN equals NaN.
bool RealsEqual(const std::string &a, const std::string &b);

}  // namespace trax

#endif
