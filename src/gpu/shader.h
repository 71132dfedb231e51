// Shader program records: the shader registry, stage compilation with its log lines,
// linking, uniform-block binding and the plain-uniform registration tables.
#pragma once

#include <array>
#include <deque>
#include <string_view>
#include <vector>

#include "core/registry.h"
#include "kve.h"

// The registration tables of one program record: per GL program object (first, second) a
// table by registration index, and the seven category lists that own the entries.
struct ShaderUniformTables {
    std::array<std::vector<ShaderUniform*>, 2> byIndex;
    std::array<std::deque<ShaderUniform>, 7> lists;
};

namespace kve::gpu {

// The category lists, in the order of the type-code table.
enum class UniformList : int { Integer = 0, Sampler, Float, Vector, Vec4, Mat3, Mat4 };
inline constexpr int kUniformListCount = 7;
// Highest registration index a program accepts; keeps a stray index from growing a table
// to gigabytes.
inline constexpr int kMaxUniformIndex = 4095;
inline constexpr int kNoQueue = -1;

// The list a type code registers into; -1 for a code outside the table.
int uniformListOf(int typeCode);

core::Registry<ShaderProgram>& shaderRegistry();

// Resolves a number or automatic number; logs "Fail: Shader not found!" under `procedure`
// when nothing has it.
ShaderProgram* resolveShader(int shader, const char* procedure);

// Compiles one stage from `text`, writes "<name> [VertexShader]: <compile log>" (or
// " [FragmentShader]: ") as a grey entry under `procedure` and returns the shader object
// (0 when none could be made). The caller attaches and deletes it.
unsigned compileStage(unsigned type, std::string_view text, std::string_view name, const char* procedure);

// Links `program`; when linking fails writes "<name> [Link]: <program info log>" as a
// grey entry under `procedure`. Returns the link status.
bool linkProgram(unsigned program, std::string_view name, const char* procedure);

// Binds the program's block `blockName` (when the program has it) to `binding` and the
// binding point to the uniform buffer of that block record.
void bindBlock(unsigned program, const char* blockName, int binding);

// Releases every shader record (engine shutdown).
void releaseAllShaders();

} // namespace kve::gpu
