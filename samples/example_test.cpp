#include "example_test.h"

#include <cstdlib>
#include <filesystem>

#include "process.h"

namespace kve::test {

Rgb ExampleRun::at(int x, int y) const
{
    const uint32_t p = shot->packedPixel(x, y);
    return {static_cast<int>(p & 0xFF), static_cast<int>(p >> 8 & 0xFF), static_cast<int>(p >> 16 & 0xFF)};
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
