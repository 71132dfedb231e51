// Command-line options of the physics demonstration.
#pragma once

#include <string>

struct DemoOptions {
    int frames = 0;           // stop after this many frames (0 = run until closed)
    std::string screenshot;   // PNG of the last frame, when set
    float fixedFrameTime = 0; // seconds per frame for reproducible runs (0 = the clock)
    bool hidden = false;      // keep the window off screen
    std::string inputScript;  // frame-stamped input to feed (see input_script.h)
    std::string record;       // where to write the session's input in the same format
    bool printCamera = false; // print the camera's final world position
    bool printStatistics = false; // print the statistics lines of the last frame
    bool watch = false;       // reload resources whose files change while it runs
    bool help = false;
    std::string error; // set when the command line could not be read
};

DemoOptions parseDemoOptions(int argc, char** argv);
const char* demoUsage();
