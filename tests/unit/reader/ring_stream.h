// One stream of value changes written twice by the file builder: into a
// ring (a file under a dump limit) and into a file without a limit, with the
// same sessions, so that what the ring shows can be compared with the whole
// stream.
//
// Variables: a (idcode 1) toggles every step; b[7:0] (idcode 2) takes a new
// value every step; c (idcode 3) changes at the first three steps only, so
// that once the ring has dropped them its value comes from the redundant
// changes alone; d (idcode 4) never changes. A step is 10 time units. A ring
// session starts after each group of sessions, at the next step's time, with
// the current value of every variable that has one.
#ifndef TAVRI_TESTS_UNIT_READER_RING_STREAM_H
#define TAVRI_TESTS_UNIT_READER_RING_STREAM_H

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "trax_builder.h"

namespace tavri::reader_test {

class RingStream {
  public:
    // `ring_bytes` makes the ring that small (0: the 10 MB limit's ring).
    explicit RingStream(uint64_t ring_bytes, bool big_endian = false)
        : ring(big_endian), plain(big_endian) {
        ring.SetDumpLimit(10, ring_bytes);
        for (TraxBuilder *b : {&ring, &plain}) {
            b->AddTree({ScopeDef("top").Vars({VarDef("a", 1), VarDef("b[7:0]", 2).Bounds(7, 0),
                                              VarDef("c", 3), VarDef("d", 4)})});
        }
    }

    // `ring_sessions` ring sessions of `sessions` sessions of `steps` steps.
    void Run(uint32_t ring_sessions, uint32_t sessions, uint32_t steps) {
        for (uint32_t r = 0; r < ring_sessions; ++r) {
            ring.StartRingSession(Time(), Redundant());
            for (uint32_t s = 0; s < sessions; ++s) {
                std::vector<ArrayDef> arrays = Session(steps);
                ring.AddSession(arrays);
                plain.AddSession(arrays);
            }
        }
    }

    // The current value of every variable that has one, at the next step.
    std::vector<ArrayDef> Redundant() const {
        std::vector<ArrayDef> arrays;
        for (const auto &[idcode, value] : current_) {
            arrays.push_back(idcode == 2 ? Bus(idcode, {{Time(), value}})
                                         : Scalar(idcode, {{Time(), Codes(value)[0]}}));
        }
        return arrays;
    }

    // The next `steps` steps as one session's arrays.
    std::vector<ArrayDef> Session(uint32_t steps) {
        std::vector<std::pair<uint64_t, uint8_t>> a, c;
        std::vector<std::pair<uint64_t, std::string>> b;
        for (uint32_t i = 0; i < steps; ++i, ++step_) {
            const uint64_t t = Time();
            a.emplace_back(t, static_cast<uint8_t>(step_ % 2));
            current_[1] = std::string(1, static_cast<char>('0' + step_ % 2));
            std::string bits(8, '0');
            const unsigned v = (step_ * 37 + 5) % 256;
            for (unsigned bit = 0; bit < 8; ++bit) {
                if ((v >> bit) & 1) bits[7 - bit] = '1';
            }
            b.emplace_back(t, bits);
            current_[2] = bits;
            if (step_ < 3) {
                c.emplace_back(t, static_cast<uint8_t>(step_ == 2 ? 2 : step_));
                current_[3] = std::string(1, "01x"[step_]);
            }
        }
        std::vector<ArrayDef> arrays = {Scalar(1, a), Bus(2, b)};
        if (!c.empty()) arrays.push_back(Scalar(3, c));
        return arrays;
    }

    uint64_t Time() const { return 10 * step_; }

    TraxBuilder ring, plain;

  private:
    uint64_t step_ = 0;
    std::map<uint32_t, std::string> current_;  // idcode -> value as text
};

}  // namespace tavri::reader_test

#endif
