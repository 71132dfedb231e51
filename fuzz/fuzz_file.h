// For harnesses of readers that take a file name: each input is written over one file
// of the temporary directory that belongs to the fuzzing process, so runs neither pile up files nor collide with
// other fuzzers working in the same directory.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace kve::fuzz {

// The path of this process's input file, ending in `extension` (readers that pick their
// format by extension need the right one; the replay program runs every harness in one
// process, so each extension has its own file). libFuzzer ends without running exit
// handlers, so the file is left behind in the temporary directory.
inline std::string inputPath(const char* extension)
{
    return std::filesystem::temp_directory_path() / ("kve_fuzz_input_" + std::to_string(getpid()) + extension);
}

// Writes the input bytes to the process's file; its path, or an empty string when the
// file cannot be written (the run is then skipped rather than fuzzing a stale file).
inline std::string writeInput(const uint8_t* data, size_t size, const char* extension = "")
{
    const std::string path = inputPath(extension);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return {};
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written ? path : std::string();
}

} // namespace kve::fuzz
