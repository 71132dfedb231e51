// Running an example headless for its end-to-end test: the example draws its frames,
// saves the last one to the PNG named on its command line and quits; the test then
// judges that picture by its pixels and the example's printed lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gpu/image.h"

namespace kve::test {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

std::string text(Rgb p); // "(r, g, b)" for failure messages

struct ExampleRun {
    int exitCode = -1;
    std::string output;             // what the example printed
    std::optional<gpu::Image> shot; // its last frame
    std::string error;              // why there is no shot

    bool drawn() const { return exitCode == 0 && shot; } // ran to its end and saved its frame
    std::string why() const; // exit code (-1: killed after the time limit), error and output
    // The numbers on the printed line that starts with `label` (none without such a line).
    std::vector<float> numbers(const std::string& label) const;

    Rgb at(int x, int y) const;
    Rgb mean(int x0, int y0, int x1, int y1) const; // over [x0, x1) x [y0, y1)
    // Pixels in [x0, x1) x [y0, y1) for which `test` holds.
    template <typename Test> int count(int x0, int y0, int x1, int y1, Test test) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += test(at(x, y)) ? 1 : 0;
        return n;
    }
};

// Runs build/samples/<name> in its own scratch directory with `arguments` and then a
// screenshot path, and decodes the screenshot. The run and the screenshot are kept in
// testrun/ for a look.
ExampleRun runExample(const std::string& name, const std::vector<std::string>& arguments = {});

} // namespace kve::test
