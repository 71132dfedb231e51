// Helpers shared by the geometry tests: vector arithmetic on the vertex fields, face
// normals and reading a finished mesh's vertex buffer back from GL.
#pragma once

#include <array>
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "geometry/mesh.h"
#include "platform/gl.h"

namespace kve::test {

inline float dot3(const float* a, const float* b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

inline float length3(const float* v)
{
    return std::sqrt(dot3(v, v));
}

// (P1 - P0) x (P2 - P0) of triangle t, not normalised.
inline std::array<float, 3> faceNormal(const geometry::MeshRecord& mesh, int t)
{
    const float* p[3];
    for (int k = 0; k < 3; ++k)
        p[k] = mesh.vertices[static_cast<size_t>(mesh.indices[static_cast<size_t>(t * 3 + k)])].position;
    const float e1[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
    const float e2[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
    return {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
}

// Whether `needles` occur in `text` in this order, each after the end of the previous.
inline bool inOrder(const std::string& text, std::initializer_list<std::string> needles)
{
    size_t at = 0;
    for (const std::string& needle : needles) {
        at = text.find(needle, at);
        if (at == std::string::npos)
            return false;
        at += needle.size();
    }
    return true;
}

// The whole vertex buffer of a finished mesh as vertices.
inline std::vector<geometry::MeshVertex> readVertexBuffer(const geometry::MeshRecord& mesh)
{
    GLint size = 0;
    glBindBuffer(GL_ARRAY_BUFFER, mesh.vertexBuffer);
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    std::vector<geometry::MeshVertex> contents(static_cast<size_t>(size) / sizeof(geometry::MeshVertex));
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, size, contents.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return contents;
}

} // namespace kve::test
