// File watching through inotify, with a modification-time fallback.
//
// One non-blocking inotify descriptor watches each directory that holds a watched file;
// a frame with no change costs one read() that fails with EAGAIN. Directory watches see
// writes, renames over the file and re-creations alike, which a watch on the file's own
// inode would lose after the first rename. When the kernel's queue overflows, or a
// directory's watch is lost (the directory removed, renamed or unmounted), the files are
// compared by modification time and size instead, and the directory is watched again (or,
// while it is missing, polled).
#include "platform/file_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <unordered_map>

namespace kve::platform {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kEvents =
    IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF;
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
    Stamp stamp; // as last seen: polling compares with it, and so does a rescan
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

// The application may switch watching on another thread than the one that collects.
std::mutex watcherMutex;

bool addDirectoryWatch(Watcher& w, const std::string& directory, int* wd)
{
    *wd = inotify_add_watch(w.descriptor, directory.c_str(), kEvents);
    if (*wd < 0)
        return false;
    w.directoryWatch.emplace(directory, *wd);
    return true;
}

// Reports a file whose stamp differs from the one last seen, and keeps the new one.
void compareStamp(const std::string& normal, Watched& file, std::vector<std::string>& changed)
{
    const Stamp now = stampOf(normal);
    if (!(now == file.stamp)) {
        file.stamp = now;
        changed.push_back(normal);
    }
}

// Notifications were lost: every file notified through the queue is compared.
void rescanAll(Watcher& w, std::vector<std::string>& changed)
{
    for (auto& [normal, file] : w.files)
        if (!file.polled)
            compareStamp(normal, file, changed);
}

// A directory's watch is gone: watch it again if it is there, else poll its files until
// it is; either way its files are compared now.
void rearm(Watcher& w, int lostWd, std::vector<std::string>& changed)
{
    const auto lost = w.directories.find(lostWd);
    if (lost == w.directories.end())
        return;
    Directory files = std::move(lost->second);
    w.directories.erase(lost);
    std::string directory;
    for (auto it = w.directoryWatch.begin(); it != w.directoryWatch.end(); ++it)
        if (it->second == lostWd) {
            directory = it->first;
            w.directoryWatch.erase(it);
            break;
        }
    inotify_rm_watch(w.descriptor, lostWd); // a moved directory's watch would follow it
    int wd = -1;
    const bool watched = !directory.empty() && addDirectoryWatch(w, directory, &wd);
    for (const auto& [name, normal] : files.files) {
        Watched& file = w.files[normal];
        if (!watched && !file.polled) {
            file.polled = true;
            ++w.polledFiles;
        }
        compareStamp(normal, file, changed);
    }
    if (watched)
        w.directories[wd] = std::move(files);
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
        if (!addDirectoryWatch(w, directory, &wd))
            return false;
    }
    w.directories[wd].files[path.filename().string()] = normal;
    return true;
}

void readNotifications(Watcher& w, std::vector<std::string>& changed)
{
    bool overflow = false;
    std::vector<int> lost;
    for (;;) {
        const ssize_t got = read(w.descriptor, w.buffer.data(), w.buffer.size());
        if (got <= 0)
            break; // EAGAIN: nothing (more) happened
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(w.buffer.data() + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                overflow = true;
                continue;
            }
            if (event->mask & (IN_IGNORED | IN_MOVE_SELF | IN_DELETE_SELF)) {
                lost.push_back(event->wd);
                continue;
            }
            if (event->len == 0)
                continue;
            const auto directory = w.directories.find(event->wd);
            if (directory == w.directories.end())
                continue;
            const auto file = directory->second.files.find(event->name);
            if (file == directory->second.files.end())
                continue;
            changed.push_back(file->second);
            w.files[file->second].stamp = stampOf(file->second);
        }
    }
    for (int wd : lost)
        rearm(w, wd, changed);
    if (overflow)
        rescanAll(w, changed);
}

void pollStamps(Watcher& w, std::vector<std::string>& changed, uint64_t nowMs)
{
    if (w.polledFiles == 0 || (nowMs - w.lastPoll < kPollIntervalMs && w.lastPoll != 0))
        return;
    w.lastPoll = nowMs;
    for (auto& [normal, file] : w.files) {
        if (!file.polled)
            continue;
        compareStamp(normal, file, changed);
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
    std::lock_guard lock(watcherMutex);
    Watcher& w = watcher();
    const std::string normal = normalFilePath(path);
    if (w.files.count(normal))
        return true;
    Watched entry;
    entry.stamp = stampOf(normal);
    if (!watchThroughNotifications(w, normal)) {
        std::error_code error;
        if (!fs::is_directory(fs::path(normal).parent_path(), error))
            return false;
        entry.polled = true;
        ++w.polledFiles;
    }
    w.files.emplace(normal, std::move(entry));
    return true;
}

void unwatchAllFiles()
{
    std::lock_guard lock(watcherMutex);
    Watcher& w = watcher();
    if (w.descriptor >= 0)
        close(w.descriptor);
    const bool force = w.forcePolling;
    w = Watcher{};
    w.forcePolling = force;
}

void collectChangedFiles(std::vector<std::string>& changed, uint64_t nowMs)
{
    std::lock_guard lock(watcherMutex);
    Watcher& w = watcher();
    if (w.descriptor >= 0)
        readNotifications(w, changed);
    pollStamps(w, changed, nowMs);
}

void forceFilePolling(bool force)
{
    std::lock_guard lock(watcherMutex);
    watcher().forcePolling = force;
}

bool fileNotificationsActive()
{
    std::lock_guard lock(watcherMutex);
    const Watcher& w = watcher();
    return w.descriptor >= 0 && !w.forcePolling;
}

size_t watchedFileCount()
{
    std::lock_guard lock(watcherMutex);
    return watcher().files.size();
}

} // namespace kve::platform
