// Two shapes touching edge on edge: the vertices of neither lie on a face of the other,
// so the vertex and face tests find nothing, yet the shapes meet where two edges cross.
#pragma once

#include <utility>
#include <vector>

#include "physics/solver.h"

namespace kve::physics {

// A shape as its world vertices and edges, and a point inside it.
struct EdgeShape {
    Vec3 centre;
    std::vector<Vec3> vertices;
    std::vector<std::pair<Vec3, Vec3>> edges;
};

// The crossing of an edge of `a` with an edge of `b` as one contact point: the pairs of
// edges whose closest points lie within both, whose common normal (their cross product,
// turned from a to b) has every vertex of a on its near side of a's edge and every vertex
// of b on its far side of b's edge, and whose gap along it is at most `margin` and at
// least `-deepest`; of those, the one with the largest gap (the least overlap). Such a
// normal separates the shapes' vertices whatever their shape, so the point is a true
// contact. False when no pair qualifies.
bool edgeCrossing(const EdgeShape& a, const EdgeShape& b, float margin, float deepest, Vec3& normal,
                  ManifoldPoint& point);

} // namespace kve::physics
