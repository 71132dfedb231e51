// Physics bodies: the body registry, body files, bodies built from meshes (sphere,
// bounding box, welded triangle mesh with its bounding-box tree), attaching bodies to
// objects, mass properties and the dynamic and static sets.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "core/log.h"
#include "core/physics_lock.h"
#include "core/registry_kinds.h"
#include "core/resource_sources.h"
#include "defs/definition_node.h"
#include "geometry/mesh.h"
#include "physics/physics.h"
#include "scene/object.h"

namespace kve::physics {
namespace {

constexpr const char* kLoadBody = "KVE_LoadBody";
constexpr const char* kFromMesh = "KVE_CreateBodyFromMesh";
constexpr int kLoadBodyLine = 792;

// The box body's corners (bit 0: +x, bit 1: +y, bit 2: +z), edges and outward faces.
constexpr int32_t kBoxEdges[24] = {0, 1, 2, 3, 4, 5, 6, 7, 4, 6, 5, 7, 0, 2, 1, 3, 0, 4, 1, 5, 2, 6, 3, 7};
constexpr int32_t kBoxFaces[36] = {1, 2, 3, 1, 0, 2, 4, 7, 6, 4, 5, 7, 0, 6, 2, 0, 4, 6,
                                   5, 3, 7, 5, 1, 3, 0, 5, 4, 0, 1, 5, 6, 3, 2, 6, 7, 3};

bool isValidIndexList(const std::vector<int32_t>& indices, size_t vertexCount)
{
    return std::all_of(indices.begin(), indices.end(),
                       [&](int32_t i) { return i >= 0 && static_cast<size_t>(i) < vertexCount; });
}

float component(const KVE_Vector& v, int axis)
{
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

float& axisOf(KVE_Vector& v, int axis)
{
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

bool insideBox(const KVE_Vector& p, const TreeNode& node)
{
    for (int axis = 0; axis < 3; ++axis)
        if (std::fabs(component(p, axis) - component(node.centre, axis)) > component(node.halfSize, axis))
            return false;
    return true;
}

// Slab test of the segment a..b against the node's box (boundaries included).
bool segmentCrossesBox(const KVE_Vector& a, const KVE_Vector& b, const TreeNode& node)
{
    float enter = 0.0f, exit = 1.0f;
    for (int axis = 0; axis < 3; ++axis) {
        const float origin = component(a, axis) - component(node.centre, axis);
        const float direction = component(b, axis) - component(a, axis);
        const float half = component(node.halfSize, axis);
        if (direction == 0.0f) {
            if (std::fabs(origin) > half)
                return false;
            continue;
        }
        float t0 = (-half - origin) / direction, t1 = (half - origin) / direction;
        if (t0 > t1)
            std::swap(t0, t1);
        enter = std::max(enter, t0);
        exit = std::min(exit, t1);
        if (enter > exit)
            return false;
    }
    return true;
}

// The part of `whole` a leaf box covers: faces with a corner inside, edges with an end
// inside or crossing the box, and the vertices these use, re-indexed in their order.
std::unique_ptr<BodyGeometry> leafGeometry(const TreeNode& node, const BodyGeometry& whole)
{
    const size_t count = whole.vertices.size();
    std::vector<char> inside(count), used(count, 0);
    for (size_t i = 0; i < count; ++i)
        inside[i] = insideBox(whole.vertices[i], node) ? 1 : 0;
    auto leaf = std::make_unique<BodyGeometry>();
    std::vector<int32_t> faces, edges;
    for (size_t f = 0; f + 2 < whole.faces.size(); f += 3) {
        const int32_t* t = &whole.faces[f];
        if (inside[t[0]] || inside[t[1]] || inside[t[2]]) {
            faces.insert(faces.end(), t, t + 3);
            used[t[0]] = used[t[1]] = used[t[2]] = 1;
        }
    }
    for (size_t e = 0; e + 1 < whole.edges.size(); e += 2) {
        const int32_t a = whole.edges[e], b = whole.edges[e + 1];
        if (inside[a] || inside[b] || segmentCrossesBox(whole.vertices[a], whole.vertices[b], node)) {
            edges.push_back(a);
            edges.push_back(b);
            used[a] = used[b] = 1;
        }
    }
    std::vector<int32_t> newIndex(count, -1);
    for (size_t i = 0; i < count; ++i)
        if (used[i]) {
            newIndex[i] = static_cast<int32_t>(leaf->vertices.size());
            leaf->vertices.push_back(whole.vertices[i]);
        }
    for (int32_t& i : faces)
        i = newIndex[i];
    for (int32_t& i : edges)
        i = newIndex[i];
    leaf->faces = std::move(faces);
    leaf->edges = std::move(edges);
    return leaf;
}

void buildTreeAt(TreeNode& node, const BodyGeometry& geometry, int depth)
{
    const auto inside = std::count_if(geometry.vertices.begin(), geometry.vertices.end(),
                                      [&](const KVE_Vector& v) { return insideBox(v, node); });
    // The depth limit ends the splitting where vertices cannot be separated (duplicates
    // in a body file, or more than 16 vertices closer than float precision).
    if (inside > kLeafVertices && depth < kMaxTreeDepth) {
        const float hx = node.halfSize.x, hy = node.halfSize.y, hz = node.halfSize.z;
        const int axis = hx > hy ? (hx > hz ? 0 : 2) : (hy > hz ? 1 : 2);
        node.split(axis);
        buildTreeAt(*node.first, geometry, depth + 1);
        buildTreeAt(*node.second, geometry, depth + 1);
    } else if (!node.geometry) {
        node.geometry = leafGeometry(node, geometry);
    }
}

// A bit-exact key of a vertex position (all four floats).
struct PositionKey {
    uint32_t bits[4];
    bool operator==(const PositionKey& other) const { return std::memcmp(bits, other.bits, sizeof bits) == 0; }
};
struct PositionHash {
    size_t operator()(const PositionKey& key) const
    {
        size_t h = 1469598103934665603ull;
        for (uint32_t b : key.bits)
            h = (h ^ b) * 1099511628211ull;
        return h;
    }
};

// Welded mesh geometry: one vertex per distinct position, faces re-pointed, each edge once.
BodyGeometry weldedGeometry(const geometry::MeshRecord& mesh)
{
    BodyGeometry geometry;
    geometry.faces.assign(mesh.indices.begin(), mesh.indices.end());
    std::unordered_map<PositionKey, int32_t, PositionHash> kept;
    std::vector<int32_t> newIndex(mesh.vertices.size());
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        PositionKey key;
        std::memcpy(key.bits, mesh.vertices[i].position, sizeof key.bits);
        const auto [at, added] = kept.try_emplace(key, static_cast<int32_t>(geometry.vertices.size()));
        if (added) {
            const float* p = mesh.vertices[i].position;
            geometry.vertices.push_back({p[0], p[1], p[2], p[3]});
        }
        newIndex[i] = at->second;
    }
    for (int32_t& i : geometry.faces)
        i = newIndex[static_cast<size_t>(i)];
    std::unordered_set<uint64_t> known;
    const auto addEdge = [&](int32_t a, int32_t b) {
        const auto lo = static_cast<uint64_t>(std::min(a, b)), hi = static_cast<uint64_t>(std::max(a, b));
        if (known.insert(lo << 32 | hi).second) {
            geometry.edges.push_back(a);
            geometry.edges.push_back(b);
        }
    };
    for (size_t f = 0; f + 2 < geometry.faces.size(); f += 3) {
        const int32_t a = geometry.faces[f], b = geometry.faces[f + 1], c = geometry.faces[f + 2];
        addEdge(a, b);
        addEdge(b, c);
        addEdge(c, a);
    }
    return geometry;
}

void boxGeometry(TreeNode& root)
{
    auto geometry = std::make_unique<BodyGeometry>();
    for (int corner = 0; corner < 8; ++corner) {
        const float sx = corner & 1 ? 1.0f : -1.0f, sy = corner & 2 ? 1.0f : -1.0f, sz = corner & 4 ? 1.0f : -1.0f;
        geometry->vertices.push_back({root.centre.x + sx * root.halfSize.x, root.centre.y + sy * root.halfSize.y,
                                      root.centre.z + sz * root.halfSize.z, 1.0f});
    }
    geometry->edges.assign(std::begin(kBoxEdges), std::end(kBoxEdges));
    geometry->faces.assign(std::begin(kBoxFaces), std::end(kBoxFaces));
    root.geometry = std::move(geometry);
}

// Reads `count` index entries per child of a body file section.
std::vector<int32_t> readIndexSection(DefinitionNode* section, int perChild)
{
    std::vector<int32_t> indices;
    const int count = KVE_CountDefinitionChildren(section, nullptr);
    indices.reserve(static_cast<size_t>(count) * static_cast<size_t>(perChild));
    for (DefinitionNode* child = KVE_GetDefinitionChild(section, 0); child; child = KVE_NextDefinitionSibling(child))
        for (int k = 0; k < perChild; ++k)
            indices.push_back(KVE_GetDefinitionInteger(KVE_GetDefinitionChild(child, k), 0));
    return indices;
}

// The set an object's mass selects, and where the object last left a set (so that
// putting it back into that set returns it to its place).
std::vector<KVE_OBJECT*>& setFor(const KVE_OBJECT& object)
{
    return object.Body.mass != 0.0f ? world().dynamicSet : world().staticSet;
}

struct LastRemoval {
    const KVE_OBJECT* object = nullptr;
    const std::vector<KVE_OBJECT*>* set = nullptr;
    size_t index = 0;
};
LastRemoval lastRemoval;

} // namespace

bool BodyGeometry::indicesValid() const
{
    if (validState_ < 0)
        validState_ = isValidIndexList(edges, vertices.size()) && isValidIndexList(faces, vertices.size()) ? 1 : 0;
    return validState_ == 1;
}

void TreeNode::split(int axis)
{
    children = std::make_unique<TreeNode[]>(2);
    first = &children[0];
    second = &children[1];
    for (TreeNode* child : {first, second}) {
        child->parent = this;
        child->centre = centre;
        child->halfSize = halfSize;
    }
    const float half = axisOf(halfSize, axis) * 0.5f;
    axisOf(first->halfSize, axis) = axisOf(second->halfSize, axis) = half;
    axisOf(first->centre, axis) -= half;
    axisOf(second->centre, axis) += half;
}

namespace {

// Objects hold plain references to their bodies: a body released under them takes them out
// of the physics rather than leaving the step to read the freed shape.
void detachUsers(BodyRecord& body)
{
    size_t count = 0;
    scene::forEachObject([&](KVE_OBJECT& object) {
        if (object.Body.body == &body) {
            removeFromSets(object);
            object.Body.body = nullptr;
            ++count;
        }
    });
    log::releasedInUse("Body", count, "left the physics", "KVE_FreeBody");
}

} // namespace

core::Registry<BodyRecord>& bodies()
{
    static core::Registry<BodyRecord> registry(core::kinds::kBody, detachUsers);
    return registry;
}

void adoptReloadedBody(BodyRecord& live, BodyRecord& staged)
{
    std::lock_guard lock(core::physicsLock());
    core::swapRecordContents(live, staged);
    bodies().release(&staged);
    scene::forEachObject([&](KVE_OBJECT& object) {
        if (bodyOf(object) == &live && object.Body.mass != 0.0f)
            KVE_SetObjectMass(object.number, object.Body.mass);
    });
}

BodyRecord* findBody(int number)
{
    return bodies().find(number);
}

BodyRecord& pointBody()
{
    static BodyRecord body = [] {
        BodyRecord point;
        point.number = -1;
        point.name = "";
        point.type = KVE_BODY_POINT;
        return point;
    }();
    return body;
}

void boundsFromOrigin(const KVE_Vector* vertices, size_t count, size_t stride, TreeNode& node)
{
    KVE_Vector lo{0, 0, 0, 0}, hi{0, 0, 0, 0};
    const auto* bytes = reinterpret_cast<const unsigned char*>(vertices);
    for (size_t i = 0; i < count; ++i) {
        KVE_Vector v;
        std::memcpy(&v, bytes + i * stride, sizeof v);
        lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z), 0};
        hi = {std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z), 0};
    }
    node.centre = {(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f, 1.0f};
    node.halfSize = {hi.x - node.centre.x, hi.y - node.centre.y, hi.z - node.centre.z, 0.0f};
}

void buildTree(TreeNode& node, const BodyGeometry& geometry)
{
    buildTreeAt(node, geometry, 0);
}

void updateMassProperties(KVE_OBJECT& object)
{
    const BodyRecord* body = bodyOf(object);
    if (!body)
        return;
    KVE_Matrix& inertia = object.Body.inertia;
    const float m = object.Body.mass;
    float diagonal[3];
    switch (body->type) {
    case KVE_BODY_BOX:
    case KVE_BODY_MESH: {
        const KVE_Vector h = body->root->halfSize;
        const float hx = h.x * object.scale.x, hy = h.y * object.scale.y, hz = h.z * object.scale.z;
        diagonal[0] = m / 3.0f * (hy * hy + hz * hz);
        diagonal[1] = m / 3.0f * (hx * hx + hz * hz);
        diagonal[2] = m / 3.0f * (hx * hx + hy * hy);
        break;
    }
    case KVE_BODY_SPHERE: {
        const float r = body->radius * object.Body.sizeFactor;
        diagonal[0] = diagonal[1] = diagonal[2] = 0.4f * m * r * r;
        break;
    }
    case KVE_BODY_POINT:
        KVE_IdentityMatrix(&inertia);
        return;
    default:
        return;
    }
    KVE_IdentityMatrix(&inertia);
    inertia.c[0].x = diagonal[0];
    inertia.c[1].y = diagonal[1];
    inertia.c[2].z = diagonal[2];
}

void removeFromSets(KVE_OBJECT& object)
{
    std::lock_guard lock(core::physicsLock());
    wakeForChange(object, false);
    ++world().setChanges;
    lastRemoval = {};
    for (std::vector<KVE_OBJECT*>* set : {&world().dynamicSet, &world().staticSet}) {
        const auto at = std::find(set->begin(), set->end(), &object);
        if (at != set->end()) {
            lastRemoval = {&object, set, static_cast<size_t>(at - set->begin())};
            set->erase(at);
        }
    }
}

void reinsertIntoSets(KVE_OBJECT& object)
{
    std::lock_guard lock(core::physicsLock());
    ++world().setChanges;
    std::vector<KVE_OBJECT*>& set = setFor(object);
    const bool back = lastRemoval.object == &object && lastRemoval.set == &set;
    const size_t index = back ? std::min(lastRemoval.index, set.size()) : 0;
    set.insert(set.begin() + static_cast<std::ptrdiff_t>(index), &object);
    lastRemoval = {};
}

namespace {

void objectReleased(KVE_OBJECT& object)
{
    wakeForChange(object, true);
    removeFromSets(object);
    lastRemoval = {};
    releaseJointsOf(object);
    object.Body.body = nullptr;
}

void objectScaled(KVE_OBJECT& object)
{
    if (object.Body.body && object.Body.mass != 0.0f)
        updateMassProperties(object);
}

} // namespace

World& world()
{
    static World state;
    [[maybe_unused]] static const bool following = (scene::setObjectObservers({objectReleased, objectScaled}), true);
    return state;
}

namespace {

// A new registry entry of the given type with an empty root box (bodies with an extent).
BodyRecord* createBody(int id, const char* name, int type)
{
    BodyRecord* body = bodies().create(&id, name);
    if (!body)
        return nullptr;
    body->type = type;
    body->root = std::make_unique<TreeNode>();
    return body;
}

BodyRecord* bodyFromMesh(int id, const geometry::MeshRecord& mesh, int type, float scale, const char* name)
{
    if (geometry::firstBadIndex(mesh) >= 0) {
        log::fail("Fail: Mesh index beyond its vertex count!", kFromMesh);
        return nullptr;
    }
    BodyRecord* body = createBody(id, name, type);
    if (!body)
        return nullptr;
    TreeNode& root = *body->root;
    if (type == KVE_BODY_SPHERE) {
        float r = 0.0f;
        for (const geometry::MeshVertex& v : mesh.vertices)
            r = std::max(r, std::sqrt(v.position[0] * v.position[0] + v.position[1] * v.position[1] +
                                      v.position[2] * v.position[2]));
        body->radius = r * scale;
        root.halfSize = {r, r, r, 0};
        return body;
    }
    boundsFromOrigin(reinterpret_cast<const KVE_Vector*>(mesh.vertices.data()), mesh.vertices.size(),
                     sizeof(geometry::MeshVertex), root);
    if (type == KVE_BODY_BOX) {
        boxGeometry(root);
        return body;
    }
    root.geometry = std::make_unique<BodyGeometry>(weldedGeometry(mesh));
    buildTree(root, *root.geometry);
    return body;
}

KVE_OBJECT* objectWithBody(int object)
{
    return scene::findObject(object);
}

} // namespace

} // namespace kve::physics

using namespace kve::physics;

extern "C" {

KVE_BODY* KVE_CreateBodyListEntry(int* id, const char* name)
{
    return bodies().create(id, name);
}

KVE_BODY* KVE_LoadBody(int id, const char* fileName, const char* name)
{
    const std::string path = fileName ? fileName : "";
    kve::log::progress("Load Body: " + path, kLoadBody, kUnit, kLoadBodyLine);
    DefinitionNode* tree = KVE_ReadDefinitionFile(path.c_str());
    DefinitionNode* node = KVE_FindDefinitionNode(tree, "Body", nullptr, 0);
    if (!node) {
        kve::log::fail("Fail: File not found!", kLoadBody);
        kve::log::failFile(path, tree ? "no Body block" : kve::defs::unreadableReason(path), kLoadBody);
        if (tree)
            KVE_FreeDefinition(tree, 1);
        return nullptr;
    }
    // The file is read and checked before the registry is touched: creating the record
    // replaces a body of the same number or name, which a bad file must not cost.
    auto geometry = std::make_unique<BodyGeometry>();
    DefinitionNode* vertices = KVE_FindDefinitionNode(node, "\\Vertices", nullptr, 0);
    geometry->vertices.reserve(static_cast<size_t>(KVE_CountDefinitionChildren(vertices, nullptr)));
    for (DefinitionNode* child = KVE_GetDefinitionChild(vertices, 0); child; child = KVE_NextDefinitionSibling(child)) {
        KVE_Vector v{0, 0, 0, 1};
        KVE_GetDefinitionVector(child, &v, 0, 0, 0);
        geometry->vertices.push_back(v);
    }
    geometry->edges = readIndexSection(KVE_FindDefinitionNode(node, "\\Edges", nullptr, 0), 2);
    geometry->faces = readIndexSection(KVE_FindDefinitionNode(node, "\\Faces", nullptr, 0), 3);
    // What a cut file still holds is used, as it always was, but the cut is reported.
    if (kve::defs::endedInsideBlock(tree))
        kve::log::warnFile(path, kve::defs::kCutShort, kLoadBody);
    KVE_FreeDefinition(tree, 1);
    if (!geometry->indicesValid()) {
        kve::log::fail("Fail: Index beyond the vertex count!", kLoadBody);
        kve::log::failFile(path, "an edge or face names a vertex the file does not hold", kLoadBody);
        return nullptr;
    }
    const std::string bodyName = name && *name ? std::string(name) : std::string(kve::defs::filePart(path));
    BodyRecord* body = createBody(id, bodyName.c_str(), KVE_BODY_MESH);
    if (!body)
        return nullptr;
    boundsFromOrigin(geometry->vertices.data(), geometry->vertices.size(), sizeof(KVE_Vector), *body->root);
    const int vertexCount = static_cast<int>(geometry->vertices.size());
    const int edgeCount = static_cast<int>(geometry->edges.size() / 2);
    const int faceCount = static_cast<int>(geometry->faces.size() / 3);
    body->root->geometry = std::move(geometry);
    kve::log::entry("Vertices: " + std::to_string(vertexCount), static_cast<int>(KVE_LOG_MESH_GREY), kLoadBody);
    kve::log::entry("Edges: " + std::to_string(edgeCount), static_cast<int>(KVE_LOG_MESH_GREY), kLoadBody);
    kve::log::entry("Faces: " + std::to_string(faceCount), static_cast<int>(KVE_LOG_MESH_GREY), kLoadBody);
    kve::log::ok(kLoadBody);
    kve::core::recordResourceSource(kve::core::ResourceLoader::BodyFile, body->number, path);
    return body;
}

KVE_BODY* KVE_CreateBodyFromMesh(int id, int mesh, int type, float scale, const char* name)
{
    const kve::geometry::MeshRecord* record = kve::geometry::findMesh(mesh);
    if (!record) {
        kve::log::fail("Fail: Mesh not found!", kFromMesh);
        return nullptr;
    }
    if (type != KVE_BODY_BOX && type != KVE_BODY_SPHERE && type != KVE_BODY_MESH) {
        kve::log::fail("Fail: Unknown body type " + std::to_string(type) + "!", kFromMesh);
        return nullptr;
    }
    return bodyFromMesh(id, *record, type, scale, name);
}

KVE_BODY* KVE_CreateSphereBody(int id, float radius, const char* name)
{
    BodyRecord* body = createBody(id, name, KVE_BODY_SPHERE);
    if (!body)
        return nullptr;
    body->radius = radius;
    body->root->halfSize = {radius, radius, radius, 0};
    return body;
}

KVE_BODY* KVE_CreateEmptyBody(int id, const char* name)
{
    return createBody(id, name, 0);
}

KVE_BODY* KVE_GetBody(int body)
{
    return findBody(body);
}

int KVE_GetBodyType(int body)
{
    const BodyRecord* record = body == KVE_BODY_POINT ? &pointBody() : findBody(body);
    return record ? record->type : 0;
}

int KVE_FreeBody(int body)
{
    bodies().releaseNumber(body);
    return 0;
}

int KVE_SetObjectBody(int object, int body, float scale)
{
    KVE_OBJECT* found = objectWithBody(object);
    if (!found)
        return 0;
    if (body == KVE_BODY_NONE) {
        removeFromSets(*found);
        found->Body.body = nullptr;
        return 1;
    }
    BodyRecord* record = nullptr;
    if (body == KVE_BODY_POINT)
        record = &pointBody();
    else if (body == KVE_BODY_BOX || body == KVE_BODY_SPHERE || body == KVE_BODY_MESH) {
        const auto* mesh = static_cast<const kve::geometry::MeshRecord*>(found->mesh);
        record = mesh ? bodyFromMesh(KVE_AUTO_ID, *mesh, body, scale, "") : nullptr;
    } else
        record = findBody(body);
    if (!record)
        return 0;
    removeFromSets(*found);
    found->Body.body = record;
    updateMassProperties(*found);
    reinsertIntoSets(*found);
    return 0;
}

int KVE_SetObjectMass(int object, float mass)
{
    KVE_OBJECT* found = objectWithBody(object);
    if (!found)
        return 0;
    removeFromSets(*found);
    found->Body.mass = mass;
    updateMassProperties(*found);
    if (found->Body.body)
        reinsertIntoSets(*found);
    return 0;
}

int KVE_SetObjectRestitution(int object, float restitution)
{
    if (KVE_OBJECT* found = objectWithBody(object))
        found->Body.restitution = restitution;
    return 0;
}

int KVE_SetObjectFriction(int object, float friction)
{
    if (KVE_OBJECT* found = objectWithBody(object))
        found->Body.friction = friction;
    return 0;
}

int KVE_SetObjectCollisionCallback(int object, KVE_COLLISION_CALLBACK callback)
{
    if (KVE_OBJECT* found = objectWithBody(object))
        found->Body.collisionCallback = callback;
    return 0;
}

int KVE_GetPhysicsObjectCount(int dynamicSet)
{
    std::lock_guard lock(kve::core::physicsLock());
    return static_cast<int>(dynamicSet ? world().dynamicSet.size() : world().staticSet.size());
}

} // extern "C"
