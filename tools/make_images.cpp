// Paints the images the engine embeds and the ones the demonstration loads, and writes
// the demonstration's material definitions that use them.
//
// Usage: kve_make_images engine <directory>   logo, default textures, sky cube faces
//        kve_make_images demo <directory>     crosshair, ground and ball maps, Materials.kvd,
//                                             the spark sprite and the fuse emitter Particle.kvd
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "gpu/image_write.h"

namespace {

using Color = std::array<float, 4>; // red, green, blue, alpha in 0..1

struct Canvas {
    int width, height;
    std::vector<Color> pixels;
    Canvas(int w, int h, Color fill = {0, 0, 0, 0}) : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
    Color& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }

    // Paints f(x, y) (pixel centres) over every pixel.
    void paint(const std::function<Color(float, float)>& f)
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                at(x, y) = f(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
    }

    std::vector<uint8_t> bytes(int channels) const
    {
        std::vector<uint8_t> out;
        out.reserve(pixels.size() * static_cast<size_t>(channels));
        for (const Color& c : pixels)
            for (int i = 0; i < channels; ++i)
                out.push_back(static_cast<uint8_t>(std::lround(std::clamp(c[static_cast<size_t>(i)], 0.0f, 1.0f) * 255.0f)));
        return out;
    }
};

float mix(float a, float b, float t)
{
    return a + (b - a) * t;
}

Color mix(const Color& a, const Color& b, float t)
{
    return {mix(a[0], b[0], t), mix(a[1], b[1], t), mix(a[2], b[2], t), mix(a[3], b[3], t)};
}

float smoothstep(float edge0, float edge1, float x)
{
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// Value noise on an integer lattice, smoothly interpolated; deterministic.
float lattice(int x, int y, uint32_t seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<float>((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}

// Noise that tiles with the given period (in lattice cells).
float noise(float x, float y, int period, uint32_t seed)
{
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const float fx = smoothstep(0, 1, x - x0), fy = smoothstep(0, 1, y - y0);
    auto value = [&](int dx, int dy) {
        return lattice(((x0 + dx) % period + period) % period, ((y0 + dy) % period + period) % period, seed);
    };
    return mix(mix(value(0, 0), value(1, 0), fx), mix(value(0, 1), value(1, 1), fx), fy);
}

float fractalNoise(float x, float y, int period, uint32_t seed)
{
    float sum = 0, amplitude = 0.5f;
    for (int octave = 0; octave < 4; ++octave, x *= 2, y *= 2, period *= 2, amplitude *= 0.5f)
        sum += noise(x, y, period, seed + static_cast<uint32_t>(octave)) * amplitude;
    return sum / 0.9375f;
}

// Tangent-space normal map of a height field that wraps at the canvas edges: RGB the
// normal (x right, y up the image), alpha the height.
Canvas normalMap(int width, int height, const std::function<float(float, float)>& heightAt, float strength)
{
    Canvas out(width, height);
    std::vector<float> heights(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            heights[static_cast<size_t>(y) * width + x] = heightAt(x + 0.5f, y + 0.5f);
    auto h = [&](int x, int y) { return heights[static_cast<size_t>((y + height) % height) * width + (x + width) % width]; };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float dx = (h(x + 1, y) - h(x - 1, y)) * 0.5f * strength;
            const float dy = (h(x, y - 1) - h(x, y + 1)) * 0.5f * strength;
            const float length = std::sqrt(dx * dx + dy * dy + 1.0f);
            out.at(x, y) = {(-dx / length) * 0.5f + 0.5f, (-dy / length) * 0.5f + 0.5f, (1.0f / length) * 0.5f + 0.5f,
                            h(x, y)};
        }
    return out;
}

// Distance from p to the segment a-b.
float segmentDistance(float px, float py, float ax, float ay, float bx, float by)
{
    const float vx = bx - ax, vy = by - ay;
    const float t = std::clamp(((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy), 0.0f, 1.0f);
    const float dx = px - (ax + vx * t), dy = py - (ay + vy * t);
    return std::sqrt(dx * dx + dy * dy);
}

struct Segment {
    float ax, ay, bx, by;
};

float strokeDistance(float x, float y, const std::vector<Segment>& strokes)
{
    float best = 1e9f;
    for (const Segment& s : strokes)
        best = std::min(best, segmentDistance(x, y, s.ax, s.ay, s.bx, s.by));
    return best;
}

bool save(const std::string& path, const std::vector<uint8_t>& bytes)
{
    if (kve::gpu::writeBytes(path, bytes))
        return true;
    std::fprintf(stderr, "kve_make_images: cannot write %s\n", path.c_str());
    return false;
}

bool savePng(const std::string& path, const Canvas& canvas, int channels)
{
    return save(path, kve::gpu::encodePng(canvas.width, canvas.height, channels, canvas.bytes(channels).data()));
}

bool saveJpeg(const std::string& path, const Canvas& canvas)
{
    return save(path, kve::gpu::encodeJpeg(canvas.width, canvas.height, canvas.bytes(3).data(), 92));
}

// --- The engine's images ---------------------------------------------------------------

// A round badge: a blue disc with a light rim and the letters K, V, E in white strokes.
Canvas logo()
{
    Canvas canvas(512, 512);
    const std::vector<Segment> letters = {
        {118, 176, 118, 336}, {118, 256, 196, 176}, {140, 234, 200, 336}, // K
        {222, 176, 262, 336}, {262, 336, 302, 176},                       // V
        {336, 176, 336, 336}, {336, 176, 398, 176}, {336, 256, 388, 256}, {336, 336, 398, 336}, // E
    };
    canvas.paint([&](float x, float y) {
        const float r = std::hypot(x - 256.0f, y - 256.0f);
        const float disc = 1.0f - smoothstep(238.0f, 240.0f, r);
        const float rim = smoothstep(214.0f, 216.0f, r);
        Color body = mix(Color{0.16f, 0.36f, 0.78f, 1}, Color{0.05f, 0.12f, 0.36f, 1}, y / 512.0f);
        body = mix(body, Color{0.85f, 0.9f, 1.0f, 1}, rim);
        const float ink = 1.0f - smoothstep(14.0f, 16.0f, strokeDistance(x, y, letters));
        body = mix(body, Color{1, 1, 1, 1}, ink);
        body[3] = disc;
        return body;
    });
    return canvas;
}

constexpr int kCell = 32;

bool evenCell(float x, float y)
{
    return ((static_cast<int>(x) / kCell) + (static_cast<int>(y) / kCell)) % 2 == 0;
}

// Squares alternating between light grey and a colour whose hue runs across the texture.
Canvas colorChecker()
{
    Canvas canvas(256, 256);
    canvas.paint([](float x, float y) {
        if (evenCell(x, y))
            return Color{0.9f, 0.9f, 0.9f, 1};
        const float hue = (static_cast<int>(x) / kCell + static_cast<int>(y) / kCell * 8) / 64.0f * 6.2832f;
        return Color{0.55f + 0.4f * std::cos(hue), 0.55f + 0.4f * std::cos(hue - 2.094f),
                     0.55f + 0.4f * std::cos(hue + 2.094f), 1};
    });
    return canvas;
}

// Height of raised checker tiles with bevelled edges: 1 in a cell, falling to 0 at its border.
float tileHeight(float x, float y, float cell, float bevel)
{
    const float cx = std::fmod(x, cell), cy = std::fmod(y, cell);
    const float edge = std::min(std::min(cx, cell - cx), std::min(cy, cell - cy));
    return smoothstep(0.0f, bevel, edge);
}

Canvas greyChecker()
{
    Canvas canvas(256, 256);
    canvas.paint([](float x, float y) {
        const float grey = evenCell(x, y) ? 0.75f : 0.5f;
        return Color{grey, grey, grey, 1};
    });
    return canvas;
}

// The sky seen along direction (dx, dy, dz): a gradient from the horizon to the zenith
// above, a darker ground below.
Color sky(float dx, float dy, float dz)
{
    const float length = std::sqrt(dx * dx + dy * dy + dz * dz);
    const float up = dy / length;
    if (up >= 0)
        return mix(Color{0.78f, 0.86f, 0.95f, 1}, Color{0.22f, 0.42f, 0.8f, 1}, std::pow(up, 0.6f));
    return mix(Color{0.55f, 0.55f, 0.5f, 1}, Color{0.3f, 0.28f, 0.25f, 1}, std::pow(-up, 0.5f));
}

// Cube face directions for face coordinates s, t in -1..1 (GL's cube map convention).
std::array<float, 3> faceDirection(int face, float s, float t)
{
    switch (face) {
    case 0: return {1, -t, -s};
    case 1: return {-1, -t, s};
    case 2: return {s, 1, t};
    case 3: return {s, -1, -t};
    case 4: return {s, -t, 1};
    default: return {-s, -t, -1};
    }
}

Canvas skyFace(int face)
{
    constexpr int kSize = 128;
    Canvas canvas(kSize, kSize);
    canvas.paint([face](float x, float y) {
        const auto d = faceDirection(face, x / kSize * 2 - 1, y / kSize * 2 - 1);
        return sky(d[0], d[1], d[2]);
    });
    return canvas;
}

bool makeEngineImages(const std::string& dir)
{
    bool ok = savePng(dir + "/logo.png", logo(), 4);
    ok &= savePng(dir + "/color_checker.png", colorChecker(), 3);
    ok &= savePng(dir + "/color_checker_normal.png",
                  normalMap(256, 256, [](float x, float y) { return tileHeight(x, y, kCell, 4.0f); }, 3.0f), 4);
    ok &= savePng(dir + "/grey_checker.png", greyChecker(), 3);
    static const char* kFaces[6] = {"sky_px", "sky_nx", "sky_py", "sky_ny", "sky_pz", "sky_nz"};
    for (int face = 0; face < 6; ++face)
        ok &= saveJpeg(dir + "/" + kFaces[face] + ".jpg", skyFace(face));
    return ok;
}

// --- The demonstration's images ---------------------------------------------------------

// White cross lines with a dark outline and an open centre, on transparency.
Canvas crosshair()
{
    Canvas canvas(32, 32);
    const std::vector<Segment> arms = {{16, 3, 16, 11}, {16, 21, 16, 29}, {3, 16, 11, 16}, {21, 16, 29, 16}};
    canvas.paint([&](float x, float y) {
        const float d = strokeDistance(x, y, arms);
        const float line = 1.0f - smoothstep(0.8f, 1.4f, d);
        const float outline = 1.0f - smoothstep(1.8f, 2.4f, d);
        Color c = mix(Color{0.05f, 0.05f, 0.05f, 0.7f * outline}, Color{1, 1, 1, 1}, line);
        return c;
    });
    return canvas;
}

constexpr int kGroundSize = 512;
constexpr float kGroundTile = 64.0f;

float groundHeight(float x, float y)
{
    const float tile = tileHeight(x, y, kGroundTile, 6.0f);
    return tile * (0.85f + 0.15f * fractalNoise(x / 32.0f, y / 32.0f, kGroundSize / 32, 7));
}

Canvas groundColor()
{
    Canvas canvas(kGroundSize, kGroundSize);
    canvas.paint([](float x, float y) {
        const int tx = static_cast<int>(x / kGroundTile), ty = static_cast<int>(y / kGroundTile);
        const float tint = lattice(tx, ty, 3) * 0.15f;
        const float grain = fractalNoise(x / 16.0f, y / 16.0f, kGroundSize / 16, 11);
        Color stone = {0.52f + tint + grain * 0.12f, 0.5f + tint * 0.8f + grain * 0.1f, 0.45f + grain * 0.08f, 1};
        const float joint = 1.0f - tileHeight(x, y, kGroundTile, 3.0f);
        return mix(stone, Color{0.2f, 0.19f, 0.17f, 1}, joint * 0.8f);
    });
    return canvas;
}

constexpr int kBallSize = 256;

// Stripes running around the ball (u across the texture) in two colours.
Canvas ballColor()
{
    Canvas canvas(kBallSize, kBallSize);
    canvas.paint([](float x, float y) {
        const float band = 0.5f + 0.5f * std::sin(y / kBallSize * 6.2832f * 4.0f);
        const float edge = smoothstep(0.45f, 0.55f, band);
        const float speck = fractalNoise(x / 16.0f, y / 16.0f, kBallSize / 16, 5) * 0.1f;
        return mix(Color{0.85f - speck, 0.2f, 0.12f, 1}, Color{0.95f - speck, 0.9f - speck, 0.8f, 1}, edge);
    });
    return canvas;
}

float ballHeight(float x, float y)
{
    // A grid of shallow round dimples.
    const float cell = 16.0f;
    const float cx = std::fmod(x, cell) - cell / 2, cy = std::fmod(y, cell) - cell / 2;
    return 1.0f - 0.6f * (1.0f - smoothstep(2.0f, 6.0f, std::hypot(cx, cy)));
}

constexpr const char* kMaterials = R"(// Materials of the physics demonstration, written by kve_make_images.
Texture: GroundColor { File: Ground.png; Filter: LINEAR; Mipmaps: 8; }
Texture: GroundNormal { File: GroundNormal.png; Filter: LINEAR; Mipmaps: 8; }
Texture: BallColor { File: Ball.png; Filter: LINEAR; Mipmaps: 6; }
Texture: BallNormal { File: BallNormal.png; Filter: LINEAR; Mipmaps: 6; }

Material: Plane {
  Shader: NORMALMAP;
  Texture[0]: GroundColor;
  Texture[1]: GroundNormal;
  Color: 255, 255, 255;
  Shine: 0.4;
  ShineColor: 255, 250, 240;
  Hardness: 24;
}

Material: Ball {
  Shader: NORMALMAP;
  Texture[0]: BallColor;
  Texture[1]: BallNormal;
  Color: 255, 255, 255;
  Shine: 1.0;
  Hardness: 48;
}
)";

// --- The fuse emitter ---------------------------------------------------------------

// A round spark: a white-hot core fading through yellow to a transparent orange rim.
Canvas sparkSprite()
{
    constexpr int kSize = 64;
    Canvas canvas(kSize, kSize);
    canvas.paint([](float x, float y) {
        const float r = std::hypot(x - kSize / 2.0f, y - kSize / 2.0f) / (kSize / 2.0f);
        const float glow = 1.0f - smoothstep(0.0f, 1.0f, r);
        const float core = 1.0f - smoothstep(0.0f, 0.35f, r);
        Color c = mix(Color{1.0f, 0.55f, 0.15f, 0}, Color{1.0f, 0.9f, 0.5f, 0}, glow);
        c = mix(c, Color{1, 1, 1, 0}, core);
        c[3] = glow * glow;
        // Additive blending ignores alpha: premultiply so the rim fades to black.
        for (int i = 0; i < 3; ++i)
            c[static_cast<size_t>(i)] *= c[3];
        return c;
    });
    return canvas;
}

// The bomb's fuse: small bright sparks thrown upward in a cone, added onto the image.
constexpr const char* kFuseEmitter = R"(// The bombs' fuse sparks, written by kve_make_images.
ParticleEmitter: Fuse {
  Emission: {
    Direction: 0, 1, 0;
    Angle: 30;
    Frequency: 60;
    Velocity: 1.0, 2.5;
    Force: 3;
    MaxParticles: 128;
    Area: POINT;
  }
  Particle: {
    LifeTime: 0.4, 0.6;
    Size: 0.08, 0.16;
    Raise: -0.1;
    FadeOut: 4;
    Material: Spark {
      Shader: SOFTPARTICLE;
      Texture[0]: { File: Spark.png; Filter: LINEAR; }
      Color: 255, 220, 150;
      BlendingMode: ONE, ONE;
      Blend: 40;
    }
  }
}
)";

bool makeFuseEmitter(const std::string& dir)
{
    bool ok = savePng(dir + "/Spark.png", sparkSprite(), 4);
    const std::string text = kFuseEmitter;
    ok &= save(dir + "/Particle.kvd", std::vector<uint8_t>(text.begin(), text.end()));
    return ok;
}

bool makeDemoImages(const std::string& dir)
{
    if (!makeFuseEmitter(dir))
        return false;
    bool ok = savePng(dir + "/Cross.png", crosshair(), 4);
    // Plain white: the profiler overlay tints it into its panel, bars and graph.
    ok &= savePng(dir + "/Panel.png", Canvas(4, 4, Color{1, 1, 1, 1}), 3);
    ok &= savePng(dir + "/Ground.png", groundColor(), 3);
    ok &= savePng(dir + "/GroundNormal.png", normalMap(kGroundSize, kGroundSize, groundHeight, 4.0f), 4);
    ok &= savePng(dir + "/Ball.png", ballColor(), 3);
    ok &= savePng(dir + "/BallNormal.png", normalMap(kBallSize, kBallSize, ballHeight, 2.0f), 4);
    const std::string text = kMaterials;
    ok &= save(dir + "/Materials.kvd", std::vector<uint8_t>(text.begin(), text.end()));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode != "engine" && mode != "demo") {
        std::fprintf(stderr, "usage: kve_make_images engine|demo <directory>\n");
        return 2;
    }
    const bool ok = mode == "engine" ? makeEngineImages(argv[2]) : makeDemoImages(argv[2]);
    return ok ? 0 : 1;
}
