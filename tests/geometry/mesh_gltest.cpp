#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "geometry/mesh.h"
#include "kve.h"
#include "platform/gl.h"
#include "support/log_capture.h"
#include "geometry/mesh_test_util.h"
#include "support/test_files.h"

namespace {

using kve::geometry::kNoGLName;
using kve::geometry::MeshRecord;
using kve::geometry::MeshVertex;
using kve::test::readVertexBuffer;

MeshRecord& record(int number)
{
    return *kve::geometry::findMesh(number);
}

bool sameBytes(const std::vector<MeshVertex>& a, const std::vector<MeshVertex>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(MeshVertex)) == 0;
}

// The unit square in z = 0 facing +z, texture coordinates equal to (x, y), each vertex
// in its own group.
int makeSquare(int id)
{
    KVE_CreateMesh(id, "");
    KVE_SetMeshVertexCount(id, 4);
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; ++i) {
        KVE_SetMeshVertex(id, i, corners[i][0], corners[i][1], 0, 1);
        KVE_SetMeshNormal(id, i, 0, 0, 1);
        KVE_SetMeshTextureCoord(id, i, corners[i][0], corners[i][1]);
        KVE_SetMeshVertexGroup(id, i, i - 1);
    }
    KVE_SetMeshTriangleCount(id, 2);
    KVE_SetMeshTriangle(id, 0, 0, 1, 2);
    KVE_SetMeshTriangle(id, 1, 0, 2, 3);
    return id;
}

class MeshUpload : public kve::test::LogCaptureTest {};

TEST_F(MeshUpload, FinishWritesTheInterleavedArrayInTheVertexLayout)
{
    const int id = makeSquare(60);
    EXPECT_EQ(record(id).vertexArray, kNoGLName);
    ASSERT_EQ(KVE_FinishMesh(id), 1);
    const MeshRecord& mesh = record(id);
    ASSERT_NE(mesh.vertexArray, kNoGLName);
    EXPECT_TRUE(glIsVertexArray(mesh.vertexArray));

    // Bytes as the per-field writes would leave them, zeros in the tangent place.
    const std::vector<MeshVertex> buffer = readVertexBuffer(mesh);
    EXPECT_TRUE(sameBytes(buffer, mesh.vertices));
    ASSERT_EQ(buffer.size(), 4u);
    EXPECT_EQ(buffer[3].group, 2);
    EXPECT_EQ(buffer[0].group, -1);
    for (const MeshVertex& v : buffer)
        EXPECT_EQ(v.tangent[0] == 0 && v.tangent[1] == 0 && v.tangent[2] == 0, true);

    glBindVertexArray(mesh.vertexArray);
    GLint elementBuffer = 0;
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &elementBuffer);
    EXPECT_EQ(static_cast<GLuint>(elementBuffer), mesh.indexBuffer);
    uint32_t indices[6] = {};
    glGetBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, sizeof indices, indices);
    EXPECT_EQ(std::vector<uint32_t>(indices, indices + 6), (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));

    struct Expected {
        GLuint location;
        GLint size, type;
        uintptr_t offset;
    };
    const Expected layout[] = {
        {0, 4, GL_FLOAT, 0}, {1, 3, GL_FLOAT, 16}, {6, 3, GL_FLOAT, 28}, {2, 2, GL_FLOAT, 40}, {7, 1, GL_INT, 48}};
    for (const Expected& e : layout) {
        GLint enabled = 0, size = 0, type = 0, stride = 0, normalized = 1, integer = 1, buffer = 0;
        void* pointer = nullptr;
        glGetVertexAttribiv(e.location, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
        glGetVertexAttribiv(e.location, GL_VERTEX_ATTRIB_ARRAY_SIZE, &size);
        glGetVertexAttribiv(e.location, GL_VERTEX_ATTRIB_ARRAY_TYPE, &type);
        glGetVertexAttribiv(e.location, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &stride);
        glGetVertexAttribiv(e.location, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED, &normalized);
        glGetVertexAttribiv(e.location, GL_VERTEX_ATTRIB_ARRAY_INTEGER, &integer);
        glGetVertexAttribiv(e.location, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &buffer);
        glGetVertexAttribPointerv(e.location, GL_VERTEX_ATTRIB_ARRAY_POINTER, &pointer);
        EXPECT_EQ(enabled, 1) << e.location;
        EXPECT_EQ(size, e.size) << e.location;
        EXPECT_EQ(type, e.type) << e.location;
        EXPECT_EQ(stride, 52) << e.location;
        EXPECT_EQ(normalized, 0) << e.location;
        EXPECT_EQ(integer, 0) << e.location; // the group index goes through the float path
        EXPECT_EQ(static_cast<GLuint>(buffer), mesh.vertexBuffer) << e.location;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(pointer), e.offset) << e.location;
    }
    glBindVertexArray(0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const std::string text = capturedLog();
    const size_t vertices = text.find(logRow("Vertices: 4", "#545454", "KVE_FinishMesh"));
    const size_t triangles = text.find(logRow("Triangles: 2", "#545454", "KVE_FinishMesh"));
    ASSERT_NE(vertices, std::string::npos) << text;
    ASSERT_NE(triangles, std::string::npos) << text;
    EXPECT_LT(vertices, triangles);
    KVE_ReleaseMesh(id);
}

TEST_F(MeshUpload, TangentsLandAtOffset28AndSurviveUpdates)
{
    const int id = makeSquare(61);
    ASSERT_EQ(KVE_FinishMesh(id), 1);
    ASSERT_EQ(KVE_CalculateMeshTangents(id), 1);
    MeshRecord& mesh = record(id);

    GLfloat tangents[4][3] = {};
    glBindBuffer(GL_ARRAY_BUFFER, mesh.vertexBuffer);
    for (GLintptr v = 0; v < 4; ++v)
        glGetBufferSubData(GL_ARRAY_BUFFER, v * 52 + 28, 12, tangents[v]);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    for (const auto& t : tangents) {
        EXPECT_FLOAT_EQ(t[0], 1.0f);
        EXPECT_FLOAT_EQ(t[1], 0.0f);
        EXPECT_FLOAT_EQ(t[2], 0.0f);
    }
    EXPECT_TRUE(sameBytes(readVertexBuffer(mesh), mesh.vertices));

    // Scaling rewrites the positions in the same buffer and keeps the tangents there.
    const GLuint buffer = mesh.vertexBuffer;
    KVE_ScaleMesh(id, 2, 3, 4);
    EXPECT_EQ(mesh.vertexBuffer, buffer);
    const std::vector<MeshVertex> scaled = readVertexBuffer(mesh);
    ASSERT_EQ(scaled.size(), 4u);
    EXPECT_FLOAT_EQ(scaled[2].position[0], 2.0f);
    EXPECT_FLOAT_EQ(scaled[2].position[1], 3.0f);
    EXPECT_FLOAT_EQ(scaled[2].position[3], 1.0f);
    EXPECT_FLOAT_EQ(scaled[2].tangent[0], 1.0f);

    // A changed vertex count cannot be written into the finished buffer.
    KVE_SetMeshVertexCount(id, 8);
    KVE_UpdateMesh(id);
    EXPECT_NE(capturedLog().find(logRow("Fail: The vertex count changed since KVE_FinishMesh!", "#FF0000",
                                        "KVE_UpdateMesh")),
              std::string::npos);
    EXPECT_EQ(readVertexBuffer(mesh).size(), 4u);

    KVE_CreateMesh(62, "Empty");
    EXPECT_EQ(KVE_CalculateMeshTangents(62), 0);
    KVE_ReleaseMesh(62);
    KVE_ReleaseMesh(id);
}

TEST_F(MeshUpload, OutOfRangeIndicesAreRejectedWithoutUpload)
{
    const int id = makeSquare(63);
    for (int bad : {4, -1}) {
        const size_t start = capturedLog().size();
        KVE_SetMeshTriangle(id, 1, 0, bad, 3);
        EXPECT_EQ(KVE_FinishMesh(id), 0);
        EXPECT_EQ(record(id).vertexArray, kNoGLName);
        EXPECT_EQ(record(id).vertexBuffer, kNoGLName);
        const std::string text = capturedLog().substr(start);
        EXPECT_NE(text.find(logRow("Fail: Index out of range! Index 4 is " + std::to_string(bad) + ", vertex count 4",
                                   "#FF0000", "KVE_FinishMesh")),
                  std::string::npos)
            << text;
        EXPECT_EQ(text.find("Vertices: "), std::string::npos);
    }

    // A finished mesh whose indices go bad keeps its working GL objects.
    KVE_SetMeshTriangle(id, 1, 0, 2, 3);
    ASSERT_EQ(KVE_FinishMesh(id), 1);
    const GLuint vertexArray = record(id).vertexArray, vertexBuffer = record(id).vertexBuffer;
    KVE_SetMeshTriangle(id, 0, 0, 1, 1000000);
    EXPECT_EQ(KVE_FinishMesh(id), 0);
    EXPECT_EQ(record(id).vertexArray, vertexArray);
    EXPECT_TRUE(glIsBuffer(vertexBuffer));

    // Release deletes the GL objects with the record.
    const GLuint indexBuffer = record(id).indexBuffer;
    KVE_ReleaseMesh(id);
    EXPECT_EQ(KVE_GetMesh(id), nullptr);
    EXPECT_FALSE(glIsVertexArray(vertexArray));
    EXPECT_FALSE(glIsBuffer(vertexBuffer));
    EXPECT_FALSE(glIsBuffer(indexBuffer));
}

TEST_F(MeshUpload, FinishingAgainReplacesTheGLObjects)
{
    const int id = makeSquare(64);
    ASSERT_EQ(KVE_FinishMesh(id), 1);
    const MeshRecord old = record(id);
    KVE_SetMeshVertexCount(id, 3);
    KVE_SetMeshVertex(id, 2, 7, 8, 9, 1);
    KVE_SetMeshTriangleCount(id, 1);
    KVE_SetMeshTriangle(id, 0, 2, 1, 0);
    ASSERT_EQ(KVE_FinishMesh(id), 1);
    const std::vector<MeshVertex> buffer = readVertexBuffer(record(id));
    ASSERT_EQ(buffer.size(), 3u);
    EXPECT_FLOAT_EQ(buffer[2].position[1], 8.0f);
    // The old objects are deleted; a name may only live on because it was given out again.
    const MeshRecord& now = record(id);
    for (GLuint name : {old.vertexBuffer, old.indexBuffer})
        EXPECT_EQ(glIsBuffer(name) != GL_FALSE, name == now.vertexBuffer || name == now.indexBuffer) << name;
    EXPECT_EQ(glIsVertexArray(old.vertexArray) != GL_FALSE, old.vertexArray == now.vertexArray);
    KVE_ReleaseMesh(id);
}

} // namespace
