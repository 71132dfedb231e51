// Contact manifolds of the iterative solver: box against box by the separating-axis test
// with the incident face clipped against the reference face's side planes (up to four
// points) or the closest points of two edges (one point); spheres against spheres, boxes
// and triangle meshes (one point); triangle meshes against anything with faces by the
// vertices of each that lie within the margin of a face of the other, or, for small
// closed shapes, where two of their edges cross (one point).
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <iterator>

#include "physics/edge_contacts.h"
#include "physics/solver.h"

namespace kve::physics {
namespace {

enum class Kind { None, Sphere, Box, Mesh };

Kind kindOf(const KVE_OBJECT& object)
{
    const BodyRecord* body = bodyOf(object);
    if (!body)
        return Kind::None;
    switch (body->type) {
    case KVE_BODY_SPHERE:
        return Kind::Sphere;
    case KVE_BODY_BOX:
        return body->root ? Kind::Box : Kind::None;
    case KVE_BODY_MESH:
        return body->root ? Kind::Mesh : Kind::None;
    default:
        return Kind::None;
    }
}

float sphereRadius(const KVE_OBJECT& object)
{
    return std::fabs(bodyOf(object)->radius * object.Body.sizeFactor);
}

// The rotation's unit axes of an object: the same for every node of its tree.
struct ObjectAxes {
    Vec3 axis[3];
};
ObjectAxes axesOf(const KVE_OBJECT& object)
{
    ObjectAxes axes;
    for (int i = 0; i < 3; ++i)
        axes.axis[i] = normalized(vec3(object.rigidMatrix.c[i]));
    return axes;
}

// A tree node's box as the object carries it: centre through the world matrix, the
// rotation's axes, half-sizes scaled by the object's scale.
ShapeFrame nodeFrame(const TreeNode& node, const KVE_OBJECT& object, const ObjectAxes& axes)
{
    ShapeFrame frame;
    KVE_Vector centre = node.centre;
    centre.w = 1.0f;
    KVE_TransformVector(&centre, &object.fullMatrix);
    frame.centre = vec3(centre);
    const float scale[3] = {object.scale.x, object.scale.y, object.scale.z};
    const float half[3] = {node.halfSize.x, node.halfSize.y, node.halfSize.z};
    for (int i = 0; i < 3; ++i) {
        frame.axis[i] = axes.axis[i];
        frame.half[i] = std::fabs(half[i] * scale[i]);
    }
    return frame;
}
ShapeFrame nodeFrame(const TreeNode& node, const KVE_OBJECT& object)
{
    return nodeFrame(node, object, axesOf(object));
}

Vec3 frameExtent(const ShapeFrame& frame)
{
    Vec3 e;
    for (int i = 0; i < 3; ++i) {
        const Vec3 a = frame.axis[i] * frame.half[i];
        e += Vec3{std::fabs(a.x), std::fabs(a.y), std::fabs(a.z)};
    }
    return e;
}

bool boundsOverlap(Vec3 loA, Vec3 hiA, Vec3 loB, Vec3 hiB)
{
    return loA.x <= hiB.x && loB.x <= hiA.x && loA.y <= hiB.y && loB.y <= hiA.y && loA.z <= hiB.z && loB.z <= hiA.z;
}

Manifold& flip(Manifold& m)
{
    m.normal = -m.normal;
    return m;
}

bool sphereSphere(const KVE_OBJECT& a, const KVE_OBJECT& b, Manifold& out)
{
    const Vec3 ca = vec3(a.v4fPosition), cb = vec3(b.v4fPosition);
    const float ra = sphereRadius(a), rb = sphereRadius(b);
    const Vec3 d = cb - ca;
    const float distance = length(d);
    const float separation = distance - ra - rb;
    if (separation > kContactMargin)
        return false;
    out.normal = distance > 0.0f ? d * (1.0f / distance) : Vec3{0, 1, 0};
    out.count = 1;
    out.points[0] = {};
    out.points[0].point = ca + out.normal * (ra + 0.5f * separation);
    out.points[0].separation = separation;
    return true;
}

// The closest point of the box to the sphere's centre; a centre inside leaves through the
// nearest face. The normal points from the box to the sphere.
bool boxSphere(const ShapeFrame& box, const KVE_OBJECT& sphere, Manifold& out)
{
    const float r = sphereRadius(sphere);
    const Vec3 c = box.toLocal(vec3(sphere.v4fPosition));
    const float local[3] = {c.x, c.y, c.z};
    float clamped[3];
    bool inside = true;
    for (int i = 0; i < 3; ++i) {
        clamped[i] = std::clamp(local[i], -box.half[i], box.half[i]);
        inside = inside && clamped[i] == local[i];
    }
    Vec3 normal, surface;
    float separation;
    if (inside) {
        int axis = 0;
        float least = INFINITY;
        for (int i = 0; i < 3; ++i)
            if (box.half[i] - std::fabs(local[i]) < least) {
                least = box.half[i] - std::fabs(local[i]);
                axis = i;
            }
        const float side = local[axis] >= 0.0f ? 1.0f : -1.0f;
        normal = box.axis[axis] * side;
        clamped[axis] = side * box.half[axis];
        surface = box.toWorld({clamped[0], clamped[1], clamped[2]});
        separation = -least - r;
    } else {
        surface = box.toWorld({clamped[0], clamped[1], clamped[2]});
        const Vec3 away = vec3(sphere.v4fPosition) - surface;
        const float distance = length(away);
        normal = away * (1.0f / distance);
        separation = distance - r;
    }
    if (separation > kContactMargin)
        return false;
    out.normal = normal;
    out.count = 1;
    out.points[0] = {};
    out.points[0].point = surface + normal * (0.5f * separation);
    out.points[0].separation = separation;
    return true;
}

// ---- box against box --------------------------------------------------------------

struct ClipVertex {
    Vec3 p;
    uint32_t id;
};

// Sutherland–Hodgman against the plane dot(n, p) <= offset; new vertices are named by the
// plane and the edge they cut. A vertex just outside (aligned boxes have their corners on
// each other's side planes) is kept as it is, so that rounding cannot turn one corner into
// two cut points from one step to the next.
constexpr float kClipSlop = 1e-3f;

int clipPolygon(const ClipVertex* in, int count, Vec3 n, float offset, uint32_t plane, ClipVertex* out)
{
    int written = 0;
    for (int i = 0; i < count; ++i) {
        const ClipVertex& p = in[i];
        const ClipVertex& q = in[(i + 1) % count];
        const float dp = dot(n, p.p) - offset, dq = dot(n, q.p) - offset;
        const bool pInside = dp <= kClipSlop, qInside = dq <= kClipSlop;
        if (pInside)
            out[written++] = p;
        if (pInside != qInside && (dp < 0.0f) != (dq < 0.0f)) {
            const float t = dp / (dp - dq);
            out[written++] = {p.p + (q.p - p.p) * t, 8u + plane * 8u + (p.id & 7u)};
        }
    }
    return written;
}

// The face of a box turned most against n (the one a push along n presses on) as the
// first four corners of `polygon`, named 0 to 3; returns which face: axis * 2, plus 1 on
// the axis's positive side.
uint32_t faceAgainst(const ShapeFrame& box, Vec3 n, ClipVertex (&polygon)[16])
{
    int axis = 0;
    float most = -1.0f;
    for (int j = 0; j < 3; ++j) {
        const float alignment = std::fabs(dot(box.axis[j], n));
        if (alignment > most) {
            most = alignment;
            axis = j;
        }
    }
    const float side = dot(box.axis[axis], n) > 0.0f ? -1.0f : 1.0f;
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    const Vec3 centre = box.centre + box.axis[axis] * (side * box.half[axis]);
    const Vec3 eu = box.axis[u] * box.half[u], ev = box.axis[v] * box.half[v];
    polygon[0] = {centre + eu + ev, 0};
    polygon[1] = {centre - eu + ev, 1};
    polygon[2] = {centre - eu - ev, 2};
    polygon[3] = {centre + eu - ev, 3};
    return static_cast<uint32_t>(axis * 2 + (side > 0 ? 1 : 0));
}

// Face contact: the face of `incident` most opposed to n clipped by the side planes of
// the reference face of `reference` (axis `axis`, normal n pointing to the incident box).
int clipFaces(const ShapeFrame& reference, int axis, Vec3 n, const ShapeFrame& incident, uint32_t featureBase,
              ManifoldPoint* points)
{
    ClipVertex polygon[16];
    const uint32_t incidentFace = faceAgainst(incident, n, polygon);
    ClipVertex scratch[16];
    int count = 4;
    const int side[2] = {(axis + 1) % 3, (axis + 2) % 3};
    uint32_t plane = 0;
    for (int s : side)
        for (float sign : {1.0f, -1.0f}) {
            const Vec3 planeNormal = reference.axis[s] * sign;
            const float offset = dot(planeNormal, reference.centre) + reference.half[s];
            count = clipPolygon(polygon, count, planeNormal, offset, plane++, scratch);
            std::copy(scratch, scratch + count, polygon);
            if (count == 0)
                return 0;
        }
    const float faceOffset = dot(n, reference.centre) + reference.half[axis];
    const uint32_t faces = featureBase | incidentFace << 6;
    int written = 0;
    ManifoldPoint candidates[16];
    for (int i = 0; i < count; ++i) {
        const float separation = dot(n, polygon[i].p) - faceOffset;
        if (separation > kContactMargin)
            continue;
        ManifoldPoint& point = candidates[written++];
        point = {};
        point.point = polygon[i].p - n * (0.5f * separation);
        point.separation = separation;
        point.feature = faces | polygon[i].id;
    }
    const int kept = reducePoints(candidates, written, n);
    std::copy(candidates, candidates + kept, points);
    return kept;
}

bool boxBox(const ShapeFrame& a, const ShapeFrame& b, Manifold& out)
{
    // The separating-axis test in a's frame: r[i][j] = a_i . b_j, t = the centres' offset.
    const Vec3 d = b.centre - a.centre;
    float r[3][3], absR[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            r[i][j] = dot(a.axis[i], b.axis[j]);
            absR[i][j] = std::fabs(r[i][j]);
        }
    const float t[3] = {dot(d, a.axis[0]), dot(d, a.axis[1]), dot(d, a.axis[2])};
    float faceA = -INFINITY, faceB = -INFINITY, edge = -INFINITY;
    int axisA = 0, axisB = 0, edgeA = 0, edgeB = 0;
    for (int i = 0; i < 3; ++i) {
        const float s =
            std::fabs(t[i]) - (a.half[i] + b.half[0] * absR[i][0] + b.half[1] * absR[i][1] + b.half[2] * absR[i][2]);
        if (s > kContactMargin)
            return false;
        if (s > faceA) {
            faceA = s;
            axisA = i;
        }
    }
    for (int j = 0; j < 3; ++j) {
        const float s = std::fabs(t[0] * r[0][j] + t[1] * r[1][j] + t[2] * r[2][j]) -
                        (b.half[j] + a.half[0] * absR[0][j] + a.half[1] * absR[1][j] + a.half[2] * absR[2][j]);
        if (s > kContactMargin)
            return false;
        if (s > faceB) {
            faceB = s;
            axisB = j;
        }
    }
    for (int i = 0; i < 3; ++i) {
        const int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
        for (int j = 0; j < 3; ++j) {
            // |a_i x b_j| = sin of their angle; nearly parallel edges give a face axis or noise.
            const float l = std::sqrt(std::max(1.0f - r[i][j] * r[i][j], 0.0f));
            if (l < 1e-3f)
                continue;
            const int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            const float ra = a.half[i1] * absR[i2][j] + a.half[i2] * absR[i1][j];
            const float rb = b.half[j1] * absR[i][j2] + b.half[j2] * absR[i][j1];
            const float s = (std::fabs(t[i2] * r[i1][j] - t[i1] * r[i2][j]) - ra - rb) / l;
            if (s > kContactMargin)
                return false;
            if (s > edge) {
                edge = s;
                edgeA = i;
                edgeB = j;
            }
        }
    }
    // Faces are preferred over edges, and A's faces over B's, unless clearly worse: the
    // choice then stays the same from step to step and warm starting can follow it.
    constexpr float kRelative = 0.95f, kAbsolute = 0.01f;
    const bool useB = faceB > kRelative * faceA + kAbsolute;
    const float face = useB ? faceB : faceA;
    if (edge > kRelative * face + kAbsolute) {
        const Vec3 edgeAxis = normalized(cross(a.axis[edgeA], b.axis[edgeB]));
        Vec3 n = dot(d, edgeAxis) < 0.0f ? -edgeAxis : edgeAxis;
        Vec3 pa = a.centre, pb = b.centre;
        for (int k = 0; k < 3; ++k) {
            if (k != edgeA)
                pa += a.axis[k] * (dot(a.axis[k], n) > 0.0f ? a.half[k] : -a.half[k]);
            if (k != edgeB)
                pb += b.axis[k] * (dot(b.axis[k], n) > 0.0f ? -b.half[k] : b.half[k]);
        }
        const Vec3 ua = a.axis[edgeA], ub = b.axis[edgeB];
        const Vec3 r = pa - pb;
        const float cosine = dot(ua, ub), d1 = dot(ua, r), d2 = dot(ub, r);
        const float denominator = 1.0f - cosine * cosine;
        float s = denominator > 1e-6f ? (cosine * d2 - d1) / denominator : 0.0f;
        s = std::clamp(s, -a.half[edgeA], a.half[edgeA]);
        float t = std::clamp(d2 + s * cosine, -b.half[edgeB], b.half[edgeB]);
        s = std::clamp(dot(ua, pb + ub * t - pa), -a.half[edgeA], a.half[edgeA]);
        const Vec3 onA = pa + ua * s, onB = pb + ub * t;
        out.normal = n;
        out.count = 1;
        out.points[0] = {};
        out.points[0].point = (onA + onB) * 0.5f;
        out.points[0].separation = dot(onB - onA, n);
        out.points[0].feature = 1u << 16 | static_cast<uint32_t>(edgeA * 3 + edgeB);
        return true;
    }
    if (!useB) {
        const Vec3 n = dot(d, a.axis[axisA]) < 0.0f ? -a.axis[axisA] : a.axis[axisA];
        out.normal = n;
        out.count =
            clipFaces(a, axisA, n, b, static_cast<uint32_t>(axisA * 2 + (dot(n, a.axis[axisA]) > 0)) << 9, out.points);
    } else {
        const Vec3 n = dot(d, b.axis[axisB]) > 0.0f ? -b.axis[axisB] : b.axis[axisB]; // from b to a
        out.normal = -n;
        out.count = clipFaces(
            b, axisB, n, a, 1u << 12 | static_cast<uint32_t>(axisB * 2 + (dot(n, b.axis[axisB]) > 0)) << 9, out.points);
    }
    return out.count > 0;
}

// ---- triangle meshes ---------------------------------------------------------------

// A leaf's triangles in world coordinates with their outward unit normals, and the unit
// normals of the planes through their edges that face away from them.
struct WorldTriangle {
    Vec3 a, b, c, n;
    Vec3 side[3]; // edges a-b, b-c, c-a
};

void worldTriangles(const BodyGeometry& geometry, const KVE_OBJECT& object, std::vector<Vec3>& vertices,
                    std::vector<WorldTriangle>& triangles)
{
    const KVE_Matrix& m = object.fullMatrix;
    vertices.resize(geometry.vertices.size());
    for (size_t i = 0; i < vertices.size(); ++i) {
        KVE_Vector v = geometry.vertices[i];
        v.w = 1.0f;
        vertices[i] = vec3(*KVE_TransformVector(&v, &m));
    }
    // A mirroring matrix turns the winding, and with it the normals.
    const float outward = dot(cross(vec3(m.c[0]), vec3(m.c[1])), vec3(m.c[2])) < 0.0f ? -1.0f : 1.0f;
    for (size_t f = 0; f + 2 < geometry.faces.size(); f += 3) {
        const Vec3 &a = vertices[static_cast<size_t>(geometry.faces[f])],
                   &b = vertices[static_cast<size_t>(geometry.faces[f + 1])],
                   &c = vertices[static_cast<size_t>(geometry.faces[f + 2])];
        const Vec3 n = cross(b - a, c - a);
        const float l = length(n);
        // The side planes follow the winding, whichever way a mirroring matrix turns n.
        if (l > 0.0f)
            triangles.push_back(
                {a,
                 b,
                 c,
                 n * (outward / l),
                 {normalized(cross(b - a, n)), normalized(cross(c - b, n)), normalized(cross(a - c, n))}});
    }
}

template <class Visit>
void leavesNear(const TreeNode& node, const KVE_OBJECT& object, const ObjectAxes& axes, Vec3 lo, Vec3 hi,
                const Visit& visit)
{
    const ShapeFrame frame = nodeFrame(node, object, axes);
    const Vec3 e = frameExtent(frame);
    if (!boundsOverlap(frame.centre - e, frame.centre + e, lo, hi))
        return;
    if (!node.isLeaf()) {
        leavesNear(*node.first, object, axes, lo, hi, visit);
        leavesNear(*node.second, object, axes, lo, hi, visit);
    } else if (node.geometry && node.geometry->indicesValid())
        visit(*node.geometry);
}
// Visits the leaves of the object's tree whose world box meets [lo, hi].
template <class Visit>
void leavesNear(const TreeNode& root, const KVE_OBJECT& object, Vec3 lo, Vec3 hi, const Visit& visit)
{
    leavesNear(root, object, axesOf(object), lo, hi, visit);
}

// Ericson's closest point of a triangle to p.
Vec3 closestOnTriangle(Vec3 p, Vec3 a, Vec3 b, Vec3 c)
{
    const Vec3 ab = b - a, ac = c - a, ap = p - a;
    const float d1 = dot(ab, ap), d2 = dot(ac, ap);
    if (d1 <= 0.0f && d2 <= 0.0f)
        return a;
    const Vec3 bp = p - b;
    const float d3 = dot(ab, bp), d4 = dot(ac, bp);
    if (d3 >= 0.0f && d4 <= d3)
        return b;
    const float vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0f && d1 >= 0.0f && d3 <= 0.0f)
        return a + ab * (d1 / (d1 - d3));
    const Vec3 cp = p - c;
    const float d5 = dot(ab, cp), d6 = dot(ac, cp);
    if (d6 >= 0.0f && d5 <= d6)
        return c;
    const float vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0f && d2 >= 0.0f && d6 <= 0.0f)
        return a + ac * (d2 / (d2 - d6));
    const float va = d3 * d6 - d5 * d4;
    if (va <= 0.0f && (d4 - d3) >= 0.0f && (d5 - d6) >= 0.0f)
        return b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
    const float denominator = 1.0f / (va + vb + vc);
    return a + ab * (vb * denominator) + ac * (vc * denominator);
}

bool insideTriangle(Vec3 p, const WorldTriangle& t)
{
    constexpr float kEdgeTolerance = -1e-5f;
    return dot(cross(t.b - t.a, p - t.a), t.n) >= kEdgeTolerance &&
           dot(cross(t.c - t.b, p - t.b), t.n) >= kEdgeTolerance &&
           dot(cross(t.a - t.c, p - t.c), t.n) >= kEdgeTolerance;
}

// A leaf's world triangles, kept while the object's matrix and the generation stay: the
// ground under a thousand bodies is transformed once a step rather than once a pair.
struct CachedLeaf {
    const BodyGeometry* geometry = nullptr;
    const KVE_OBJECT* object = nullptr;
    KVE_Matrix matrix{};
    uint64_t generation = 0;
    std::vector<WorldTriangle> triangles;
};
std::atomic<uint64_t> leafGeneration{1};

struct Scratch {
    std::vector<Vec3> vertices;
    std::vector<WorldTriangle> triangles;
    std::vector<Vec3> sources;
    CachedLeaf leaves[4];
    unsigned nextLeaf = 0;
};
Scratch& scratch()
{
    static thread_local Scratch s;
    return s;
}

const std::vector<WorldTriangle>& leafTriangles(const BodyGeometry& geometry, const KVE_OBJECT& object)
{
    Scratch& s = scratch();
    const uint64_t generation = leafGeneration.load(std::memory_order_relaxed);
    for (const CachedLeaf& leaf : s.leaves)
        if (leaf.geometry == &geometry && leaf.object == &object && leaf.generation == generation &&
            std::memcmp(&leaf.matrix, &object.fullMatrix, sizeof(KVE_Matrix)) == 0)
            return leaf.triangles;
    CachedLeaf& leaf = s.leaves[s.nextLeaf++ % std::size(s.leaves)];
    leaf.geometry = &geometry;
    leaf.object = &object;
    leaf.matrix = object.fullMatrix;
    leaf.generation = generation;
    leaf.triangles.clear();
    worldTriangles(geometry, object, s.vertices, leaf.triangles);
    return leaf.triangles;
}

// The sphere's centre against the nearest triangle it lies in front of. The normal
// points from the mesh to the sphere.
bool meshSphere(const KVE_OBJECT& mesh, const KVE_OBJECT& sphere, Manifold& out)
{
    const float r = sphereRadius(sphere);
    const Vec3 c = vec3(sphere.v4fPosition);
    const Vec3 reach{r + kContactMargin, r + kContactMargin, r + kContactMargin};
    float best = r + kContactMargin;
    Vec3 closest, normal;
    bool found = false;
    leavesNear(*bodyOf(mesh)->root, mesh, c - reach, c + reach, [&](const BodyGeometry& geometry) {
        for (const WorldTriangle& t : leafTriangles(geometry, mesh)) {
            if (dot(c - t.a, t.n) < 0.0f)
                continue;
            const Vec3 q = closestOnTriangle(c, t.a, t.b, t.c);
            const float distance = length(c - q);
            if (distance < best) {
                best = distance;
                closest = q;
                normal = distance > 1e-6f ? (c - q) * (1.0f / distance) : t.n;
                found = true;
            }
        }
    });
    if (!found)
        return false;
    const float separation = best - r;
    out.normal = normal;
    out.count = 1;
    out.points[0] = {};
    out.points[0].point = closest + normal * (0.5f * separation);
    out.points[0].separation = separation;
    return true;
}

// The vertices of a mesh's leaves near [lo, hi], in world coordinates.
void meshVertices(const KVE_OBJECT& object, Vec3 lo, Vec3 hi, std::vector<Vec3>& out)
{
    out.clear();
    leavesNear(*bodyOf(object)->root, object, lo, hi, [&](const BodyGeometry& geometry) {
        for (const KVE_Vector& v : geometry.vertices) {
            KVE_Vector w = v;
            w.w = 1.0f;
            const Vec3 p = vec3(*KVE_TransformVector(&w, &object.fullMatrix));
            // Leaves share the vertices on their borders.
            const auto same = [&](Vec3 q) { return q.x == p.x && q.y == p.y && q.z == p.z; };
            if (std::find_if(out.begin(), out.end(), same) == out.end())
                out.push_back(p);
        }
    });
}

// How deep a vertex may lie behind a face and still count as touching it rather than as
// lying beyond the face on the far side of the shape.
constexpr float kDeepestVertex = 0.5f;

// A box against triangles: for each triangle, the box face turned most against it clipped
// by the triangle's edges, so that a box reaching over the edge of a sheet is held where
// the sheet ends and not only at its corners that lie over the sheet.
int boxFaceContacts(const KVE_OBJECT& box, const std::vector<WorldTriangle>& triangles, ManifoldPoint* out,
                    Vec3* normals)
{
    const ShapeFrame frame = nodeFrame(*bodyOf(box)->root, box);
    const Vec3 centre = vec3(box.v4fPosition);
    int count = 0;
    for (size_t t = 0; t < triangles.size() && count < 64; ++t) {
        const WorldTriangle& tri = triangles[t];
        if (dot(centre - tri.a, tri.n) <= 0.0f)
            continue; // the box's centre is behind this face
        ClipVertex polygon[16];
        faceAgainst(frame, tri.n, polygon);
        ClipVertex clipped[16];
        int corners = 4;
        const Vec3 starts[3] = {tri.a, tri.b, tri.c};
        for (uint32_t e = 0; e < 3 && corners > 0; ++e) {
            corners = clipPolygon(polygon, corners, tri.side[e], dot(tri.side[e], starts[e]), e, clipped);
            std::copy(clipped, clipped + corners, polygon);
        }
        for (int i = 0; i < corners && count < 64; ++i) {
            const float depth = dot(polygon[i].p - tri.a, tri.n);
            if (depth > kContactMargin || depth < -kDeepestVertex || dot(centre - tri.a, tri.n) <= depth)
                continue;
            ManifoldPoint& point = out[count];
            point = {};
            point.point = polygon[i].p - tri.n * (0.5f * depth);
            point.separation = depth;
            point.feature = static_cast<uint32_t>(t) << 5 | (polygon[i].id & 31u);
            normals[count++] = tri.n;
        }
    }
    return count;
}

// A mesh's vertices against the triangles in `s`: each vertex within the margin of a face
// it lies in front of (projected inside it) takes the face it is least deep behind.
int meshVertexContacts(const KVE_OBJECT& mesh, Vec3 lo, Vec3 hi, Scratch& s, ManifoldPoint* candidates,
                       Vec3* candidateNormals)
{
    meshVertices(mesh, lo, hi, s.sources);
    const Vec3 sourceCentre = vec3(mesh.v4fPosition);
    int count = 0;
    for (size_t i = 0; i < s.sources.size() && count < 64; ++i) {
        const Vec3 p = s.sources[i];
        float best = -INFINITY;
        const WorldTriangle* face = nullptr;
        for (const WorldTriangle& t : s.triangles) {
            const float depth = dot(p - t.a, t.n);
            if (depth > kContactMargin || depth < -kDeepestVertex || depth <= best)
                continue;
            if (dot(sourceCentre - t.a, t.n) <= depth || !insideTriangle(p - t.n * depth, t))
                continue;
            best = depth;
            face = &t;
        }
        if (!face)
            continue;
        ManifoldPoint& point = candidates[count];
        point = {};
        point.point = p - face->n * (0.5f * best);
        point.separation = best;
        point.feature = static_cast<uint32_t>(i);
        candidateNormals[count++] = face->n;
    }
    return count;
}

// `source` against the faces of `target`: a box by its faces clipped to each triangle, a
// mesh by its vertices. Normal from target to source.
int vertexFaceContacts(const KVE_OBJECT& source, Kind sourceKind, const KVE_OBJECT& target, Vec3& normal,
                       ManifoldPoint* points)
{
    Vec3 loS, hiS, loT, hiT;
    if (!shapeBounds(source, loS, hiS) || !shapeBounds(target, loT, hiT))
        return 0;
    Scratch& s = scratch();
    s.triangles.clear();
    leavesNear(*bodyOf(target)->root, target, loS, hiS, [&](const BodyGeometry& geometry) {
        const std::vector<WorldTriangle>& leaf = leafTriangles(geometry, target);
        s.triangles.insert(s.triangles.end(), leaf.begin(), leaf.end());
    });
    if (s.triangles.empty())
        return 0;
    ManifoldPoint candidates[64];
    Vec3 candidateNormals[64];
    const int count = sourceKind == Kind::Box ? boxFaceContacts(source, s.triangles, candidates, candidateNormals)
                                              : meshVertexContacts(source, loT, hiT, s, candidates, candidateNormals);
    if (count == 0)
        return 0;
    // One normal for the manifold: the deepest point's face; points on faces turned away
    // from it belong to another contact and are left out.
    int deepest = 0;
    for (int i = 1; i < count; ++i)
        if (candidates[i].separation < candidates[deepest].separation)
            deepest = i;
    normal = candidateNormals[deepest];
    int kept = 0;
    for (int i = 0; i < count; ++i)
        if (dot(candidateNormals[i], normal) > 0.95f)
            candidates[kept++] = candidates[i];
    kept = reducePoints(candidates, kept, normal);
    std::copy(candidates, candidates + kept, points);
    return kept;
}

// Small closed shapes as their world vertices and edges, for the edge crossing test: a
// box by its corners, a mesh of one closed leaf of at most kEdgeShapeVertices vertices by
// its edges (or its triangles' sides when it lists none). False for anything else.
constexpr size_t kEdgeShapeVertices = 64;

bool edgeShape(const KVE_OBJECT& object, Kind kind, EdgeShape& out)
{
    out.vertices.clear();
    out.edges.clear();
    const TreeNode& root = *bodyOf(object)->root;
    if (kind == Kind::Box) {
        const ShapeFrame frame = nodeFrame(root, object);
        for (int i = 0; i < 8; ++i) {
            const auto half = [&](int k) { return i >> k & 1 ? frame.half[k] : -frame.half[k]; };
            out.vertices.push_back(frame.toWorld({half(0), half(1), half(2)}));
        }
        for (int i = 0; i < 8; ++i)
            for (int k = 0; k < 3; ++k)
                if (!(i >> k & 1))
                    out.edges.push_back(
                        {out.vertices[static_cast<size_t>(i)], out.vertices[static_cast<size_t>(i | 1 << k)]});
        out.centre = frame.centre;
        return true;
    }
    const BodyGeometry* geometry = root.isLeaf() ? root.geometry.get() : nullptr;
    if (kind != Kind::Mesh || !geometry || !geometry->closed() || !geometry->indicesValid() ||
        geometry->vertices.empty() || geometry->vertices.size() > kEdgeShapeVertices)
        return false;
    out.centre = {};
    for (const KVE_Vector& v : geometry->vertices) {
        KVE_Vector w = v;
        w.w = 1.0f;
        out.vertices.push_back(vec3(*KVE_TransformVector(&w, &object.fullMatrix)));
        out.centre += out.vertices.back() * (1.0f / static_cast<float>(geometry->vertices.size()));
    }
    const auto vertex = [&](int32_t index) { return out.vertices[static_cast<size_t>(index)]; };
    if (!geometry->edges.empty())
        for (size_t e = 0; e + 1 < geometry->edges.size(); e += 2)
            out.edges.push_back({vertex(geometry->edges[e]), vertex(geometry->edges[e + 1])});
    else
        for (size_t f = 0; f + 2 < geometry->faces.size(); f += 3)
            for (size_t k = 0; k < 3; ++k)
                // Each side once: from the lower index (a closed surface has both directions).
                if (geometry->faces[f + k] < geometry->faces[f + (k + 1) % 3])
                    out.edges.push_back({vertex(geometry->faces[f + k]), vertex(geometry->faces[f + (k + 1) % 3])});
    return true;
}

// A mesh pair (or a box and a mesh): the vertices of each against the faces of the other,
// the side with the deeper contact wins; small closed shapes whose vertices touch no face
// may still meet edge on edge. An open sheet (the ground) has only a front: its vertices
// are not tested against a closed shape's faces.
bool meshMesh(const KVE_OBJECT& a, Kind kindA, const KVE_OBJECT& b, Kind kindB, Manifold& out)
{
    const auto closed = [](const KVE_OBJECT& object, Kind kind) {
        const TreeNode& root = *bodyOf(object)->root;
        return kind == Kind::Box || !root.isLeaf() || (root.geometry && root.geometry->closed());
    };
    const bool aClosed = closed(a, kindA), bClosed = closed(b, kindB);
    Manifold fromA, fromB; // vertices of a against b's faces, and the reverse
    Vec3 normalA, normalB;
    if (!(bClosed && !aClosed))
        fromA.count = vertexFaceContacts(a, kindA, b, normalA, fromA.points);
    if (!(aClosed && !bClosed))
        fromB.count = vertexFaceContacts(b, kindB, a, normalB, fromB.points);
    const auto deepest = [](const Manifold& m) {
        float least = INFINITY;
        for (int i = 0; i < m.count; ++i)
            least = std::min(least, m.points[i].separation);
        return least;
    };
    if (fromA.count == 0 && fromB.count == 0) {
        static thread_local EdgeShape shapeA, shapeB;
        if (!aClosed || !bClosed || !edgeShape(a, kindA, shapeA) || !edgeShape(b, kindB, shapeB) ||
            !edgeCrossing(shapeA, shapeB, kContactMargin, kDeepestVertex, out.normal, out.points[0]))
            return false;
        out.count = 1;
        return true;
    }
    if (fromB.count == 0 || (fromA.count > 0 && deepest(fromA) <= deepest(fromB))) {
        out = fromA;
        out.normal = -normalA; // b's face normal points to a
    } else {
        out = fromB;
        out.normal = normalB;
        for (int i = 0; i < out.count; ++i)
            out.points[i].feature |= 1u << 20;
    }
    return true;
}

} // namespace

bool hasManifoldShape(const KVE_OBJECT& object)
{
    return kindOf(object) != Kind::None;
}

bool shapeBounds(const KVE_OBJECT& object, Vec3& lo, Vec3& hi)
{
    const Kind kind = kindOf(object);
    if (kind == Kind::None)
        return false;
    if (kind == Kind::Sphere) {
        const float r = sphereRadius(object) + kContactMargin;
        lo = vec3(object.v4fPosition) - Vec3{r, r, r};
        hi = vec3(object.v4fPosition) + Vec3{r, r, r};
    } else {
        const ShapeFrame frame = nodeFrame(*bodyOf(object)->root, object);
        const Vec3 e = frameExtent(frame) + Vec3{kContactMargin, kContactMargin, kContactMargin};
        lo = frame.centre - e;
        hi = frame.centre + e;
    }
    return std::isfinite(lo.x + lo.y + lo.z + hi.x + hi.y + hi.z);
}

int reducePoints(ManifoldPoint* points, int count, Vec3 normal)
{
    if (count <= kMaxManifoldPoints)
        return count;
    ManifoldPoint kept[kMaxManifoldPoints];
    bool used[64] = {};
    count = std::min(count, 64);
    const auto take = [&](int slot, int index) {
        kept[slot] = points[index];
        used[index] = true;
    };
    int best = 0;
    for (int i = 1; i < count; ++i)
        if (points[i].separation < points[best].separation)
            best = i;
    take(0, best);
    const Vec3 p0 = kept[0].point;
    float score = -1.0f;
    for (int i = 0; i < count; ++i)
        if (!used[i] && dot(points[i].point - p0, points[i].point - p0) > score) {
            score = dot(points[i].point - p0, points[i].point - p0);
            best = i;
        }
    take(1, best);
    const Vec3 p1 = kept[1].point;
    const auto area = [&](Vec3 a, Vec3 b, Vec3 c) { return dot(cross(b - a, c - a), normal); };
    score = -1.0f;
    for (int i = 0; i < count; ++i)
        if (!used[i] && std::fabs(area(p0, p1, points[i].point)) > score) {
            score = std::fabs(area(p0, p1, points[i].point));
            best = i;
        }
    take(2, best);
    const Vec3 p2 = kept[2].point;
    // The fourth point adds the most area outside the triangle of the first three.
    const float winding = area(p0, p1, p2) >= 0.0f ? 1.0f : -1.0f;
    score = -INFINITY;
    for (int i = 0; i < count; ++i) {
        if (used[i])
            continue;
        const Vec3 q = points[i].point;
        const float outside =
            -std::min({winding * area(p0, p1, q), winding * area(p1, p2, q), winding * area(p2, p0, q)});
        if (outside > score) {
            score = outside;
            best = i;
        }
    }
    take(3, best);
    std::copy(kept, kept + kMaxManifoldPoints, points);
    return kMaxManifoldPoints;
}

void forgetLeafTriangles()
{
    leafGeneration.fetch_add(1, std::memory_order_relaxed);
}

bool collideShapes(const KVE_OBJECT& a, const KVE_OBJECT& b, Manifold& out)
{
    out.count = 0;
    const Kind ka = kindOf(a), kb = kindOf(b);
    if (ka == Kind::None || kb == Kind::None)
        return false;
    if (ka == Kind::Sphere && kb == Kind::Sphere)
        return sphereSphere(a, b, out);
    if (ka == Kind::Box && kb == Kind::Sphere)
        return boxSphere(nodeFrame(*bodyOf(a)->root, a), b, out);
    if (ka == Kind::Sphere && kb == Kind::Box)
        return boxSphere(nodeFrame(*bodyOf(b)->root, b), a, out) && flip(out).count > 0;
    if (ka == Kind::Mesh && kb == Kind::Sphere)
        return meshSphere(a, b, out);
    if (ka == Kind::Sphere && kb == Kind::Mesh)
        return meshSphere(b, a, out) && flip(out).count > 0;
    if (ka == Kind::Box && kb == Kind::Box)
        return boxBox(nodeFrame(*bodyOf(a)->root, a), nodeFrame(*bodyOf(b)->root, b), out);
    return meshMesh(a, ka, b, kb, out);
}

} // namespace kve::physics
