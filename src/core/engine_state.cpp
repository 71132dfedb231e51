// The process-wide engine state: one engine, one screen, shared by every subsystem.
#include "core/engine.h"

namespace kve::engine {

State& state()
{
    static State engineState;
    return engineState;
}

} // namespace kve::engine
