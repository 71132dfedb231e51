// File watching when the kernel's notifications fall short: a queue that overflowed and
// a watched directory that was removed or renamed must still report the watched files
// that changed meanwhile, and keep reporting them afterwards.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file_watch.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;
namespace platform = kve::platform;

class FileWatch : public ::testing::Test {
protected:
    void SetUp() override { platform::unwatchAllFiles(); }
    void TearDown() override { platform::unwatchAllFiles(); }

    // What the watcher reports now; each call is a poll interval after the last.
    std::vector<std::string> collect()
    {
        std::vector<std::string> changed;
        now_ += 1000;
        platform::collectChangedFiles(changed, now_);
        return changed;
    }
    static bool holds(const std::vector<std::string>& changed, const fs::path& file)
    {
        const std::string normal = platform::normalFilePath(file.string());
        return std::find(changed.begin(), changed.end(), normal) != changed.end();
    }

    kve::test::TempDir dir_{"file_watch"};
    uint64_t now_ = 0;
};

int queueLimit()
{
    std::ifstream in("/proc/sys/fs/inotify/max_queued_events");
    int limit = 0;
    return in >> limit ? limit : 0;
}

TEST_F(FileWatch, OverflowedQueueFallsBackToModificationTimes)
{
    const int limit = queueLimit();
    if (limit <= 0 || limit > 1 << 18)
        GTEST_SKIP() << "inotify queue limit " << limit;
    const fs::path watched = dir_ / "scene.kvd";
    kve::test::writeFile(watched, "Material: A {}\n");
    ASSERT_TRUE(platform::watchFile(watched.string()));
    ASSERT_TRUE(platform::fileNotificationsActive());
    EXPECT_TRUE(collect().empty());

    // More events than the queue holds, from files beside the watched one; the change of
    // the watched file comes after the overflow and its own event is lost.
    const std::string noise[2] = {(dir_ / "noise0").string(), (dir_ / "noise1").string()};
    for (const std::string& file : noise)
        kve::test::writeFile(file, "x");
    for (int i = 0; i <= limit; ++i) // alternating names, so that the kernel merges none
        ASSERT_EQ(utimensat(AT_FDCWD, noise[i % 2].c_str(), nullptr, 0), 0);
    kve::test::writeFile(watched, "Material: A { Shine: 2; }\n");
    const std::vector<std::string> changed = collect();
    EXPECT_TRUE(holds(changed, watched));

    // The queue works again afterwards.
    EXPECT_TRUE(collect().empty());
    kve::test::writeFile(watched, "Material: A { Shine: 3; }\n");
    EXPECT_TRUE(holds(collect(), watched));
}

TEST_F(FileWatch, RemovedDirectoryIsPolledUntilItComesBack)
{
    const fs::path sub = dir_ / "data";
    fs::create_directory(sub);
    const fs::path watched = sub / "mesh.kvm";
    kve::test::writeFile(watched, "Mesh: {}\n");
    ASSERT_TRUE(platform::watchFile(watched.string()));
    EXPECT_TRUE(collect().empty());

    fs::remove_all(sub);
    EXPECT_TRUE(holds(collect(), watched)); // gone: its loader reports the failure
    EXPECT_TRUE(collect().empty());

    fs::create_directory(sub);
    kve::test::writeFile(watched, "Mesh: { Vertices: 0 {} }\n");
    EXPECT_TRUE(holds(collect(), watched));
    EXPECT_TRUE(collect().empty());
    kve::test::writeFile(watched, "Mesh: {}\n");
    EXPECT_TRUE(holds(collect(), watched));
}

TEST_F(FileWatch, RenamedDirectoryIsWatchedAgainUnderItsPath)
{
    const fs::path sub = dir_ / "data";
    fs::create_directory(sub);
    const fs::path watched = sub / "body.kvb";
    kve::test::writeFile(watched, "Body: {}\n");
    ASSERT_TRUE(platform::watchFile(watched.string()));
    EXPECT_TRUE(collect().empty());

    // An editor or a version-control tool swaps the whole directory.
    fs::rename(sub, dir_ / "data.old");
    fs::create_directory(sub);
    kve::test::writeFile(watched, "Body: { Vertices: { 1, 1, 1 } }\n");
    EXPECT_TRUE(holds(collect(), watched));
    // Changes in the old directory are no longer this path's.
    kve::test::writeFile(dir_ / "data.old" / "body.kvb", "Body: { Vertices: { 2, 2, 2 } }\n");
    EXPECT_TRUE(collect().empty());
    kve::test::writeFile(watched, "Body: {}\n");
    EXPECT_TRUE(holds(collect(), watched));
    EXPECT_TRUE(platform::fileNotificationsActive());
}

} // namespace
