// The frame's internal side: the camera matrices of the frame being drawn, the hook the
// particle unit fills to draw its emitters, and the sky box settings.
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

struct SkyBox {
    int texture = -1; // cube-map texture number
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    KVE_Matrix matrix{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    unsigned vertexArray = 0, vertexBuffer = 0, indexBuffer = 0; // the unit cube, made on first use
};

SkyBox& skyBox();
// Deletes the sky box cube and the billboard quad (engine shutdown).
void deleteFrameGeometry();

} // namespace kve::render
