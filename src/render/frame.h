// The frame's internal side: the camera matrices of the frame being drawn, the hook the
// particle unit fills to draw its emitters.
#pragma once

#include <functional>

#include "kve.h"

namespace kve::render {

struct FrameMatrices {
    KVE_Matrix cameraWorld; // C
    KVE_Matrix view;        // V = inverse(C)
};

// Set at the start of every KVE_RenderScene.
const FrameMatrices& frameMatrices();
// Takes C and V from the camera (after kve::scene::updateCamera).
void setFrameMatrices();

// Draws the particle emitters after the over-image pass, given the view matrix; empty
// until the particle unit installs it.
std::function<void(const KVE_Matrix& view)>& particleDrawHook();

// Deletes the sky box cube and the billboard quad (engine shutdown).
void deleteFrameGeometry();

} // namespace kve::render
