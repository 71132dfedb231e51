#include "demo_options.h"

#include <cstdlib>
#include <cstring>

namespace {

bool readNumber(const char* text, double* value)
{
    char* end = nullptr;
    *value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

} // namespace

const char* demoUsage()
{
    return "usage: physics [--frames N] [--screenshot FILE] [--fixed-dt SECONDS] [--hidden]\n"
           "               [--input FILE] [--record FILE] [--print-camera] [--print-stats] [--watch]\n"
           "  --frames N          run N frames, then shut down\n"
           "  --screenshot FILE   write the last frame to FILE (PNG)\n"
           "  --fixed-dt SECONDS  every frame lasts exactly SECONDS (reproducible runs)\n"
           "  --hidden            keep the window hidden\n"
           "  --input FILE        feed the frame-stamped input in FILE (see README.md)\n"
           "  --record FILE       write the session's input to FILE in the same format\n"
           "  --print-camera      print the camera's world position on exit\n"
           "  --print-stats       print the statistics lines on exit\n"
           "  --watch             reload resources whose files change while it runs\n";
}

DemoOptions parseDemoOptions(int argc, char** argv)
{
    DemoOptions options;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const bool hasValue = i + 1 < argc;
        double number = 0;
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            options.help = true;
        } else if (std::strcmp(arg, "--hidden") == 0) {
            options.hidden = true;
        } else if (std::strcmp(arg, "--frames") == 0 && hasValue && readNumber(argv[i + 1], &number) && number >= 0) {
            options.frames = static_cast<int>(number);
            ++i;
        } else if (std::strcmp(arg, "--fixed-dt") == 0 && hasValue && readNumber(argv[i + 1], &number) && number > 0) {
            options.fixedFrameTime = static_cast<float>(number);
            ++i;
        } else if (std::strcmp(arg, "--screenshot") == 0 && hasValue) {
            options.screenshot = argv[++i];
        } else if (std::strcmp(arg, "--input") == 0 && hasValue) {
            options.inputScript = argv[++i];
        } else if (std::strcmp(arg, "--record") == 0 && hasValue) {
            options.record = argv[++i];
        } else if (std::strcmp(arg, "--print-camera") == 0) {
            options.printCamera = true;
        } else if (std::strcmp(arg, "--print-stats") == 0) {
            options.printStatistics = true;
        } else if (std::strcmp(arg, "--watch") == 0) {
            options.watch = true;
        } else {
            options.error = std::string("cannot read the option ") + arg;
            break;
        }
    }
    return options;
}
