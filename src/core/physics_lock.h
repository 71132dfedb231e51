// The process-wide physics lock. The physics step holds it phase by phase; every change
// of the physics sets and joints, the particle and sound updates (which follow objects
// the physics moves) and the demo's read of the tree size take it too.
#pragma once

#include <mutex>

namespace kve::core {

std::recursive_mutex& physicsLock();

} // namespace kve::core
