// File watching through inotify, with a modification-time fallback.
//
// One non-blocking inotify descriptor watches each directory that holds a watched file;
// a frame with no change costs one read() that fails with EAGAIN. Directory watches see
// writes, renames over the file and re-creations alike, which a watch on the file's own
// inode would lose after the first rename.
#include "platform/file_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <unordered_map>

namespace kve::platform {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_ATTRIB;
constexpr uint64_t kPollIntervalMs = 250;

struct Stamp {
    fs::file_time_type time{};
    uintmax_t size = 0;
    bool exists = false;
    bool operator==(const Stamp&) const = default;
};

Stamp stampOf(const std::string& path)
{
    std::error_code error;
    Stamp stamp;
    stamp.time = fs::last_write_time(path, error);
    if (error)
        return {};
    stamp.size = fs::file_size(path, error);
    stamp.exists = !error;
    return stamp;
}

struct Watched {
    Stamp stamp; // polling only
    bool polled = false;
};

struct Directory {
    std::unordered_map<std::string, std::string> files; // file name -> normal path
};

struct Watcher {
    int descriptor = -1;
    bool forcePolling = false;
    uint64_t lastPoll = 0;
    std::unordered_map<std::string, Watched> files; // by absolute normal path
    size_t polledFiles = 0;
    std::unordered_map<int, Directory> directories; // by watch descriptor
    std::unordered_map<std::string, int> directoryWatch;
    std::vector<char> buffer = std::vector<char>(16 * 1024);
};

Watcher& watcher()
{
    static Watcher instance;
    return instance;
}

bool watchThroughNotifications(Watcher& w, const std::string& normal)
{
    if (w.forcePolling)
        return false;
    if (w.descriptor < 0)
        w.descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (w.descriptor < 0)
        return false;
    const fs::path path(normal);
    const std::string directory = path.parent_path().string();
    int wd = -1;
    if (const auto known = w.directoryWatch.find(directory); known != w.directoryWatch.end()) {
        wd = known->second;
    } else {
        wd = inotify_add_watch(w.descriptor, directory.c_str(), kEvents);
        if (wd < 0)
            return false;
        w.directoryWatch.emplace(directory, wd);
    }
    w.directories[wd].files[path.filename().string()] = normal;
    return true;
}

void readNotifications(Watcher& w, std::vector<std::string>& changed)
{
    for (;;) {
        const ssize_t got = read(w.descriptor, w.buffer.data(), w.buffer.size());
        if (got <= 0)
            return; // EAGAIN: nothing (more) happened
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(w.buffer.data() + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->len == 0)
                continue;
            const auto directory = w.directories.find(event->wd);
            if (directory == w.directories.end())
                continue;
            const auto file = directory->second.files.find(event->name);
            if (file != directory->second.files.end())
                changed.push_back(file->second);
        }
    }
}

void pollStamps(Watcher& w, std::vector<std::string>& changed, uint64_t nowMs)
{
    if (w.polledFiles == 0 || (nowMs - w.lastPoll < kPollIntervalMs && w.lastPoll != 0))
        return;
    w.lastPoll = nowMs;
    for (auto& [normal, file] : w.files) {
        if (!file.polled)
            continue;
        const Stamp now = stampOf(normal);
        if (!(now == file.stamp)) {
            file.stamp = now;
            changed.push_back(normal);
        }
    }
}

} // namespace

std::string normalFilePath(const std::string& path)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return (error ? fs::path(path) : absolute).lexically_normal().string();
}

bool watchFile(const std::string& path)
{
    Watcher& w = watcher();
    const std::string normal = normalFilePath(path);
    if (w.files.count(normal))
        return true;
    Watched entry;
    if (!watchThroughNotifications(w, normal)) {
        std::error_code error;
        if (!fs::is_directory(fs::path(normal).parent_path(), error))
            return false;
        entry.polled = true;
        ++w.polledFiles;
        entry.stamp = stampOf(normal);
    }
    w.files.emplace(normal, std::move(entry));
    return true;
}

void unwatchAllFiles()
{
    Watcher& w = watcher();
    if (w.descriptor >= 0)
        close(w.descriptor);
    const bool force = w.forcePolling;
    w = Watcher{};
    w.forcePolling = force;
}

void collectChangedFiles(std::vector<std::string>& changed, uint64_t nowMs)
{
    Watcher& w = watcher();
    if (w.descriptor >= 0)
        readNotifications(w, changed);
    pollStamps(w, changed, nowMs);
}

void forceFilePolling(bool force)
{
    watcher().forcePolling = force;
}

bool fileNotificationsActive()
{
    const Watcher& w = watcher();
    return w.descriptor >= 0 && !w.forcePolling;
}

size_t watchedFileCount()
{
    return watcher().files.size();
}

} // namespace kve::platform
