// The projection state: mode, field of view, aspect, planes and the three matrices, kept
// in step with the Projection block (bytes 0..63 the current 3D matrix, 64..127 the 2D
// matrix) and the planes of the Misc block.
#pragma once

#include "kve.h"

namespace kve::render {

struct ProjectionState {
    int mode = KVE_PROJECTION_PERSPECTIVE;
    float fieldOfView = 45.0f; // degrees, vertical
    float aspect = 1.0f;
    float nearPlane = 0.1f;
    float farPlane = 128.0f;
    KVE_Matrix perspective{};
    KVE_Matrix orthographic{};
    KVE_Matrix matrix2D{}; // pixels, origin top-left, y down
    unsigned buffer = 0;   // the Projection block's uniform buffer
};

const ProjectionState& projection();
// The 3D matrix of the current mode.
const KVE_Matrix& currentProjectionMatrix();
// Writes the current mode's matrix back into bytes 0..63 of the Projection block, after a
// pass that replaced it (a light's point of view).
void uploadCurrentProjection();
void resetProjection();
// Takes the screen size into the aspect, both 3D matrices, the 2D matrix and the
// viewport; uploadScreenProjection then writes the current 3D and the 2D matrix into the
// Projection block.
void applyScreenSize();
void uploadScreenProjection();

// Column-major builders; element [i][j] is column i, row j.
KVE_Matrix perspectiveMatrix(float fieldOfViewDegrees, float aspect, float nearPlane, float farPlane);
KVE_Matrix orthographicMatrix(float left, float right, float bottom, float top, float nearPlane, float farPlane);

} // namespace kve::render
