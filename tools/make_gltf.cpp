// Writes small glTF 2.0 files for the importer's tests, the example and the fuzz seeds,
// and a large one for the benchmark. It writes the JSON text and the GLB container on its
// own, sharing no code with the engine's reader.
//
// Usage: kve_make_gltf <output directory>           the test files (list below)
//        kve_make_gltf --grid <file.glb> <quads>     one quads x quads grid mesh
//
//   cube.gltf + cube.bin + cube.png   textured cube, external buffer and image
//   cube.glb                          the same cube, image in a buffer view
//   quad.gltf                         textured quad, buffer and image as data URIs,
//                                     8-bit indices, clamped nearest sampling
//   hierarchy.gltf                    three cubes under nodes placed by a matrix, by
//                                     translation/rotation/scale and by translation only
//   winding.gltf                      a quad facing +z, and a mirrored copy of it
//   accessors.gltf                    interleaved attributes, 32-bit indices, normalized
//                                     attributes, a sparse accessor, one with no view
//   strips.gltf                       a strip, a fan, points, no normals, an animation
#include <array>
#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "gpu/image_write.h"

namespace {

constexpr int kByte = 5120, kUnsignedByte = 5121, kUnsignedShort = 5123, kUnsignedInt = 5125, kFloat = 5126;

std::string base64(const std::vector<uint8_t>& bytes)
{
    static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t n = uint32_t{bytes[i]} << 16 | (i + 1 < bytes.size() ? uint32_t{bytes[i + 1]} << 8 : 0) |
                           (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        out += kDigits[n >> 18 & 63];
        out += kDigits[n >> 12 & 63];
        out += i + 1 < bytes.size() ? kDigits[n >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

std::string list(const std::vector<double>& values)
{
    std::string out = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        if (i)
            out += ',';
        out += number(values[i]);
    }
    return out + "]";
}

std::string join(const std::vector<std::string>& items)
{
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i)
            out += ",\n    ";
        out += items[i];
    }
    return out;
}

// One glTF document with a single buffer, built up item by item.
struct Document {
    std::vector<uint8_t> bin;
    std::vector<std::string> views, accessors, meshes, nodes, materials, textures, images, samplers, animations;
    std::vector<int> sceneNodes;

    template <class T>
    int view(const std::vector<T>& values, int stride = 0)
    {
        while (bin.size() % 4)
            bin.push_back(0);
        const size_t offset = bin.size();
        const size_t size = values.size() * sizeof(T);
        bin.resize(offset + size);
        std::memcpy(bin.data() + offset, values.data(), size);
        views.push_back("{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) +
                        ",\"byteLength\":" + std::to_string(size) +
                        (stride ? ",\"byteStride\":" + std::to_string(stride) : "") + "}");
        return static_cast<int>(views.size()) - 1;
    }

    int accessor(int view, size_t offset, int componentType, size_t count, const char* type, bool normalized = false,
                 const std::string& extra = "")
    {
        accessors.push_back(std::string("{") + (view >= 0 ? "\"bufferView\":" + std::to_string(view) + "," : "") +
                            "\"byteOffset\":" + std::to_string(offset) +
                            ",\"componentType\":" + std::to_string(componentType) +
                            ",\"count\":" + std::to_string(count) + ",\"type\":\"" + type + "\"" +
                            (normalized ? ",\"normalized\":true" : "") + extra + "}");
        return static_cast<int>(accessors.size()) - 1;
    }

    // Positions with the min and max the format asks for.
    int positions(const std::vector<float>& xyz)
    {
        std::vector<double> low(3, 1e30), high(3, -1e30);
        for (size_t i = 0; i < xyz.size(); ++i) {
            low[i % 3] = std::min<double>(low[i % 3], xyz[i]);
            high[i % 3] = std::max<double>(high[i % 3], xyz[i]);
        }
        return accessor(view(xyz), 0, kFloat, xyz.size() / 3, "VEC3", false,
                        ",\"min\":" + list(low) + ",\"max\":" + list(high));
    }

    int image(const std::vector<uint8_t>& png)
    {
        images.push_back("{\"bufferView\":" + std::to_string(view(png)) + ",\"mimeType\":\"image/png\"}");
        return static_cast<int>(images.size()) - 1;
    }

    std::string json(const std::string& bufferUri, const std::string& extra = "") const
    {
        std::string out = "{\n  \"asset\":{\"version\":\"2.0\",\"generator\":\"kve_make_gltf\"},\n";
        std::string roots;
        for (size_t i = 0; i < sceneNodes.size(); ++i) {
            if (i)
                roots += ',';
            roots += std::to_string(sceneNodes[i]);
        }
        out += "  \"scene\":0,\n  \"scenes\":[{\"nodes\":[" + roots + "]}],\n";
        auto section = [&](const char* name, const std::vector<std::string>& items) {
            if (!items.empty())
                out += std::string("  \"") + name + "\":[\n    " + join(items) + "],\n";
        };
        section("nodes", nodes);
        section("meshes", meshes);
        section("materials", materials);
        section("textures", textures);
        section("images", images);
        section("samplers", samplers);
        section("animations", animations);
        section("accessors", accessors);
        section("bufferViews", views);
        out += extra;
        out += "  \"buffers\":[{\"byteLength\":" + std::to_string(bin.size()) +
               (bufferUri.empty() ? "" : ",\"uri\":\"" + bufferUri + "\"") + "}]\n}\n";
        return out;
    }
};

bool writeText(const std::string& path, const std::string& text)
{
    return kve::gpu::writeBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// The GLB container: header, JSON chunk padded with spaces, BIN chunk padded with zeros.
std::vector<uint8_t> glb(std::string json, std::vector<uint8_t> bin)
{
    while (json.size() % 4)
        json += ' ';
    while (bin.size() % 4)
        bin.push_back(0);
    std::vector<uint8_t> out;
    auto u32 = [&](uint32_t v) {
        for (int k = 0; k < 4; ++k)
            out.push_back(static_cast<uint8_t>(v >> (8 * k)));
    };
    const auto total = static_cast<uint32_t>(12 + 8 + json.size() + 8 + bin.size());
    for (char c : std::string_view("glTF"))
        out.push_back(static_cast<uint8_t>(c));
    u32(2);
    u32(total);
    u32(static_cast<uint32_t>(json.size()));
    u32(0x4E4F534Au);
    out.insert(out.end(), json.begin(), json.end());
    u32(static_cast<uint32_t>(bin.size()));
    u32(0x004E4942u);
    out.insert(out.end(), bin.begin(), bin.end());
    return out;
}

// 16 x 16 pixels: the top half red, the bottom half green, so that a picture shows which
// way up the texture came out.
std::vector<uint8_t> twoToneImage()
{
    std::vector<uint8_t> rgb(16 * 16 * 3);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            uint8_t* p = &rgb[static_cast<size_t>(y * 16 + x) * 3];
            p[0] = y < 8 ? 220 : 30;
            p[1] = y < 8 ? 30 : 200;
            p[2] = 30;
        }
    return kve::gpu::encodePng(16, 16, 3, rgb.data());
}

struct CubeData {
    std::vector<float> positions, normals, texCoords;
    std::vector<uint16_t> indices;
};

// A cube of side `size` about the origin: four corners per face, counter-clockwise from
// outside, texture t = 0 at each face's top.
CubeData cube(float size)
{
    CubeData c;
    const float h = size * 0.5f;
    // Face normal n and in-face axes u, v with u x v = n.
    const int faces[6][3][3] = {{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
                                {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
                                {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},   {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}}};
    const float corner[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (const auto& face : faces) {
        const auto base = static_cast<uint16_t>(c.positions.size() / 3);
        for (const auto& k : corner) {
            for (int a = 0; a < 3; ++a) {
                c.positions.push_back(h * (face[0][a] + k[0] * face[1][a] + k[1] * face[2][a]));
                c.normals.push_back(static_cast<float>(face[0][a]));
            }
            c.texCoords.push_back((k[0] + 1) * 0.5f);
            c.texCoords.push_back(1.0f - (k[1] + 1) * 0.5f);
        }
        for (uint16_t i : {0, 1, 2, 0, 2, 3})
            c.indices.push_back(static_cast<uint16_t>(base + i));
    }
    return c;
}

// Adds the cube mesh (with `material`, -1 for none) and returns the mesh index.
int addCube(Document& d, float size, int material)
{
    const CubeData c = cube(size);
    const int position = d.positions(c.positions);
    const int normal = d.accessor(d.view(c.normals), 0, kFloat, c.normals.size() / 3, "VEC3");
    const int uv = d.accessor(d.view(c.texCoords), 0, kFloat, c.texCoords.size() / 2, "VEC2");
    const int index = d.accessor(d.view(c.indices), 0, kUnsignedShort, c.indices.size(), "SCALAR");
    d.meshes.push_back("{\"name\":\"cube\",\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(position) +
                       ",\"NORMAL\":" + std::to_string(normal) + ",\"TEXCOORD_0\":" + std::to_string(uv) +
                       "},\"indices\":" + std::to_string(index) +
                       (material >= 0 ? ",\"material\":" + std::to_string(material) : "") + "}]}");
    return static_cast<int>(d.meshes.size()) - 1;
}

const char* kTexturedMaterial = "{\"name\":\"two-tone\",\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0},"
                                "\"metallicFactor\":0.0,\"roughnessFactor\":0.5}}";

bool writeCubes(const std::string& dir)
{
    const std::vector<uint8_t> png = twoToneImage();
    // External buffer and image.
    Document external;
    external.materials.push_back(kTexturedMaterial);
    external.textures.push_back("{\"source\":0}");
    external.images.push_back("{\"uri\":\"cube.png\"}");
    external.nodes.push_back("{\"name\":\"cube\",\"mesh\":" + std::to_string(addCube(external, 1.0f, 0)) + "}");
    external.sceneNodes = {0};
    // The same cube with its image in the binary chunk.
    Document binary;
    binary.materials.push_back(kTexturedMaterial);
    binary.textures.push_back("{\"source\":0}");
    binary.nodes.push_back("{\"name\":\"cube\",\"mesh\":" + std::to_string(addCube(binary, 1.0f, 0)) + "}");
    binary.image(png);
    binary.sceneNodes = {0};
    return kve::gpu::writeBytes(dir + "/cube.png", png) && kve::gpu::writeBytes(dir + "/cube.bin", external.bin) &&
           writeText(dir + "/cube.gltf", external.json("cube.bin")) &&
           kve::gpu::writeBytes(dir + "/cube.glb", glb(binary.json(""), binary.bin));
}

// A quad in z = 0 facing +z, x and y in -h..h, counter-clockwise from the front.
std::vector<float> quadPositions(float h)
{
    return {-h, -h, 0, h, -h, 0, h, h, 0, -h, h, 0};
}

bool writeQuad(const std::string& dir)
{
    Document d;
    const std::vector<uint8_t> png = twoToneImage();
    const int position = d.positions(quadPositions(1.0f));
    const int normal = d.accessor(d.view(std::vector<float>{0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}), 0, kFloat, 4, "VEC3");
    const int uv = d.accessor(d.view(std::vector<float>{0, 1, 1, 1, 1, 0, 0, 0}), 0, kFloat, 4, "VEC2");
    const int index = d.accessor(d.view(std::vector<uint8_t>{0, 1, 2, 0, 2, 3}), 0, kUnsignedByte, 6, "SCALAR");
    d.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(position) +
                       ",\"NORMAL\":" + std::to_string(normal) + ",\"TEXCOORD_0\":" + std::to_string(uv) +
                       "},\"indices\":" + std::to_string(index) + ",\"material\":0}]}");
    d.materials.push_back("{\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0},\"baseColorFactor\":[1,1,1,1]},"
                          "\"doubleSided\":true,\"emissiveFactor\":[0.25,0.5,0.125]}");
    d.samplers.push_back("{\"magFilter\":9728,\"minFilter\":9728,\"wrapS\":33071,\"wrapT\":33648}");
    d.textures.push_back("{\"source\":0,\"sampler\":0}");
    d.images.push_back("{\"uri\":\"data:image/png;base64," + base64(png) + "\"}");
    d.nodes.push_back("{\"mesh\":0}");
    d.sceneNodes = {0};
    return writeText(dir + "/quad.gltf", d.json("data:application/octet-stream;base64," + base64(d.bin)));
}

bool writeHierarchy(const std::string& dir)
{
    Document d;
    d.materials.push_back("{\"pbrMetallicRoughness\":{\"baseColorFactor\":[0.9,0.8,0.2,1],\"metallicFactor\":0}}");
    const int mesh = addCube(d, 1.0f, 0);
    const std::string m = std::to_string(mesh);
    // Matrix: a translation by (-1.5, 0, 0), column-major.
    d.nodes.push_back("{\"name\":\"matrix\",\"mesh\":" + m + ",\"children\":[1],\"matrix\":" +
                      list({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -1.5, 0, 0, 1}) + "}");
    // Translation, rotation (90 degrees about y) and scale: world centre (1.5, 0, 0).
    const double s = std::sqrt(0.5);
    d.nodes.push_back("{\"name\":\"trs\",\"mesh\":" + m + ",\"children\":[2],\"translation\":[3,0,0],\"rotation\":" +
                      list({0, s, 0, s}) + ",\"scale\":[0.5,0.5,0.5]}");
    // Translation alone, read in the turned and halved space: world centre (2.5, 1, 0).
    d.nodes.push_back("{\"name\":\"translation\",\"mesh\":" + m + ",\"translation\":[0,2,2]}");
    d.nodes.push_back("{\"name\":\"empty\"}");
    d.sceneNodes = {0, 3};
    return writeText(dir + "/hierarchy.gltf", d.json("data:application/octet-stream;base64," + base64(d.bin)));
}

bool writeWinding(const std::string& dir)
{
    Document d;
    d.materials.push_back("{\"pbrMetallicRoughness\":{\"baseColorFactor\":[1,1,1,1]}}");
    const int position = d.positions(quadPositions(0.5f));
    const int index = d.accessor(d.view(std::vector<uint16_t>{0, 1, 2, 0, 2, 3}), 0, kUnsignedShort, 6, "SCALAR");
    d.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(position) +
                       "},\"indices\":" + std::to_string(index) + ",\"material\":0}]}");
    d.nodes.push_back("{\"name\":\"left\",\"mesh\":0,\"translation\":[-1,0,0]}");
    d.nodes.push_back("{\"name\":\"mirrored\",\"mesh\":0,\"translation\":[1,0,0],\"scale\":[-1,1,1]}");
    d.sceneNodes = {0, 1};
    return writeText(dir + "/winding.gltf", d.json("data:application/octet-stream;base64," + base64(d.bin)));
}

bool writeAccessors(const std::string& dir)
{
    Document d;
    // Mesh 0: position, normal and normalized 16-bit texture coordinates interleaved,
    // 28 bytes a vertex, with 32-bit indices.
    struct Interleaved {
        float position[3], normal[3];
        uint16_t uv[2];
    };
    static_assert(sizeof(Interleaved) == 28);
    const std::vector<Interleaved> vertices = {{{0, 0, 0}, {0, 0, 1}, {0, 65535}},
                                               {{1, 0, 0}, {0, 0, 1}, {65535, 65535}},
                                               {{1, 1, 0}, {0, 0, 1}, {65535, 0}},
                                               {{0, 1, 0}, {0, 0, 1}, {0, 32768}}};
    const int interleaved = d.view(vertices, 28);
    const int p0 = d.accessor(interleaved, 0, kFloat, 4, "VEC3", false, ",\"min\":[0,0,0],\"max\":[1,1,0]");
    const int n0 = d.accessor(interleaved, 12, kFloat, 4, "VEC3");
    const int t0 = d.accessor(interleaved, 24, kUnsignedShort, 4, "VEC2", true);
    const int i0 = d.accessor(d.view(std::vector<uint32_t>{0, 1, 2, 0, 2, 3}), 0, kUnsignedInt, 6, "SCALAR");
    d.meshes.push_back("{\"name\":\"interleaved\",\"primitives\":[{\"attributes\":{\"POSITION\":" +
                       std::to_string(p0) + ",\"NORMAL\":" + std::to_string(n0) + ",\"TEXCOORD_0\":" +
                       std::to_string(t0) + "},\"indices\":" + std::to_string(i0) + "}]}");
    // Mesh 1: a triangle whose third position (9, 9, 9 in the buffer) a sparse accessor
    // replaces by (0, 1, 0); normals as normalized bytes, 8-bit indices.
    const int base = d.view(std::vector<float>{0, 0, 0, 1, 0, 0, 9, 9, 9});
    const int sparseIndex = d.view(std::vector<uint8_t>{2});
    const int sparseValue = d.view(std::vector<float>{0, 1, 0});
    const std::string sparse = ",\"sparse\":{\"count\":1,\"indices\":{\"bufferView\":" + std::to_string(sparseIndex) +
                               ",\"componentType\":5121},\"values\":{\"bufferView\":" + std::to_string(sparseValue) +
                               "}}";
    const int p1 = d.accessor(base, 0, kFloat, 3, "VEC3", false, sparse);
    const int n1 = d.accessor(d.view(std::vector<int8_t>{0, 0, 127, 0, 0, 0, 127, 0, 0, 0, -127, 0}, 4), 0, kByte, 3,
                              "VEC3", true);
    const int i1 = d.accessor(d.view(std::vector<uint8_t>{0, 1, 2}), 0, kUnsignedByte, 3, "SCALAR");
    d.meshes.push_back("{\"name\":\"sparse\",\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(p1) +
                       ",\"NORMAL\":" + std::to_string(n1) + "},\"indices\":" + std::to_string(i1) + "}]}");
    // Mesh 2: positions with no buffer view at all: zeros, with all three set sparsely.
    const int allIndex = d.view(std::vector<uint16_t>{0, 1, 2});
    const int allValue = d.view(std::vector<float>{0, 0, 1, 2, 0, 1, 0, 2, 1});
    const int p2 = d.accessor(-1, 0, kFloat, 3, "VEC3", false,
                              ",\"sparse\":{\"count\":3,\"indices\":{\"bufferView\":" + std::to_string(allIndex) +
                                  ",\"componentType\":5123},\"values\":{\"bufferView\":" + std::to_string(allValue) +
                                  "}}");
    d.meshes.push_back("{\"name\":\"viewless\",\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(p2) +
                       "}}]}");
    for (int i = 0; i < 3; ++i)
        d.nodes.push_back("{\"mesh\":" + std::to_string(i) + "}");
    d.sceneNodes = {0, 1, 2};
    return writeText(dir + "/accessors.gltf", d.json("data:application/octet-stream;base64," + base64(d.bin)));
}

bool writeStrips(const std::string& dir)
{
    Document d;
    // A strip of two triangles (a unit square), a fan of three triangles (a square with
    // its centre first), both without indices or normals, and three points.
    const int strip = d.positions({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
    const int fan = d.positions({0.5f, 0.5f, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
    const int fanIndex = d.accessor(d.view(std::vector<uint16_t>{0, 1, 2, 3, 4}), 0, kUnsignedShort, 5, "SCALAR");
    const int points = d.positions({0, 0, 0, 1, 1, 1, 2, 2, 2});
    d.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(strip) +
                       "},\"mode\":5},{\"attributes\":{\"POSITION\":" + std::to_string(fan) +
                       "},\"indices\":" + std::to_string(fanIndex) +
                       ",\"mode\":6},{\"attributes\":{\"POSITION\":" + std::to_string(points) + "},\"mode\":0}]}");
    // A two-key translation animation of the node: loaded in its static pose.
    const int times = d.accessor(d.view(std::vector<float>{0, 1}), 0, kFloat, 2, "SCALAR", false,
                                 ",\"min\":[0],\"max\":[1]");
    const int moves = d.accessor(d.view(std::vector<float>{0, 0, 0, 0, 5, 0}), 0, kFloat, 2, "VEC3");
    d.animations.push_back("{\"channels\":[{\"sampler\":0,\"target\":{\"node\":0,\"path\":\"translation\"}}],"
                           "\"samplers\":[{\"input\":" + std::to_string(times) + ",\"output\":" +
                           std::to_string(moves) + "}]}");
    d.nodes.push_back("{\"mesh\":0}");
    d.sceneNodes = {0};
    return writeText(dir + "/strips.gltf", d.json("data:application/octet-stream;base64," + base64(d.bin)));
}

// A flat grid of quads x quads squares in y = 0, with normals, texture coordinates and
// 32-bit indices: the benchmark's large file.
bool writeGrid(const std::string& path, int quads)
{
    Document d;
    const int side = quads + 1;
    std::vector<float> positions, normals, uvs;
    for (int z = 0; z < side; ++z)
        for (int x = 0; x < side; ++x) {
            const float u = static_cast<float>(x) / quads, v = static_cast<float>(z) / quads;
            positions.insert(positions.end(), {u * 100 - 50, std::sin(u * 40) * std::cos(v * 40), v * 100 - 50});
            normals.insert(normals.end(), {0, 1, 0});
            uvs.insert(uvs.end(), {u, v});
        }
    std::vector<uint32_t> indices;
    for (int z = 0; z < quads; ++z)
        for (int x = 0; x < quads; ++x) {
            const auto a = static_cast<uint32_t>(z * side + x), b = a + 1, c = a + static_cast<uint32_t>(side),
                       e = c + 1;
            indices.insert(indices.end(), {a, c, b, b, c, e});
        }
    const int p = d.positions(positions);
    const int n = d.accessor(d.view(normals), 0, kFloat, normals.size() / 3, "VEC3");
    const int t = d.accessor(d.view(uvs), 0, kFloat, uvs.size() / 2, "VEC2");
    const int i = d.accessor(d.view(indices), 0, kUnsignedInt, indices.size(), "SCALAR");
    d.meshes.push_back("{\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(p) + ",\"NORMAL\":" +
                       std::to_string(n) + ",\"TEXCOORD_0\":" + std::to_string(t) + "},\"indices\":" +
                       std::to_string(i) + "}]}");
    d.nodes.push_back("{\"mesh\":0}");
    d.sceneNodes = {0};
    return kve::gpu::writeBytes(path, glb(d.json(""), d.bin));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--grid")
        return writeGrid(argv[2], std::max(1, std::atoi(argv[3]))) ? 0 : 1;
    if (argc != 2) {
        std::fprintf(stderr, "usage: kve_make_gltf <directory> | --grid <file.glb> <quads>\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool written = writeCubes(dir) && writeQuad(dir) && writeHierarchy(dir) && writeWinding(dir) &&
                         writeAccessors(dir) && writeStrips(dir);
    if (!written)
        std::fprintf(stderr, "kve_make_gltf: cannot write into %s\n", dir.c_str());
    return written ? 0 : 1;
}
