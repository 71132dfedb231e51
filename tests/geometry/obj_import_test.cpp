#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "geometry/obj_import.h"

namespace {

using kve::geometry::MeshVertex;
using kve::geometry::ObjMeshData;
using kve::geometry::parseObj;

ObjMeshData parsed(const std::string& text)
{
    ObjMeshData data;
    EXPECT_EQ(parseObj(text, data), "");
    return data;
}

void expectPosition(const MeshVertex& v, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(v.position[0], x);
    EXPECT_FLOAT_EQ(v.position[1], y);
    EXPECT_FLOAT_EQ(v.position[2], z);
    EXPECT_FLOAT_EQ(v.position[3], 1.0f);
}

bool allZero(const float* values, int count)
{
    for (int i = 0; i < count; ++i)
        if (values[i] != 0.0f)
            return false;
    return true;
}

constexpr const char* kTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n"
                                  "vt 0 0\nvt 1 0\nvt 0 1\n"
                                  "vn 0 0 1\nvn 0 1 0\nvn 1 0 0\n";

TEST(ObjImport, NumbersReadLikeDefinitionValues)
{
    // "." is the only decimal point, a leading "+" is allowed, text that is no number is
    // 0, and face indices take the integer reader's "$" hexadecimal and keywords.
    const ObjMeshData data = parsed("v +1.5 -2.5E-1 abc\nv 1,5 2e 1e50\nv -Infinity 7x .5\n"
                                    "f 1 $2 %11\nf true 12abc 0\n");
    ASSERT_EQ(data.vertices.size(), 6u);
    expectPosition(data.vertices[0], 1.5f, -0.25f, 0);
    expectPosition(data.vertices[1], 1, 2, std::numeric_limits<float>::infinity());
    EXPECT_EQ(data.vertices[2].position[0], -std::numeric_limits<float>::infinity());
    EXPECT_FLOAT_EQ(data.vertices[2].position[1], 7.0f);
    EXPECT_FLOAT_EQ(data.vertices[2].position[2], 0.5f);
    expectPosition(data.vertices[3], 1.5f, -0.25f, 0); // "true" is 1
    expectPosition(data.vertices[4], 0, 0, 0);         // 12 is past the end
    expectPosition(data.vertices[5], 0, 0, 0);         // 0 is no OBJ index
}

TEST(ObjImport, OneFaceGivesThreeVerticesWithTheirAttributes)
{
    const ObjMeshData data = parsed(std::string(kTriangle) + "f 1/1/1 2/2/2 3/3/3\n");
    ASSERT_EQ(data.vertices.size(), 3u);
    EXPECT_EQ(data.indices, (std::vector<int32_t>{0, 1, 2}));
    expectPosition(data.vertices[1], 1, 0, 0);
    EXPECT_FLOAT_EQ(data.vertices[1].texCoord[0], 1.0f);
    EXPECT_FLOAT_EQ(data.vertices[2].texCoord[1], 1.0f);
    EXPECT_FLOAT_EQ(data.vertices[0].normal[2], 1.0f);
    EXPECT_FLOAT_EQ(data.vertices[2].normal[0], 1.0f);
    EXPECT_TRUE(allZero(data.vertices[0].tangent, 3));
    EXPECT_EQ(data.vertices[0].group, 0);
    EXPECT_TRUE(data.groups.empty());
}

TEST(ObjImport, FacesUseTheirFirstThreeCornersAndOwnVertices)
{
    // A quad gives one triangle; two faces sharing positions give six vertices.
    ObjMeshData quad = parsed("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n");
    ASSERT_EQ(quad.vertices.size(), 3u);
    expectPosition(quad.vertices[2], 1, 1, 0);

    ObjMeshData shared = parsed("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\nf 1 3 4\n");
    ASSERT_EQ(shared.vertices.size(), 6u);
    EXPECT_EQ(shared.indices, (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
    expectPosition(shared.vertices[3], 0, 0, 0);
    expectPosition(shared.vertices[5], 0, 1, 0);

    // Fewer than three corners: the face is skipped and later faces keep their corners.
    ObjMeshData shortFace = parsed("v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2\nf 1 2 3\n");
    ASSERT_EQ(shortFace.vertices.size(), 3u);
    expectPosition(shortFace.vertices[1], 1, 0, 0);
}

TEST(ObjImport, FieldsSplitAtEverySingleSpace)
{
    // "v  1 2 3": the empty second field is x.
    ObjMeshData data = parsed("v  1 2 3\nv 4 5 6\nv 7 8 9\nf 1 2 3\n");
    ASSERT_EQ(data.vertices.size(), 3u);
    expectPosition(data.vertices[0], 0, 1, 2);
    // Leading and trailing blanks are stripped; tabs are no separators, so "v\t..." is
    // an unknown keyword and adds no position (face index 3 then points past the list).
    data = parsed("   v 1 2 3   \nv\t4 5 6\nv 7 8 9\nf 1 2 3\n");
    expectPosition(data.vertices[0], 1, 2, 3);
    expectPosition(data.vertices[1], 7, 8, 9);
    expectPosition(data.vertices[2], 0, 0, 0);
    // An empty corner field (two spaces in a face) has no position.
    data = parsed("v 1 1 1\nv 2 2 2\nf 1  2\n");
    ASSERT_EQ(data.vertices.size(), 3u);
    expectPosition(data.vertices[0], 1, 1, 1);
    expectPosition(data.vertices[1], 0, 0, 0);
    expectPosition(data.vertices[2], 2, 2, 2);
}

TEST(ObjImport, KeywordsAreCaseSensitiveAndOthersIgnored)
{
    const ObjMeshData data = parsed("# comment v 9 9 9\nV 5 5 5\nvp 1 1\no Thing\ns 1\nusemtl Stone\n"
                                    "mtllib a.mtl\nv 1 2 3\nv 4 5 6\nv 7 8 9\nF 1 2 3\nG up\nf 1 2 3\n");
    ASSERT_EQ(data.vertices.size(), 3u);
    expectPosition(data.vertices[0], 1, 2, 3);
    EXPECT_TRUE(data.groups.empty());
}

TEST(ObjImport, LineEndsCommentsAndForwardReferences)
{
    // CR LF lines, a last line without a line end, faces before the lines they name.
    const ObjMeshData data = parsed("f 1/1/1 2/2/2 3/3/3\r\ng Left\r\nv 1 2 3\r\nv 4 5 6\r\nv 7 8 9\r\n"
                                    "vt 0.25 0.75\r\nvn 0 0 -1");
    ASSERT_EQ(data.vertices.size(), 3u);
    expectPosition(data.vertices[2], 7, 8, 9);
    EXPECT_FLOAT_EQ(data.vertices[0].texCoord[1], 0.75f);
    EXPECT_FLOAT_EQ(data.vertices[0].normal[2], -1.0f);
    EXPECT_TRUE(allZero(data.vertices[1].texCoord, 2)); // vt 2 does not exist
    ASSERT_EQ(data.groups.size(), 1u);
    EXPECT_EQ(data.groups[0], "Left");
}

TEST(ObjImport, GroupsNumberedInOrderOfFirstAppearance)
{
    const ObjMeshData data = parsed("v 0 0 0\nf 1 1 1\ng  Rock A  \nf 1 1 1\ng Rock B\nf 1 1 1\n"
                                    "g Rock A\nf 1 1 1\n");
    ASSERT_EQ(data.vertices.size(), 12u);
    EXPECT_EQ(data.groups, (std::vector<std::string>{"Rock A", "Rock B"}));
    const int expected[4] = {0, 0, 1, 0}; // the face before any "g" line is in group 0 too
    for (int face = 0; face < 4; ++face)
        for (int corner = 0; corner < 3; ++corner)
            EXPECT_EQ(data.vertices[static_cast<size_t>(face * 3 + corner)].group, expected[face]) << face;
}

TEST(ObjImport, MissingZeroNegativeAndOutOfRangeIndicesLeaveZeros)
{
    const ObjMeshData data = parsed(std::string(kTriangle) +
                                    "f 1//2 2/3 3\n"                   // no vt, vt without vn, position only
                                    "f 0/0/0 -1/-1/-1 4/4/4\n"         // zero, relative and past the end
                                    "f 2147483647/99999999999/$7FFFFFFF -2147483648 x/y/z\n"
                                    "f 1/1/1/1 2/2/2/ 3/3/3\n");       // extra parts ignored
    ASSERT_EQ(data.vertices.size(), 12u);
    const auto& v = data.vertices;
    expectPosition(v[0], 0, 0, 0);
    EXPECT_TRUE(allZero(v[0].texCoord, 2));
    EXPECT_FLOAT_EQ(v[0].normal[1], 1.0f);
    EXPECT_FLOAT_EQ(v[1].texCoord[1], 1.0f);
    EXPECT_TRUE(allZero(v[1].normal, 3));
    expectPosition(v[2], 0, 1, 0);
    EXPECT_TRUE(allZero(v[2].texCoord, 2));
    EXPECT_TRUE(allZero(v[2].normal, 3));
    for (size_t i = 3; i < 9; ++i) {
        expectPosition(v[i], 0, 0, 0);
        EXPECT_TRUE(allZero(v[i].texCoord, 2)) << i;
        EXPECT_TRUE(allZero(v[i].normal, 3)) << i;
    }
    expectPosition(v[9], 0, 0, 0);
    EXPECT_FLOAT_EQ(v[9].normal[2], 1.0f);
    expectPosition(v[10], 1, 0, 0);
    EXPECT_FLOAT_EQ(v[10].normal[1], 1.0f);
}

TEST(ObjImport, HostileInputNeverFailsOrReadsOutside)
{
    // Random bytes and random mixes of OBJ tokens: the parser must only ever produce
    // vertices for complete faces (run under AddressSanitizer for the bounds).
    std::mt19937 random(1234);
    const char* tokens[] = {"v", "vt", "vn", "f", "g", " ", "  ", "\n", "\r\n", "/", "//", "1", "-1", "0",
                            "3", "1e39", "nan", "$FF", "%1", "\t", "\0", "999999999999", ".", "x"};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 400);
        for (int i = 0; i < length; ++i) {
            if (round % 3 == 0)
                text += static_cast<char>(random() & 0xFF);
            else
                text += tokens[random() % std::size(tokens)];
        }
        ObjMeshData data;
        ASSERT_EQ(parseObj(text, data), "");
        EXPECT_EQ(data.vertices.size() % 3, 0u);
        EXPECT_EQ(data.indices.size(), data.vertices.size());
        for (const MeshVertex& vertex : data.vertices) {
            EXPECT_EQ(vertex.position[3], 1.0f);
            EXPECT_GE(vertex.group, 0);
            EXPECT_LT(vertex.group, std::max<int>(1, static_cast<int>(data.groups.size())));
        }
    }
}

TEST(ObjImport, MissingFilesAreReported)
{
    ObjMeshData data;
    std::string error;
    EXPECT_FALSE(kve::geometry::loadObjFile("no such directory\\missing.obj", data, error));
    EXPECT_FALSE(kve::geometry::loadObjFile(nullptr, data, error));
}

} // namespace
