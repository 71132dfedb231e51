#include "example_test.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "process.h"

namespace kve::test {

std::string text(Rgb p)
{
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "(%d, %d, %d)", p.r, p.g, p.b);
    return buffer;
}

std::string ExampleRun::why() const
{
    return "exit code " + std::to_string(exitCode) + ": " + error + "\n" + output;
}

std::vector<float> ExampleRun::numbers(const std::string& label) const
{
    std::vector<float> found;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, label.size(), label) != 0)
            continue;
        // Every number in the rest of the line: digits, or a minus sign before a digit.
        for (const char* p = line.c_str() + label.size(); *p;) {
            const bool starts = std::isdigit(static_cast<unsigned char>(*p)) ||
                                (*p == '-' && std::isdigit(static_cast<unsigned char>(p[1])));
            char* end = nullptr;
            const float value = starts ? std::strtof(p, &end) : 0.0f;
            if (starts && end != p) {
                found.push_back(value);
                p = end;
            } else {
                ++p;
            }
        }
        break;
    }
    return found;
}

Rgb ExampleRun::at(int x, int y) const
{
    const uint32_t p = shot->packedPixel(x, y);
    return {static_cast<int>(p & 0xFF), static_cast<int>(p >> 8 & 0xFF), static_cast<int>(p >> 16 & 0xFF)};
}

Rgb ExampleRun::mean(int x0, int y0, int x1, int y1) const
{
    Rgb sum;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const Rgb p = at(x, y);
            sum.r += p.r, sum.g += p.g, sum.b += p.b;
        }
    const int n = std::max(1, (x1 - x0) * (y1 - y0));
    return {sum.r / n, sum.g / n, sum.b / n};
}

ExampleRun runExample(const std::string& name, const std::vector<std::string>& arguments)
{
    ExampleRun result;
    const char* examples = std::getenv("KVE_EXAMPLES_DIR");
    if (!examples) {
        result.error = "KVE_EXAMPLES_DIR names no directory";
        return result;
    }
    // The working directory is the test's own (testrun/kve_e2e_example_<name>): the
    // engine writes its log there and the screenshot stays for a look.
    const std::string shot = (std::filesystem::current_path() / (name + ".png")).string();
    std::filesystem::remove(shot);
    // A software renderer on a busy machine may take minutes over the shadowed frames.
    std::vector<std::string> command = {std::string(examples) + "/" + name};
    command.insert(command.end(), arguments.begin(), arguments.end());
    command.push_back(shot);
    const auto finished = run(command, {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}, 280.0);
    result.exitCode = finished.exitCode;
    result.output = finished.output;
    auto decoded = gpu::decodeImageFile(shot);
    if (decoded.image)
        result.shot = std::move(*decoded.image);
    else
        result.error = decoded.error;
    return result;
}

} // namespace kve::test
