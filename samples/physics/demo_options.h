// Command-line options of the physics demonstration.
#pragma once

#include <string>

struct DemoOptions {
    int frames = 0;            // stop after this many frames (0 = run until closed)
    std::string screenshot;    // PNG of the last frame, when set
    float fixedFrameTime = 0;  // seconds per frame for reproducible runs (0 = the clock)
    bool hidden = false;       // keep the window off screen
    bool help = false;
    std::string error;         // set when the command line could not be read
};

DemoOptions parseDemoOptions(int argc, char** argv);
const char* demoUsage();
