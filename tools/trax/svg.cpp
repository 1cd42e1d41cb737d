// trax svg: the chosen signals of a database or a VCD file as a waveform
// picture (see svg_picture.h), from --from (0 by default) to --to (the
// file's last change by default), in the file's time unit. --var takes a
// signal's path (with "." or "/" between the names) or a scope's, which
// stands for every signal below it. The picture is written through an
// OutputFile: a failed run leaves the output as it was.
#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "commands.h"
#include "database.h"
#include "output_file.h"
#include "svg_picture.h"
#include "wave_source.h"

namespace trax {

int RunSvg(const Args &args) {
    std::string error;
    std::unique_ptr<WaveSource> source = OpenWave(args.file, &error);
    if (source == nullptr) {
        PrintError(error);
        return kExitError;
    }
    Picture picture;
    picture.from = args.from;
    picture.unit = source->time_unit();
    for (std::string want : args.vars) {
        std::replace(want.begin(), want.end(), '/', '.');
        bool found = false;
        for (const WaveSignal &signal : source->signals()) {
            if (signal.path == want || signal.path.starts_with(want + ".")) {
                picture.traces.push_back(Trace{signal, {}});
                found = true;
            }
        }
        if (!found) {
            PrintError(args.file + ": no signal " + want);
            return kExitError;
        }
    }
    std::vector<bool> read(source->slot_count(), false);
    std::vector<std::vector<uint32_t>> traces_of(source->slot_count());
    for (uint32_t i = 0; i < picture.traces.size(); ++i) {
        read[picture.traces[i].signal.slot] = true;
        traces_of[picture.traces[i].signal.slot].push_back(i);
    }
    source->Select(read);

    uint64_t last = args.from;
    WaveStep step;
    while (source->NextStep(&step, &error)) {
        if (step.time > args.to) break;
        last = std::max(last, step.time);
        for (const auto &[slot, value] : step.changes) {
            for (const uint32_t index : traces_of[slot]) {
                std::vector<TraceValue> &values = picture.traces[index].values;
                // Of what came before the picture only the last value counts.
                if (step.time <= args.from) values.clear();
                // A value set again (dumping switched on) is no change.
                const bool event = picture.traces[index].signal.kind == SignalKind::kEvent;
                if (!event && !values.empty() && values.back().value == value) continue;
                values.push_back(TraceValue{step.time, value});
            }
        }
    }
    if (!error.empty()) {
        PrintError(error);
        return kExitError;
    }
    picture.to = args.to_given ? args.to : last;

    const std::string svg = DrawSvg(picture);
    OutputFile output;
    if (!output.Open(args.output, args.file, &error)) {
        PrintError(error);
        return kExitError;
    }
    errno = 0;
    if (std::fwrite(svg.data(), 1, svg.size(), output.stream()) != svg.size()) {
        PrintError(output.WriteFailure(errno));
        return kExitError;
    }
    if (!output.Commit(&error)) {
        PrintError(error);
        return kExitError;
    }
    return kExitOk;
}

}  // namespace trax
