// Replays the saved inputs of every harness through it, built with the ordinary compiler
// and no libFuzzer: `kve_fuzz_replay DIRECTORY` feeds each file of DIRECTORY/<harness>/ to
// that harness's entry point, in name order. A harness that finds a fault aborts, which
// fails the run; a harness without saved inputs fails it too, so none is left unreplayed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#define KVE_FUZZ_HARNESS(name) extern "C" int kveFuzz_##name(const uint8_t* data, size_t size);
#include "fuzz_harnesses.inc"
#undef KVE_FUZZ_HARNESS

namespace {

struct Harness {
    const char* name;
    int (*run)(const uint8_t* data, size_t size);
};

#define KVE_FUZZ_HARNESS(name) {#name, kveFuzz_##name},
const Harness kHarnesses[] = {
#include "fuzz_harnesses.inc"
};
#undef KVE_FUZZ_HARNESS

std::vector<uint8_t> readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kve_fuzz_replay DIRECTORY\n");
        return 2;
    }
    namespace fs = std::filesystem;
    int failures = 0;
    for (const Harness& harness : kHarnesses) {
        const fs::path directory = fs::path(argv[1]) / harness.name;
        std::vector<fs::path> inputs;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(directory, error))
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
        std::sort(inputs.begin(), inputs.end());
        if (inputs.empty()) {
            std::fprintf(stderr, "%s: no saved inputs in %s\n", harness.name, directory.c_str());
            ++failures;
            continue;
        }
        for (const fs::path& input : inputs) {
            // Printed before the run, so that the input a crash stops on is the last line.
            std::printf("%s: %s\n", harness.name, input.filename().c_str());
            std::fflush(stdout);
            const std::vector<uint8_t> bytes = readBytes(input);
            harness.run(bytes.data(), bytes.size());
        }
    }
    return failures == 0 ? 0 : 1;
}
