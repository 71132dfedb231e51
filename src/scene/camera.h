// The one camera: its placement, its world matrix (own matrix with the parent chain) and
// its view matrix (the inverse), recomputed after every move and rotation.
#pragma once

#include "kve.h"

namespace kve::scene {

struct Camera {
    KVE_ITEM item;           // kind KVE_ITEM_CAMERA; full and rigid matrix are `matrix`
    KVE_Quaternion rotation; // in the parent's space
    KVE_Vector position;     // in the parent's space, w = 1
    KVE_Vector velocity;
    KVE_Matrix matrix; // rotation with the position in the fourth column
    KVE_Matrix world;  // `matrix` composed with the parent chain
    KVE_Matrix view;   // inverse of `world`
};

Camera& camera();

// Start-up defaults: identity rotation at the origin, at rest, detached.
void resetCamera();

// Recomputes the own, world and view matrices. Cheap; the frame calls it once so that a
// camera attached to a moving item follows it.
void updateCamera();

// Unit world direction from the camera through the screen point (x, y), in pixels from
// the top-left corner of a width x height screen, for the given projection: the point is
// taken back through the inverse projection at the near and the far plane, which serves
// perspective and orthographic projections alike. The centre marker (-65535, -65535)
// gives the viewing direction, the world image of (0, 0, -1).
KVE_Vector cameraRay(float x, float y, const KVE_Matrix& projection, int width, int height);

inline const KVE_Matrix& cameraWorldMatrix()
{
    return camera().world;
}
inline const KVE_Matrix& cameraViewMatrix()
{
    return camera().view;
}

} // namespace kve::scene
