#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "defs/number_text.h"
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

TEST(ObjImport, PolygonsAreFannedFromTheirFirstCornerWithOwnVertices)
{
    // A quad gives the triangles (1 2 3) and (1 3 4).
    const ObjMeshData quad = parsed("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n");
    ASSERT_EQ(quad.vertices.size(), 6u);
    EXPECT_EQ(quad.indices, (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
    const float expected[6][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}};
    for (size_t i = 0; i < 6; ++i)
        expectPosition(quad.vertices[i], expected[i][0], expected[i][1], 0);

    // A concave polygon of 66 corners gives 64 triangles in file order, all starting at
    // the first corner; the face after it keeps its own corners.
    std::string polygon;
    for (int i = 0; i < 66; ++i)
        polygon += "v " + std::to_string(i) + " " + std::to_string(i % 2) + " 0\n";
    polygon += "f";
    for (int i = 1; i <= 66; ++i)
        polygon.append(" ").append(std::to_string(i));
    polygon += "\nf 3 2 1\n";
    const ObjMeshData fan = parsed(polygon);
    ASSERT_EQ(fan.vertices.size(), 65u * 3);
    for (size_t t = 0; t < 64; ++t) {
        expectPosition(fan.vertices[3 * t], 0, 0, 0);
        EXPECT_FLOAT_EQ(fan.vertices[3 * t + 1].position[0], static_cast<float>(t + 1)) << t;
        EXPECT_FLOAT_EQ(fan.vertices[3 * t + 2].position[0], static_cast<float>(t + 2)) << t;
    }
    expectPosition(fan.vertices[64 * 3], 2, 0, 0);

    // Fewer than three corners: the face is skipped (and its line kept for the log), and
    // later faces keep their corners.
    const ObjMeshData shortFace = parsed("v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2\nf 1 2 3\nf\n");
    ASSERT_EQ(shortFace.vertices.size(), 3u);
    expectPosition(shortFace.vertices[1], 1, 0, 0);
    EXPECT_EQ(shortFace.firstShortFaceLine, 4);
    EXPECT_EQ(fan.firstShortFaceLine, 0);
}

TEST(ObjImport, AnyRunOfSpacesAndTabsSeparatesFields)
{
    const ObjMeshData data = parsed("v  1   2\t3\n\t v\t\t4 5 6 \t\nv 7 8 9\r\nvn  0\t0  1\nvt\t0.5   0.25\n"
                                    "g \t Rock  A \t\nf  1//1\t\t2//1   3//1  \n f 1/1/1 2/1/1 3/1/1\n");
    ASSERT_EQ(data.vertices.size(), 6u);
    expectPosition(data.vertices[0], 1, 2, 3);
    expectPosition(data.vertices[1], 4, 5, 6);
    expectPosition(data.vertices[2], 7, 8, 9);
    EXPECT_FLOAT_EQ(data.vertices[2].normal[2], 1.0f);
    EXPECT_FLOAT_EQ(data.vertices[4].texCoord[0], 0.5f);
    EXPECT_FLOAT_EQ(data.vertices[4].texCoord[1], 0.25f);
    EXPECT_EQ(data.groups, (std::vector<std::string>{"Rock  A"})); // inner blanks belong to the name
    EXPECT_EQ(data.firstBadIndexLine, 0);
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

TEST(ObjImport, NegativeIndicesCountBackFromTheLinesReadSoFar)
{
    // -1 is the latest position at the face line, not at the end of the file.
    const ObjMeshData data = parsed("v 1 0 0\nv 2 0 0\nv 3 0 0\nvt 0.5 0.5\nvn 0 1 0\n"
                                    "f -3/-1/-1 -2/-1/-1 -1/-1/-1\nv 4 0 0\nf -1 -2 1\n");
    ASSERT_EQ(data.vertices.size(), 6u);
    const float x[6] = {1, 2, 3, 4, 3, 1};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_FLOAT_EQ(data.vertices[i].position[0], x[i]) << i;
    EXPECT_FLOAT_EQ(data.vertices[1].texCoord[0], 0.5f);
    EXPECT_FLOAT_EQ(data.vertices[2].normal[1], 1.0f);
    EXPECT_EQ(data.firstBadIndexLine, 0);
}

TEST(ObjImport, BadIndicesLeaveZerosAndNameTheFirstLine)
{
    const ObjMeshData data = parsed(std::string(kTriangle) +
                                    "f 1//2 2/3 3\n"                   // no vt, vt without vn, position only
                                    "f 0/0/0 -4/-4/-4 4/4/4\n"         // zero, too far back and past the end
                                    "f 2147483647/99999999999/$7FFFFFFF -2147483648 x/y/z\n"
                                    "f 1/1/1/1 2/2/2/ 3/3/3\n");       // extra parts ignored
    ASSERT_EQ(data.vertices.size(), 12u);
    EXPECT_EQ(data.firstBadIndexLine, 11); // the first face line is fine: absent parts are no fault
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

    // A corner without a position is bad too; a texture index past the end is found
    // only once the whole file is read.
    EXPECT_EQ(parsed("v 0 0 0\nf 1 1 1\nf /1 1 1\n").firstBadIndexLine, 3);
    EXPECT_EQ(parsed("v 0 0 0\nvt 0 0\n\nf 1/2 1/1 1/1\nvt 1 1\nf 1/3 1 1\n").firstBadIndexLine, 6);
}

// The reading rules before polygons, blank runs and relative indices, written plainly:
// fields at single spaces, the first three corners of a face, every index minus one.
ObjMeshData readWithSingleSpaceRules(const std::string& text)
{
    std::vector<std::array<float, 3>> positions, normals;
    std::vector<std::array<float, 2>> texCoords;
    std::vector<std::array<int, 4>> corners;
    ObjMeshData out;
    int group = -1;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        line.erase(0, line.find_first_not_of(' '));
        line.erase(line.find_last_not_of(' ') + 1);
        std::vector<std::string> fields;
        for (size_t at = 0, space; !line.empty(); at = space + 1) {
            space = line.find(' ', at);
            fields.push_back(line.substr(at, space - at));
            if (space == std::string::npos)
                break;
        }
        fields.resize(std::max<size_t>(fields.size(), 5));
        const auto number = [&](int i) { return kve::defs::parseFloatText(fields[static_cast<size_t>(i)]); };
        if (fields[0] == "v")
            positions.push_back({number(1), number(2), number(3)});
        else if (fields[0] == "vn")
            normals.push_back({number(1), number(2), number(3)});
        else if (fields[0] == "vt")
            texCoords.push_back({number(1), number(2)});
        else if (fields[0] == "g") {
            const std::string name = line.substr(2);
            const auto found = std::find(out.groups.begin(), out.groups.end(), name);
            group = static_cast<int>(found - out.groups.begin());
            if (found == out.groups.end())
                out.groups.push_back(name);
        } else if (fields[0] == "f") {
            for (int c = 1; c <= 3; ++c) {
                std::array<int, 4> corner = {-1, -1, -1, std::max(group, 0)};
                std::istringstream parts(fields[static_cast<size_t>(c)]);
                std::string part;
                for (int k = 0; k < 3 && std::getline(parts, part, '/'); ++k)
                    corner[static_cast<size_t>(k)] = kve::defs::parseIntegerText(part) - 1;
                corners.push_back(corner);
            }
        }
    }
    for (const auto& corner : corners) {
        MeshVertex& vertex = out.vertices.emplace_back();
        std::memset(&vertex, 0, sizeof vertex);
        std::copy_n(positions.at(static_cast<size_t>(corner[0])).data(), 3, vertex.position);
        vertex.position[3] = 1.0f;
        if (corner[1] >= 0)
            std::copy_n(texCoords.at(static_cast<size_t>(corner[1])).data(), 2, vertex.texCoord);
        if (corner[2] >= 0)
            std::copy_n(normals.at(static_cast<size_t>(corner[2])).data(), 3, vertex.normal);
        vertex.group = corner[3];
        out.indices.push_back(static_cast<int32_t>(out.indices.size()));
    }
    return out;
}

TEST(ObjImport, FilesOfTrianglesAndSingleSpacesGiveTheSameBytesAsBefore)
{
    // Random files within the old rules: triangles, single spaces, positive indices that
    // exist by the end of the file (forward references included), groups, comments,
    // CR LF line ends and corners with and without their texture and normal parts.
    std::mt19937 random(77);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char* numbers[] = {"0", "1", "-2.5", "0.125", "+3", "1e3", "-7.75E-2", "12345.678", ".5"};
    for (int round = 0; round < 200; ++round) {
        const int nv = 1 + pick(20), nt = pick(5), nn = pick(5);
        std::vector<std::string> lines;
        for (int i = 0; i < nv; ++i)
            lines.push_back("v " + std::string(numbers[pick(9)]) + " " + numbers[pick(9)] + " " + numbers[pick(9)]);
        for (int i = 0; i < nt; ++i)
            lines.push_back("vt " + std::string(numbers[pick(9)]) + " " + numbers[pick(9)]);
        for (int i = 0; i < nn; ++i)
            lines.push_back("vn " + std::string(numbers[pick(9)]) + " " + numbers[pick(9)] + " " + numbers[pick(9)]);
        for (int face = pick(30); face > 0; --face) {
            std::string line = "f";
            for (int c = 0; c < 3; ++c) {
                line.append(" ").append(std::to_string(1 + pick(nv)));
                const bool withT = nt > 0 && pick(2), withN = nn > 0 && pick(2);
                if (withT || withN)
                    line.append("/").append(withT ? std::to_string(1 + pick(nt)) : std::string());
                if (withN)
                    line.append("/").append(std::to_string(1 + pick(nn)));
            }
            lines.push_back(line);
            if (pick(8) == 0)
                lines.push_back(pick(2) ? "g Group " + std::to_string(pick(3)) : "# note 1 2 3");
        }
        std::shuffle(lines.begin(), lines.end(), random);
        std::string text;
        for (const std::string& line : lines)
            text += line + (round % 2 ? "\r\n" : "\n");

        const ObjMeshData now = parsed(text), before = readWithSingleSpaceRules(text);
        ASSERT_EQ(now.vertices.size(), before.vertices.size()) << text;
        if (!now.vertices.empty()) {
            EXPECT_EQ(std::memcmp(now.vertices.data(), before.vertices.data(), now.vertices.size() * sizeof(MeshVertex)),
                      0)
                << text;
        }
        EXPECT_EQ(now.indices, before.indices);
        EXPECT_EQ(now.groups, before.groups);
        EXPECT_EQ(now.firstBadIndexLine, 0);
    }
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
        EXPECT_GE(data.firstBadIndexLine, 0);
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
