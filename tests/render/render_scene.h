// Small scenes for the render tests: flat-coloured textures, a square of ground, and the
// pixels of a rectangle of the default framebuffer read back with the top row first.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "gpu/image_samples.h"
#include "gpu/material.h"
#include "gpu/texture.h"
#include "kve.h"
#include "platform/gl.h"

namespace kve::test {

// A 4 x 4 texture of one colour (RGBA when alpha is below 255, else RGB), linear filter.
inline int solidTexture(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255)
{
    const int channels = a < 255 ? 4 : 3;
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 16; ++i) {
        pixels.insert(pixels.end(), {r, g, b});
        if (channels == 4)
            pixels.push_back(a);
    }
    const std::string png = pngOf(4, 4, channels, pixels);
    return KVE_CatchTexture(-1, png.data(), static_cast<int>(png.size()), 0x2600, "")->number;
}

// A square of half size `half` in the plane y = 0 facing +y (or -y when flipped), with
// texture coordinates 0..1 over it and tangents.
inline int groundMesh(float half, bool flipped)
{
    const int mesh = KVE_CreateMesh(-1, "")->number;
    KVE_SetMeshVertexCount(mesh, 4);
    const float corners[4][2] = {{-half, -half}, {-half, half}, {half, half}, {half, -half}};
    for (int i = 0; i < 4; ++i) {
        KVE_SetMeshVertex(mesh, i, corners[i][0], 0.0f, corners[i][1], 1.0f);
        KVE_SetMeshNormal(mesh, i, 0.0f, flipped ? -1.0f : 1.0f, 0.0f);
        KVE_SetMeshTextureCoord(mesh, i, corners[i][0] > 0 ? 1.0f : 0.0f, corners[i][1] > 0 ? 1.0f : 0.0f);
    }
    KVE_SetMeshTriangleCount(mesh, 2);
    if (flipped) {
        KVE_SetMeshTriangle(mesh, 0, 0, 2, 1);
        KVE_SetMeshTriangle(mesh, 1, 0, 3, 2);
    } else {
        KVE_SetMeshTriangle(mesh, 0, 0, 1, 2);
        KVE_SetMeshTriangle(mesh, 1, 0, 2, 3);
    }
    KVE_FinishMesh(mesh);
    KVE_CalculateMeshTangents(mesh);
    return mesh;
}

// A material of `kind` showing `colorTexture`, with `normalMap` in slot 1, tinted `color`.
inline int tintedMaterial(int kind, int colorTexture, int normalMap, unsigned color)
{
    const int number = KVE_CreateMaterial(-1, colorTexture, kind, "")->number;
    KVE_SetMaterialTexture(number, 1, normalMap);
    KVE_SetMaterialColor(number, static_cast<int>(color));
    return number;
}

// An object of `mesh` drawn with `material`, placed at (x, y, z) in its parent's space.
inline int placedObject(int mesh, int material, float x, float y, float z)
{
    const int number = KVE_CreateObject(-1, mesh, material, "", 0, 0)->number;
    KVE_MoveObject(number, x, y, z, 0);
    return number;
}

// The bottom-left width x height rectangle of a framebuffer's colour (the whole picture
// of a screen of that size), addressed from its top-left corner.
class Pixels {
public:
    Pixels(int width, int height, unsigned framebuffer = 0)
        : width_(width), height_(height), data_(static_cast<size_t>(width) * height * 4)
    {
        glFinish();
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
        glReadBuffer(framebuffer ? GL_COLOR_ATTACHMENT0 : GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, data_.data());
    }
    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<uint8_t>& bytes() const { return data_; } // RGBA, bottom row first
    // Channel c (0 red .. 3 alpha) of the pixel x, y counted from the top-left.
    int at(int x, int y, int c) const
    {
        return data_[(static_cast<size_t>(height_ - 1 - y) * width_ + x) * 4 + c];
    }
    int sum(int x, int y) const { return at(x, y, 0) + at(x, y, 1) + at(x, y, 2); }
    // Mean of channel c over [x0, x1) x [y0, y1).
    double mean(int x0, int y0, int x1, int y1, int c) const
    {
        double total = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                total += at(x, y, c);
        return total / std::max(1, (x1 - x0) * (y1 - y0));
    }
    bool same(int x, int y, int packedColor, int tolerance = 2) const
    {
        for (int c = 0; c < 3; ++c)
            if (std::abs(at(x, y, c) - ((packedColor >> (8 * c)) & 0xFF)) > tolerance)
                return false;
        return true;
    }

private:
    int width_, height_;
    std::vector<uint8_t> data_;
};

} // namespace kve::test
