// The hidden window and engine surface a rendering benchmark draws on: no vertical sync,
// no logo, so that a frame costs only its own drawing.
#pragma once

#include <cstdio>

#include <benchmark/benchmark.h>

#include "kve.h"

// False (with a message on stderr) when no window or OpenGL 3.3 surface could be made.
inline bool openBenchScreen(const char* title, int width, int height)
{
    const int window = KVE_OpenWindow(title, width, height, 1);
    if (!window || !KVE_OpenScreen(window, 0, 0, width, height, 32)) {
        std::fprintf(stderr, "%s: no window or OpenGL 3.3 surface\n", title);
        return false;
    }
    KVE_SetSwapInterval(0);
    KVE_ShowLogo(0);
    return true;
}

// The main of a rendering benchmark: the screen opened, `prepare` run (the scene loaded),
// the benchmarks, `report` after them, the engine shut down.
template <class Prepare, class Report>
int screenBenchmarkMain(int argc, char** argv, const char* title, int width, int height, const Prepare& prepare,
                        const Report& report)
{
    benchmark::Initialize(&argc, argv);
    if (!openBenchScreen(title, width, height))
        return 1;
    prepare();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    report();
    KVE_Shutdown();
    return 0;
}
