// trax svg as a browser draws it: a headless Chromium screenshot of the
// picture, whose pixels must show each value where the picture's geometry
// puts it. Skipped when no browser is installed (scripts/install-deps.sh
// installs one) or the test was built without libpng.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "tool_test_util.h"
#include "xml_reader.h"

#ifdef TAVRI_HAVE_PNG
#include <png.h>
#endif

namespace tavri::tool_test {
namespace {

// A headless Chromium: $TAVRI_BROWSER, else chromium or chromium-browser
// on the PATH; "" for none.
std::string FindBrowser() {
    if (const char *given = std::getenv("TAVRI_BROWSER"); given != nullptr && *given != '\0') return given;
    const char *path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    for (size_t at = 0; at <= dirs.size();) {
        const size_t colon = std::min(dirs.find(':', at), dirs.size());
        const std::string dir = dirs.substr(at, colon - at);
        for (const char *name : {"chromium", "chromium-browser"}) {
            const std::string candidate = dir + "/" + name;
            if (!dir.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        at = colon + 1;
    }
    return "";
}

struct Rgb {
    int r, g, b;
};

class Screenshot {
  public:
    bool Load(const std::string &png) {
#ifdef TAVRI_HAVE_PNG
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (png_image_begin_read_from_file(&image, png.c_str()) == 0) return false;
        image.format = PNG_FORMAT_RGB;
        pixels_.resize(PNG_IMAGE_SIZE(image));
        if (png_image_finish_read(&image, nullptr, pixels_.data(), 0, nullptr) == 0) return false;
        width_ = static_cast<int>(image.width);
        height_ = static_cast<int>(image.height);
        return true;
#else
        (void)png;
        return false;
#endif
    }
    int width() const { return width_; }
    int height() const { return height_; }
    Rgb At(int x, int y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return {255, 255, 255};
        const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 3;
        return {pixels_[at], pixels_[at + 1], pixels_[at + 2]};
    }
    // Whether a pixel within one of (x, y) passes the test.
    template <typename Test>
    bool Near(double x, double y, Test test) const {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (test(At(static_cast<int>(x) + dx, static_cast<int>(y) + dy))) return true;
            }
        }
        return false;
    }

  private:
    std::vector<uint8_t> pixels_;
    int width_ = 0, height_ = 0;
};

bool Green(Rgb c) { return c.g > c.r + 50 && c.g > c.b + 40; }
bool Red(Rgb c) { return c.r > c.g + 40 && c.r > c.b + 40; }
bool Blue(Rgb c) { return c.b > c.r + 80 && c.b > c.g + 40; }

class TraxSvgInBrowser : public ToolTest {};

TEST_F(TraxSvgInBrowser, EachValueIsDrawnWhereThePictureSaysItIs) {
#ifndef TAVRI_HAVE_PNG
    GTEST_SKIP() << "built without libpng: the screenshot cannot be read (install libpng-dev)";
#endif
    const std::string browser = FindBrowser();
    if (browser.empty()) {
        GTEST_SKIP() << "no headless browser: install chromium (scripts/install-deps.sh) or set TAVRI_BROWSER";
    }
    const std::string vcd = PathFor("wave.vcd");
    std::ofstream(vcd) << "$timescale 1ns $end\n$scope module top $end\n$var wire 1 ! s $end\n"
                          "$var event 1 \" e $end\n$upscope $end\n$enddefinitions $end\n"
                          "#0\n0!\n#100\n1!\n#200\nx!\n#250\n1\"\n#300\n0!\n";
    const std::string svg = PathFor("wave.svg");
    const Outcome run = Trax({"svg", vcd, "--var", "top.s", "--var", "top.e", "--to", "400", "-o", svg});
    ASSERT_EQ(run.status, 0) << run.err;
    XmlElement root;
    std::string error;
    ASSERT_TRUE(ReadXml(ReadFile(svg), &root, &error)) << error;
    const double left = std::stod(root.Attribute("data-left"));
    const double right = std::stod(root.Attribute("data-right"));
    auto x_of = [&](double time) { return left + time * (right - left) / 400.0; };
    std::map<std::string, std::pair<double, double>> rows;  // path: high, low
    for (const XmlElement *group : root.All("g")) {
        if (group->Attribute("class") == "signal") {
            rows[group->Attribute("data-path")] = {std::stod(group->Attribute("data-high")),
                                                   std::stod(group->Attribute("data-low"))};
        }
    }
    ASSERT_EQ(rows.size(), 2u);

    const std::string png = PathFor("wave.png");
    const std::string command = "timeout 120 '" + browser +
                                "' --headless --no-sandbox --disable-gpu --hide-scrollbars "
                                "--force-device-scale-factor=1 --user-data-dir='" + PathFor("profile") +
                                "' --window-size=" + root.Attribute("width") + "," +
                                std::to_string(std::stoi(root.Attribute("height")) + 400) +
                                " --screenshot='" + png + "' 'file://" + svg + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    Screenshot shot;
    // The window is taller than the picture: a short headless window does
    // not show all of its page.
    ASSERT_TRUE(shot.Load(png));
    EXPECT_EQ(shot.width(), std::stoi(root.Attribute("width")));

    const auto [high, low] = rows.at("top.s");
    const double mid = (high + low) / 2;
    // 0 from 0 to 100 and from 300 on: a line at the low row, none at the high one.
    for (const double time : {50.0, 350.0}) {
        SCOPED_TRACE(time);
        EXPECT_TRUE(shot.Near(x_of(time), low, Green));
        EXPECT_FALSE(shot.Near(x_of(time), high, Green));
    }
    // 1 from 100 to 200.
    EXPECT_TRUE(shot.Near(x_of(150), high, Green));
    EXPECT_FALSE(shot.Near(x_of(150), low, Green));
    // x from 200 to 300: a red band across the row.
    EXPECT_TRUE(shot.Near(x_of(270), mid, Red));
    EXPECT_FALSE(shot.Near(x_of(150), mid, Red));
    // The event at 250: an arrow in its row, and nothing at another time.
    const auto [event_high, event_low] = rows.at("top.e");
    EXPECT_TRUE(shot.Near(x_of(250), (event_high + event_low) / 2, Blue));
    EXPECT_FALSE(shot.Near(x_of(150), (event_high + event_low) / 2, Blue));
}

}  // namespace
}  // namespace tavri::tool_test
