#include "core/physics_lock.h"

#include "kve.h"

namespace kve::core {

std::recursive_mutex& physicsLock()
{
    static std::recursive_mutex lock;
    return lock;
}

} // namespace kve::core

extern "C" {

void KVE_LockPhysics(void)
{
    kve::core::physicsLock().lock();
}

void KVE_UnlockPhysics(void)
{
    kve::core::physicsLock().unlock();
}

} // extern "C"
