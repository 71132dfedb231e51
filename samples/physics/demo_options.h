// Command-line options of the physics demonstration: one table of options, each read and
// checked before the window opens.
#pragma once

#include <string>

#include "kve.h"

struct DemoOptions {
    int frames = 0;                 // stop after this many frames (0 = run until closed)
    std::string screenshot;         // PNG of the last presented frame, when set (absolute)
    float fixedFrameTime = 0;       // seconds per frame for reproducible runs (0 = the clock)
    int width = 1600, height = 900; // the window's client size in pixels
    int shadowSize = 2048;          // side of the shadow maps in pixels
    bool hidden = false;            // keep the window off screen
    std::string inputScript;        // frame-stamped input to feed (see input_script.h; absolute)
    std::string record;             // where to write the session's input in the same format (absolute)
    bool printCamera = false;       // print the camera's final world position
    bool printStatistics = false;   // print the statistics lines of the last frame
    bool profile = false;           // time the render passes and print a table at exit
    bool watch = false;             // reload resources whose files change while it runs
    std::string frameLog;           // one line per presented frame: number, wall milliseconds, objects
    std::string model;              // glTF scene placed on the ground as scenery (absolute)
    int solver = KVE_SOLVER_ITERATIVE; // how contacts are solved: KVE_SOLVER_*
    bool help = false;
    std::string error; // set when the command line could not be read: names the option
};

// Reads the command line. Relative file names are taken from the current directory, so
// they keep meaning the same file after the demo enters its Resources directory.
DemoOptions parseDemoOptions(int argc, char** argv);
std::string demoUsage();
