// The reflecting builder: reads attribute and output locations, the engine's uniform
// blocks and the plain uniforms out of GLSL declarations with PCRE2 patterns (default
// options: "." stops at a line end, case-sensitive; every match, left to right).
#include <charconv>
#include <memory>
#include <string>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include "core/log.h"
#include "gpu/shader.h"
#include "gpu/shader_build.h"

namespace kve::gpu {
namespace {

constexpr const char* kAttributePattern = R"(layout.*?location\s*?\=\s*?(\d+).*?in\W+(\w+)\s*(\w+))";
constexpr const char* kOutputPattern = R"(layout.*?location\s*?\=\s*?(\d+).*?out\W+(\w+)\s*(\w+))";
constexpr const char* kBlockPattern = R"(layout\s*\(.*?\)\s*uniform\s+(\w+))";
constexpr const char* kUniformPattern = R"(uniform\s+(\w+)\s+(\w+))";

// One compiled pattern with its match data, made on first use and kept for the process.
class Pattern {
public:
    explicit Pattern(const char* pattern)
    {
        int error = 0;
        PCRE2_SIZE errorOffset = 0;
        code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED, 0, &error, &errorOffset,
                              nullptr);
        if (code_)
            match_ = pcre2_match_data_create_from_pattern(code_, nullptr);
    }
    ~Pattern()
    {
        pcre2_match_data_free(match_);
        pcre2_code_free(code_);
    }
    Pattern(const Pattern&) = delete;
    Pattern& operator=(const Pattern&) = delete;

    // Calls `visit(groups)` for every match in `text`, left to right; groups[0] is the whole
    // match. Stops quietly at the first error (a match limit on a pathological text).
    template <class Visitor>
    void forEachMatch(std::string_view text, Visitor&& visit) const
    {
        if (!match_)
            return;
        const auto* subject = reinterpret_cast<PCRE2_SPTR>(text.data());
        PCRE2_SIZE offset = 0;
        while (offset <= text.size()) {
            const int found = pcre2_match(code_, subject, text.size(), offset, 0, match_, nullptr);
            if (found <= 0)
                return;
            const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(match_);
            std::string_view groups[4];
            for (int g = 0; g < found && g < 4; ++g)
                if (vector[2 * g] != PCRE2_UNSET)
                    groups[g] = text.substr(vector[2 * g], vector[2 * g + 1] - vector[2 * g]);
            visit(groups);
            offset = vector[1] > vector[0] ? vector[1] : vector[1] + 1;
        }
    }

private:
    pcre2_code* code_ = nullptr;
    pcre2_match_data* match_ = nullptr;
};

enum class Declaration { Attribute, Output, Block, Uniform };

const Pattern& pattern(Declaration declaration)
{
    static const Pattern patterns[] = {Pattern(kAttributePattern), Pattern(kOutputPattern), Pattern(kBlockPattern),
                                       Pattern(kUniformPattern)};
    return patterns[static_cast<int>(declaration)];
}

// `layout(location = N) in|out <type> <name>` declarations; N outside int is skipped.
void readLocations(Declaration declaration, std::string_view text, std::vector<LocationBinding>& bindings)
{
    pattern(declaration).forEachMatch(text, [&](const std::string_view* groups) {
        int location = 0;
        const auto [end, error] = std::from_chars(groups[1].data(), groups[1].data() + groups[1].size(), location);
        if (error == std::errc{})
            bindings.push_back(LocationBinding{std::string(groups[3]), location});
    });
}

// The engine blocks a program may declare under their own names; Light is bound by the
// lighting programs themselves.
int engineBlockBinding(std::string_view name)
{
    constexpr std::pair<std::string_view, int> kBlocks[] = {
        {"Projection", 0}, {"Model", 1}, {"Material", 2}, {"Misc", 4}};
    for (const auto& [blockName, binding] : kBlocks)
        if (name == blockName)
            return binding;
    return -1;
}

void readBlocks(std::string_view text, std::vector<BlockBinding>& blocks)
{
    pattern(Declaration::Block).forEachMatch(text, [&](const std::string_view* groups) {
        const int binding = engineBlockBinding(groups[1]);
        if (binding < 0)
            return;
        for (const BlockBinding& bound : blocks)
            if (bound.name == groups[1])
                return;
        blocks.push_back(BlockBinding{std::string(groups[1]), binding});
    });
}

int uniformCode(std::string_view type, bool samplers)
{
    constexpr std::pair<std::string_view, int> kPlain[] = {
        {"bool", KVE_UNIFORM_UINT},  {"int", KVE_UNIFORM_UINT},   {"uint", KVE_UNIFORM_UINT},
        {"float", KVE_UNIFORM_FLOAT}, {"vec2", KVE_UNIFORM_VEC3},  {"vec3", KVE_UNIFORM_VEC3},
        {"vec4", KVE_UNIFORM_VEC4},   {"mat3", KVE_UNIFORM_MAT3},  {"mat4", KVE_UNIFORM_MAT4}};
    constexpr std::string_view kSamplers[] = {"sampler2D", "sampler2DArray", "samplerCube", "samplerBuffer",
                                              "sampler3D"};
    for (const auto& [name, code] : kPlain)
        if (type == name)
            return code;
    if (samplers)
        for (std::string_view name : kSamplers)
            if (type == name)
                return KVE_UNIFORM_SAMPLER;
    return -1;
}

void readUniforms(std::string_view text, bool samplers, std::vector<UniformDeclaration>& uniforms)
{
    pattern(Declaration::Uniform).forEachMatch(text, [&](const std::string_view* groups) {
        const int code = uniformCode(groups[1], samplers);
        if (code >= 0)
            uniforms.push_back(UniformDeclaration{std::string(groups[2]), code});
    });
}

} // namespace

ProgramInterface reflectProgramInterface(std::string_view vertex, std::string_view fragment)
{
    ProgramInterface interface;
    readLocations(Declaration::Attribute, vertex, interface.attributes);
    readLocations(Declaration::Output, fragment, interface.outputs);
    readBlocks(vertex, interface.blocks);
    readBlocks(fragment, interface.blocks);
    readUniforms(vertex, false, interface.uniforms);
    readUniforms(fragment, true, interface.uniforms);
    return interface;
}

} // namespace kve::gpu

extern "C" ShaderProgram* KVE_BuildReflectedShader(int kind, int flag, int queue, const char* vertexStart,
                                                   const char* vertexEnd, const char* fragmentStart,
                                                   const char* fragmentEnd, const char* name)
{
    if (!vertexStart || !fragmentStart || vertexEnd < vertexStart || fragmentEnd < fragmentStart) {
        kve::log::fail("Fail: Invalid shader text!", "KVE_BuildReflectedShader", "KVE Shader");
        return nullptr;
    }
    const std::string vertex(vertexStart, vertexEnd);
    const std::string fragment(fragmentStart, fragmentEnd);
    return kve::gpu::buildProgram(kind, flag, queue, vertex, fragment, name,
                                  kve::gpu::reflectProgramInterface(vertex, fragment), "KVE_BuildReflectedShader");
}
