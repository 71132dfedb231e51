#include "physics/edge_contacts.h"

#include <algorithm>
#include <cmath>

namespace kve::physics {
namespace {

// Closest points of segments p1 + s d1 and p2 + t d2 (s, t in 0..1), for segments that
// are not parallel; false when either lies at an end of its segment (a vertex, which
// the vertex and face tests take).
bool interiorClosestPoints(Vec3 p1, Vec3 d1, Vec3 p2, Vec3 d2, float& s, float& t)
{
    const Vec3 r = p1 - p2;
    const float a = dot(d1, d1), e = dot(d2, d2), b = dot(d1, d2), c = dot(d1, r), f = dot(d2, r);
    const float denominator = a * e - b * b;
    if (!(a > 0.0f && e > 0.0f && denominator > 1e-6f * a * e))
        return false;
    s = (b * f - c * e) / denominator;
    t = (b * s + f) / e;
    constexpr float kEnd = 1e-3f;
    return s > kEnd && s < 1.0f - kEnd && t > kEnd && t < 1.0f - kEnd;
}

float extent(const std::vector<Vec3>& vertices, Vec3 n, bool highest)
{
    float out = highest ? -INFINITY : INFINITY;
    for (const Vec3& v : vertices)
        out = highest ? std::max(out, dot(v, n)) : std::min(out, dot(v, n));
    return out;
}

} // namespace

bool edgeCrossing(const EdgeShape& a, const EdgeShape& b, float margin, float deepest, Vec3& normal,
                  ManifoldPoint& point)
{
    bool found = false;
    float bestGap = -INFINITY;
    for (size_t i = 0; i < a.edges.size(); ++i)
        for (size_t j = 0; j < b.edges.size(); ++j) {
            const auto& [p1, q1] = a.edges[i];
            const auto& [p2, q2] = b.edges[j];
            const Vec3 d1 = q1 - p1, d2 = q2 - p2;
            float s = 0, t = 0;
            if (!interiorClosestPoints(p1, d1, p2, d2, s, t))
                continue;
            Vec3 n = normalized(cross(d1, d2));
            if (dot(n, b.centre - a.centre) < 0.0f)
                n = -n;
            const Vec3 onA = p1 + d1 * s, onB = p2 + d2 * t;
            const float gap = dot(onB - onA, n);
            if (gap > margin || gap < -deepest || gap <= bestGap)
                continue;
            // Every vertex of a at or below a's edge along n, every vertex of b at or above b's.
            const float tolerance = 1e-4f * (1.0f + length(d1) + length(d2));
            if (extent(a.vertices, n, true) > dot(onA, n) + tolerance ||
                extent(b.vertices, n, false) < dot(onB, n) - tolerance)
                continue;
            found = true;
            bestGap = gap;
            normal = n;
            point = {};
            point.point = (onA + onB) * 0.5f;
            point.separation = gap;
            point.feature = 1u << 21 | static_cast<uint32_t>((i & 0x3FF) << 10 | (j & 0x3FF));
        }
    return found;
}

} // namespace kve::physics
