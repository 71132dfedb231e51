// Edges crossing: two boxes, the lower turned 45 degrees about x so that its top is a
// ridge along x, the upper a unit cube turned 45 degrees about z so that its bottom is a
// ridge along z, one above the other. They meet where the ridges cross, by the gap
// between them; not when the gap exceeds the margin, when they are apart sideways, or
// when the edges that cross are not where the boxes meet.
#include <gtest/gtest.h>

#include <cmath>

#include "physics/edge_contacts.h"

namespace {

using kve::physics::EdgeShape;
using kve::physics::ManifoldPoint;
using kve::physics::Vec3;

constexpr float kMargin = 0.02f, kDeepest = 0.5f;
const float kHalfDiagonal = std::sqrt(0.5f);

// A rotation about x by `ax`, then about z by `az` (radians).
Vec3 turned(Vec3 p, float ax, float az)
{
    const Vec3 q{p.x, p.y * std::cos(ax) - p.z * std::sin(ax), p.y * std::sin(ax) + p.z * std::cos(ax)};
    return {q.x * std::cos(az) - q.y * std::sin(az), q.x * std::sin(az) + q.y * std::cos(az), q.z};
}

// A box of half-sizes (halfX, 0.5, 0.5) turned by ax and az about `centre`.
EdgeShape cube(Vec3 centre, float ax, float az, float halfX = 0.5f)
{
    EdgeShape shape;
    shape.centre = centre;
    for (int i = 0; i < 8; ++i)
        shape.vertices.push_back(centre +
                                 turned({i & 1 ? halfX : -halfX, i & 2 ? 0.5f : -0.5f, i & 4 ? 0.5f : -0.5f}, ax, az));
    for (int i = 0; i < 8; ++i)
        for (int k = 0; k < 3; ++k)
            if (!(i >> k & 1))
                shape.edges.push_back(
                    {shape.vertices[static_cast<size_t>(i)], shape.vertices[static_cast<size_t>(i | 1 << k)]});
    return shape;
}

constexpr float kQuarter = 0.78539816f; // 45 degrees

// The upper cube whose bottom ridge lies `gap` above the lower box's top ridge.
EdgeShape upper(float gap, float shiftZ = 0.0f)
{
    return cube({0, 2 * kHalfDiagonal + gap, shiftZ}, 0.0f, kQuarter);
}

TEST(EdgeCrossing, RidgesMeetWhereTheyCrossByTheGapBetweenThem)
{
    const EdgeShape lower = cube({0, 0, 0}, kQuarter, 0);
    for (const float gap : {0.01f, -0.05f}) {
        Vec3 normal;
        ManifoldPoint point;
        ASSERT_TRUE(kve::physics::edgeCrossing(lower, upper(gap), kMargin, kDeepest, normal, point)) << gap;
        EXPECT_NEAR(point.separation, gap, 1e-4f);
        EXPECT_NEAR(normal.y, 1.0f, 1e-4f) << "from the lower cube to the upper";
        EXPECT_NEAR(point.point.x, 0.0f, 1e-4f);
        EXPECT_NEAR(point.point.y, kHalfDiagonal + 0.5f * gap, 1e-4f);
        EXPECT_NEAR(point.point.z, 0.0f, 1e-4f);
    }
}

TEST(EdgeCrossing, NothingBeyondTheMarginBesideOrWhereOtherEdgesCross)
{
    const EdgeShape lower = cube({0, 0, 0}, kQuarter, 0);
    Vec3 normal;
    ManifoldPoint point;
    EXPECT_FALSE(kve::physics::edgeCrossing(lower, upper(0.1f), kMargin, kDeepest, normal, point));
    EXPECT_FALSE(kve::physics::edgeCrossing(lower, upper(0.01f, 2.0f), kMargin, kDeepest, normal, point));
    // The cube sunk to its middle into a ridge 4 long: its side edges pass 0.01 above the
    // ridge, but its bottom ridge lies 0.7 below it, so those edges are not where the
    // boxes meet (and the ridges overlap deeper than the deepest contact).
    const EdgeShape longRidge = cube({0, 0, 0}, kQuarter, 0, 2.0f);
    EXPECT_FALSE(kve::physics::edgeCrossing(longRidge, upper(0.01f - kHalfDiagonal), kMargin, kDeepest, normal, point));
}

} // namespace
