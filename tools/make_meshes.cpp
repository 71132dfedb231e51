// Makes the demo's meshes: "Plane.kvm" (the ground), "Cube.kvm" (the plank), "Ball.obj"
// (a UV sphere) and "Rocks.obj" (noise-displaced spheres in "g" groups). It writes the
// mesh file and OBJ text on its own, sharing no code with the engine's readers, so the
// loaders are checked against an independent writer.
//
// Usage: kve_make_meshes <output directory>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double length(Vec3 a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }
Vec3 unit(Vec3 a)
{
    const double l = length(a);
    return l > 0 ? a * (1.0 / l) : Vec3{};
}

struct Vertex {
    Vec3 position, normal;
    double u = 0, v = 0;
};

// An indexed triangle list whose triangles wind counter-clockwise seen from outside.
struct Mesh {
    std::vector<Vertex> vertices;
    std::vector<std::array<int, 3>> triangles;
};

// Point of the unit sphere at polar angle theta (from +y) and azimuth phi.
Vec3 spherePoint(double theta, double phi)
{
    return {std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
}

// A UV sphere with a seam column and single triangles at the poles.
Mesh uvSphere(int slices, int stacks)
{
    Mesh mesh;
    for (int i = 0; i <= stacks; ++i)
        for (int j = 0; j <= slices; ++j) {
            const double theta = kPi * i / stacks, phi = 2 * kPi * j / slices;
            const Vec3 p = spherePoint(theta, phi);
            mesh.vertices.push_back({p, p, static_cast<double>(j) / slices, 1.0 - static_cast<double>(i) / stacks});
        }
    const auto at = [slices](int i, int j) { return i * (slices + 1) + j; };
    for (int i = 0; i < stacks; ++i)
        for (int j = 0; j < slices; ++j) {
            if (i > 0)
                mesh.triangles.push_back({at(i, j), at(i, j + 1), at(i + 1, j)});
            if (i < stacks - 1)
                mesh.triangles.push_back({at(i, j + 1), at(i + 1, j + 1), at(i + 1, j)});
        }
    return mesh;
}

// The square -1..1 in y = 0, cells x cells quads, facing up, the texture repeated
// `repeat` times across.
Mesh plane(int cells, double repeat)
{
    Mesh mesh;
    for (int i = 0; i <= cells; ++i)
        for (int j = 0; j <= cells; ++j) {
            const double x = -1.0 + 2.0 * i / cells, z = -1.0 + 2.0 * j / cells;
            mesh.vertices.push_back({{x, 0, z}, {0, 1, 0}, repeat * i / cells, repeat * j / cells});
        }
    const auto at = [cells](int i, int j) { return i * (cells + 1) + j; };
    for (int i = 0; i < cells; ++i)
        for (int j = 0; j < cells; ++j) {
            mesh.triangles.push_back({at(i, j), at(i, j + 1), at(i + 1, j)});
            mesh.triangles.push_back({at(i + 1, j), at(i, j + 1), at(i + 1, j + 1)});
        }
    return mesh;
}

// The cube -0.5..0.5: four vertices of its own per face, the whole texture on each face.
Mesh cube()
{
    const Vec3 normals[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    const Vec3 across[6] = {{0, 0, -1}, {0, 0, 1}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {-1, 0, 0}};
    Mesh mesh;
    for (int f = 0; f < 6; ++f) {
        const Vec3 n = normals[f], a = across[f], b = cross(n, a); // a x b = n: outward winding
        const int first = static_cast<int>(mesh.vertices.size());
        const double corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (const auto& c : corners)
            mesh.vertices.push_back({(n + a * c[0] + b * c[1]) * 0.5, n, (c[0] + 1) / 2, (c[1] + 1) / 2});
        mesh.triangles.push_back({first, first + 1, first + 2});
        mesh.triangles.push_back({first, first + 2, first + 3});
    }
    return mesh;
}

// Smooth value noise in 3D: hashed lattice values blended with a smoothstep.
double latticeValue(int x, int y, int z, uint32_t seed)
{
    uint32_t h = seed ^ (static_cast<uint32_t>(x) * 0x8DA6B343u) ^ (static_cast<uint32_t>(y) * 0xD8163841u) ^
                 (static_cast<uint32_t>(z) * 0xCB1AB31Fu);
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return static_cast<double>(h & 0xFFFFFF) / 0xFFFFFF * 2.0 - 1.0;
}

double valueNoise(Vec3 p, uint32_t seed)
{
    const int x0 = static_cast<int>(std::floor(p.x)), y0 = static_cast<int>(std::floor(p.y)),
              z0 = static_cast<int>(std::floor(p.z));
    const auto smooth = [](double t) { return t * t * (3 - 2 * t); };
    const double fx = smooth(p.x - x0), fy = smooth(p.y - y0), fz = smooth(p.z - z0);
    double sum = 0;
    for (int corner = 0; corner < 8; ++corner) {
        const int dx = corner & 1, dy = (corner >> 1) & 1, dz = (corner >> 2) & 1;
        const double weight = (dx ? fx : 1 - fx) * (dy ? fy : 1 - fy) * (dz ? fz : 1 - fz);
        sum += weight * latticeValue(x0 + dx, y0 + dy, z0 + dz, seed);
    }
    return sum;
}

struct Rock {
    Vec3 centre;
    double size;
    uint32_t seed;
};

// A sphere pushed in and out by two octaves of noise, flattened a little and set on the
// ground at its centre.
Mesh rock(const Rock& r)
{
    Mesh mesh = uvSphere(14, 9);
    for (Vertex& v : mesh.vertices) {
        const Vec3 d = v.position;
        const double bump = 0.22 * valueNoise(d * 1.7, r.seed) + 0.08 * valueNoise(d * 4.1, r.seed + 7);
        Vec3 p = d * (r.size * (1.0 + bump));
        p.y *= 0.7;
        v.position = p + r.centre;
    }
    return mesh;
}

// Writes text as it builds up, remembering whether any write failed.
class TextFile {
public:
    explicit TextFile(const std::filesystem::path& path) : file_(std::fopen(path.string().c_str(), "wb")) {}
    ~TextFile()
    {
        if (file_)
            std::fclose(file_);
    }
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    template <class... Args>
    void print(const char* format, Args... args)
    {
        if (!file_ || std::fprintf(file_, format, args...) < 0)
            failed_ = true;
    }
    bool close()
    {
        const bool ok = file_ && !failed_ && std::fclose(file_) == 0;
        file_ = nullptr;
        return ok;
    }

private:
    std::FILE* file_;
    bool failed_ = false;
};

// "%.6f" with a blank in front of numbers that are not negative, as the mesh format lays
// its columns out.
std::string column(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s%.6f", value < 0 ? "" : " ", value);
    return text;
}

// The mesh file: a definition block "Mesh: name" with one list per vertex, normal,
// texture coordinate and face, CR LF line ends.
bool writeMeshFile(const std::filesystem::path& path, const char* name, const Mesh& mesh, bool tangents)
{
    TextFile out(path);
    const int count = static_cast<int>(mesh.vertices.size());
    out.print("Mesh: %s {\r\n", name);
    out.print("\tVertices: %d {\r\n", count);
    for (const Vertex& v : mesh.vertices)
        out.print("\t\t%s,%s,%s\r\n", column(v.position.x).c_str(), column(v.position.y).c_str(),
                  column(v.position.z).c_str());
    out.print("\t}\r\n\r\n\tNormals: %d {\r\n", count);
    for (const Vertex& v : mesh.vertices)
        out.print("\t\t%s,%s,%s\r\n", column(v.normal.x).c_str(), column(v.normal.y).c_str(),
                  column(v.normal.z).c_str());
    out.print("\t}\r\n\r\n\tTextureCoords: %d {\r\n", count);
    for (const Vertex& v : mesh.vertices)
        out.print("\t\t%s,%s\r\n", column(v.u).c_str(), column(v.v).c_str());
    out.print("\t}\r\n\r\n\tFaces: %d {\r\n", static_cast<int>(mesh.triangles.size()));
    for (const auto& t : mesh.triangles)
        out.print("\t\t %d,%d,%d\r\n", t[0], t[1], t[2]);
    out.print("\t}\r\n\r\n");
    if (tangents)
        out.print("\tCalculateMeshTangents: 1;\r\n");
    out.print("}\r\n");
    return out.close();
}

// OBJ indices count from 1 over the whole file; `base` is the number of lines of each
// kind written before this mesh.
struct ObjBase {
    int positions = 0, texCoords = 0, normals = 0;
};

void writeObjVertices(TextFile& out, const Mesh& mesh, bool normals)
{
    for (const Vertex& v : mesh.vertices)
        out.print("v %.6f %.6f %.6f\n", v.position.x, v.position.y, v.position.z);
    for (const Vertex& v : mesh.vertices)
        out.print("vt %.6f %.6f\n", v.u, v.v);
    if (normals)
        for (const Vertex& v : mesh.vertices)
            out.print("vn %.6f %.6f %.6f\n", v.normal.x, v.normal.y, v.normal.z);
}

bool writeBall(const std::filesystem::path& path)
{
    const Mesh ball = uvSphere(32, 16);
    TextFile out(path);
    out.print("# Ball: UV sphere of radius 1, 32 slices, 16 stacks\no Ball\n");
    writeObjVertices(out, ball, true);
    out.print("s 1\n");
    for (const auto& t : ball.triangles)
        out.print("f %d/%d/%d %d/%d/%d %d/%d/%d\n", t[0] + 1, t[0] + 1, t[0] + 1, t[1] + 1, t[1] + 1, t[1] + 1,
                  t[2] + 1, t[2] + 1, t[2] + 1);
    return out.close();
}

// Each rock in a group of its own; every face has its own normal (flat shading).
bool writeRocks(const std::filesystem::path& path)
{
    const Rock rocks[] = {{{-3.0, 0.0, -2.0}, 0.8, 11u},
                          {{2.5, 0.0, -3.5}, 0.55, 23u},
                          {{4.0, 0.0, 1.5}, 0.4, 37u},
                          {{-1.5, 0.0, 3.0}, 0.65, 41u},
                          {{0.5, 0.0, -5.0}, 1.1, 59u}};
    TextFile out(path);
    out.print("# Rocks: noise-displaced spheres, one group each, flat shaded\no Rocks\ns off\n");
    ObjBase base;
    int number = 1;
    for (const Rock& r : rocks) {
        const Mesh mesh = rock(r);
        out.print("g Rock%d\n", number++);
        writeObjVertices(out, mesh, false);
        for (const auto& t : mesh.triangles) {
            const Vec3 n = unit(cross(mesh.vertices[static_cast<size_t>(t[1])].position -
                                          mesh.vertices[static_cast<size_t>(t[0])].position,
                                      mesh.vertices[static_cast<size_t>(t[2])].position -
                                          mesh.vertices[static_cast<size_t>(t[0])].position));
            out.print("vn %.6f %.6f %.6f\n", n.x, n.y, n.z);
            ++base.normals;
            out.print("f");
            for (int corner : t)
                out.print(" %d/%d/%d", base.positions + corner + 1, base.texCoords + corner + 1, base.normals);
            out.print("\n");
        }
        base.positions += static_cast<int>(mesh.vertices.size());
        base.texCoords += static_cast<int>(mesh.vertices.size());
    }
    return out.close();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kve_make_meshes <output directory>\n");
        return 2;
    }
    const std::filesystem::path directory = argv[1];
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    bool ok = writeMeshFile(directory / "Plane.kvm", "Plane", plane(16, 8.0), true);
    ok = writeMeshFile(directory / "Cube.kvm", "Cube", cube(), true) && ok;
    ok = writeBall(directory / "Ball.obj") && ok;
    ok = writeRocks(directory / "Rocks.obj") && ok;
    if (!ok) {
        std::fprintf(stderr, "kve_make_meshes: could not write the meshes into %s\n", directory.string().c_str());
        return 1;
    }
    return 0;
}
