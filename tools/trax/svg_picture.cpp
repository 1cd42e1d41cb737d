#include "svg_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "values.h"

namespace trax {
namespace {

constexpr double kAxisHeight = 34;
constexpr double kRowHeight = 32;
constexpr double kHigh = 6;   // from a row's top
constexpr double kLow = 26;
constexpr double kMid = 16;
constexpr double kPlotWidth = kPlotColumns;
constexpr double kCharWidth = 7.5;  // of the 12px monospace font
constexpr char kLine[] = "#1a7f37";
constexpr char kUnknown[] = "#d1242f";
constexpr char kFloat[] = "#bf8700";
constexpr char kNumber[] = "#6f42c1";
constexpr char kEvent[] = "#0550ae";
constexpr char kHidden[] = "#808080";

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string out = text;
    if (out.ends_with(".0")) out.resize(out.size() - 2);
    return out;
}

// Text for XML: markup characters as entities, and bytes that XML cannot
// hold (control characters, bytes that are not UTF-8) as \xHH.
std::string Escape(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        for (size_t k = 1; k < length; ++k) {
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) length = 0;
        }
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if ((c < 0x20 && c != '\t') || c == 0x7F || length == 0) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
        } else {
            out.append(text, i, length);
            i += length - 1;
        }
    }
    return out;
}

// A vector's label: hexadecimal when every bit is 0 or 1, one letter when
// every bit is that x or z, else the bits.
std::string VectorLabel(const std::string &bits) {
    if (bits.find_first_not_of("01") == std::string::npos) {
        std::string hex;
        for (size_t end = bits.size(); end > 0;) {
            const size_t start = end >= 4 ? end - 4 : 0;
            unsigned digit = 0;
            for (size_t i = start; i < end; ++i) digit = digit * 2 + (bits[i] == '1');
            hex.insert(hex.begin(), "0123456789abcdef"[digit]);
            end = start;
        }
        return hex;
    }
    if (bits.find_first_not_of(bits[0]) == std::string::npos) return std::string(1, bits[0]);
    return bits;
}

std::string Shown(const WaveSignal &signal, const std::string &value) {
    if (signal.kind == SignalKind::kString) return "\"" + value + "\"";
    return value;
}

// The step of the time axis: 1, 2 or 5 times a power of ten, about ten ticks.
uint64_t TickStep(uint64_t span) {
    uint64_t step = 1;
    while (step <= UINT64_MAX / 10) {
        for (const uint64_t factor : {1, 2, 5}) {
            if (span / (step * factor) <= 10) return step * factor;
        }
        step *= 10;
    }
    return step;
}

class Drawing {
  public:
    explicit Drawing(const Picture &picture) : p_(picture) {
        size_t longest = AxisTitle().size();
        for (const Trace &trace : p_.traces) longest = std::max(longest, trace.signal.path.size());
        // Room for the names, and for half the first tick's label.
        left_ = 8 + std::min<double>(static_cast<double>(longest), 60) * kCharWidth + 48;
        right_ = left_ + kPlotWidth;
    }
    std::string Draw();

  private:
    std::string AxisTitle() const { return "time (" + p_.unit + ")"; }
    double X(uint64_t time) const {
        const double span = p_.to > p_.from ? static_cast<double>(p_.to - p_.from) : 1.0;
        return left_ + static_cast<double>(time - p_.from) * kPlotWidth / span;
    }
    void Axis(double height);
    void Row(const Trace &trace, double top);
    void Scalar(const Trace &trace, double top);
    void Bus(const Trace &trace, double top);
    void Events(const Trace &trace, double top);
    std::string Title(const Trace &trace, const std::string &value, uint64_t from, uint64_t to) const;
    // Calls visit(value, from, to) for each value the trace holds inside the picture.
    template <typename Visit>
    void Segments(const Trace &trace, Visit visit) const;

    const Picture &p_;
    double left_ = 0, right_ = 0;
    std::string s_;
};

template <typename Visit>
void Drawing::Segments(const Trace &trace, Visit visit) const {
    for (size_t i = 0; i < trace.values.size(); ++i) {
        const uint64_t end = i + 1 < trace.values.size() ? std::min(trace.values[i + 1].time, p_.to) : p_.to;
        const uint64_t start = std::max(trace.values[i].time, p_.from);
        if (trace.values[i].time > p_.to || (end < p_.from)) continue;
        // A value replaced at the start of the picture was never shown.
        if (i + 1 < trace.values.size() && trace.values[i + 1].time <= p_.from) continue;
        visit(trace.values[i].value, start, end);
    }
}

std::string Drawing::Title(const Trace &trace, const std::string &value, uint64_t from, uint64_t to) const {
    return "<title>" + Escape(trace.signal.path + " = " + Shown(trace.signal, value) + " @ " +
                              std::to_string(from) + ".." + std::to_string(to)) +
           "</title>";
}

void Drawing::Axis(double height) {
    s_ += "<g class=\"axis\" font-family=\"monospace\" font-size=\"12\">\n";
    s_ += "<text x=\"8\" y=\"22\">" + Escape(AxisTitle()) + "</text>\n";
    s_ += "<line x1=\"" + Number(left_) + "\" y1=\"26\" x2=\"" + Number(right_) +
          "\" y2=\"26\" stroke=\"#000\"/>\n";
    const uint64_t span = p_.to - p_.from;
    const uint64_t step = TickStep(span);
    for (uint64_t tick = (p_.from + step - 1) / step * step; tick >= p_.from && tick <= p_.to; tick += step) {
        const std::string x = Number(X(tick));
        s_ += "<line x1=\"" + x + "\" y1=\"26\" x2=\"" + x + "\" y2=\"" + Number(height) +
              "\" stroke=\"#e6e6e6\"/>\n";
        s_ += "<text x=\"" + x + "\" y=\"18\" text-anchor=\"middle\">" + std::to_string(tick) + "</text>\n";
        if (tick > UINT64_MAX - step) break;
    }
    s_ += "</g>\n";
}

void Drawing::Scalar(const Trace &trace, double top) {
    const double high = top + kHigh, low = top + kLow, mid = top + kMid;
    double last_y = -1;
    Segments(trace, [&](const std::string &value, uint64_t from, uint64_t to) {
        const std::string x0 = Number(X(from)), x1 = Number(X(to));
        const std::string title = Title(trace, value, from, to);
        const char bit = value.size() == 1 ? value[0] : '?';
        double y = -1;
        if (bit == '0' || bit == '1') {
            y = bit == '1' ? high : low;
            if (last_y >= 0 && last_y != y) {
                s_ += "<line x1=\"" + x0 + "\" y1=\"" + Number(last_y) + "\" x2=\"" + x0 + "\" y2=\"" +
                      Number(y) + "\" stroke=\"" + kLine + "\" stroke-width=\"2\"/>\n";
            }
            s_ += "<line class=\"v" + std::string(1, bit) + "\" x1=\"" + x0 + "\" y1=\"" + Number(y) +
                  "\" x2=\"" + x1 + "\" y2=\"" + Number(y) + "\" stroke=\"" + kLine +
                  "\" stroke-width=\"2\">" + title + "</line>\n";
        } else if (bit == 'z') {
            s_ += "<line class=\"vz\" x1=\"" + x0 + "\" y1=\"" + Number(mid) + "\" x2=\"" + x1 + "\" y2=\"" +
                  Number(mid) + "\" stroke=\"" + kFloat + "\" stroke-width=\"2\">" + title + "</line>\n";
        } else {
            // x, or a value in a form the row cannot show: unknown.
            s_ += "<rect class=\"vx\" x=\"" + x0 + "\" y=\"" + Number(high) + "\" width=\"" +
                  Number(std::max(X(to) - X(from), 1.0)) + "\" height=\"" + Number(low - high) + "\" fill=\"" +
                  kUnknown + "\" fill-opacity=\"0.35\" stroke=\"" + kUnknown + "\">" + title + "</rect>\n";
        }
        last_y = y;
    });
}

void Drawing::Bus(const Trace &trace, double top) {
    const double high = top + kHigh, low = top + kLow, mid = top + kMid;
    const char *colour = trace.signal.kind == SignalKind::kLogic ? kLine : kNumber;
    Segments(trace, [&](const std::string &value, uint64_t from, uint64_t to) {
        const double x0 = X(from), x1 = std::max(X(to), x0 + 1);
        const double d = std::min(3.0, (x1 - x0) / 2);
        const bool unknown = trace.signal.kind == SignalKind::kLogic && value.find_first_of("xz") != std::string::npos;
        const std::string label =
            trace.signal.kind == SignalKind::kLogic ? VectorLabel(value) : Shown(trace.signal, value);
        s_ += "<g class=\"bus\"><polygon points=\"" + Number(x0) + "," + Number(mid) + " " + Number(x0 + d) + "," +
              Number(high) + " " + Number(x1 - d) + "," + Number(high) + " " + Number(x1) + "," + Number(mid) +
              " " + Number(x1 - d) + "," + Number(low) + " " + Number(x0 + d) + "," + Number(low) + "\" fill=\"" +
              (unknown ? kUnknown : colour) + "\" fill-opacity=\"" + (unknown ? "0.35" : "0.08") +
              "\" stroke=\"" + colour + "\" stroke-width=\"1.5\"/>" + Title(trace, value, from, to);
        // Labelled where it fits; the title holds it everywhere.
        if (static_cast<double>(label.size()) * kCharWidth + 2 * d + 4 <= x1 - x0) {
            s_ += "<text x=\"" + Number(x0 + d + 2) + "\" y=\"" + Number(mid + 4) + "\">" + Escape(label) +
                  "</text>";
        }
        s_ += "</g>\n";
    });
}

void Drawing::Events(const Trace &trace, double top) {
    const double high = top + kHigh, low = top + kLow;
    for (const TraceValue &value : trace.values) {
        if (value.time < p_.from || value.time > p_.to) continue;
        const std::string x = Number(X(value.time));
        s_ += "<g class=\"event\" stroke=\"" + std::string(kEvent) + "\" fill=\"" + kEvent + "\"><line x1=\"" + x +
              "\" y1=\"" + Number(low) + "\" x2=\"" + x + "\" y2=\"" + Number(high + 4) +
              "\" stroke-width=\"2\"/><polygon points=\"" + Number(X(value.time) - 4) + "," + Number(high + 6) +
              " " + x + "," + Number(high) + " " + Number(X(value.time) + 4) + "," + Number(high + 6) + "\"/>" +
              Title(trace, value.value, value.time, value.time) + "</g>\n";
    }
}

void Drawing::Row(const Trace &trace, double top) {
    s_ += "<g class=\"signal\" data-path=\"" + Escape(trace.signal.path) + "\" data-high=\"" +
          Number(top + kHigh) + "\" data-low=\"" + Number(top + kLow) + "\">\n";
    s_ += "<text x=\"8\" y=\"" + Number(top + kMid + 4) + "\">" + Escape(trace.signal.path) + "</text>\n";
    for (size_t i = 0; i < trace.values.size(); ++i) {
        const TraceValue &value = trace.values[i];
        if (value.hidden == 0 || value.time > p_.to) continue;
        const uint64_t end = i + 1 < trace.values.size() ? std::min(trace.values[i + 1].time, p_.to) : p_.to;
        s_ += "<rect class=\"hidden\" x=\"" + Number(X(value.time) - 1) + "\" y=\"" + Number(top + kHigh - 2) +
              "\" width=\"3\" height=\"" + Number(kLow - kHigh + 4) + "\" fill=\"" + kHidden +
              "\" fill-opacity=\"0.6\"><title>" +
              Escape(trace.signal.path + ": " + std::to_string(value.hidden) + " changes hidden @ " +
                     std::to_string(value.time) + ".." + std::to_string(end)) +
              "</title></rect>\n";
    }
    if (trace.signal.kind == SignalKind::kEvent) {
        Events(trace, top);
    } else if (trace.signal.kind == SignalKind::kLogic && trace.signal.width == 1) {
        Scalar(trace, top);
    } else {
        Bus(trace, top);
    }
    s_ += "</g>\n";
}

std::string Drawing::Draw() {
    const double height = kAxisHeight + kRowHeight * static_cast<double>(p_.traces.size()) + 8;
    const double width = right_ + 24;
    s_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    s_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(width) + "\" height=\"" +
          Number(height) + "\" viewBox=\"0 0 " + Number(width) + " " + Number(height) + "\" data-left=\"" +
          Number(left_) + "\" data-right=\"" + Number(right_) + "\" data-from=\"" + std::to_string(p_.from) +
          "\" data-to=\"" + std::to_string(p_.to) + "\">\n";
    s_ += "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
    Axis(height - 4);
    s_ += "<g font-family=\"monospace\" font-size=\"12\">\n";
    for (size_t i = 0; i < p_.traces.size(); ++i) {
        Row(p_.traces[i], kAxisHeight + kRowHeight * static_cast<double>(i));
    }
    s_ += "</g>\n</svg>\n";
    return std::move(s_);
}

// a * b / c rounded down, for a <= c, without a 128-bit type (the 32-bit
// target has none): the 96-bit product is divided one bit at a time.
uint64_t MultiplyDivide(uint64_t a, uint32_t b, uint64_t c) {
    const uint64_t low_part = (a & 0xFFFFFFFFu) * b;
    const uint64_t high_part = (a >> 32) * b;  // to be shifted up by 32 bits
    const uint64_t low = (high_part << 32) + low_part;
    const uint64_t high = (high_part >> 32) + (low < low_part ? 1 : 0);
    uint64_t remainder = 0;
    uint64_t quotient = 0;
    for (int bit = 95; bit >= 0; --bit) {
        const uint64_t next = bit >= 64 ? (high >> (bit - 64)) & 1 : (low >> bit) & 1;
        const bool carried = (remainder >> 63) != 0;  // the shifted remainder exceeds 64 bits
        remainder = (remainder << 1) | next;
        quotient <<= 1;
        if (carried || remainder >= c) {
            remainder -= c;
            quotient |= 1;
        }
    }
    return quotient;
}

}  // namespace

uint32_t PlotColumn(const Picture &picture, uint64_t time) {
    if (time <= picture.from || picture.to <= picture.from) return 0;
    return static_cast<uint32_t>(
        MultiplyDivide(std::min(time, picture.to) - picture.from, kPlotColumns, picture.to - picture.from));
}

std::string DrawSvg(const Picture &picture) { return Drawing(picture).Draw(); }

}  // namespace trax
