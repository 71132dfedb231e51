// The sky box: a cube map seen through every pixel that no geometry covered, turned with
// the camera but never moved with it, with extra layers (clouds, stars...) drawn over it,
// each with its own mesh, cube map, tint and rotation.
#pragma once

#include <vector>

#include "kve.h"

namespace kve::render {

struct SkyLayer {
    int mesh = -1;    // mesh number; -1 draws the sky box's own cube
    int texture = -1; // cube-map texture number
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    KVE_Matrix matrix{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
};

struct SkyBox {
    SkyLayer base;                    // the cube itself, with the sky's texture, tint and rotation
    std::vector<SkyLayer> layers;     // drawn over it in order
    unsigned vertexArray = 0, vertexBuffer = 0, indexBuffer = 0; // the unit cube, made on first use
};

SkyBox& skyBox();
// Draws the sky and its layers into the bound target (the frame's step before the lights).
void drawSkyBox(const KVE_Matrix& view);
// Deletes the cube and forgets every setting (engine shutdown).
void deleteSkyBox();

} // namespace kve::render
