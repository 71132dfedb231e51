// The built-in programs as the driver sees them: linked, logged, registered in the right
// order, their blocks at the right binding points with the byte layout the block writers
// use, and the Default program's headlight on real pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>

#include "gpu/shader.h"
#include "gpu/shader_test_support.h"
#include "platform/gl.h"
#include "render/shader_queues.h"
#include "render/uniform_blocks.h"
#include "support/engine_environment.h"

namespace {

using kve::render::Block;

struct Expected {
    int kind;
    const char* name;
    int queue;
    int flag;
    std::set<int> blocks; // binding points of the blocks the program uses
    std::vector<const char*> uniforms; // by registration index
};

const std::vector<Expected>& expectedPrograms()
{
    static const std::vector<Expected> programs = {
        {1, "Default", 1, 1, {0, 1}, {"vColor"}},
        {2, "Drawing", 1, 1, {0, 1}, {}},
        {3, "Draw Mesh", 1, 1, {0, 1}, {"vColor"}},
        {4, "Textures", 1, 1, {0, 1}, {"ColorMap", "vColor"}},
        {5, "Normal Mapping", 0, 1, {0, 1, 2}, {"ColorMap", "NormalMap"}},
        {6, "Reflection Normal Mapping", 0, 1, {0, 1, 2}, {"mViewMatrix", "ColorMap", "NormalMap", "ReflectionCubeMap"}},
        {7, "Normal Mapping Silhouette", 1, 1, {0, 1, 2}, {"NormalMap"}},
        {8, "Specular Normal Mapping", 0, 1, {0, 1, 2}, {"ColorMap", "NormalMap", "SpecularMap"}},
        {9, "Texture Array", 0, 1, {0, 1, 2}, {"ColorMap", "NormalMap", "SpecularMap"}},
        {10, "Grass", 0, 1, {0, 1, 2}, {"ColorMap", "NormalMap", "SpecularMap", "vWind"}},
        {11, "Parallax Mapping", 0, 1, {0, 1, 2}, {"ColorMap", "NormalMap", "fScale", "fBias"}},
        {12, "Specular Parallax Mapping", 0, 1, {0, 1, 2}, {"ColorMap", "NormalMap", "SpecularMap", "fScale", "fBias"}},
        {13,
         "Water",
         2,
         1,
         {0, 1, 2, 4},
         {"ColorMap", "NormalMapA", "NormalMapB", "ReflectionCubeMap", "DepthMap", "LDepthMap", "vOffset", "fFogDepth",
          "vLightDir", "mViewMatrix"}},
        {15, "Mask Refraction", 2, 1, {0, 1, 2, 4}, {"ColorMap", "DepthMap", "NormalMap", "MaskMap", "vOffset"}},
        {16, "Mesh Glow", 2, 1, {0, 1, 2, 4}, {"DepthMap", "fScale"}},
        {18, "Skybox", -1, 1, {0, 1, 4}, {"ColorCubeMap", "MaskMap", "vColor"}},
        {19, "Particle", -1, 1, {0, 1, 4}, {"ColorMap", "DepthMap"}},
        {20, "Soft Particle", -1, 1, {0, 1, 4}, {"ColorMap", "DepthMap", "fBlend"}},
        {21, "Billboard", -1, 1, {0, 1}, {"ColorMap", "DepthMap", "InstancesTextureBuffer", "iProjectionMode"}},
        {24, "Textured Sprite", 7, 0, {0, 1}, {"ColorMap", "vColor"}},
        {25, "Masked Sprite", 7, 0, {0, 1}, {"ColorMap", "MaskMap", "vColor"}},
    };
    return programs;
}

GLint programValue(GLuint program, GLenum name)
{
    GLint value = -1;
    glGetProgramiv(program, name, &value);
    return value;
}

TEST(BuiltinPrograms, EveryKindIsLinkedRegisteredAndQueuedAsItsTableRowSays)
{
    const std::string log = kve::test::readLog();
    for (int empty : {0, 14, 17, 22, 23})
        EXPECT_EQ(KVE_GetBuiltinShader(empty), nullptr) << empty;
    EXPECT_EQ(KVE_GetBuiltinShader(-1), nullptr);
    EXPECT_EQ(KVE_GetBuiltinShader(26), nullptr);

    for (const Expected& row : expectedPrograms()) {
        SCOPED_TRACE(row.name);
        const ShaderProgram* record = KVE_GetBuiltinShader(row.kind);
        ASSERT_NE(record, nullptr);
        EXPECT_STREQ(record->name, row.name);
        EXPECT_EQ(record->kind, row.kind);
        EXPECT_EQ(record->flag, row.flag);
        EXPECT_GE(record->number, 0x10000);
        EXPECT_EQ(KVE_GetShader(record->number), record);
        EXPECT_EQ(programValue(record->program, GL_LINK_STATUS), GL_TRUE);
        EXPECT_LE(programValue(record->program, GL_INFO_LOG_LENGTH), 1) << "the linker had something to say";
        for (const char* stage : {" [VertexShader]: ", " [FragmentShader]: "})
            EXPECT_EQ(kve::test::countOccurrences(log, std::string(">") + row.name + stage + "Compiling successfull!<"),
                      1)
                << stage;
        EXPECT_EQ(log.find(std::string(">") + row.name + " [Link]: "), std::string::npos);

        EXPECT_EQ(record->queue, row.queue);
        const auto& queue = kve::render::shaderQueue(row.queue);
        EXPECT_EQ(std::count_if(queue.begin(), queue.end(), [&](const auto& e) { return e.program == record; }),
                  row.queue < 0 ? 0 : 1);

        // Registration order: index i holds the i-th uniform of the row.
        const auto& table = record->uniforms->byIndex[0];
        ASSERT_EQ(table.size(), row.uniforms.size());
        for (size_t i = 0; i < table.size(); ++i) {
            ASSERT_NE(table[i], nullptr) << i;
            EXPECT_EQ(table[i]->location, glGetUniformLocation(record->program, row.uniforms[i])) << row.uniforms[i];
        }
    }
    // Queues hold the programs in build order.
    const auto& forward = kve::render::shaderQueue(1);
    ASSERT_GE(forward.size(), 5u);
    EXPECT_EQ(forward[0].program, KVE_GetBuiltinShader(2));
    EXPECT_EQ(forward[1].program, KVE_GetBuiltinShader(1));
    EXPECT_EQ(forward[4].program, KVE_GetBuiltinShader(7));
}

TEST(BuiltinPrograms, LogSectionsListBothStagesOfEachProgramInBuildOrder)
{
    const std::string log = kve::test::readLog();
    auto section = [&](const std::string& title) {
        const size_t head = log.find("'>" + title + "</big>");
        EXPECT_NE(head, std::string::npos) << title;
        const size_t body = log.find("</big>", head);
        return std::make_pair(head, kve::test::logTexts(log.substr(body, log.find("</blockquote>", body) - body)));
    };
    const auto [uniformAt, uniformTexts] = section("Uniform Buffer");
    const auto [spriteAt, spriteTexts] = section("2D Shader");
    const auto [programAt, programTexts] = section("3D Shader");
    EXPECT_LT(uniformAt, spriteAt);
    EXPECT_LT(spriteAt, programAt);
    EXPECT_NE(log.find("<big style='color:#0066D0;font-size:12px;'>3D Shader</big>"), std::string::npos);

    auto stages = [](std::initializer_list<const char*> names) {
        std::vector<std::string> lines;
        for (const char* name : names) {
            lines.push_back(std::string(name) + " [VertexShader]: Compiling successfull!");
            lines.push_back(std::string(name) + " [FragmentShader]: Compiling successfull!");
        }
        return lines;
    };
    EXPECT_EQ(spriteTexts, stages({"Textured Sprite", "Masked Sprite"}));
    EXPECT_EQ(programTexts,
              stages({"Drawing", "Default", "Draw Mesh", "Textures", "Normal Mapping", "Specular Normal Mapping",
                      "Reflection Normal Mapping", "Texture Array", "Grass", "Normal Mapping Silhouette",
                      "Parallax Mapping", "Specular Parallax Mapping", "Water", "Mask Refraction", "Mesh Glow",
                      "Skybox", "Particle", "Soft Particle", "Billboard"}));
}

// The std140 offsets and GL types of every block member, from the writers' structs.
struct Member {
    GLint offset;
    GLenum type;
};
const std::map<int, std::vector<Member>>& expectedLayouts()
{
    using namespace kve::render;
    static const std::map<int, std::vector<Member>> layouts = {
        {0, {{0, GL_FLOAT_MAT4}, {offsetof(ProjectionBlock, matrix2D), GL_FLOAT_MAT4}}},
        {1, {{0, GL_FLOAT_MAT4}, {offsetof(ModelBlock, normal), GL_FLOAT_MAT3}}},
        {2,
         {{0, GL_FLOAT_VEC4},
          {offsetof(MaterialBlock, intensity), GL_FLOAT},
          {offsetof(MaterialBlock, hardness), GL_FLOAT},
          {offsetof(MaterialBlock, third), GL_FLOAT},
          {offsetof(MaterialBlock, fourth), GL_FLOAT},
          {offsetof(MaterialBlock, specular), GL_FLOAT_VEC4}}},
        {3,
         {{0, GL_FLOAT_VEC3},
          {offsetof(LightBlock, range), GL_FLOAT},
          {offsetof(LightBlock, color), GL_FLOAT_VEC3},
          {offsetof(LightBlock, intensity), GL_FLOAT},
          {offsetof(LightBlock, direction), GL_FLOAT_VEC3},
          {offsetof(LightBlock, cone), GL_FLOAT},
          {offsetof(LightBlock, staticFlag), GL_INT}}},
        {4, {{0, GL_FLOAT_VEC2}, {offsetof(MiscBlock, nearPlane), GL_FLOAT}, {offsetof(MiscBlock, farPlane), GL_FLOAT}}},
    };
    return layouts;
}

// Checks every active block of `program` against the layout of its binding point and
// returns the binding points found.
std::set<int> checkBlocks(GLuint program)
{
    std::set<int> bindings;
    const GLint blockCount = programValue(program, GL_ACTIVE_UNIFORM_BLOCKS);
    for (GLuint block = 0; block < static_cast<GLuint>(blockCount); ++block) {
        char name[64] = {};
        glGetActiveUniformBlockName(program, block, sizeof name, nullptr, name);
        SCOPED_TRACE(name);
        GLint binding = -1, dataSize = 0, memberCount = 0;
        glGetActiveUniformBlockiv(program, block, GL_UNIFORM_BLOCK_BINDING, &binding);
        glGetActiveUniformBlockiv(program, block, GL_UNIFORM_BLOCK_DATA_SIZE, &dataSize);
        glGetActiveUniformBlockiv(program, block, GL_UNIFORM_BLOCK_ACTIVE_UNIFORMS, &memberCount);
        const kve::render::UniformBlockBuffer* record = kve::render::uniformBlockAt(binding);
        if (!record) {
            ADD_FAILURE() << "block at binding " << binding;
            continue;
        }
        bindings.insert(binding);
        EXPECT_TRUE(std::string(name).rfind(record->name, 0) == 0) << "bound to " << record->name;
        EXPECT_LE(dataSize, (record->size + 15) / 16 * 16);
        GLint storage = 0;
        glBindBuffer(GL_UNIFORM_BUFFER, record->buffer);
        glGetBufferParameteriv(GL_UNIFORM_BUFFER, GL_BUFFER_SIZE, &storage);
        EXPECT_GE(storage, dataSize) << "the buffer holds the whole block";

        std::vector<GLint> members(static_cast<size_t>(memberCount));
        glGetActiveUniformBlockiv(program, block, GL_UNIFORM_BLOCK_ACTIVE_UNIFORM_INDICES, members.data());
        std::vector<GLint> offsets(members.size()), types(members.size());
        const auto* indices = reinterpret_cast<const GLuint*>(members.data());
        glGetActiveUniformsiv(program, memberCount, indices, GL_UNIFORM_OFFSET, offsets.data());
        glGetActiveUniformsiv(program, memberCount, indices, GL_UNIFORM_TYPE, types.data());
        const auto& layout = expectedLayouts().at(binding);
        for (size_t m = 0; m < members.size(); ++m) {
            const auto expected = std::find_if(layout.begin(), layout.end(),
                                               [&](const Member& e) { return e.offset == offsets[m]; });
            if (expected == layout.end()) {
                ADD_FAILURE() << "member at offset " << offsets[m];
                continue;
            }
            EXPECT_EQ(static_cast<GLenum>(types[m]), expected->type) << "member at offset " << offsets[m];
        }
        // The block's binding point holds the block's buffer.
        GLint buffer = 0;
        glGetIntegeri_v(GL_UNIFORM_BUFFER_BINDING, static_cast<GLuint>(binding), &buffer);
        EXPECT_EQ(static_cast<GLuint>(buffer), record->buffer);
        EXPECT_NE(record->buffer, 0u);
    }
    return bindings;
}

TEST(BuiltinPrograms, BlocksSitAtTheirBindingPointsWithTheWritersByteLayout)
{
    for (const Expected& row : expectedPrograms()) {
        SCOPED_TRACE(row.name);
        const ShaderProgram* record = KVE_GetBuiltinShader(row.kind);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(checkBlocks(record->program), row.blocks);
    }
    // The sprite programs name their blocks differently and are bound all the same.
    const GLuint sprite = KVE_GetBuiltinShader(KVE_SHADER_MASKED_SPRITE)->program;
    for (const auto& [name, point] : {std::pair{"ProjectionMatrix", 0}, std::pair{"ModelMatrices", 1}}) {
        GLint binding = -1;
        glGetActiveUniformBlockiv(sprite, glGetUniformBlockIndex(sprite, name), GL_UNIFORM_BLOCK_BINDING, &binding);
        EXPECT_EQ(binding, point) << name;
    }
}

TEST(BuiltinPrograms, EveryBlockDeclaredInFullMatchesTheWriters)
{
    // No built-in program declares Light: a program with all five blocks in full checks it
    // and the full sizes.
    constexpr std::string_view vertex = "#version 330\n"
                                        "layout(location = 0) in vec4 vVertex;\n"
                                        "layout(std140) uniform Projection { mat4 a; mat4 b; };\n"
                                        "layout(std140) uniform Model { mat4 c; mat3 d; };\n"
                                        "void main() { gl_Position = a * b * c * vVertex + vec4(d[0], 0.0); }\n";
    constexpr std::string_view fragment =
        "#version 330\n"
        "layout(std140) uniform Material { vec4 e; float f; float g; float h; float i; vec4 j; };\n"
        "layout(std140) uniform Light { vec3 k; float l; vec3 m; float n; vec3 o; float p; int q; };\n"
        "layout(std140) uniform Misc { vec2 r; float s; float t; };\n"
        "layout(location = 0) out vec4 vFragColor;\n"
        "void main() { vFragColor = e * f * g * h * i + j + vec4(k * l + m * n + o * p, float(q)) + vec4(r, s, t); }\n";
    ShaderProgram* record = KVE_CreateShader(-1, 1, "All Blocks", 0);
    ASSERT_NE(record, nullptr);
    kve::test::catchStages(record->number, vertex, fragment);
    KVE_LinkShader(record->number);
    ASSERT_EQ(programValue(record->program, GL_LINK_STATUS), GL_TRUE);
    const std::pair<const char*, int> blocks[] = {
        {"Projection", 0}, {"Model", 1}, {"Material", 2}, {"Light", 3}, {"Misc", 4}};
    for (const auto& [name, binding] : blocks)
        KVE_BindShaderBlock(record->number, name, binding);
    EXPECT_EQ(checkBlocks(record->program), (std::set<int>{0, 1, 2, 3, 4}));
    for (const auto& [name, binding] : blocks) {
        GLint dataSize = 0;
        glGetActiveUniformBlockiv(record->program, glGetUniformBlockIndex(record->program, name),
                                  GL_UNIFORM_BLOCK_DATA_SIZE, &dataSize);
        // std140 rounds a block up to a whole vec4; Light's 52 bytes take 64 there.
        EXPECT_EQ(dataSize, (kve::render::uniformBlockAt(binding)->size + 15) / 16 * 16) << name;
    }
    KVE_ReleaseShader(record->number);
}

// Draws one triangle at z = -5 in view space with the Default program and returns the
// colour at the centre of the screen.
std::array<int, 3> drawDefaultTriangle(const float normal[3], const float color[4])
{
    const float vertices[] = {
        -3.0f, -3.0f, -5.0f, 1.0f, normal[0], normal[1], normal[2], //
        3.0f,  -3.0f, -5.0f, 1.0f, normal[0], normal[1], normal[2], //
        0.0f,  3.0f,  -5.0f, 1.0f, normal[0], normal[1], normal[2],
    };
    GLuint vertexArray = 0, buffer = 0;
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof vertices, vertices, GL_STATIC_DRAW);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 7 * sizeof(float), nullptr);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 7 * sizeof(float), reinterpret_cast<void*>(4 * sizeof(float)));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);

    KVE_Matrix identity{};
    identity.c[0].x = identity.c[1].y = identity.c[2].z = identity.c[3].w = 1.0f;
    kve::render::writeModelBlock(identity);
    const ShaderProgram* program = KVE_GetBuiltinShader(KVE_SHADER_DEFAULT);
    glUseProgram(program->program);
    glUniform4fv(program->uniforms->byIndex[0][0]->location, 1, color);

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    unsigned char pixel[4] = {};
    glReadPixels(kve::test::kScreenWidth / 2, kve::test::kScreenHeight / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);

    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glUseProgram(0);
    glBindVertexArray(0);
    glDeleteBuffers(1, &buffer);
    glDeleteVertexArrays(1, &vertexArray);
    return {pixel[0], pixel[1], pixel[2]};
}

TEST(BuiltinPrograms, DefaultHeadlightKeepsAFloorOfTheColour)
{
    const float color[4] = {200.0f / 255.0f, 100.0f / 255.0f, 50.0f / 255.0f, 1.0f};
    const float away[3] = {0.0f, 0.0f, -1.0f};
    const auto dark = drawDefaultTriangle(away, color);
    // L = 0.1: 0.1 of the colour plus 0.9 * 0.4 of it from the ambient term.
    EXPECT_NEAR(dark[0], 200 * 0.46, 1.0);
    EXPECT_NEAR(dark[1], 100 * 0.46, 1.0);
    EXPECT_NEAR(dark[2], 50 * 0.46, 1.0);

    const float toward[3] = {0.0f, 0.0f, 1.0f};
    const auto lit = drawDefaultTriangle(toward, color);
    EXPECT_GT(lit[0], 200 * 0.85);
    EXPECT_LE(lit[0], 200 + 1);
    EXPECT_GT(lit[1], 100 * 0.85);
}

} // namespace
