// Resource watching: what a frame pays for KVE_ReloadChangedResources when 200 watched
// files have not changed, through file notifications and through the modification-time
// fallback (which compares every file at most every 0.25 s).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kve.h"
#include "platform/file_watch.h"

namespace {

constexpr int kFiles = 200;

// 200 body files loaded as bodies (the one file kind that needs no GL context).
class WatchedFiles {
public:
    WatchedFiles() : directory_(std::filesystem::temp_directory_path() / "kve_reload_bench")
    {
        std::filesystem::create_directories(directory_);
        for (int i = 0; i < kFiles; ++i) {
            const std::string path = (directory_ / ("body" + std::to_string(i) + ".kvb")).string();
            std::ofstream(path) << "Body: {\n  Vertices: {\n    1, 2, 3\n  }\n}\n";
            bodies_.push_back(KVE_LoadBody(-1, path.c_str(), "")->number);
        }
    }
    ~WatchedFiles()
    {
        KVE_SetResourceWatching(0);
        for (int body : bodies_)
            KVE_FreeBody(body);
        std::filesystem::remove_all(directory_);
    }
    WatchedFiles(const WatchedFiles&) = delete;
    WatchedFiles& operator=(const WatchedFiles&) = delete;

private:
    std::filesystem::path directory_;
    std::vector<int> bodies_;
};

void frameCost(benchmark::State& state, bool polling)
{
    const WatchedFiles files;
    kve::platform::forceFilePolling(polling);
    KVE_SetResourceWatching(1);
    KVE_ReloadChangedResources(); // watches the files
    if (static_cast<int>(kve::platform::watchedFileCount()) != kFiles ||
        kve::platform::fileNotificationsActive() == polling)
        state.SkipWithError("the files are not watched as asked");
    int reloaded = 0;
    for (auto _ : state)
        reloaded += KVE_ReloadChangedResources();
    benchmark::DoNotOptimize(reloaded);
    KVE_SetResourceWatching(0);
    kve::platform::forceFilePolling(false);
}

void BM_UnchangedFrameNotifications(benchmark::State& state)
{
    frameCost(state, false);
}

void BM_UnchangedFrameModificationTimes(benchmark::State& state)
{
    frameCost(state, true);
}

// The fallback's worst frame: the one that compares all 200 files.
void BM_ModificationTimeScan(benchmark::State& state)
{
    const WatchedFiles files;
    kve::platform::forceFilePolling(true);
    KVE_SetResourceWatching(1);
    KVE_ReloadChangedResources();
    std::vector<std::string> changed;
    uint64_t now = 1'000'000;
    for (auto _ : state) {
        now += 250;
        kve::platform::collectChangedFiles(changed, now);
    }
    if (!changed.empty())
        state.SkipWithError("a file changed");
    KVE_SetResourceWatching(0);
    kve::platform::forceFilePolling(false);
}

} // namespace

BENCHMARK(BM_ModificationTimeScan)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UnchangedFrameNotifications)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UnchangedFrameModificationTimes)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
