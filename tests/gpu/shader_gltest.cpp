// Shader programs on the driver: registry rules, stages from files and memory with their
// log lines, linking, uniform registration, the reflecting builder, queueing and release.
#include <gtest/gtest.h>

#include "gpu/shader.h"
#include "gpu/shader_test_support.h"
#include "platform/gl.h"
#include "render/builtin_programs.h"
#include "render/shader_queues.h"
#include "render/uniform_blocks.h"

namespace {

using kve::test::catchStages;
using kve::test::logSince;
using kve::test::readLog;

constexpr std::string_view kPlainVertex = "#version 330\n"
                                          "in vec4 vVertex;\n"
                                          "void main() { gl_Position = vVertex; }\n";
constexpr std::string_view kPlainFragment = "#version 330\n"
                                            "out vec4 vFragColor;\n"
                                            "void main() { vFragColor = vec4(1.0); }\n";
constexpr std::string_view kBrokenFragment = "#version 330\n"
                                             "out vec4 vFragColor;\n"
                                             "void main() { vFragColor = undeclaredThing; }\n";

GLint programValue(GLuint program, GLenum name)
{
    GLint value = -1;
    glGetProgramiv(program, name, &value);
    return value;
}

// Releases the records a test made, whatever happened in it.
class Shaders : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (int number : made)
            if (KVE_GetShader(number))
                KVE_ReleaseShader(number);
    }
    ShaderProgram* create(int id, int flag, const char* name, int second = 0)
    {
        ShaderProgram* record = KVE_CreateShader(id, flag, name, second);
        if (record)
            made.push_back(record->number);
        return record;
    }
    ShaderProgram* track(ShaderProgram* record)
    {
        if (record)
            made.push_back(record->number);
        return record;
    }
    std::vector<int> made;
};

TEST_F(Shaders, CreationFollowsTheRegistryRules)
{
    size_t mark = readLog().size();
    EXPECT_EQ(create(70000, 1, "Refused"), nullptr);
    EXPECT_NE(logSince(mark).find(">Fail: This ID is not available!<"), std::string::npos);

    ShaderProgram* first = create(12, 1, "Twice", 1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->number, 12);
    EXPECT_EQ(first->flag, 1);
    EXPECT_EQ(first->queue, -1);
    EXPECT_TRUE(glIsProgram(first->program));
    EXPECT_TRUE(glIsProgram(first->secondProgram));
    const GLuint firstProgram = first->program;
    const GLuint firstSecond = first->secondProgram;

    mark = readLog().size();
    ShaderProgram* again = create(-1, 2, "Twice");
    ASSERT_NE(again, nullptr);
    EXPECT_NE(logSince(mark).find(">Loaded double: First Shader has been released!<"), std::string::npos);
    EXPECT_EQ(KVE_GetShader(12), nullptr);
    EXPECT_EQ(KVE_GetShader(again->number), again);
    EXPECT_GE(again->number, 0x10000);
    EXPECT_EQ(again->secondProgram, 0u);
    EXPECT_FALSE(glIsProgram(firstProgram)) << "the replaced record's programs are deleted";
    EXPECT_FALSE(glIsProgram(firstSecond));

    int id = 40;
    ShaderProgram* entry = track(KVE_CreateShaderListEntry(&id, 7, "Entry only"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(id, 40);
    EXPECT_EQ(entry->flag, 7);
    EXPECT_EQ(entry->program, 0u);
}

TEST_F(Shaders, CaughtStagesAreLoggedAndAttachedToTheChosenProgram)
{
    ShaderProgram* record = create(-1, 1, "Caught", 1);
    ASSERT_NE(record, nullptr);
    const size_t mark = readLog().size();
    KVE_CatchVertexShader(record->number, kPlainVertex.data(), kPlainVertex.data() + kPlainVertex.size(), 0);
    KVE_CatchFragmentShader(record->number, kPlainFragment.data(), kPlainFragment.data() + kPlainFragment.size(), 1);
    const std::string added = logSince(mark);
    EXPECT_NE(added.find("<td>KVE Shader</td><td></td><td colspan=2><i style='color:#404040;'>Caught [VertexShader]: "
                         "Compiling successfull!</i>"),
              std::string::npos)
        << added;
    EXPECT_NE(added.find(">Caught [FragmentShader]: Compiling successfull!<"), std::string::npos);
    EXPECT_EQ(programValue(record->program, GL_ATTACHED_SHADERS), 1);
    EXPECT_EQ(programValue(record->secondProgram, GL_ATTACHED_SHADERS), 1);

    // Bad ranges are refused before anything reaches the driver.
    const size_t before = readLog().size();
    EXPECT_EQ(KVE_CatchVertexShader(record->number, kPlainVertex.data() + 4, kPlainVertex.data(), 0), 0);
    EXPECT_EQ(KVE_CatchVertexShader(record->number, nullptr, nullptr, 0), 0);
    EXPECT_EQ(kve::test::countOccurrences(logSince(before), ">Fail: Invalid shader text!<"), 2);
    EXPECT_EQ(programValue(record->program, GL_ATTACHED_SHADERS), 1);
}

TEST_F(Shaders, BadStageFilesFailCleanly)
{
    kve::test::TempDir dir("shader_files");
    kve::test::writeFile(dir / "empty.vert", "");
    kve::test::writeFile(dir / "plain.vert", std::string(kPlainVertex));
    kve::test::writeFile(dir / "broken.frag", std::string(kBrokenFragment));
    ShaderProgram* record = create(-1, 1, "Files");
    ASSERT_NE(record, nullptr);

    size_t mark = readLog().size();
    EXPECT_EQ(KVE_LoadVertexShader(record->number, (dir / "missing.vert").c_str()), 0);
    EXPECT_EQ(KVE_LoadFragmentShader(record->number, nullptr), 0);
    EXPECT_EQ(readLog().size(), mark) << "a missing file logs nothing";
    EXPECT_EQ(programValue(record->program, GL_ATTACHED_SHADERS), 0);

    // An empty file reaches the compiler and fails there, with a message.
    EXPECT_EQ(KVE_LoadVertexShader(record->number, (dir / "empty.vert").c_str()), 1);
    std::string added = logSince(mark);
    const auto texts = kve::test::logTexts(added);
    ASSERT_EQ(texts.size(), 1u) << added;
    EXPECT_EQ(texts[0].rfind("Files [VertexShader]: ", 0), 0u);
    EXPECT_GT(texts[0].size(), std::string("Files [VertexShader]: ").size());
    EXPECT_EQ(texts[0].find("Compiling successfull!"), std::string::npos);
    EXPECT_NE(added.find("<td>KVE Shader</td>"), std::string::npos);

    // A fragment stage with an error: the driver's message, then the failed link.
    ShaderProgram* broken = create(-1, 1, "Broken");
    ASSERT_NE(broken, nullptr);
    mark = readLog().size();
    EXPECT_EQ(KVE_LoadVertexShader(broken->number, (dir / "plain.vert").c_str()), 1);
    EXPECT_EQ(KVE_LoadFragmentShader(broken->number, (dir / "broken.frag").c_str()), 1);
    EXPECT_EQ(programValue(broken->program, GL_ATTACHED_SHADERS), 2) << "attached although it failed";
    EXPECT_EQ(KVE_LinkShader(broken->number), 0);
    EXPECT_EQ(programValue(broken->program, GL_LINK_STATUS), GL_FALSE);
    added = logSince(mark);
    EXPECT_NE(added.find(">Broken [VertexShader]: Compiling successfull!<"), std::string::npos);
    const size_t fragmentLine = added.find(">Broken [FragmentShader]: ");
    ASSERT_NE(fragmentLine, std::string::npos);
    EXPECT_NE(added.find("undeclaredThing", fragmentLine), std::string::npos) << "the driver's own message";
    const size_t linkLine = added.find("<i style='color:#404040;'>Broken [Link]: ");
    ASSERT_NE(linkLine, std::string::npos) << added;
    EXPECT_GT(linkLine, fragmentLine);
    EXPECT_EQ(added.find(">Broken [Link]: <"), std::string::npos) << "the link line carries a message";

    // Operations on a number nothing has fail with a log entry and touch nothing.
    mark = readLog().size();
    EXPECT_EQ(KVE_LinkShader(65000), 0);
    EXPECT_EQ(KVE_LoadVertexShader(65000, (dir / "plain.vert").c_str()), 0);
    EXPECT_EQ(kve::test::countOccurrences(logSince(mark), ">Fail: Shader not found!<"), 2);
}

TEST_F(Shaders, CompileLogReportsSuccessOnlyForACompiledStage)
{
    const GLuint good = glCreateShader(GL_VERTEX_SHADER);
    const GLuint bad = glCreateShader(GL_FRAGMENT_SHADER);
    const GLchar* goodText = kPlainVertex.data();
    const GLchar* badText = kBrokenFragment.data();
    glShaderSource(good, 1, &goodText, nullptr);
    glShaderSource(bad, 1, &badText, nullptr);
    glCompileShader(good);
    glCompileShader(bad);
    EXPECT_STREQ(KVE_GetShaderCompileLog(good), "Compiling successfull!");
    const std::string badLog = KVE_GetShaderCompileLog(bad);
    EXPECT_NE(badLog.find("undeclaredThing"), std::string::npos) << badLog;
    // A name that is no shader object has no log and did not compile.
    EXPECT_STREQ(KVE_GetShaderCompileLog(987654), "Compiling failed!");
    while (glGetError() != GL_NO_ERROR) {
    }
    glDeleteShader(good);
    glDeleteShader(bad);
}

TEST_F(Shaders, LinkBindsTheStandardAttributesByFlag)
{
    // No layout qualifiers: every location comes from the binders.
    constexpr std::string_view vertex = "#version 330\n"
                                        "in vec4 vVertex; in vec3 vNormal; in vec2 vTexCoord0; in vec2 vTexCoord1;\n"
                                        "in vec4 vColor; in vec3 vTangent; in vec4 vPosition; in float fSize;\n"
                                        "void main() {\n"
                                        "    gl_Position = vVertex + vPosition * fSize + vColor\n"
                                        "        + vec4(vNormal + vTangent, 0.0) + vec4(vTexCoord0, vTexCoord1);\n"
                                        "}\n";
    ShaderProgram* record = create(-1, 2, "Standard");
    ASSERT_NE(record, nullptr);
    catchStages(record->number, vertex, kPlainFragment);
    KVE_BindShaderNormal(record->number);
    KVE_BindShaderTexCoord0(record->number);
    KVE_BindShaderTexCoord1(record->number);
    KVE_BindShaderColor(record->number);
    KVE_BindShaderTangent(record->number);
    KVE_BindShaderSize(record->number);
    KVE_LinkShader(record->number);
    ASSERT_EQ(programValue(record->program, GL_LINK_STATUS), GL_TRUE);
    const std::pair<const char*, int> expected[] = {{"vVertex", 0},   {"vNormal", 1}, {"vTexCoord0", 2},
                                                    {"vTexCoord1", 3}, {"vColor", 4},  {"vTangent", 6},
                                                    {"vPosition", 7},  {"fSize", 8}};
    for (const auto& [name, location] : expected)
        EXPECT_EQ(glGetAttribLocation(record->program, name), location) << name;
    EXPECT_EQ(glGetFragDataLocation(record->program, "vFragColor"), 0);
}

TEST_F(Shaders, UniformRegistrationFillsTablesAndLists)
{
    constexpr std::string_view fragment = "#version 330\n"
                                          "uniform vec4 vTint; uniform float fGain;\n"
                                          "out vec4 vFragColor;\n"
                                          "void main() { vFragColor = vTint * fGain; }\n";
    ShaderProgram* record = create(-1, 1, "Uniforms", 1);
    ASSERT_NE(record, nullptr);
    catchStages(record->number, kPlainVertex, fragment);
    KVE_LinkShader(record->number);
    ShaderUniformTables& tables = *record->uniforms;

    const int tint = KVE_AddShaderUniform(record->number, KVE_UNIFORM_VEC4, "vTint", 3, 0, 16, 8, 1);
    EXPECT_EQ(tint, glGetUniformLocation(record->program, "vTint"));
    ASSERT_EQ(tables.byIndex[0].size(), 4u);
    EXPECT_EQ(tables.byIndex[0][0], nullptr);
    ASSERT_EQ(tables.lists[4].size(), 1u);
    EXPECT_EQ(tables.byIndex[0][3], &tables.lists[4][0]);
    EXPECT_EQ(KVE_GetShaderUniformOffset(record->number, 3), 8);
    EXPECT_EQ(KVE_GetShaderUniformSize(record->number, 3), 16);
    KVE_SetShaderUniformRange(record->number, 3, 12, 4, 2);
    EXPECT_EQ(KVE_GetShaderUniformOffset(record->number, 3), 4);
    EXPECT_EQ(KVE_GetShaderUniformSize(record->number, 3), 12);
    EXPECT_EQ(tables.lists[4][0].count, 2);

    // The second program's table; the location still comes from the first program.
    EXPECT_EQ(KVE_AddShaderUniform(record->number, KVE_UNIFORM_FLOAT, "fGain", 0, 1, 0, 0, 1),
              glGetUniformLocation(record->program, "fGain"));
    EXPECT_EQ(tables.byIndex[1].size(), 1u);
    EXPECT_EQ(tables.byIndex[1][0], &tables.lists[2][0]);
    EXPECT_EQ(KVE_GetShaderUniformSize(record->number, 0), 0) << "first program's index 0 is empty";

    // Reusing an index replaces the table entry; the older entry stays listed.
    KVE_AddShaderUniform(record->number, KVE_UNIFORM_VEC2, "vMissing", 3, 0, 0, 0, 1);
    EXPECT_EQ(tables.byIndex[0][3], &tables.lists[3][0]);
    EXPECT_EQ(tables.byIndex[0][3]->location, -1) << "an absent uniform keeps the driver's -1";
    EXPECT_EQ(tables.lists[4].size(), 1u);

    // Unknown type codes and unusable indices register nothing.
    const size_t mark = readLog().size();
    EXPECT_EQ(KVE_AddShaderUniform(record->number, 10, "vTint", 5, 0, 0, 0, 1), 0);
    EXPECT_EQ(KVE_AddShaderUniform(record->number, -1, "vTint", 5, 0, 0, 0, 1), 0);
    EXPECT_EQ(KVE_AddShaderUniform(record->number, KVE_UNIFORM_VEC4, "vTint", -2, 0, 0, 0, 1), 0);
    EXPECT_EQ(KVE_AddShaderUniform(record->number, KVE_UNIFORM_VEC4, "vTint", 1 << 30, 0, 0, 0, 1), 0);
    EXPECT_NE(logSince(mark).find(">Fail: Unknown uniform type: 10<"), std::string::npos);
    size_t listed = 0;
    for (const auto& list : tables.lists)
        listed += list.size();
    EXPECT_EQ(listed, 3u);
    EXPECT_EQ(tables.byIndex[0].size(), 4u);
}

TEST_F(Shaders, ReflectedBuildBindsRegistersQueuesAndReleaseUndoesIt)
{
    // The comments carry declarations the compiler never sees, so the locations below can
    // only come from the builder's own binding calls.
    constexpr std::string_view vertex =
        "#version 330\n"
        "layout(location = 0) in vec4 vVertex;\n"
        "in vec2 vTexCoord0; // layout(location = 2) in vec2 vTexCoord0\n"
        "layout(std140) uniform Material\n{\n    vec4 vMaterialColor;\n};\n"
        "uniform mat4 mViewMatrix;\n"
        "uniform sampler2D VertexMap;\n"
        "out vec2 vTexCoord;\n"
        "void main() {\n"
        "    gl_Position = mViewMatrix * vVertex * vMaterialColor.x + textureLod(VertexMap, vTexCoord0, 0.0);\n"
        "    vTexCoord = vTexCoord0;\n"
        "}\n";
    constexpr std::string_view fragment =
        "#version 330\n"
        "layout(std140) uniform Material\n{\n    vec4 vMaterialColor;\n};\n"
        "uniform sampler2D ColorMap;\n"
        "uniform vec4 vColor;\n"
        "in vec2 vTexCoord;\n"
        "out vec4 vFirst; // layout(location = 1) out vec4 vFirst\n"
        "out vec4 vSecond; // layout(location = 0) out vec4 vSecond\n"
        "void main() {\n"
        "    vFirst = texture(ColorMap, vTexCoord) * vColor;\n"
        "    vSecond = vMaterialColor;\n"
        "}\n";
    ShaderProgram* record = track(kve::test::buildReflected(23, 3, vertex, fragment, "Reflected"));
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(programValue(record->program, GL_LINK_STATUS), GL_TRUE);
    EXPECT_EQ(glGetAttribLocation(record->program, "vTexCoord0"), 2);
    EXPECT_EQ(glGetFragDataLocation(record->program, "vFirst"), 1);
    EXPECT_EQ(glGetFragDataLocation(record->program, "vSecond"), 0);

    const GLuint block = glGetUniformBlockIndex(record->program, "Material");
    ASSERT_NE(block, GL_INVALID_INDEX);
    GLint binding = -1;
    glGetActiveUniformBlockiv(record->program, block, GL_UNIFORM_BLOCK_BINDING, &binding);
    EXPECT_EQ(binding, 2);
    GLint bound = 0;
    glGetIntegeri_v(GL_UNIFORM_BUFFER_BINDING, 2, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), kve::render::uniformBlock(kve::render::Block::Material).buffer);

    // Indices 0, 1, 2 with codes 9, 2, 7; the vertex sampler takes no index.
    const ShaderUniformTables& tables = *record->uniforms;
    ASSERT_EQ(tables.byIndex[0].size(), 3u);
    ASSERT_EQ(tables.lists[6].size(), 1u);
    ASSERT_EQ(tables.lists[1].size(), 1u);
    ASSERT_EQ(tables.lists[4].size(), 1u);
    EXPECT_EQ(tables.byIndex[0][0], &tables.lists[6][0]);
    EXPECT_EQ(tables.byIndex[0][1], &tables.lists[1][0]);
    EXPECT_EQ(tables.byIndex[0][2], &tables.lists[4][0]);
    EXPECT_EQ(tables.byIndex[0][0]->location, glGetUniformLocation(record->program, "mViewMatrix"));
    EXPECT_EQ(tables.byIndex[0][1]->location, glGetUniformLocation(record->program, "ColorMap"));
    EXPECT_EQ(tables.byIndex[0][2]->location, glGetUniformLocation(record->program, "vColor"));
    EXPECT_NE(tables.byIndex[0][0]->location, -1);
    EXPECT_EQ(tables.byIndex[0][2]->count, 1);

    EXPECT_EQ(record->kind, 23);
    EXPECT_EQ(record->queue, 3);
    EXPECT_EQ(KVE_GetBuiltinShader(23), record);
    ASSERT_EQ(kve::render::shaderQueue(3).size(), 1u);
    EXPECT_EQ(KVE_QueueShader(3, record), 0);
    EXPECT_EQ(kve::render::shaderQueue(3).size(), 1u);

    // Release: program, registry slot, name, built-in slot and queue element all go.
    const GLuint program = record->program;
    const int number = record->number;
    KVE_ReleaseShader(number);
    EXPECT_FALSE(glIsProgram(program));
    EXPECT_EQ(KVE_GetShader(number), nullptr);
    EXPECT_EQ(kve::gpu::shaderRegistry().findByName("Reflected"), nullptr);
    EXPECT_EQ(KVE_GetBuiltinShader(23), nullptr);
    EXPECT_TRUE(kve::render::shaderQueue(3).empty());
}

TEST_F(Shaders, ReleaseEmptiesTheNumberSlotAndNameMap)
{
    ShaderProgram* record = create(5, 1, "Numbered");
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(kve::gpu::shaderRegistry().findByName("Numbered"), record);
    EXPECT_EQ(KVE_ReleaseShader(5), 0);
    EXPECT_EQ(KVE_GetShader(5), nullptr);
    EXPECT_EQ(kve::gpu::shaderRegistry().findByName("Numbered"), nullptr);
    // The freed number and name are usable again.
    ShaderProgram* again = create(5, 1, "Numbered");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(KVE_GetShader(5), again);
}

} // namespace
