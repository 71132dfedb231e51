// glTF 2.0 import: tinygltf parses the JSON and the GLB container; everything it leaves
// unchecked (accessor ranges, index values, node trees, chunk lengths, image views) is
// checked here before a byte is read. Images go through the engine's own decoders: the
// parser is built without stb and only hands over the encoded bytes.
#define TINYGLTF_IMPLEMENTATION
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#define TINYGLTF_NO_FS
#include <fstream> // the parser's file writer needs it even when it is not used
#include <tiny_gltf.h>

#include "geometry/gltf_import.h"

#include "platform/mapped_file.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <new>
#include <set>

#include "core/log.h"
#include "core/resource_sources.h"
#include "defs/definition_node.h"
#include "gpu/material.h"
#include "scene/item.h"
#include "scene/object.h"

namespace kve::geometry::gltf {
namespace {

// Limits that keep a hostile file's claims from becoming allocations: the largest file
// or external buffer read, and the most vertices or indices one import may make.
constexpr size_t kMaxFileBytes = size_t{1} << 31;
constexpr size_t kMaxElements = size_t{1} << 24;
constexpr size_t kMaxImages = size_t{1} << 16;

std::string text(size_t value)
{
    return std::to_string(value);
}

// ---------------------------------------------------------------------------------------
// Parsing

struct ParseContext {
    const tinygltf::Model* model = nullptr;
    std::string baseDirectory;
    std::vector<std::vector<uint8_t>> imageBytes; // encoded, by image index; empty: external
};

// Whether `path` lies inside `directory` (lexically): a file's buffers and images are
// its neighbours, so a URI that is absolute or climbs out with ".." reads nothing.
bool insideDirectory(const std::string& path, const std::string& directory)
{
    namespace fs = std::filesystem;
    const fs::path base = fs::path(directory.empty() ? "." : directory).lexically_normal();
    const fs::path relative = fs::path(path).lexically_normal().lexically_relative(base);
    return !relative.empty() && *relative.begin() != ".." && !relative.is_absolute();
}

bool fileExists(const std::string& path, void* user)
{
    std::error_code error;
    return insideDirectory(path, static_cast<ParseContext*>(user)->baseDirectory) &&
           std::filesystem::is_regular_file(defs::nativePath(path), error);
}

std::string expandPath(const std::string& path, void*)
{
    return path;
}

bool readFile(std::vector<unsigned char>* out, std::string* err, const std::string& path, void* user)
{
    const std::string native = defs::nativePath(path);
    std::error_code error;
    const auto size = std::filesystem::file_size(native, error);
    if (!insideDirectory(path, static_cast<ParseContext*>(user)->baseDirectory) || error || size > kMaxFileBytes) {
        *err += error || size <= kMaxFileBytes ? "cannot read " + path : path + " is larger than 2 GB";
        return false;
    }
    std::ifstream file(native, std::ios::binary);
    out->resize(static_cast<size_t>(size));
    if (!file.read(reinterpret_cast<char*>(out->data()), static_cast<std::streamsize>(size))) {
        *err += "cannot read " + path;
        return false;
    }
    return true;
}

bool refuseWrite(std::string* err, const std::string&, const std::vector<unsigned char>&, void*)
{
    *err += "writing is not supported";
    return false;
}

bool viewInsideBuffer(const tinygltf::Model& model, int viewIndex)
{
    if (viewIndex < 0 || static_cast<size_t>(viewIndex) >= model.bufferViews.size())
        return false;
    const tinygltf::BufferView& view = model.bufferViews[static_cast<size_t>(viewIndex)];
    if (view.buffer < 0 || static_cast<size_t>(view.buffer) >= model.buffers.size())
        return false;
    const size_t size = model.buffers[static_cast<size_t>(view.buffer)].data.size();
    return view.byteOffset <= size && view.byteLength <= size - view.byteOffset;
}

// The image loader the parser calls: keeps the encoded bytes for the engine's decoders.
// The parser hands over a buffer view's bytes without checking the view against its
// buffer, so that is checked here before they are touched.
bool keepImageBytes(tinygltf::Image* image, const int index, std::string* err, std::string*, int, int,
                    const unsigned char* bytes, int size, void* user)
{
    auto& context = *static_cast<ParseContext*>(user);
    if (image->bufferView >= 0 && !viewInsideBuffer(*context.model, image->bufferView)) {
        *err += "image " + std::to_string(index) + ": buffer view outside its buffer";
        return false;
    }
    if (index < 0 || static_cast<size_t>(index) >= kMaxImages || size < 0) {
        *err += "too many images";
        return false;
    }
    if (context.imageBytes.size() <= static_cast<size_t>(index))
        context.imageBytes.resize(static_cast<size_t>(index) + 1);
    context.imageBytes[static_cast<size_t>(index)].assign(bytes, bytes + size);
    return true;
}

uint32_t readU32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// What is wrong with a GLB container, empty when nothing. Checked strictly here because
// the parser lets a BIN chunk's length run eight bytes past the file.
std::string glbDamage(const uint8_t* data, size_t size)
{
    if (size < 20)
        return "GLB header cut short (" + text(size) + " bytes)";
    if (readU32(data + 4) != 2)
        return "GLB version " + text(readU32(data + 4)) + ", only 2 is read";
    const uint64_t length = readU32(data + 8);
    if (length != size)
        return "GLB length field says " + text(length) + " bytes, the file holds " + text(size);
    const uint64_t jsonLength = readU32(data + 12);
    if (readU32(data + 16) != 0x4E4F534Au)
        return "first GLB chunk is not JSON";
    if (jsonLength == 0 || 20 + jsonLength > length)
        return "JSON chunk length " + text(jsonLength) + " runs past the end of the file";
    const uint64_t binStart = 20 + ((jsonLength + 3) & ~uint64_t{3});
    if (binStart >= length)
        return {};
    if (binStart + 8 > length)
        return "BIN chunk header cut short";
    const uint64_t binLength = readU32(data + binStart);
    if (binStart + 8 + binLength > length)
        return "BIN chunk length " + text(binLength) + " runs past the end of the file";
    return {};
}

std::string firstLine(const std::string& message)
{
    std::string line = message.substr(0, message.find('\n'));
    return line.empty() ? "not a glTF 2.0 file" : line;
}

struct Parsed {
    tinygltf::Model model;
    ParseContext context;
    std::string baseDirectory;
};

std::string parse(const uint8_t* data, size_t size, const std::string& baseDirectory, Parsed& out)
{
    if (size > kMaxFileBytes)
        return "larger than 2 GB";
    const bool binary = size >= 4 && std::memcmp(data, "glTF", 4) == 0;
    if (binary) {
        const std::string damage = glbDamage(data, size);
        if (!damage.empty())
            return damage;
    }
    out.context.model = &out.model;
    out.context.baseDirectory = baseDirectory;
    out.baseDirectory = baseDirectory;
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(&keepImageBytes, &out.context);
    loader.SetFsCallbacks({&fileExists, &expandPath, &readFile, &refuseWrite, &out.context});
    std::string error, warning;
    bool parsed = false;
    try {
        parsed = binary ? loader.LoadBinaryFromMemory(&out.model, &error, &warning, data,
                                                      static_cast<unsigned>(size), baseDirectory)
                        : loader.LoadASCIIFromString(&out.model, &error, &warning, reinterpret_cast<const char*>(data),
                                                     static_cast<unsigned>(size), baseDirectory);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::exception& exception) {
        return std::string("cannot be parsed (") + exception.what() + ")";
    }
    if (!parsed)
        return firstLine(error);
    // Nothing the engine reads needs an extension; a required one changes what the
    // file's data means, so reading past it would draw something else.
    if (!out.model.extensionsRequired.empty())
        return "unsupported required extension " + out.model.extensionsRequired.front();
    return {};
}

// ---------------------------------------------------------------------------------------
// Accessors

int componentBytes(int type)
{
    switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        return 2;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT:
        return 4;
    default:
        return 0;
    }
}

// One component as a number; normalized integers map to 0..1 (unsigned) or -1..1.
double component(const uint8_t* p, int type, bool normalized)
{
    switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE: {
        const auto v = static_cast<int8_t>(p[0]);
        return normalized ? std::max(v / 127.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return normalized ? p[0] / 255.0 : p[0];
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
        int16_t v;
        std::memcpy(&v, p, 2);
        return normalized ? std::max(v / 32767.0, -1.0) : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return normalized ? v / 65535.0 : v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
        return readU32(p);
    default: {
        float v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

// Where an accessor's elements lie: `base` null when it has no buffer view (zeros).
struct Elements {
    const uint8_t* base = nullptr;
    size_t stride = 0, count = 0;
    int type = 0, components = 0;
    bool normalized = false;
};

// The `count` elements of `size` bytes `stride` apart from `offset` inside the view.
std::string locate(const tinygltf::Model& model, int viewIndex, size_t offset, size_t count, size_t size,
                   size_t stride, const uint8_t*& base)
{
    if (!viewInsideBuffer(model, viewIndex))
        return "buffer view " + std::to_string(viewIndex) + " missing or outside its buffer";
    const tinygltf::BufferView& view = model.bufferViews[static_cast<size_t>(viewIndex)];
    if (count > 0) {
        if (offset > view.byteLength || view.byteLength - offset < size ||
            (count - 1) > (view.byteLength - offset - size) / stride)
            return "reaches past the end of buffer view " + std::to_string(viewIndex);
    }
    base = model.buffers[static_cast<size_t>(view.buffer)].data.data() + view.byteOffset + offset;
    return {};
}

std::string elementsOf(const tinygltf::Model& model, int index, int components, Elements& out)
{
    if (index < 0 || static_cast<size_t>(index) >= model.accessors.size())
        return "no accessor " + std::to_string(index);
    const tinygltf::Accessor& accessor = model.accessors[static_cast<size_t>(index)];
    const std::string name = "accessor " + std::to_string(index) + ": ";
    out.type = accessor.componentType;
    out.components = tinygltf::GetNumComponentsInType(static_cast<uint32_t>(accessor.type));
    out.normalized = accessor.normalized;
    out.count = accessor.count;
    const int bytes = componentBytes(out.type);
    if (bytes == 0)
        return name + "unknown component type " + std::to_string(out.type);
    if (out.components != components)
        return name + std::to_string(out.components) + " components where " + std::to_string(components) +
               " are read";
    if (out.count > kMaxElements)
        return name + "count " + text(out.count) + " is beyond the import limit";
    const size_t size = static_cast<size_t>(bytes) * static_cast<size_t>(components);
    if (accessor.bufferView < 0) {
        out.base = nullptr;
        return {};
    }
    const tinygltf::BufferView* view = static_cast<size_t>(accessor.bufferView) < model.bufferViews.size()
                                           ? &model.bufferViews[static_cast<size_t>(accessor.bufferView)]
                                           : nullptr;
    out.stride = view && view->byteStride ? view->byteStride : size;
    if (out.stride < size || out.stride > 252)
        return name + "byte stride " + text(out.stride) + " does not fit its elements";
    const std::string where =
        locate(model, accessor.bufferView, accessor.byteOffset, out.count, size, out.stride, out.base);
    return where.empty() ? where : name + where;
}

// The first `kept` components of the element at `p`, converted into `target`.
template <class Value>
void storeElement(const Elements& elements, const uint8_t* p, Value* target, size_t kept)
{
    constexpr int kNative = std::is_same_v<Value, float> ? TINYGLTF_COMPONENT_TYPE_FLOAT
                                                          : TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
    if (elements.type == kNative) {
        std::memcpy(target, p, kept * sizeof(Value));
        return;
    }
    const auto bytes = static_cast<size_t>(componentBytes(elements.type));
    for (size_t c = 0; c < kept; ++c)
        target[c] = static_cast<Value>(component(p + c * bytes, elements.type, elements.normalized));
}

// The accessor checked as for elementsOf and holding exactly `count` elements.
std::string openAccessor(const tinygltf::Model& model, int index, int components, size_t count, Elements& out)
{
    std::string error = elementsOf(model, index, components, out);
    if (error.empty() && out.count != count)
        error = "accessor " + std::to_string(index) + " holds " + text(out.count) + " elements, POSITION " +
                text(count);
    return error;
}

// Applies the accessor's sparse substitutions to elements `stride` values apart from `out`.
template <class Value>
std::string applySparse(const tinygltf::Model& model, int index, const Elements& elements, Value* out, size_t stride,
                        size_t kept)
{
    const tinygltf::Accessor& accessor = model.accessors[static_cast<size_t>(index)];
    if (!accessor.sparse.isSparse)
        return {};
    const std::string name = "accessor " + std::to_string(index) + " sparse ";
    const auto& sparse = accessor.sparse;
    if (sparse.count < 0 || static_cast<size_t>(sparse.count) > elements.count)
        return name + "count " + std::to_string(sparse.count) + " is more than its elements";
    const int indexBytes = componentBytes(sparse.indices.componentType);
    if (indexBytes == 0 || sparse.indices.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT ||
        sparse.indices.componentType == TINYGLTF_COMPONENT_TYPE_BYTE ||
        sparse.indices.componentType == TINYGLTF_COMPONENT_TYPE_SHORT || sparse.indices.byteOffset < 0 ||
        sparse.values.byteOffset < 0)
        return name + "indices of an unusable type";
    const size_t substitutions = static_cast<size_t>(sparse.count);
    const size_t valueSize =
        static_cast<size_t>(componentBytes(elements.type)) * static_cast<size_t>(elements.components);
    const uint8_t* indices = nullptr;
    const uint8_t* values = nullptr;
    std::string error = locate(model, sparse.indices.bufferView, static_cast<size_t>(sparse.indices.byteOffset),
                               substitutions, static_cast<size_t>(indexBytes), static_cast<size_t>(indexBytes), indices);
    if (error.empty())
        error = locate(model, sparse.values.bufferView, static_cast<size_t>(sparse.values.byteOffset), substitutions,
                       valueSize, valueSize, values);
    if (!error.empty())
        return name + error;
    for (size_t i = 0; i < substitutions; ++i) {
        const auto target = static_cast<size_t>(
            component(indices + i * static_cast<size_t>(indexBytes), sparse.indices.componentType, false));
        if (target >= elements.count)
            return name + "index " + text(target) + " past its " + text(elements.count) + " elements";
        storeElement(elements, values + i * valueSize, out + target * stride, kept);
    }
    return {};
}

// Writes the accessor's `count` elements, with its sparse substitutions, `stride` values
// apart from `out` (the first `kept` of its `components` values each).
template <class Value>
std::string readAccessor(const tinygltf::Model& model, int index, int components, size_t count, Value* out,
                         size_t stride, int kept)
{
    Elements elements;
    if (std::string error = openAccessor(model, index, components, count, elements); !error.empty())
        return error;
    const auto n = static_cast<size_t>(kept);
    for (size_t i = 0; i < count; ++i) {
        if (elements.base)
            storeElement(elements, elements.base + i * elements.stride, out + i * stride, n);
        else
            std::fill_n(out + i * stride, n, Value{});
    }
    return applySparse(model, index, elements, out, stride, n);
}

// The element count of an accessor (0 when there is none; reading it reports why).
size_t elementCount(const tinygltf::Model& model, int index)
{
    return index >= 0 && static_cast<size_t>(index) < model.accessors.size()
               ? model.accessors[static_cast<size_t>(index)].count
               : 0;
}

// ---------------------------------------------------------------------------------------
// Primitives

struct Warnings {
    std::vector<std::string>& list;
    std::set<std::string> said;
    void once(const std::string& message)
    {
        if (said.insert(message).second)
            list.push_back(message);
    }
};

bool drawsTriangles(int mode)
{
    return mode == -1 || mode == TINYGLTF_MODE_TRIANGLES || mode == TINYGLTF_MODE_TRIANGLE_STRIP ||
           mode == TINYGLTF_MODE_TRIANGLE_FAN;
}

// Strips and fans as triangle lists that keep their counter-clockwise fronts.
std::vector<uint32_t> triangleList(int mode, std::vector<uint32_t> corners)
{
    if (mode != TINYGLTF_MODE_TRIANGLE_STRIP && mode != TINYGLTF_MODE_TRIANGLE_FAN) {
        corners.resize(corners.size() - corners.size() % 3);
        return corners;
    }
    std::vector<uint32_t> list;
    if (corners.size() < 3)
        return list;
    list.reserve((corners.size() - 2) * 3);
    for (size_t i = 0; i + 2 < corners.size(); ++i) {
        if (mode == TINYGLTF_MODE_TRIANGLE_FAN)
            list.insert(list.end(), {corners[i + 1], corners[i + 2], corners[0]});
        else if (i % 2 == 0)
            list.insert(list.end(), {corners[i], corners[i + 1], corners[i + 2]});
        else
            list.insert(list.end(), {corners[i + 1], corners[i], corners[i + 2]});
    }
    return list;
}

int attributeOf(const tinygltf::Primitive& primitive, const char* name)
{
    const auto found = primitive.attributes.find(name);
    return found == primitive.attributes.end() ? -1 : found->second;
}

// Each triangle with its own three corners and its face normal, for a primitive written
// without normals.
void appendFlat(const std::vector<MeshVertex>& source, const std::vector<uint32_t>& list, ImportedMesh& mesh)
{
    for (size_t t = 0; t + 2 < list.size(); t += 3) {
        MeshVertex corner[3] = {source[list[t]], source[list[t + 1]], source[list[t + 2]]};
        float e1[3], e2[3];
        for (int k = 0; k < 3; ++k) {
            e1[k] = corner[1].position[k] - corner[0].position[k];
            e2[k] = corner[2].position[k] - corner[0].position[k];
        }
        const float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                            e1[0] * e2[1] - e1[1] * e2[0]};
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (MeshVertex& v : corner) {
            for (int k = 0; k < 3; ++k)
                v.normal[k] = length > 0 ? n[k] / length : 0.0f;
            mesh.indices.push_back(static_cast<int32_t>(mesh.vertices.size()));
            mesh.vertices.push_back(v);
        }
    }
}

// Appends a triangle primitive to `mesh`; `tangentsMissing` is set when it brings none.
// Attributes are read straight into the vertices' fields.
std::string appendPrimitive(const tinygltf::Model& model, const tinygltf::Primitive& primitive, ImportedMesh& mesh,
                            bool& tangentsMissing)
{
    const int positionAccessor = attributeOf(primitive, "POSITION");
    const size_t count = elementCount(model, positionAccessor);
    const int normalAccessor = attributeOf(primitive, "NORMAL");
    const int tangentAccessor = attributeOf(primitive, "TANGENT");
    const bool flat = normalAccessor < 0;
    if (count > kMaxElements)
        return "POSITION accessor " + std::to_string(positionAccessor) + ": count " + text(count) +
               " is beyond the import limit";
    if (mesh.vertices.size() + count > kMaxElements)
        return "more than " + text(kMaxElements) + " vertices in one mesh";

    // Every vertex built whole from its attributes (one pass over the new memory), then the
    // sparse substitutions.
    struct Attribute {
        const char* name;
        int accessor, components;
        size_t kept, offset; // floats read, and where they go in the vertex
        Elements elements;
    };
    Attribute attributes[] = {
        {"POSITION", positionAccessor, 3, 3, offsetof(MeshVertex, position) / sizeof(float), {}},
        {"NORMAL", normalAccessor, 3, 3, offsetof(MeshVertex, normal) / sizeof(float), {}},
        {"TEXCOORD_0", attributeOf(primitive, "TEXCOORD_0"), 2, 2, offsetof(MeshVertex, texCoord) / sizeof(float), {}},
        {"TANGENT", tangentAccessor, 4, 3, offsetof(MeshVertex, tangent) / sizeof(float), {}}, // the sign is the engine's
    };
    std::vector<Attribute*> present;
    for (Attribute& attribute : attributes) {
        // POSITION is required: opening it reports its absence.
        if (attribute.accessor < 0 && attribute.offset != 0)
            continue;
        const std::string error =
            openAccessor(model, attribute.accessor, attribute.components, count, attribute.elements);
        if (!error.empty())
            return std::string(attribute.name) + " " + error;
        present.push_back(&attribute);
    }
    std::vector<MeshVertex> source;
    std::vector<MeshVertex>& target = flat ? source : mesh.vertices;
    const size_t base = mesh.vertices.size(), start = target.size();
    if (target.capacity() < start + count) // growing by half at least: many primitives stay linear
        target.reserve(std::max(start + count, target.capacity() + target.capacity() / 2));
    for (size_t i = 0; i < count; ++i) {
        MeshVertex v{};
        auto* fields = reinterpret_cast<float*>(&v);
        for (const Attribute* attribute : present)
            if (attribute->elements.base)
                storeElement(attribute->elements, attribute->elements.base + i * attribute->elements.stride,
                             fields + attribute->offset, attribute->kept);
        v.position[3] = 1.0f;
        target.push_back(v);
    }
    constexpr size_t kStride = sizeof(MeshVertex) / sizeof(float);
    for (const Attribute* attribute : present) {
        auto* first = reinterpret_cast<float*>(target.data() + start) + attribute->offset;
        const std::string error =
            applySparse(model, attribute->accessor, attribute->elements, first, kStride, attribute->kept);
        if (!error.empty()) {
            mesh.vertices.resize(base);
            return std::string(attribute->name) + " " + error;
        }
    }
    tangentsMissing = tangentsMissing || tangentAccessor < 0;

    // A triangle list with indices is read straight into the mesh's index list; strips,
    // fans and flat primitives go through a list of corners first.
    const bool direct = !flat && (primitive.mode == -1 || primitive.mode == TINYGLTF_MODE_TRIANGLES);
    std::vector<uint32_t> corners;
    const size_t first = mesh.indices.size();
    if (primitive.indices >= 0) {
        const int type = static_cast<size_t>(primitive.indices) < model.accessors.size()
                             ? model.accessors[static_cast<size_t>(primitive.indices)].componentType
                             : 0;
        std::string error;
        if (type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE && type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
            type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)
            error = "indices of component type " + std::to_string(type);
        const size_t indexCount = elementCount(model, primitive.indices);
        if (error.empty() && (indexCount > kMaxElements || first + indexCount > kMaxElements))
            error = "indices: accessor " + std::to_string(primitive.indices) + ": count " + text(indexCount) +
                    " is beyond the import limit";
        uint32_t* values = nullptr;
        Elements elements;
        if (error.empty() && direct) {
            // Appended value by value (no zeroed list written twice); int32_t and uint32_t
            // may alias, and the values are checked below.
            if (error = openAccessor(model, primitive.indices, 1, indexCount, elements); error.empty()) {
                if (mesh.indices.capacity() < first + indexCount)
                    mesh.indices.reserve(std::max(first + indexCount, mesh.indices.capacity() * 3 / 2));
                for (size_t i = 0; i < indexCount; ++i) {
                    uint32_t value = 0;
                    if (elements.base)
                        storeElement(elements, elements.base + i * elements.stride, &value, 1);
                    mesh.indices.push_back(static_cast<int32_t>(value));
                }
                values = reinterpret_cast<uint32_t*>(mesh.indices.data() + first);
                error = applySparse(model, primitive.indices, elements, values, 1, 1);
            }
        } else if (error.empty()) {
            corners.resize(indexCount);
            values = corners.data();
            error = readAccessor(model, primitive.indices, 1, indexCount, values, 1, 1);
        }
        if (!error.empty() && error.rfind("indices", 0) != 0)
            error = "indices " + error;
        for (size_t i = 0; error.empty() && i < indexCount; ++i)
            if (values[i] >= count)
                error = "index value " + text(values[i]) + " past the vertex count " + text(count);
        if (!error.empty()) {
            mesh.vertices.resize(base);
            mesh.indices.resize(first);
            return error;
        }
        if (direct) {
            mesh.indices.resize(first + indexCount - indexCount % 3);
            for (size_t i = first; i < mesh.indices.size(); ++i)
                mesh.indices[i] += static_cast<int32_t>(base);
            return {};
        }
    } else {
        corners.resize(count);
        for (size_t i = 0; i < count; ++i)
            corners[i] = static_cast<uint32_t>(i);
    }
    const std::vector<uint32_t> list = triangleList(primitive.mode, std::move(corners));
    if ((flat ? mesh.vertices.size() + list.size() : mesh.vertices.size()) > kMaxElements ||
        mesh.indices.size() + list.size() > kMaxElements) {
        mesh.vertices.resize(base);
        return "more than " + text(kMaxElements) + " vertices or indices in one mesh";
    }
    if (flat) {
        appendFlat(source, list, mesh);
        return {};
    }
    mesh.indices.resize(first + list.size());
    for (size_t i = 0; i < list.size(); ++i)
        mesh.indices[first + i] = static_cast<int32_t>(base + list[i]);
    return {};
}

// Some unit direction at right angles to the normal: what a tangent needs to be where the
// normal map is flat, so that the lit programs' tangent frames stay defined.
void perpendicularTangent(MeshVertex& v)
{
    const float* n = v.normal;
    // Crossed with the axis the normal leans on least.
    const float ax = std::fabs(n[0]), ay = std::fabs(n[1]), az = std::fabs(n[2]);
    const float axis[3] = {ax <= ay && ax <= az ? 1.0f : 0.0f, ay < ax && ay <= az ? 1.0f : 0.0f,
                           az < ax && az < ay ? 1.0f : 0.0f};
    float t[3] = {n[1] * axis[2] - n[2] * axis[1], n[2] * axis[0] - n[0] * axis[2], n[0] * axis[1] - n[1] * axis[0]};
    const float length = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
    for (int k = 0; k < 3; ++k)
        v.tangent[k] = length > 0 ? t[k] / length : (k == 0 ? 1.0f : 0.0f);
}

// Tangents the file left out: by the engine's tangent routine where a normal texture
// will be read through them, otherwise any direction across the normal.
void finishMesh(ImportedMesh& mesh, bool tangentsMissing, bool normalMapped)
{
    if (tangentsMissing && normalMapped)
        computeTangents(mesh.vertices, mesh.indices);
    const bool across = tangentsMissing && !normalMapped;
    if (!mesh.vertices.empty())
        for (int k = 0; k < 3; ++k)
            mesh.low[k] = mesh.high[k] = mesh.vertices[0].position[k];
    for (MeshVertex& v : mesh.vertices) {
        if (across && v.tangent[0] == 0 && v.tangent[1] == 0 && v.tangent[2] == 0)
            perpendicularTangent(v);
        for (int k = 0; k < 3; ++k) {
            mesh.low[k] = std::min(mesh.low[k], v.position[k]);
            mesh.high[k] = std::max(mesh.high[k], v.position[k]);
        }
    }
}

// The primitives of one glTF mesh, those with `material` (all when `material` is -2).
std::string buildMesh(const tinygltf::Model& model, int meshIndex, int material, bool normalMapped, ImportedMesh& out,
                      Warnings& warnings)
{
    const tinygltf::Mesh& mesh = model.meshes[static_cast<size_t>(meshIndex)];
    bool tangentsMissing = false;
    for (size_t p = 0; p < mesh.primitives.size(); ++p) {
        const tinygltf::Primitive& primitive = mesh.primitives[p];
        if (material != -2 && primitive.material != material)
            continue;
        if (!primitive.targets.empty())
            warnings.once("morph targets are not supported, the base shape is loaded");
        if (!drawsTriangles(primitive.mode)) {
            if (primitive.mode >= 0 && primitive.mode <= 3) {
                warnings.once("points and lines are not drawn, skipped");
                continue;
            }
            return "mesh " + std::to_string(meshIndex) + ": unknown primitive mode " + std::to_string(primitive.mode);
        }
        const std::string error = appendPrimitive(model, primitive, out, tangentsMissing);
        if (!error.empty())
            return "mesh " + std::to_string(meshIndex) + " primitive " + text(p) + ": " + error;
    }
    finishMesh(out, tangentsMissing, normalMapped);
    return {};
}

std::string checkMeshIndex(const tinygltf::Model& model, int meshIndex)
{
    if (meshIndex < 0 || static_cast<size_t>(meshIndex) >= model.meshes.size())
        return "no mesh " + std::to_string(meshIndex) + " (the file has " + text(model.meshes.size()) + ")";
    return {};
}

// ---------------------------------------------------------------------------------------
// Node tree and placement

using Matrix = std::array<double, 16>; // column-major

Matrix multiply(const Matrix& a, const Matrix& b)
{
    Matrix r{};
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k)
                r[c * 4 + row] += a[k * 4 + row] * b[c * 4 + k];
    return r;
}

bool finiteValues(const std::vector<double>& values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// A node's own matrix: `matrix` as written, or translation x rotation x scale.
std::string localMatrix(const tinygltf::Node& node, Matrix& out)
{
    const bool sizes = (node.matrix.empty() || node.matrix.size() == 16) &&
                       (node.translation.empty() || node.translation.size() == 3) &&
                       (node.rotation.empty() || node.rotation.size() == 4) &&
                       (node.scale.empty() || node.scale.size() == 3);
    if (!sizes || !finiteValues(node.matrix) || !finiteValues(node.translation) || !finiteValues(node.rotation) ||
        !finiteValues(node.scale))
        return "transform values of the wrong count or not finite";
    if (!node.matrix.empty()) {
        std::copy(node.matrix.begin(), node.matrix.end(), out.begin());
        return {};
    }
    double q[4] = {0, 0, 0, 1}, s[3] = {1, 1, 1}, t[3] = {0, 0, 0};
    std::copy(node.rotation.begin(), node.rotation.end(), q);
    std::copy(node.scale.begin(), node.scale.end(), s);
    std::copy(node.translation.begin(), node.translation.end(), t);
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (length > 0)
        for (double& v : q)
            v /= length;
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
                         2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                         2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
    out = Matrix{};
    for (int c = 0; c < 3; ++c)
        for (int row = 0; row < 3; ++row)
            out[c * 4 + row] = r[c * 3 + row] * s[c];
    out[12] = t[0], out[13] = t[1], out[14] = t[2], out[15] = 1;
    return {};
}

// A world matrix split into rotation, position and a per-axis scale (negative x when it
// mirrors); `sheared` when the axes were not perpendicular.
struct Placement {
    double rotation[9]; // column-major 3x3
    double position[3];
    double scale[3];
    bool mirrored = false, sheared = false;
};

Placement decompose(const Matrix& m)
{
    Placement p;
    double axis[3][3];
    for (int c = 0; c < 3; ++c) {
        for (int row = 0; row < 3; ++row)
            axis[c][row] = m[c * 4 + row];
        p.scale[c] = std::sqrt(axis[c][0] * axis[c][0] + axis[c][1] * axis[c][1] + axis[c][2] * axis[c][2]);
        p.position[c] = m[12 + c];
    }
    const double det = axis[0][0] * (axis[1][1] * axis[2][2] - axis[1][2] * axis[2][1]) -
                       axis[1][0] * (axis[0][1] * axis[2][2] - axis[0][2] * axis[2][1]) +
                       axis[2][0] * (axis[0][1] * axis[1][2] - axis[0][2] * axis[1][1]);
    p.mirrored = det < 0;
    // Gram-Schmidt on the scaled-out axes; a vanished axis falls back to the unit one.
    static constexpr double kUnit[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    double r[3][3];
    for (int c = 0; c < 3; ++c) {
        const double sign = c == 0 && p.mirrored ? -1.0 : 1.0;
        for (int k = 0; k < 3; ++k)
            r[c][k] = p.scale[c] > 1e-12 ? sign * axis[c][k] / p.scale[c] : kUnit[c][k];
    }
    const double d01 = r[0][0] * r[1][0] + r[0][1] * r[1][1] + r[0][2] * r[1][2];
    const double d02 = r[0][0] * r[2][0] + r[0][1] * r[2][1] + r[0][2] * r[2][2];
    const double d12 = r[1][0] * r[2][0] + r[1][1] * r[2][1] + r[1][2] * r[2][2];
    p.sheared = std::fabs(d01) > 1e-4 || std::fabs(d02) > 1e-4 || std::fabs(d12) > 1e-4;
    for (int k = 0; k < 3; ++k)
        r[1][k] -= d01 * r[0][k];
    const double l1 = std::sqrt(r[1][0] * r[1][0] + r[1][1] * r[1][1] + r[1][2] * r[1][2]);
    for (int k = 0; k < 3; ++k)
        r[1][k] = l1 > 1e-12 ? r[1][k] / l1 : kUnit[1][k];
    r[2][0] = r[0][1] * r[1][2] - r[0][2] * r[1][1];
    r[2][1] = r[0][2] * r[1][0] - r[0][0] * r[1][2];
    r[2][2] = r[0][0] * r[1][1] - r[0][1] * r[1][0];
    if (p.mirrored)
        p.scale[0] = -p.scale[0];
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 3; ++k)
            p.rotation[c * 3 + k] = r[c][k];
    return p;
}

// Rotation matrix (column-major 3x3) to a unit quaternion x, y, z, w.
void toQuaternion(const double* m, float* q)
{
    const double m00 = m[0], m11 = m[4], m22 = m[8];
    const double m10 = m[1], m01 = m[3], m20 = m[2], m02 = m[6], m21 = m[5], m12 = m[7];
    double x, y, z, w;
    const double trace = m00 + m11 + m22;
    if (trace > 0) {
        const double s = std::sqrt(trace + 1.0) * 2;
        w = 0.25 * s, x = (m21 - m12) / s, y = (m02 - m20) / s, z = (m10 - m01) / s;
    } else if (m00 > m11 && m00 > m22) {
        const double s = std::sqrt(1.0 + m00 - m11 - m22) * 2;
        w = (m21 - m12) / s, x = 0.25 * s, y = (m01 + m10) / s, z = (m02 + m20) / s;
    } else if (m11 > m22) {
        const double s = std::sqrt(1.0 + m11 - m00 - m22) * 2;
        w = (m02 - m20) / s, x = (m01 + m10) / s, y = 0.25 * s, z = (m12 + m21) / s;
    } else {
        const double s = std::sqrt(1.0 + m22 - m00 - m11) * 2;
        w = (m10 - m01) / s, x = (m02 + m20) / s, y = (m12 + m21) / s, z = 0.25 * s;
    }
    q[0] = static_cast<float>(x), q[1] = static_cast<float>(y), q[2] = static_cast<float>(z);
    q[3] = static_cast<float>(w);
}

// Parents of every node; an error for a node with two parents, a child index that names
// no node, or a loop.
std::string nodeParents(const tinygltf::Model& model, std::vector<int>& parents)
{
    const size_t count = model.nodes.size();
    parents.assign(count, -1);
    for (size_t n = 0; n < count; ++n)
        for (int child : model.nodes[n].children) {
            if (child < 0 || static_cast<size_t>(child) >= count)
                return "node " + text(n) + " names child " + std::to_string(child) + ", which does not exist";
            if (parents[static_cast<size_t>(child)] != -1)
                return "node " + std::to_string(child) + " has more than one parent";
            parents[static_cast<size_t>(child)] = static_cast<int>(n);
        }
    for (size_t n = 0; n < count; ++n) {
        size_t steps = 0;
        for (int up = parents[n]; up != -1; up = parents[static_cast<size_t>(up)])
            if (++steps > count)
                return "node " + text(n) + " is its own ancestor";
    }
    return {};
}

// ---------------------------------------------------------------------------------------
// Materials and textures

float clamp01(double value)
{
    return static_cast<float>(std::clamp(std::isfinite(value) ? value : 0.0, 0.0, 1.0));
}

gpu::TextureSampling samplingOf(const tinygltf::Model& model, int samplerIndex)
{
    gpu::TextureSampling sampling;
    if (samplerIndex < 0 || static_cast<size_t>(samplerIndex) >= model.samplers.size())
        return sampling;
    const tinygltf::Sampler& sampler = model.samplers[static_cast<size_t>(samplerIndex)];
    auto wrap = [](int mode) {
        return mode == TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE || mode == TINYGLTF_TEXTURE_WRAP_MIRRORED_REPEAT
                   ? mode
                   : TINYGLTF_TEXTURE_WRAP_REPEAT;
    };
    sampling.wrapS = wrap(sampler.wrapS);
    sampling.wrapT = wrap(sampler.wrapT);
    if (sampler.magFilter == TINYGLTF_TEXTURE_FILTER_NEAREST || sampler.magFilter == TINYGLTF_TEXTURE_FILTER_LINEAR)
        sampling.magFilter = sampler.magFilter;
    if (sampler.minFilter >= TINYGLTF_TEXTURE_FILTER_NEAREST &&
        sampler.minFilter <= TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR &&
        (sampler.minFilter <= TINYGLTF_TEXTURE_FILTER_LINEAR ||
         sampler.minFilter >= TINYGLTF_TEXTURE_FILTER_NEAREST_MIPMAP_NEAREST))
        sampling.minFilter = sampler.minFilter;
    return sampling;
}

// How a material's alpha reaches texture 0.
enum class AlphaUse { Kept, Opaque, Mask };

// The image with its alpha turned into what the program reads: all 255 for an opaque
// material (the program drops texels of alpha 0), 0 or 255 at the cutoff for MASK.
gpu::Image bakeAlpha(const gpu::Image& image, AlphaUse use, float factorAlpha, float cutoff)
{
    gpu::Image baked = gpu::makeImage(image.width, image.height, gpu::ChannelOrder::Rgba, gpu::RowOrder::TopDown);
    for (int y = 0; y < image.height; ++y) {
        uint8_t* row = baked.row(y);
        for (int x = 0; x < image.width; ++x) {
            const uint32_t p = image.packedPixel(x, y);
            const float alpha = static_cast<float>(p >> 24) / 255.0f * factorAlpha;
            row[x * 4 + 0] = static_cast<uint8_t>(p);
            row[x * 4 + 1] = static_cast<uint8_t>(p >> 8);
            row[x * 4 + 2] = static_cast<uint8_t>(p >> 16);
            row[x * 4 + 3] = use == AlphaUse::Opaque || alpha >= cutoff ? 255 : 0;
        }
    }
    return baked;
}

bool anyTransparentTexel(const gpu::Image& image)
{
    if (!image.hasAlpha())
        return false;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if ((image.packedPixel(x, y) >> 24) == 0)
                return true;
    return false;
}

struct SceneBuilder {
    const Parsed& parsed;
    const tinygltf::Model& model;
    ImportedScene& scene;
    Warnings warnings;
    std::map<int, gpu::Image> decoded;                  // by image index
    std::map<std::string, int> textureByKey;            // image, sampler and alpha use
    std::map<int, int> materialByIndex;                 // glTF material (-1: none) to imported
    std::map<std::pair<int, int>, int> meshByPrimitives; // (mesh, material) to imported
    std::map<int, int> mirroredMesh;                    // imported mesh to its reversed copy

    SceneBuilder(const Parsed& p, ImportedScene& s) : parsed(p), model(p.model), scene(s), warnings{s.warnings, {}}
    {
    }

    std::string image(int index, const gpu::Image*& out)
    {
        if (index < 0 || static_cast<size_t>(index) >= model.images.size())
            return "no image " + std::to_string(index);
        if (auto found = decoded.find(index); found != decoded.end()) {
            out = &found->second;
            return {};
        }
        const tinygltf::Image& source = model.images[static_cast<size_t>(index)];
        const auto& bytes = parsed.context.imageBytes;
        gpu::Decoded result;
        if (static_cast<size_t>(index) < bytes.size() && !bytes[static_cast<size_t>(index)].empty())
            result = gpu::decodeImage(bytes[static_cast<size_t>(index)].data(), bytes[static_cast<size_t>(index)].size());
        else if (const std::string path = parsed.baseDirectory + tinygltf::dlib::urldecode(source.uri);
                 !source.uri.empty() && insideDirectory(path, parsed.baseDirectory))
            result = gpu::decodeImageFile(path);
        else if (!source.uri.empty())
            result.error = "outside the file's directory";
        else
            result.error = "no data";
        if (!result.image)
            return "image " + std::to_string(index) + (source.uri.empty() ? "" : " (" + source.uri + ")") + ": " +
                   (result.error.empty() ? "cannot be decoded" : result.error);
        out = &decoded.emplace(index, std::move(*result.image)).first->second;
        return {};
    }

    // The imported texture of a glTF texture reference as `use` needs it, loaded once.
    std::string texture(int textureIndex, AlphaUse use, float factorAlpha, float cutoff, const std::string& prefix,
                        int& out)
    {
        if (textureIndex < 0 || static_cast<size_t>(textureIndex) >= model.textures.size())
            return "no texture " + std::to_string(textureIndex);
        const tinygltf::Texture& source = model.textures[static_cast<size_t>(textureIndex)];
        const gpu::Image* decodedImage = nullptr;
        if (std::string error = image(source.source, decodedImage); !error.empty())
            return "texture " + std::to_string(textureIndex) + " " + error;
        if (use == AlphaUse::Opaque && !anyTransparentTexel(*decodedImage))
            use = AlphaUse::Kept;
        const std::string key = std::to_string(source.source) + "/" + std::to_string(source.sampler) + "/" +
                                std::to_string(static_cast<int>(use)) +
                                (use == AlphaUse::Mask ? "/" + std::to_string(factorAlpha) + "/" + std::to_string(cutoff)
                                                       : "");
        if (auto found = textureByKey.find(key); found != textureByKey.end()) {
            out = found->second;
            return {};
        }
        ImportedTexture imported;
        const tinygltf::Image& img = model.images[static_cast<size_t>(source.source)];
        imported.name = prefix + "/" + (img.name.empty() ? "image" : img.name) + "#" + std::to_string(source.source) +
                        (use == AlphaUse::Kept ? "" : use == AlphaUse::Opaque ? "-opaque" : "-mask");
        imported.image = use == AlphaUse::Kept ? *decodedImage : bakeAlpha(*decodedImage, use, factorAlpha, cutoff);
        imported.sampling = samplingOf(model, source.sampler);
        out = static_cast<int>(scene.textures.size());
        scene.textures.push_back(std::move(imported));
        textureByKey.emplace(key, out);
        return {};
    }

    std::string material(int index, const std::string& prefix, int& out)
    {
        if (auto found = materialByIndex.find(index); found != materialByIndex.end()) {
            out = found->second;
            return {};
        }
        if (index < -1 || index >= static_cast<int>(model.materials.size()))
            return "no material " + std::to_string(index);
        const tinygltf::Material source = index >= 0 ? model.materials[static_cast<size_t>(index)] : tinygltf::Material{};
        const auto& pbr = source.pbrMetallicRoughness;
        ImportedMaterial m;
        m.name = prefix + "/" + (source.name.empty() ? "material" : source.name) + "#" + std::to_string(index);
        for (size_t k = 0; k < 4 && k < pbr.baseColorFactor.size(); ++k)
            m.color[k] = clamp01(pbr.baseColorFactor[k]);
        const float metallic = clamp01(pbr.metallicFactor), roughness = clamp01(pbr.roughnessFactor);
        m.shine = (1.0f - roughness) * (0.25f + 0.75f * metallic);
        const float r = std::max(roughness, 0.05f);
        m.hardness = std::clamp(2.0f / (r * r * r * r) - 2.0f, 1.0f, 256.0f);
        for (int k = 0; k < 3; ++k)
            m.shineColor[k] = 1.0f + (m.color[k] - 1.0f) * metallic;
        for (double e : source.emissiveFactor)
            m.emission = std::max(m.emission, clamp01(e));
        m.doubleSided = source.doubleSided;
        m.blended = source.alphaMode == "BLEND";
        const bool masked = source.alphaMode == "MASK";
        const float cutoff = static_cast<float>(source.alphaCutoff);
        if (m.blended)
            m.kind = KVE_SHADER_TEXTURES;
        const AlphaUse use = masked ? AlphaUse::Mask : m.blended ? AlphaUse::Kept : AlphaUse::Opaque;
        if (pbr.baseColorTexture.index >= 0) {
            if (std::string error = texture(pbr.baseColorTexture.index, use, m.color[3], cutoff, prefix, m.colorTexture);
                !error.empty())
                return "material " + std::to_string(index) + " " + error;
        } else if (masked) {
            // No texture to carry the cutoff: a one-texel one does.
            ImportedTexture plain;
            plain.name = prefix + "/mask#" + std::to_string(index);
            plain.image = gpu::makeImage(1, 1, gpu::ChannelOrder::Rgba, gpu::RowOrder::TopDown);
            const uint8_t alpha = m.color[3] >= cutoff ? 255 : 0;
            plain.image.pixels = {255, 255, 255, alpha};
            m.colorTexture = static_cast<int>(scene.textures.size());
            scene.textures.push_back(std::move(plain));
        }
        if (masked || !m.blended)
            m.color[3] = 1.0f;
        if (source.normalTexture.index >= 0 && !m.blended) {
            if (std::string error = texture(source.normalTexture.index, AlphaUse::Kept, 1, 0, prefix, m.normalTexture);
                !error.empty())
                return "material " + std::to_string(index) + " normal " + error;
        }
        if (pbr.baseColorTexture.texCoord != 0 || source.normalTexture.texCoord != 0)
            warnings.once("textures read through TEXCOORD_1 use TEXCOORD_0");
        scene.needsWhite = scene.needsWhite || m.colorTexture < 0;
        scene.needsFlatNormal = scene.needsFlatNormal || (m.normalTexture < 0 && !m.blended);
        out = static_cast<int>(scene.materials.size());
        scene.materials.push_back(std::move(m));
        materialByIndex.emplace(index, out);
        return {};
    }

    std::string mesh(int meshIndex, int materialIndex, bool normalMapped, const std::string& prefix, int& out)
    {
        const auto key = std::pair{meshIndex, materialIndex};
        if (auto found = meshByPrimitives.find(key); found != meshByPrimitives.end()) {
            out = found->second;
            return {};
        }
        ImportedMesh built;
        const tinygltf::Mesh& source = model.meshes[static_cast<size_t>(meshIndex)];
        built.name = prefix + "/" + (source.name.empty() ? "mesh" : source.name) + "#" + std::to_string(meshIndex) +
                     (materialIndex >= 0 ? "." + std::to_string(materialIndex) : "");
        if (std::string error = buildMesh(model, meshIndex, materialIndex, normalMapped, built, warnings);
            !error.empty())
            return error;
        out = static_cast<int>(scene.meshes.size());
        scene.meshes.push_back(std::move(built));
        meshByPrimitives.emplace(key, out);
        return {};
    }

    // The same mesh with its triangles turned round, for objects placed mirrored.
    int mirrored(int meshIndex)
    {
        if (auto found = mirroredMesh.find(meshIndex); found != mirroredMesh.end())
            return found->second;
        ImportedMesh copy = scene.meshes[static_cast<size_t>(meshIndex)];
        copy.name += "-mirrored";
        for (size_t t = 0; t + 2 < copy.indices.size(); t += 3)
            std::swap(copy.indices[t + 1], copy.indices[t + 2]);
        const int index = static_cast<int>(scene.meshes.size());
        scene.meshes.push_back(std::move(copy));
        mirroredMesh.emplace(meshIndex, index);
        return index;
    }

    void addBounds(const ImportedMesh& mesh, const Matrix& world, bool& first)
    {
        // Without rotation the box's corners give the box exactly; otherwise every vertex.
        const bool axisAligned = world[1] == 0 && world[2] == 0 && world[4] == 0 && world[6] == 0 &&
                                 world[8] == 0 && world[9] == 0;
        if (axisAligned && !mesh.vertices.empty()) {
            for (int row = 0; row < 3; ++row) {
                const double a = world[row * 5] * mesh.low[row] + world[12 + row];
                const double b = world[row * 5] * mesh.high[row] + world[12 + row];
                const auto low = static_cast<float>(std::min(a, b)), high = static_cast<float>(std::max(a, b));
                scene.boundsMin[row] = first ? low : std::min(scene.boundsMin[row], low);
                scene.boundsMax[row] = first ? high : std::max(scene.boundsMax[row], high);
            }
            first = false;
            return;
        }
        for (const MeshVertex& v : mesh.vertices) {
            for (int row = 0; row < 3; ++row) {
                const double p = world[row] * v.position[0] + world[4 + row] * v.position[1] +
                                 world[8 + row] * v.position[2] + world[12 + row];
                const auto value = static_cast<float>(p);
                scene.boundsMin[row] = first ? value : std::min(scene.boundsMin[row], value);
                scene.boundsMax[row] = first ? value : std::max(scene.boundsMax[row], value);
            }
            first = false;
        }
    }

    std::string build(const std::string& prefix)
    {
        if (!model.skins.empty() || !model.animations.empty())
            warnings.once("skins and animations are not supported, the static pose is loaded");
        std::vector<int> parents;
        if (std::string error = nodeParents(model, parents); !error.empty())
            return error;
        if (model.scenes.empty())
            return "no scene";
        const size_t sceneIndex =
            model.defaultScene >= 0 && static_cast<size_t>(model.defaultScene) < model.scenes.size()
                ? static_cast<size_t>(model.defaultScene)
                : 0;
        // Depth-first from the scene's roots: glTF node, world matrix, engine parent.
        struct Visit {
            int node;
            Matrix parentWorld;
            int parentImported;
            const Placement* parentPlacement;
        };
        std::vector<Placement> placements;
        placements.reserve(model.nodes.size());
        std::vector<Visit> stack;
        static const Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        std::vector<char> visited(model.nodes.size(), 0);
        const auto& roots = model.scenes[sceneIndex].nodes;
        for (auto it = roots.rbegin(); it != roots.rend(); ++it) {
            if (*it < 0 || static_cast<size_t>(*it) >= model.nodes.size())
                return "scene names node " + std::to_string(*it) + ", which does not exist";
            if (parents[static_cast<size_t>(*it)] != -1)
                return "scene root node " + std::to_string(*it) + " has a parent";
            stack.push_back({*it, kIdentity, -1, nullptr});
        }
        bool firstBounds = true;
        while (!stack.empty()) {
            const Visit visit = stack.back();
            stack.pop_back();
            if (visited[static_cast<size_t>(visit.node)]++)
                return "node " + std::to_string(visit.node) + " is used twice in the scene";
            const tinygltf::Node& node = model.nodes[static_cast<size_t>(visit.node)];
            Matrix local;
            if (std::string error = localMatrix(node, local); !error.empty())
                return "node " + std::to_string(visit.node) + ": " + error;
            const Matrix world = multiply(visit.parentWorld, local);
            placements.push_back(decompose(world));
            const Placement& placement = placements.back();
            if (placement.sheared)
                warnings.once("a node placement with shear is loaded without its shear");
            if (node.skin >= 0)
                warnings.once("skins and animations are not supported, the static pose is loaded");

            // The engine node's rigid placement relative to its parent's.
            ImportedNode imported;
            imported.name = prefix + "/" + (node.name.empty() ? "node" : node.name) + "#" + std::to_string(visit.node);
            imported.parent = visit.parentImported;
            double relative[9];
            double offset[3];
            const double* parentR = visit.parentPlacement ? visit.parentPlacement->rotation : nullptr;
            for (int k = 0; k < 3; ++k)
                offset[k] = placement.position[k] - (parentR ? visit.parentPlacement->position[k] : 0.0);
            for (int c = 0; c < 3; ++c)
                for (int row = 0; row < 3; ++row) {
                    // relative = parentR^T x R
                    double sum = 0;
                    for (int k = 0; k < 3; ++k)
                        sum += (parentR ? parentR[row * 3 + k] : (row == k ? 1.0 : 0.0)) * placement.rotation[c * 3 + k];
                    relative[c * 3 + row] = sum;
                }
            for (int row = 0; row < 3; ++row) {
                double sum = 0;
                for (int k = 0; k < 3; ++k)
                    sum += (parentR ? parentR[row * 3 + k] : (row == k ? 1.0 : 0.0)) * offset[k];
                imported.position[row] = static_cast<float>(sum);
            }
            toQuaternion(relative, imported.rotation);
            const int importedIndex = static_cast<int>(scene.nodes.size());
            scene.nodes.push_back(std::move(imported));

            if (node.mesh >= 0) {
                if (std::string error = checkMeshIndex(model, node.mesh); !error.empty())
                    return "node " + std::to_string(visit.node) + ": " + error;
                std::vector<int> materials;
                for (const tinygltf::Primitive& primitive : model.meshes[static_cast<size_t>(node.mesh)].primitives) {
                    if (primitive.mode < -1 || primitive.mode > TINYGLTF_MODE_TRIANGLE_FAN)
                        return "mesh " + std::to_string(node.mesh) + ": unknown primitive mode " +
                               std::to_string(primitive.mode);
                    if (drawsTriangles(primitive.mode) &&
                        std::find(materials.begin(), materials.end(), primitive.material) == materials.end())
                        materials.push_back(primitive.material);
                }
                if (materials.empty())
                    warnings.once("points and lines are not drawn, skipped");
                for (int materialIndex : materials) {
                    ImportedObject object;
                    object.node = importedIndex;
                    if (std::string error = material(materialIndex, prefix, object.material); !error.empty())
                        return error;
                    const bool normalMapped = scene.materials[static_cast<size_t>(object.material)].normalTexture >= 0;
                    if (std::string error = mesh(node.mesh, materialIndex, normalMapped, prefix, object.mesh);
                        !error.empty())
                        return error;
                    if (placement.mirrored)
                        object.mesh = mirrored(object.mesh);
                    for (int k = 0; k < 3; ++k)
                        object.scale[k] = static_cast<float>(placement.scale[k]);
                    for (int k = 0; k < 16; ++k)
                        object.world[k] = static_cast<float>(world[static_cast<size_t>(k)]);
                    const ImportedMesh& used = scene.meshes[static_cast<size_t>(object.mesh)];
                    scene.triangles += static_cast<int64_t>(used.indices.size() / 3);
                    addBounds(used, world, firstBounds);
                    scene.objects.push_back(object);
                }
            }
            for (auto child = node.children.rbegin(); child != node.children.rend(); ++child)
                stack.push_back({*child, world, importedIndex, &placements.back()});
        }
        return {};
    }
};

std::string guarded(const std::function<std::string()>& work)
{
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::exception& exception) {
        return std::string("cannot be read (") + exception.what() + ")";
    }
}

} // namespace

std::string importScene(const uint8_t* data, size_t size, const std::string& baseDirectory, ImportedScene& out)
{
    out = ImportedScene{};
    return guarded([&] {
        Parsed parsed;
        if (std::string error = parse(data, size, baseDirectory, parsed); !error.empty())
            return error;
        SceneBuilder builder(parsed, out);
        return builder.build("");
    });
}

std::string importMesh(const uint8_t* data, size_t size, const std::string& baseDirectory, int meshIndex,
                       ImportedMesh& out, std::vector<std::string>& warnings)
{
    out = ImportedMesh{};
    return guarded([&] {
        Parsed parsed;
        if (std::string error = parse(data, size, baseDirectory, parsed); !error.empty())
            return error;
        if (std::string error = checkMeshIndex(parsed.model, meshIndex); !error.empty())
            return error;
        Warnings said{warnings, {}};
        // The caller chooses the material: the tangents are made for normal mapping.
        return buildMesh(parsed.model, meshIndex, -2, true, out, said);
    });
}

} // namespace kve::geometry::gltf

namespace geometry = kve::geometry;
namespace gltf = kve::geometry::gltf;

namespace {

constexpr const char* kMeshUnit = "KVE Mesh";

// The records one import made, released in reverse when a later one cannot be made.
struct Registered {
    std::vector<int> textures, materials, meshes, nodes, objects;

    void rollBack() const
    {
        for (auto it = objects.rbegin(); it != objects.rend(); ++it)
            KVE_ReleaseObject(*it);
        for (auto it = nodes.rbegin(); it != nodes.rend(); ++it)
            KVE_ReleaseNode(*it);
        for (int mesh : meshes)
            if (geometry::MeshRecord* record = geometry::findMesh(mesh))
                geometry::releaseMesh(record);
        for (int material : materials)
            KVE_ReleaseMaterial(material);
        for (int texture : textures)
            KVE_ReleaseTexture(texture);
    }
};

// Reads the file and imports it; false after the red entries.
bool readAndImport(std::string_view file, const char* procedure,
                   const std::function<std::string(const uint8_t*, size_t, const std::string&)>& import)
{
    kve::platform::MappedFile bytes;
    if (!bytes.open(kve::defs::nativePath(file))) {
        kve::log::failFile(file, kve::defs::unreadableReason(file), procedure);
        return false;
    }
    const std::string directory = kve::defs::withTrailingSeparator(kve::defs::directoryPart(file));
    const std::string error = import(bytes.data(), bytes.size(), directory);
    if (!error.empty()) {
        kve::log::failFile(file, error, procedure);
        return false;
    }
    return true;
}

geometry::MeshRecord* registerMesh(int id, gltf::ImportedMesh& mesh, const std::string& name)
{
    geometry::MeshRecord* record = geometry::createMesh(&id, name);
    if (!record)
        return nullptr;
    record->vertices = std::move(mesh.vertices);
    record->indices = std::move(mesh.indices);
    record->indexCount = static_cast<int>(record->indices.size());
    if (!geometry::finish(*record)) {
        geometry::releaseMesh(record);
        return nullptr;
    }
    return record;
}

kve::gpu::TextureRecord* standIn(uint8_t r, uint8_t g, uint8_t b, const std::string& name)
{
    kve::gpu::Image image = kve::gpu::makeImage(1, 1, kve::gpu::ChannelOrder::Rgba, kve::gpu::RowOrder::TopDown);
    image.pixels = {r, g, b, 255};
    return kve::gpu::makeSampledTexture(-1, image, {}, name);
}

// Registers everything the import made under `prefix`; false (everything made so far
// released again) when a record cannot be made.
bool registerScene(gltf::ImportedScene& scene, const std::string& prefix, KVE_GLTF_SCENE& info, Registered& made)
{
    KVE_NODE* root = KVE_CreateNode(-1, prefix.c_str());
    if (!root)
        return false;
    made.nodes.push_back(root->number);

    std::vector<int> textures;
    for (gltf::ImportedTexture& texture : scene.textures) {
        auto* record = kve::gpu::makeSampledTexture(-1, texture.image, texture.sampling, prefix + texture.name);
        if (!record)
            return false;
        made.textures.push_back(record->number);
        textures.push_back(record->number);
    }
    int white = -1, flatNormal = -1;
    for (auto [needed, number, color, suffix] :
         {std::tuple{scene.needsWhite, &white, std::array<uint8_t, 3>{255, 255, 255}, "/white"},
          std::tuple{scene.needsFlatNormal, &flatNormal, std::array<uint8_t, 3>{128, 128, 255}, "/flat normal"}}) {
        if (!needed)
            continue;
        auto* record = standIn(color[0], color[1], color[2], prefix + suffix);
        if (!record)
            return false;
        made.textures.push_back(record->number);
        *number = record->number;
    }

    std::vector<int> materials;
    for (const gltf::ImportedMaterial& m : scene.materials) {
        KVE_MATERIAL* record = KVE_CreateMaterial(-1, KVE_NO_TEXTURE, m.kind, (prefix + m.name).c_str());
        if (!record)
            return false;
        made.materials.push_back(record->number);
        materials.push_back(record->number);
        record->textures[0] = m.colorTexture >= 0 ? textures[static_cast<size_t>(m.colorTexture)] : white;
        if (m.kind == KVE_SHADER_NORMAL_MAPPING)
            record->textures[1] = m.normalTexture >= 0 ? textures[static_cast<size_t>(m.normalTexture)] : flatNormal;
        std::copy_n(m.color, 4, record->color);
        std::copy_n(m.shineColor, 4, record->shineColor);
        record->shine = m.shine;
        record->hardness = m.hardness;
        record->emission = m.emission;
        record->backFaceCulling = m.doubleSided ? 0 : 1;
        record->depthMask = m.blended ? 0 : 1;
    }

    std::vector<int> meshes;
    for (gltf::ImportedMesh& mesh : scene.meshes) {
        geometry::MeshRecord* record = registerMesh(-1, mesh, prefix + mesh.name);
        if (!record)
            return false;
        made.meshes.push_back(record->number);
        meshes.push_back(record->number);
    }

    std::vector<KVE_NODE*> nodes;
    for (const gltf::ImportedNode& node : scene.nodes) {
        KVE_NODE* record = KVE_CreateNode(-1, (prefix + node.name).c_str());
        if (!record)
            return false;
        made.nodes.push_back(record->number);
        nodes.push_back(record);
        record->rotation = {node.rotation[0], node.rotation[1], node.rotation[2], node.rotation[3]};
        KVE_MoveNode(record->number, node.position[0], node.position[1], node.position[2], 0);
        KVE_NODE* parent = node.parent >= 0 ? nodes[static_cast<size_t>(node.parent)] : root;
        kve::scene::attachItem(&parent->item, record->item, KVE_ATTACH_FULL);
    }

    for (size_t i = 0; i < scene.objects.size(); ++i) {
        const gltf::ImportedObject& object = scene.objects[i];
        KVE_NODE* node = nodes[static_cast<size_t>(object.node)];
        const std::string name = std::string(node->name) + "." + std::to_string(i);
        KVE_OBJECT* record = KVE_CreateObject(-1, meshes[static_cast<size_t>(object.mesh)],
                                              materials[static_cast<size_t>(object.material)], name.c_str(), 0, 0);
        if (!record)
            return false;
        made.objects.push_back(record->number);
        record->scale = {object.scale[0], object.scale[1], object.scale[2], 0.0f};
        record->Body.sizeFactor = std::max({object.scale[0], object.scale[1], object.scale[2]});
        kve::scene::rebuildObjectMatrices(*record);
        kve::scene::attachItem(&node->item, record->item, KVE_ATTACH_FULL);
    }

    info.node = root->number;
    info.objects = static_cast<int32_t>(made.objects.size());
    info.meshes = static_cast<int32_t>(made.meshes.size());
    info.materials = static_cast<int32_t>(made.materials.size());
    info.textures = static_cast<int32_t>(made.textures.size());
    info.triangles = static_cast<int32_t>(std::min<int64_t>(scene.triangles, INT32_MAX));
    info.boundsMin = {scene.boundsMin[0], scene.boundsMin[1], scene.boundsMin[2], 1.0f};
    info.boundsMax = {scene.boundsMax[0], scene.boundsMax[1], scene.boundsMax[2], 1.0f};
    return true;
}

} // namespace

extern "C" {

int KVE_LoadGLTFScene(const char* fileName, const char* name, KVE_GLTF_SCENE* info)
{
    constexpr const char* kProcedure = "KVE_LoadGLTFScene";
    const std::string_view file = fileName ? fileName : "";
    kve::log::progress("Load glTF Scene: " + std::string(file), kProcedure, kMeshUnit);
    KVE_GLTF_SCENE made{};
    made.node = -1;
    if (info)
        *info = made;
    gltf::ImportedScene scene;
    if (!readAndImport(file, kProcedure, [&](const uint8_t* data, size_t size, const std::string& directory) {
            return gltf::importScene(data, size, directory, scene);
        }))
        return -1;
    for (const std::string& warning : scene.warnings)
        kve::log::warnFile(file, warning, kProcedure);
    const std::string prefix = name && *name ? std::string(name) : std::string(kve::defs::filePart(file));
    Registered records;
    if (!registerScene(scene, prefix, made, records)) {
        records.rollBack();
        kve::log::failFile(file, "the engine refused a record", kProcedure);
        return -1;
    }
    if (info)
        *info = made;
    kve::log::ok(kProcedure);
    return made.node;
}

KVE_MESH* KVE_LoadGLTFMesh(int id, const char* fileName, int meshIndex, const char* name)
{
    constexpr const char* kProcedure = "KVE_LoadGLTFMesh";
    const std::string_view file = fileName ? fileName : "";
    kve::log::progress("Load glTF Mesh: " + std::string(file), kProcedure, kMeshUnit);
    gltf::ImportedMesh mesh;
    std::vector<std::string> warnings;
    if (!readAndImport(file, kProcedure, [&](const uint8_t* data, size_t size, const std::string& directory) {
            return gltf::importMesh(data, size, directory, meshIndex, mesh, warnings);
        }))
        return nullptr;
    for (const std::string& warning : warnings)
        kve::log::warnFile(file, warning, kProcedure);
    if (mesh.indices.empty()) {
        kve::log::failFile(file, "mesh " + std::to_string(meshIndex) + " has no triangles", kProcedure);
        return nullptr;
    }
    const std::string meshName = name && *name ? std::string(name)
                                               : std::string(kve::defs::filePart(file)) + "#" + std::to_string(meshIndex);
    geometry::MeshRecord* record = registerMesh(id, mesh, meshName);
    if (!record)
        return nullptr;
    kve::log::ok(kProcedure);
    return record;
}

} // extern "C"
