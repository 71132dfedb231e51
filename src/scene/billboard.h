// Billboard sets: instanced camera-facing quads that the frame draws after the particles.
// The record holds what that pass reads; the registry follows the common numbering rules.
#pragma once

#include "core/registry.h"
#include "kve.h"

struct KVE_BILLBOARD {
    int number;
    const char* name;
    int enabled;              // drawn only when not 0
    int material;             // material number the quads are drawn with
    unsigned instanceBuffer;  // GL buffer with one record per quad
    unsigned instanceTexture; // GL texture buffer the vertex stage reads that buffer through
    int instanceCount;        // quads in the buffer
    int projectionMode;       // how the quads are turned toward the camera (the billboard pass's numbering)
};

namespace kve::scene {

core::Registry<KVE_BILLBOARD>& billboards();

} // namespace kve::scene
