// Frame timing: the flip's counter arithmetic and the engine clock.
#pragma once

#include <cstdint>

namespace kve::timing {

// Reads the counter frequency (KVE_Init) and clears the frame timing.
void start();

// Counter value and frequency the flip uses (the platform's, or a test source).
uint64_t counter();
uint64_t frequency();

// Advances frame time and frame rate by one flip (steps 2 to 7 of the flip).
void advanceFrame();

} // namespace kve::timing
