// trax svg: the chosen signals of a database or a VCD file as a waveform
// picture (see svg_picture.h), from --from (0 by default) to --to (the last
// change of a chosen signal by default, found by reading the file once
// more), in the file's time unit. Memory and the picture's size are bounded
// by the picture's width, not by the number of changes. --var takes a
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

    WaveStep step;
    picture.to = args.to;
    if (!args.to_given) {
        // The picture ends at the last change: a first pass finds it, so
        // that the second can fit the changes to the pixels.
        std::unique_ptr<WaveSource> scan = OpenWave(args.file, &error);
        if (scan == nullptr) {
            PrintError(error);
            return kExitError;
        }
        scan->Select(read);
        picture.to = args.from;
        while (scan->NextStep(&step, &error)) picture.to = std::max(picture.to, step.time);
        if (!error.empty()) {
            PrintError(error);
            return kExitError;
        }
    }
    // Per trace: the pixel column of its last value and how many of its
    // values lie in that column.
    std::vector<std::pair<uint32_t, uint64_t>> column(picture.traces.size(), {UINT32_MAX, 0});
    while (source->NextStep(&step, &error)) {
        if (step.time > picture.to) break;
        const uint32_t at = PlotColumn(picture, step.time);
        for (const auto &[slot, value] : step.changes) {
            for (const uint32_t index : traces_of[slot]) {
                std::vector<TraceValue> &values = picture.traces[index].values;
                // Of what came before the picture only the last value counts.
                if (step.time <= args.from) values.clear();
                // A value set again (dumping switched on) is no change.
                const bool event = picture.traces[index].signal.kind == SignalKind::kEvent;
                if (!event && !values.empty() && values.back().value == value) continue;
                auto &[last_column, in_column] = column[index];
                if (step.time > args.from && at == last_column && in_column >= kChangesPerColumn) {
                    values.back().value = value;
                    ++values.back().hidden;
                    continue;
                }
                in_column = at == last_column && step.time > args.from ? in_column + 1 : 1;
                last_column = at;
                values.push_back(TraceValue{step.time, value});
            }
        }
    }
    if (!error.empty()) {
        PrintError(error);
        return kExitError;
    }

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
