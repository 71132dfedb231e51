// Collision detection and response: dispatch by body type, descent of the bounding-box
// trees (separating-axis test on 15 axes for oriented boxes, slab test for a point's
// sweep), the narrow-phase tests with their positional correction, the impulse response
// with restitution and Coulomb friction, collision sounds and callbacks.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

#include "core/log.h"
#include "core/physics_lock.h"
#include "gpu/material.h"
#include "physics/physics.h"
#include "scene/object.h"

namespace kve::physics {
namespace {

KVE_Vector sub(const KVE_Vector& a, const KVE_Vector& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z, 0.0f};
}
KVE_Vector add(const KVE_Vector& a, const KVE_Vector& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z, a.w};
}
KVE_Vector scaled(const KVE_Vector& a, float s)
{
    return {a.x * s, a.y * s, a.z * s, 0.0f};
}
float dot(const KVE_Vector& a, const KVE_Vector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
KVE_Vector cross(const KVE_Vector& a, const KVE_Vector& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 0.0f};
}
float length(const KVE_Vector& a)
{
    return std::sqrt(dot(a, a));
}
KVE_Vector unit(KVE_Vector a)
{
    a.w = 0.0f;
    return *KVE_NormalizeVector(&a);
}
KVE_Vector transformed(KVE_Vector v, const KVE_Matrix& m)
{
    return *KVE_TransformVector(&v, &m);
}
KVE_Matrix inverted(const KVE_Matrix& m)
{
    KVE_Matrix out;
    return *KVE_CopyInvertMatrix(&out, &m);
}
bool dynamic(const KVE_OBJECT& object)
{
    return object.Body.mass != 0.0f;
}

enum class Shape { None, Point, Sphere, Mesh };

Shape shapeOf(const BodyRecord* body)
{
    switch (body ? body->type : 0) {
    case KVE_BODY_POINT:
        return Shape::Point;
    case KVE_BODY_SPHERE:
        return Shape::Sphere;
    case KVE_BODY_BOX:
    case KVE_BODY_MESH:
        return Shape::Mesh;
    default:
        return Shape::None;
    }
}

float sphereRadius(const KVE_OBJECT& sphere)
{
    return bodyOf(sphere)->radius * sphere.Body.sizeFactor;
}

void setContact(const KVE_Vector& point, const KVE_Vector& normal)
{
    world().contactPoint = point;
    world().contactNormal = normal;
}

// Positional correction of a pair along n by `depth`: b moves along n, a against it; two
// dynamic objects share it, otherwise the dynamic one takes it all. Then the impulse,
// which itself puts the dynamic object second.
void separate(KVE_OBJECT& a, KVE_OBJECT& b, const KVE_Vector& n, float depth)
{
    const float share = dynamic(a) && dynamic(b) ? 0.5f * depth : depth;
    if (dynamic(a))
        KVE_AddScaledVector(&a.v4fPosition, &n, -share);
    if (dynamic(b))
        KVE_AddScaledVector(&b.v4fPosition, &n, share);
    applyContactImpulse(a, b);
}

// An oriented box: world centre, axes (unit columns of the rotation) and half-sizes.
struct OrientedBox {
    KVE_Vector centre;
    KVE_Vector axis[3];
    float half[3];
};

OrientedBox orientedBox(const TreeNode& node, const KVE_OBJECT& object)
{
    OrientedBox box;
    box.centre = transformed(node.centre, object.fullMatrix);
    const float scale[3] = {object.scale.x, object.scale.y, object.scale.z};
    const float half[3] = {node.halfSize.x, node.halfSize.y, node.halfSize.z};
    for (int i = 0; i < 3; ++i) {
        box.axis[i] = object.rigidMatrix.c[i];
        box.half[i] = std::fabs(half[i] * scale[i]);
    }
    return box;
}

// Separating-axis test of two oriented boxes on their 3 + 3 face axes and the 9 edge
// cross products, in the frame of the first box. Where two edges are parallel their cross
// product vanishes and both sides of its test are rounding noise, so that overlapping
// boxes can come out apart; `parallel` widens every projection to absorb that noise.
bool boxesOverlap(const OrientedBox& a, const OrientedBox& b, float parallel = 0.0f)
{
    float r[3][3], absR[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            r[i][j] = dot(a.axis[i], b.axis[j]);
            absR[i][j] = std::fabs(r[i][j]) + parallel;
        }
    const KVE_Vector d = sub(b.centre, a.centre);
    const float t[3] = {dot(d, a.axis[0]), dot(d, a.axis[1]), dot(d, a.axis[2])};
    for (int i = 0; i < 3; ++i)
        if (std::fabs(t[i]) > a.half[i] + b.half[0] * absR[i][0] + b.half[1] * absR[i][1] + b.half[2] * absR[i][2])
            return false;
    for (int j = 0; j < 3; ++j)
        if (std::fabs(t[0] * r[0][j] + t[1] * r[1][j] + t[2] * r[2][j]) >
            b.half[j] + a.half[0] * absR[0][j] + a.half[1] * absR[1][j] + a.half[2] * absR[2][j])
            return false;
    for (int i = 0; i < 3; ++i) {
        const int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
        for (int j = 0; j < 3; ++j) {
            const int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            const float ra = a.half[i1] * absR[i2][j] + a.half[i2] * absR[i1][j];
            const float rb = b.half[j1] * absR[i][j2] + b.half[j2] * absR[i][j1];
            if (std::fabs(t[i2] * r[i1][j] - t[i1] * r[i2][j]) > ra + rb)
                return false;
        }
    }
    return true;
}

// Slab test of the sweep origin + t * direction, t in 0..2, against a local box.
bool sweepOverlapsBox(const KVE_Vector& origin, const KVE_Vector& direction, const TreeNode& node)
{
    const float o[3] = {origin.x - node.centre.x, origin.y - node.centre.y, origin.z - node.centre.z};
    const float dir[3] = {direction.x, direction.y, direction.z};
    const float half[3] = {std::fabs(node.halfSize.x), std::fabs(node.halfSize.y), std::fabs(node.halfSize.z)};
    float entry = -INFINITY, exit = INFINITY;
    for (int axis = 0; axis < 3; ++axis) {
        if (dir[axis] == 0.0f) {
            if (std::fabs(o[axis]) > half[axis])
                return false;
            continue;
        }
        float t0 = (-half[axis] - o[axis]) / dir[axis], t1 = (half[axis] - o[axis]) / dir[axis];
        if (t0 > t1)
            std::swap(t0, t1);
        entry = std::max(entry, t0);
        exit = std::min(exit, t1);
    }
    return exit >= 0.0f && entry <= exit && entry <= 2.0f;
}

// Möller–Trumbore: barycentric u, v and segment parameter t of the crossing of
// origin + t * direction with the triangle's plane; false when parallel.
struct Crossing {
    float u = 0, v = 0, t = 0;
    bool inside() const { return u >= 0.0f && v >= 0.0f && u + v <= 1.0f; }
};

bool segmentTriangle(const KVE_Vector& origin, const KVE_Vector& direction, const KVE_Vector& a, const KVE_Vector& b,
                     const KVE_Vector& c, Crossing& out)
{
    const KVE_Vector e1 = sub(b, a), e2 = sub(c, a);
    const KVE_Vector p = cross(direction, e2);
    const float det = dot(e1, p);
    if (det == 0.0f)
        return false;
    const float inverse = 1.0f / det;
    const KVE_Vector s = sub(origin, a);
    const KVE_Vector q = cross(s, e1);
    out.u = dot(s, p) * inverse;
    out.v = dot(direction, q) * inverse;
    out.t = dot(e2, q) * inverse;
    return true;
}

// A leaf geometry's vertices through a matrix, in a buffer reused between leaf tests.
const std::vector<KVE_Vector>& transformedVertices(const BodyGeometry& geometry, const KVE_Matrix& matrix, int slot)
{
    static thread_local std::vector<KVE_Vector> buffers[4];
    std::vector<KVE_Vector>& out = buffers[slot];
    out.resize(geometry.vertices.size());
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = transformed(geometry.vertices[i], matrix);
    return out;
}

// Descent shared by the tests against one shape: stop where the box misses, OR over both
// children, the leaf test at a leaf with geometry.
template <class Overlaps, class Leaf> bool descend(const TreeNode& node, const Overlaps& overlaps, const Leaf& leaf)
{
    if (!overlaps(node))
        return false;
    if (!node.isLeaf()) {
        const bool first = descend(*node.first, overlaps, leaf);
        const bool second = descend(*node.second, overlaps, leaf);
        return first || second;
    }
    return node.geometry ? leaf(*node.geometry) : false;
}

// The impulse response with the dynamic object b second; a takes its share only when it
// moves (with aMoves false, b meets a support that moves on untouched).
void respond(KVE_OBJECT& a, KVE_OBJECT& b, bool aMoves);

int sphereSphere(KVE_OBJECT& a, KVE_OBJECT& b)
{
    const float ra = sphereRadius(a), rb = sphereRadius(b);
    const KVE_Vector d = sub(b.v4fPosition, a.v4fPosition);
    const float distance = length(d);
    const float p = distance - (ra + rb);
    if (!(-(ra + rb) < p && p < 0.0f))
        return 0;
    const KVE_Vector n = scaled(d, 1.0f / distance);
    KVE_Vector point = a.v4fPosition;
    KVE_AddScaledVector(&point, &n, ra + 0.5f * p);
    setContact(point, n);
    if (world().response)
        separate(a, b, n, -p);
    return 1;
}

// The point's sweep: from 1.5 steps back along its last displacement to half a step ahead.
int spherePoint(KVE_OBJECT& sphere, KVE_OBJECT& point)
{
    const float r = sphereRadius(sphere);
    const KVE_Vector d = sub(point.v4fPosition, sphere.v4fPosition);
    const KVE_Vector& s = point.Body.displacement;
    const float ss = dot(s, s);
    if (ss == 0.0f)
        return 0;
    const float k = dot(d, s) / ss, m = (dot(d, d) - r * r) / ss;
    const float discriminant = k * k - m;
    if (discriminant < 0.0f)
        return 0;
    const float e = -(k + std::sqrt(discriminant));
    // Written so that a NaN fails it too: a sweep so short that k and m overflow the float
    // range gives inf - inf in the discriminant, and a NaN must never reach the contact.
    if (!(e >= -1.5f && e <= 0.5f))
        return 0;
    KVE_Vector at = point.v4fPosition;
    KVE_AddScaledVector(&at, &s, e);
    setContact(at, unit(sub(at, sphere.v4fPosition)));
    if (world().response) {
        if (dynamic(point))
            point.v4fPosition = at;
        applyContactImpulse(sphere, point);
    }
    return 1;
}

// Closest feature of the leaf to the sphere's centre: faces it lies in front of, then
// edges, then vertices; the nearest one below the radius gives normal and depth.
bool meshSphereLeaf(KVE_OBJECT& mesh, const BodyGeometry& geometry, KVE_OBJECT& sphere)
{
    const std::vector<KVE_Vector>& v = transformedVertices(geometry, mesh.fullMatrix, 0);
    const float r = sphereRadius(sphere);
    const KVE_Vector q = sphere.v4fPosition;
    float best = r;
    KVE_Vector n{0, 0, 0, 0};
    bool found = false;
    const auto update = [&](float distance, const KVE_Vector& normal) {
        best = distance;
        n = normal;
        KVE_Vector point = q;
        KVE_AddScaledVector(&point, &n, -best);
        setContact(point, n);
        found = true;
    };
    for (size_t f = 0; f + 2 < geometry.faces.size(); f += 3) {
        const KVE_Vector &a = v[static_cast<size_t>(geometry.faces[f])],
                         &b = v[static_cast<size_t>(geometry.faces[f + 1])],
                         &c = v[static_cast<size_t>(geometry.faces[f + 2])];
        const KVE_Vector normal = cross(sub(b, a), sub(c, a));
        Crossing crossing;
        if (!segmentTriangle(q, normal, a, b, c, crossing) || !crossing.inside())
            continue;
        const float side = dot(sub(q, a), normal);
        const float distance = side / length(normal);
        if (side > 0.0f && distance < best)
            update(distance, unit(normal));
    }
    for (size_t e = 0; e + 1 < geometry.edges.size(); e += 2) {
        const KVE_Vector &a = v[static_cast<size_t>(geometry.edges[e])],
                         &b = v[static_cast<size_t>(geometry.edges[e + 1])];
        const KVE_Vector ab = sub(b, a);
        const float lengthSquared = dot(ab, ab);
        if (lengthSquared == 0.0f)
            continue;
        const float t = dot(sub(q, a), ab) / lengthSquared;
        if (t < 0.0f || t > 1.0f)
            continue;
        KVE_Vector closest = a;
        KVE_AddScaledVector(&closest, &ab, t);
        const KVE_Vector away = sub(q, closest);
        if (length(away) < best)
            update(length(away), unit(away));
    }
    for (const KVE_Vector& corner : v) {
        const KVE_Vector away = sub(q, corner);
        if (length(away) < best)
            update(length(away), unit(away));
    }
    if (!found || !(best < r))
        return false;
    if (world().response) {
        separate(mesh, sphere, n, r - best);
        scene::rebuildObjectMatrices(mesh);
        scene::rebuildObjectMatrices(sphere);
    }
    return true;
}

int meshSphere(KVE_OBJECT& mesh, KVE_OBJECT& sphere)
{
    const OrientedBox sphereBox = orientedBox(*bodyOf(sphere)->root, sphere);
    return descend(
               *bodyOf(mesh)->root,
               [&](const TreeNode& node) { return boxesOverlap(orientedBox(node, mesh), sphereBox); },
               [&](const BodyGeometry& geometry) { return meshSphereLeaf(mesh, geometry, sphere); })
               ? 1
               : 0;
}

// The point's sweep in the mesh's local frame against every face it enters from the
// front; the earliest crossing wins.
bool meshPointLeaf(KVE_OBJECT& mesh, const BodyGeometry& geometry, KVE_OBJECT& point, const KVE_Vector& origin,
                   const KVE_Vector& direction)
{
    float best = 2.0f;
    KVE_Vector normal{0, 0, 0, 0};
    for (size_t f = 0; f + 2 < geometry.faces.size(); f += 3) {
        const KVE_Vector &a = geometry.vertices[static_cast<size_t>(geometry.faces[f])],
                         &b = geometry.vertices[static_cast<size_t>(geometry.faces[f + 1])],
                         &c = geometry.vertices[static_cast<size_t>(geometry.faces[f + 2])];
        const KVE_Vector n = cross(sub(b, a), sub(c, a));
        Crossing crossing;
        if (segmentTriangle(origin, direction, a, b, c, crossing) && crossing.inside() && dot(direction, n) < 0.0f &&
            crossing.t > 0.0f && crossing.t < best) {
            best = crossing.t;
            normal = n;
        }
    }
    if (!(best < 2.0f))
        return false;
    // Normals go to world space through the inverse transpose of the mesh's matrix (its
    // rotation with the reciprocal scale), so that scaled meshes keep them perpendicular.
    const KVE_Vector& s = mesh.scale;
    KVE_Vector worldNormal{s.x != 0 ? normal.x / s.x : 0, s.y != 0 ? normal.y / s.y : 0, s.z != 0 ? normal.z / s.z : 0,
                           0};
    KVE_Vector at = point.v4fPosition;
    KVE_AddScaledVector(&at, &point.Body.displacement, best - 1.5f);
    setContact(at, unit(transformed(worldNormal, mesh.rigidMatrix)));
    if (world().response) {
        if (dynamic(point))
            point.v4fPosition = at;
        applyContactImpulse(mesh, point);
    }
    return true;
}

int meshPoint(KVE_OBJECT& mesh, KVE_OBJECT& point)
{
    const KVE_Vector& displacement = point.Body.displacement;
    if (dot(displacement, displacement) == 0.0f)
        return 0;
    const KVE_Matrix toLocal = inverted(mesh.fullMatrix);
    const KVE_Vector position = transformed(point.v4fPosition, toLocal);
    const KVE_Vector direction = transformed({displacement.x, displacement.y, displacement.z, 0}, toLocal);
    KVE_Vector origin = position;
    KVE_AddScaledVector(&origin, &direction, -1.5f);
    return descend(
               *bodyOf(mesh)->root, [&](const TreeNode& node) { return sweepOverlapsBox(origin, direction, node); },
               [&](const BodyGeometry& geometry) { return meshPointLeaf(mesh, geometry, point, origin, direction); })
               ? 1
               : 0;
}

// Where the surfaces of two leaves cross: every edge of one leaf (its vertices already in
// the other object's frame) through a face of the other, from either side, whether it
// ends inside or passes through and out again. The mean of the crossing points is the
// contact point: the middle of the line where the surfaces meet.
struct Crossings {
    int count = 0;
    KVE_Vector sum{0, 0, 0, 0};
};

void edgesThroughFaces(const BodyGeometry& edgesOf, const std::vector<KVE_Vector>& edgeVertices,
                       const BodyGeometry& facesOf, const KVE_OBJECT& faceObject, Crossings& found)
{
    for (size_t e = 0; e + 1 < edgesOf.edges.size(); e += 2) {
        const KVE_Vector& start = edgeVertices[static_cast<size_t>(edgesOf.edges[e])];
        const KVE_Vector& end = edgeVertices[static_cast<size_t>(edgesOf.edges[e + 1])];
        const KVE_Vector direction = sub(end, start);
        for (size_t f = 0; f + 2 < facesOf.faces.size(); f += 3) {
            Crossing crossing;
            if (!segmentTriangle(start, direction, facesOf.vertices[static_cast<size_t>(facesOf.faces[f])],
                                 facesOf.vertices[static_cast<size_t>(facesOf.faces[f + 1])],
                                 facesOf.vertices[static_cast<size_t>(facesOf.faces[f + 2])], crossing) ||
                !crossing.inside() || crossing.t <= 0.0f || crossing.t >= 1.0f)
                continue;
            KVE_Vector local = start;
            KVE_AddScaledVector(&local, &direction, crossing.t);
            local.w = 1.0f;
            const KVE_Vector world = transformed(local, faceObject.fullMatrix);
            found.sum = add(found.sum, world);
            ++found.count;
        }
    }
}

// A leaf in world coordinates: its vertices and the outward unit normals of its faces.
struct WorldLeaf {
    const BodyGeometry& geometry;
    const std::vector<KVE_Vector>& vertices;
    std::vector<KVE_Vector>& normals;
};

WorldLeaf worldLeaf(const BodyGeometry& geometry, const KVE_OBJECT& object, int slot)
{
    static thread_local std::vector<KVE_Vector> normals[2];
    const KVE_Matrix& m = object.fullMatrix;
    const std::vector<KVE_Vector>& v = transformedVertices(geometry, m, 2 + slot);
    std::vector<KVE_Vector>& n = normals[slot];
    n.clear();
    // A mirroring matrix (a negative scale) turns the winding, and with it the normals.
    const float outward = dot(cross(m.c[0], m.c[1]), m.c[2]) < 0.0f ? -1.0f : 1.0f;
    for (size_t f = 0; f + 2 < geometry.faces.size(); f += 3) {
        const KVE_Vector& a = v[static_cast<size_t>(geometry.faces[f])];
        const KVE_Vector normal = cross(sub(v[static_cast<size_t>(geometry.faces[f + 1])], a),
                                        sub(v[static_cast<size_t>(geometry.faces[f + 2])], a));
        const float l = length(normal);
        if (l > 0.0f)
            n.push_back(scaled(normal, outward / l));
    }
    return {geometry, v, n};
}

// How far b must move along `direction` for all of it to lie beyond all of a.
float depthAlong(const WorldLeaf& a, const WorldLeaf& b, const KVE_Vector& direction)
{
    float reach = -INFINITY, back = INFINITY;
    for (const KVE_Vector& p : a.vertices)
        reach = std::max(reach, dot(p, direction));
    for (const KVE_Vector& p : b.vertices)
        back = std::min(back, dot(p, direction));
    return reach - back;
}

struct Separation {
    KVE_Vector normal{0, 1, 0, 0}; // the direction b moves, away from a
    float depth = INFINITY;
};

// The face direction that separates the leaves with the least movement of b: a's outward
// normals, and b's outward normals reversed (a leaves through b's face). A direction
// that kept the leaves apart before the last step's moves (`moved`: b's displacement
// minus a's) wins, so that a fast body goes back out the side it came in through rather
// than on through a thin one. An open leaf has only a front: against a closed one, only
// its own faces count, so nothing is pushed through the ground's sheet.
Separation leastSeparation(const WorldLeaf& a, const WorldLeaf& b, const KVE_Vector& moved)
{
    bool useA = !(a.geometry.closed() && !b.geometry.closed()) || b.normals.empty();
    const bool useB = !(b.geometry.closed() && !a.geometry.closed()) || a.normals.empty();
    useA = useA || !useB;
    Separation least, leastBefore;
    const auto consider = [&](const KVE_Vector& direction) {
        const float depth = depthAlong(a, b, direction);
        if (depth < least.depth)
            least = {direction, depth};
        if (depth + dot(moved, direction) <= 0.0f && depth < leastBefore.depth)
            leastBefore = {direction, depth};
    };
    if (useA)
        for (const KVE_Vector& n : a.normals)
            consider(n);
    if (useB)
        for (const KVE_Vector& n : b.normals)
            consider(scaled(n, -1.0f));
    return leastBefore.depth < INFINITY ? leastBefore : least;
}

// Within this angle (about 10 degrees) of the vertical a face counts as level: the
// correction then runs along world up, by the depth that separates along the face.
constexpr float kLevelCosine = 0.985f;

bool meshMeshLeaf(KVE_OBJECT& a, const BodyGeometry& ga, KVE_OBJECT& b, const BodyGeometry& gb)
{
    const KVE_Matrix toA = inverted(a.fullMatrix), toB = inverted(b.fullMatrix);
    KVE_Matrix bInA, aInB;
    KVE_MultiplyMatrix(&bInA, &toA, &b.fullMatrix);
    KVE_MultiplyMatrix(&aInB, &toB, &a.fullMatrix);
    Crossings crossings;
    edgesThroughFaces(gb, transformedVertices(gb, bInA, 0), ga, a, crossings);
    edgesThroughFaces(ga, transformedVertices(ga, aInB, 1), gb, b, crossings);
    if (crossings.count == 0)
        return false;
    Separation separation =
        leastSeparation(worldLeaf(ga, a, 0), worldLeaf(gb, b, 1), sub(b.Body.displacement, a.Body.displacement));
    if (!(separation.depth < INFINITY)) // no usable face: a touch without depth
        separation = {{0, 1, 0, 0}, 0.0f};
    KVE_Vector& n = separation.normal;
    const bool level = std::fabs(n.y) >= kLevelCosine;
    if (level) {
        separation.depth /= std::fabs(n.y);
        n = {0, n.y > 0.0f ? 1.0f : -1.0f, 0, 0};
    }
    const float depth = std::max(separation.depth, 0.0f);
    world().contactPoint = scaled(crossings.sum, 1.0f / static_cast<float>(crossings.count));
    world().contactPoint.w = 1.0f;
    world().contactNormal = n;
    if (world().response) {
        if (level && dynamic(a) && dynamic(b)) {
            // A body resting on another is lifted off it by the whole depth: pushing the
            // lower one down, into whatever carries it, would sink a stack a little more
            // on every step.
            KVE_OBJECT& upper = n.y > 0.0f ? b : a;
            KVE_OBJECT& lower = n.y > 0.0f ? a : b;
            upper.v4fPosition.y += depth;
            // Likewise its weight is not handed down: the lower body carries it like the
            // ground, unless it is rising into the upper one.
            if (lower.Body.v4fMovement.y > 0.0f)
                applyContactImpulse(a, b);
            else
                respond(lower, upper, false);
        } else
            separate(a, b, n, depth);
        scene::rebuildObjectMatrices(a);
        scene::rebuildObjectMatrices(b);
    }
    return true;
}

// Both trees: the first is descended to its leaves before the second.
// Two bodies lying flat on each other have parallel edges: without the widening their
// boxes can miss each other at some turns (a plank crossed at 10 and 100 degrees).
constexpr float kParallelNoise = 1e-5f;

bool meshMeshNodes(KVE_OBJECT& a, const TreeNode& na, KVE_OBJECT& b, const TreeNode& nb)
{
    if (!boxesOverlap(orientedBox(na, a), orientedBox(nb, b), kParallelNoise))
        return false;
    if (!na.isLeaf()) {
        const bool first = meshMeshNodes(a, *na.first, b, nb);
        const bool second = meshMeshNodes(a, *na.second, b, nb);
        return first || second;
    }
    if (!nb.isLeaf()) {
        const bool first = meshMeshNodes(a, na, b, *nb.first);
        const bool second = meshMeshNodes(a, na, b, *nb.second);
        return first || second;
    }
    return na.geometry && nb.geometry && meshMeshLeaf(a, *na.geometry, b, *nb.geometry);
}

int test(KVE_OBJECT& first, KVE_OBJECT& second)
{
    const Shape one = shapeOf(bodyOf(first)), two = shapeOf(bodyOf(second));
    if (one == Shape::None || two == Shape::None)
        return 0;
    switch (one) {
    case Shape::Point:
        return two == Shape::Sphere ? spherePoint(second, first) : two == Shape::Mesh ? meshPoint(second, first) : 0;
    case Shape::Sphere:
        return two == Shape::Point    ? spherePoint(first, second)
               : two == Shape::Sphere ? sphereSphere(first, second)
                                      : meshSphere(second, first);
    default:
        return two == Shape::Point ? meshPoint(first, second)
               : two == Shape::Sphere
                   ? meshSphere(first, second)
                   : (meshMeshNodes(first, *bodyOf(first)->root, second, *bodyOf(second)->root) ? 1 : 0);
    }
}

// Impulse terms of one object at the contact: its inverse inertia, lever arm and
// whether it takes part (a static object takes no impulse).
struct ContactSide {
    KVE_OBJECT& object;
    KVE_Matrix inverseInertia;
    KVE_Vector lever;
    bool moves;
    float sign; // -1 for the first object, +1 for the second
};

// One impulse of size amount / (effective inverse mass along d), applied with opposite
// signs to the two sides: v += sign d j / m, w += sign I^-1 (r x d) j.
void impulseAlong(ContactSide (&sides)[2], const KVE_Vector& d, float amount)
{
    KVE_Vector turn[2];
    float denominator = 0.0f;
    for (int i = 0; i < 2; ++i) {
        if (!sides[i].moves)
            continue;
        turn[i] = transformed(cross(sides[i].lever, d), sides[i].inverseInertia);
        denominator += 1.0f / sides[i].object.Body.mass + dot(cross(sides[i].lever, d), turn[i]);
    }
    if (denominator == 0.0f)
        return;
    const float j = amount / denominator;
    for (int i = 0; i < 2; ++i) {
        if (!sides[i].moves)
            continue;
        KVE_OBJECT_BODY& body = sides[i].object.Body;
        KVE_AddScaledVector(&body.v4fMovement, &d, sides[i].sign * j / body.mass);
        KVE_AddScaledVector(&body.angularVelocity, &turn[i], sides[i].sign * j);
    }
}

KVE_Vector tangential(const KVE_Vector& v, const KVE_Vector& n)
{
    return cross(cross(n, v), n);
}

} // namespace

int collide(KVE_OBJECT& first, KVE_OBJECT& second)
{
    const int contact = test(first, second);
    if (!contact)
        return 0;
    reportContact(first, second);
    return contact;
}

void reportContact(KVE_OBJECT& first, KVE_OBJECT& second)
{
    World& w = world();
    const CollisionSound* sound = findCollisionSound(first.material, second.material);
    if (sound && w.approachSpeed > 1.0f && w.soundPlayer)
        w.soundPlayer(sound->sound, w.contactPoint, 1.0f - 1.0f / w.approachSpeed);
    if (first.Body.collisionCallback || second.Body.collisionCallback)
        ++w.callbackCalls; // the pair loop measures everything again after a callback
    // A callback may release either object (or both); each record is touched again only
    // while its number still names it.
    const int firstNumber = first.number, secondNumber = second.number;
    const auto alive = [](const KVE_OBJECT& object, int number) { return scene::findObject(number) == &object; };
    bool called = false;
    if (const KVE_COLLISION_CALLBACK callback = first.Body.collisionCallback) {
        const int result = callback(firstNumber, secondNumber);
        called = true;
        if (alive(first, firstNumber))
            first.Body.callbackResult = result;
    }
    if ((!called || alive(second, secondNumber)) && second.Body.collisionCallback) {
        const int result = second.Body.collisionCallback(secondNumber, firstNumber);
        if (alive(second, secondNumber))
            second.Body.callbackResult = result;
    }
}

// Impulse with restitution e and Coulomb friction mu (products of both objects' factors):
// the normal impulse (1 + e) vn, then sliding friction up to mu vn along the relative
// tangential velocity, then spin friction up to 0.1 mu vn against the relative rotation.
void applyContactImpulse(KVE_OBJECT& objectA, KVE_OBJECT& objectB)
{
    KVE_OBJECT* a = &objectA;
    KVE_OBJECT* b = &objectB;
    if (!dynamic(*b))
        std::swap(a, b);
    if (!dynamic(*b))
        return; // two static objects: nothing can take the impulse
    respond(*a, *b, dynamic(*a));
}

namespace {

void respond(KVE_OBJECT& objectA, KVE_OBJECT& objectB, bool aMoves)
{
    World& w = world();
    const KVE_Vector n = w.contactNormal, p = w.contactPoint;
    const float e = objectA.Body.restitution * objectB.Body.restitution;
    const float mu = objectA.Body.friction * objectB.Body.friction;
    KVE_OBJECT* a = &objectA;
    KVE_OBJECT* b = &objectB;
    ContactSide sides[2] = {{*a, inverted(a->Body.inertia), sub(p, a->v4fPosition), aMoves, -1.0f},
                            {*b, inverted(b->Body.inertia), sub(p, b->v4fPosition), true, 1.0f}};
    KVE_OBJECT_BODY &bodyA = a->Body, &bodyB = b->Body;
    const KVE_Vector &rA = sides[0].lever, &rB = sides[1].lever;
    const float vn = dot(sub(bodyA.v4fMovement, bodyB.v4fMovement), n) + dot(bodyA.angularVelocity, cross(rA, n)) -
                     dot(bodyB.angularVelocity, cross(rB, n));
    w.approachSpeed = vn;
    impulseAlong(sides, n, (1.0f + e) * vn);

    const float budget = mu * vn;
    const KVE_Vector g = sub(add(tangential(bodyA.v4fMovement, n), tangential(cross(bodyA.angularVelocity, rA), n)),
                             add(tangential(bodyB.v4fMovement, n), tangential(cross(bodyB.angularVelocity, rB), n)));
    const float h = length(g);
    if (h > 0.0f)
        impulseAlong(sides, scaled(g, 1.0f / h), std::clamp(budget, 0.0f, h));

    const KVE_Vector spin = sub(bodyA.angularVelocity, bodyB.angularVelocity);
    const float l = length(spin);
    if (l > 0.0f) {
        const KVE_Vector k = scaled(spin, 1.0f / l);
        KVE_Vector turn[2];
        float denominator = 0.0f;
        for (int i = 0; i < 2; ++i)
            if (sides[i].moves) {
                turn[i] = transformed(k, sides[i].inverseInertia);
                denominator += dot(k, turn[i]);
            }
        if (denominator != 0.0f) {
            const float jr = std::clamp(0.1f * budget, 0.0f, l) / denominator;
            for (int i = 0; i < 2; ++i)
                if (sides[i].moves)
                    KVE_AddScaledVector(&sides[i].object.Body.angularVelocity, &turn[i], sides[i].sign * jr);
        }
    }
}

} // namespace

const CollisionSound* findCollisionSound(const KVE_MATERIAL* first, const KVE_MATERIAL* second)
{
    for (const CollisionSound& record : world().collisionSounds) {
        if (record.first == first && record.second == second)
            return &record;
        if (!record.second && (record.first == first || record.first == second))
            return &record;
    }
    return nullptr;
}

bool BodyGeometry::closed() const
{
    if (closedState_ < 0) {
        std::vector<uint64_t> sides;
        for (size_t f = 0; f + 2 < faces.size(); f += 3)
            for (size_t k = 0; k < 3; ++k) {
                const auto i = static_cast<uint32_t>(faces[f + k]), j = static_cast<uint32_t>(faces[f + (k + 1) % 3]);
                sides.push_back(static_cast<uint64_t>(std::min(i, j)) << 32 | std::max(i, j));
            }
        std::sort(sides.begin(), sides.end());
        bool closed = !sides.empty();
        for (size_t i = 0; i < sides.size() && closed; i += 2)
            closed =
                i + 1 < sides.size() && sides[i] == sides[i + 1] && (i + 2 >= sides.size() || sides[i + 2] != sides[i]);
        closedState_ = closed ? 1 : 0;
    }
    return closedState_ == 1;
}

void setCollisionSoundPlayer(CollisionSoundPlayer player)
{
    world().soundPlayer = std::move(player);
}

} // namespace kve::physics

using namespace kve::physics;

extern "C" {

int KVE_CollideObjects(int first, int second)
{
    KVE_OBJECT* a = kve::scene::findObject(first);
    KVE_OBJECT* b = kve::scene::findObject(second);
    return a && b ? collide(*a, *b) : 0;
}

int KVE_ApplyContactImpulse(int objectA, int objectB)
{
    KVE_OBJECT* a = kve::scene::findObject(objectA);
    KVE_OBJECT* b = kve::scene::findObject(objectB);
    if (a && b)
        applyContactImpulse(*a, *b);
    return 0;
}

int KVE_SetCollisionSound(int sound, int firstMaterial, int secondMaterial)
{
    const KVE_MATERIAL* first = kve::gpu::findMaterial(firstMaterial);
    const KVE_MATERIAL* second = secondMaterial == -1 ? nullptr : kve::gpu::findMaterial(secondMaterial);
    if (!first || (secondMaterial != -1 && !second)) {
        kve::log::fail("Fail: Material not found!", "KVE_SetCollisionSound");
        return 0;
    }
    for (CollisionSound& record : world().collisionSounds)
        if (record.first == first && record.second == second) {
            record.sound = sound;
            return 0;
        }
    world().collisionSounds.push_back({sound, first, second});
    return 0;
}

} // extern "C"
