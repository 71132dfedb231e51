// What the reflecting builder reads out of GLSL declarations (no GL needed).
#include <gtest/gtest.h>

#include "gpu/shader.h"
#include "gpu/shader_build.h"

namespace {

using kve::gpu::reflectProgramInterface;

std::vector<std::pair<std::string, int>> pairs(const std::vector<kve::gpu::LocationBinding>& bindings)
{
    std::vector<std::pair<std::string, int>> out;
    for (const auto& b : bindings)
        out.emplace_back(b.name, b.location);
    return out;
}

std::vector<std::pair<std::string, int>> pairs(const std::vector<kve::gpu::UniformDeclaration>& uniforms)
{
    std::vector<std::pair<std::string, int>> out;
    for (const auto& u : uniforms)
        out.emplace_back(u.name, u.code);
    return out;
}

using Pairs = std::vector<std::pair<std::string, int>>;

TEST(ShaderReflection, LocationsComeFromOneLineDeclarationsLeftToRight)
{
    const std::string vertex = "#version 330\n"
                               "layout(location = 2) in vec2 vTexCoord0;\n"
                               "layout (location=0)  in   vec4 vVertex;\n"
                               "layout(location = 6)\nin vec3 vTangent;\n" // split over two lines: not read
                               "layout(location = 99999999999) in vec3 vHuge;\n"  // outside int: skipped
                               "LAYOUT(location = 3) in vec2 vShouting;\n"          // case-sensitive
                               "layout(location = 7) in float iGroup; layout(location = 8) in float fSize;\n"
                               "layout(location = 1) out vec3 vNotAnInput;\n";
    const std::string fragment = "layout(location = 1) out vec4 vGlow;\n"
                                 "layout(location = 0) out vec4 vFragColor;\n"
                                 "layout(location = 5) in vec4 vNotAnOutput;\n";
    const auto interface = reflectProgramInterface(vertex, fragment);
    EXPECT_EQ(pairs(interface.attributes),
              (Pairs{{"vTexCoord0", 2}, {"vVertex", 0}, {"iGroup", 7}, {"fSize", 8}}));
    EXPECT_EQ(pairs(interface.outputs), (Pairs{{"vGlow", 1}, {"vFragColor", 0}}));
}

TEST(ShaderReflection, EngineBlocksAreBoundOnceAtTheirBindingPoints)
{
    const std::string vertex = "layout(std140) uniform Projection\n{\n    mat4 mProjectionMatrix;\n};\n"
                               "layout(std140) uniform Material { vec4 vColor; };\n"
                               "layout(std140) uniform ProjectionMatrix { mat4 m; };\n"
                               "layout(std140) uniform Light { vec3 p; };\n";
    const std::string fragment = "layout(std140) uniform Material { vec4 vColor; };\n"
                                 "layout(std140) uniform Misc { vec2 vMapSize; };\n"
                                 "layout ( std140 ) uniform Model { mat4 mv; };\n";
    const auto interface = reflectProgramInterface(vertex, fragment);
    std::vector<std::pair<std::string, int>> blocks;
    for (const auto& b : interface.blocks)
        blocks.emplace_back(b.name, b.binding);
    EXPECT_EQ(blocks, (Pairs{{"Projection", 0}, {"Material", 2}, {"Misc", 4}, {"Model", 1}}));
    // A block declaration is not a plain uniform.
    EXPECT_TRUE(interface.uniforms.empty());
}

TEST(ShaderReflection, UniformIndicesRunOverVertexThenFragmentRecognisedTypes)
{
    const std::string vertex = "uniform mat4 mViewMatrix;\n"
                               "uniform sampler2D VertexMap;\n" // samplers count in the fragment text only
                               "uniform mat2 mUnknown;\n"       // not in the table: no number used
                               "uniform bool bFlag; uniform int iCount; uniform uint uMask;\n"
                               "uniform float fShared;\n";
    const std::string fragment = "uniform sampler2D ColorMap;\n"
                                 "uniform vec4 vColor;\n"
                                 "uniform vec2 vOffset; uniform vec3 vWind; uniform mat3 mFrame;\n"
                                 "uniform samplerCube Cube; uniform sampler2DArray Layers;\n"
                                 "uniform samplerBuffer Instances; uniform sampler3D Volume;\n"
                                 "uniform sampler2DShadow Shadow;\n"
                                 "uniform float fShared;\n"
                                 "Uniform float fShouting;\n";
    const auto interface = reflectProgramInterface(vertex, fragment);
    EXPECT_EQ(pairs(interface.uniforms), (Pairs{{"mViewMatrix", 9},
                                                {"bFlag", 3},
                                                {"iCount", 3},
                                                {"uMask", 3},
                                                {"fShared", 4},
                                                {"ColorMap", 2},
                                                {"vColor", 7},
                                                {"vOffset", 6},
                                                {"vWind", 6},
                                                {"mFrame", 8},
                                                {"Cube", 2},
                                                {"Layers", 2},
                                                {"Instances", 2},
                                                {"Volume", 2},
                                                {"fShared", 4}}));
}

TEST(ShaderReflection, EmptyAndDeclarationFreeTextsGiveNothing)
{
    const auto empty = reflectProgramInterface("", "");
    EXPECT_TRUE(empty.attributes.empty() && empty.outputs.empty() && empty.blocks.empty() && empty.uniforms.empty());
    const auto prose = reflectProgramInterface("layout location in uniform", "layout( uniform out");
    EXPECT_TRUE(prose.attributes.empty() && prose.outputs.empty() && prose.blocks.empty() && prose.uniforms.empty());
}

TEST(ShaderReflection, TypeCodesShareListsAsTheTableSays)
{
    const int expected[] = {0, 0, 1, 0, 2, 3, 3, 4, 5, 6};
    for (int code = 0; code < 10; ++code)
        EXPECT_EQ(kve::gpu::uniformListOf(code), expected[code]) << code;
    EXPECT_EQ(kve::gpu::uniformListOf(-1), -1);
    EXPECT_EQ(kve::gpu::uniformListOf(10), -1);
}

} // namespace
