// Resource reload while running: watching the files resources were loaded from and
// loading changed ones again in place. The flip runs the reload once per frame.
#pragma once

namespace kve::engine {

void setResourceWatching(bool on);

// With watching on: collects file changes, and reloads the resources of every file that
// has been quiet long enough. Returns how many resources were reloaded.
int reloadChangedResources();

// Engine shutdown: watching off, every recorded source forgotten.
void stopResourceWatching();

} // namespace kve::engine
