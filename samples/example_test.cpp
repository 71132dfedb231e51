#include "example_test.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "process.h"

namespace kve::test {

std::string text(Rgb p)
{
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "(%d, %d, %d)", p.r, p.g, p.b);
    return buffer;
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

ExampleRun runExample(const std::string& name)
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
    const auto finished = run({std::string(examples) + "/" + name, shot}, {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"});
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
