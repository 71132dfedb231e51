// Resource reload while running: watching the files resources were loaded from and
// loading changed ones again in place. The flip runs the reload once per frame.
#pragma once

#include <string>
#include <vector>

namespace kve::engine {

void setResourceWatching(bool on);
bool resourceWatching();

// With watching on: collects file changes, and reloads the resources of every file that
// has been quiet long enough. Returns how many resources were reloaded.
int reloadChangedResources();

// Reloads, now, the resources loaded from any of the files (absolute, lexically normal
// paths); the number reloaded.
int reloadFiles(const std::vector<std::string>& normalPaths);

// Engine shutdown: watching off, every recorded source forgotten.
void stopResourceWatching();

} // namespace kve::engine
