// Watching files for changes: the kernel's file notifications (inotify) on the watched
// files' directories, so that editors that write a new file and rename it over the old
// one are seen too; where notifications are unavailable, modification times and sizes
// compared at most every 0.25 s.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kve::platform {

// Starts watching `path` (a file; its directory must exist). Paths are compared in their
// absolute, lexically normal form; a path watched already is not added twice. False when
// neither form of watching can take the file.
bool watchFile(const std::string& path);

// Stops watching every file and closes the notification descriptor.
void unwatchAllFiles();

// The form in which paths are compared and reported: absolute and lexically normal.
std::string normalFilePath(const std::string& path);

// Appends to `changed` the watched paths (in normal form) written, created, moved in or
// removed since the last call. `nowMs` is any millisecond clock; it paces the
// modification-time fallback.
void collectChangedFiles(std::vector<std::string>& changed, uint64_t nowMs);

// Forces the modification-time fallback even where notifications work (tests, bench);
// takes effect for files watched afterwards.
void forceFilePolling(bool force);

// Whether changes are seen through notifications (false: modification times).
bool fileNotificationsActive();

size_t watchedFileCount();

} // namespace kve::platform
