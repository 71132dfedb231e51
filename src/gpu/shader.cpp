// Shader programs: creation through the shader registry, stages compiled from files or
// memory with one grey log line each, linking with the standard bindings, uniform blocks,
// plain-uniform registration, queueing and release.
#include "gpu/shader.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unordered_map>

#include "core/engine.h"
#include "core/log.h"
#include "core/registry_kinds.h"
#include "platform/gl.h"
#include "render/builtin_programs.h"
#include "render/shader_queues.h"
#include "render/uniform_blocks.h"

namespace kve::gpu {
namespace {

constexpr const char* kShaderUnit = "KVE Shader";
constexpr int kInfoLogBytes = 16384;
constexpr int kMaxAttachedShaders = 8;

// Deletes a program object with the shader objects still attached to it. Deleting a
// shader first only flags it, so the detach that follows frees it without a GL error.
void deleteProgramObject(GLuint program)
{
    if (program == 0)
        return;
    GLuint attached[kMaxAttachedShaders] = {};
    GLsizei count = 0;
    glGetAttachedShaders(program, kMaxAttachedShaders, &count, attached);
    for (GLsizei i = 0; i < count; ++i) {
        glDeleteShader(attached[i]);
        glDetachShader(program, attached[i]);
    }
    glDeleteProgram(program);
}

// The registration tables of the live records. Kept beside the registry (the record is a
// plain C struct) so that they go with the process even when no shutdown ran.
std::unordered_map<const ShaderProgram*, std::unique_ptr<ShaderUniformTables>> uniformTables;

void releaseShaderProgram(ShaderProgram& record)
{
    render::removeFromShaderQueues(&record);
    render::forgetBuiltinProgram(&record);
    if (engine::state().running) {
        deleteProgramObject(record.program);
        deleteProgramObject(record.secondProgram);
    }
    uniformTables.erase(&record);
    record.uniforms = nullptr;
}

core::Registry<ShaderProgram> registry(core::kinds::kShader, releaseShaderProgram);

const char* stageLabel(unsigned type)
{
    return type == GL_VERTEX_SHADER ? " [VertexShader]: " : " [FragmentShader]: ";
}

// The Catch operations: compile [start, end) and attach to the chosen program object.
int catchStage(int shader, unsigned type, const char* start, const char* end, int toSecondProgram,
               const char* procedure)
{
    ShaderProgram* record = resolveShader(shader, procedure);
    if (!record)
        return 0;
    if (!start || !end || end < start) {
        log::fail("Fail: Invalid shader text!", procedure, kShaderUnit);
        return 0;
    }
    const GLuint object =
        compileStage(type, std::string_view(start, static_cast<size_t>(end - start)), record->name, procedure);
    if (object != 0) {
        glAttachShader(toSecondProgram ? record->secondProgram : record->program, object);
        glDeleteShader(object);
    }
    return 0;
}

// The Load operations: the whole file as one stage of the first program. A file that
// cannot be opened is answered with 0 and no log line.
int loadStage(int shader, unsigned type, const char* fileName, const char* procedure)
{
    if (!fileName)
        return 0;
    std::ifstream file(fileName, std::ios::binary);
    if (!file)
        return 0;
    ShaderProgram* record = resolveShader(shader, procedure);
    if (!record)
        return 0;
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const GLuint object = compileStage(type, text, record->name, procedure);
    if (object != 0) {
        glAttachShader(record->program, object);
        glDeleteShader(object);
    }
    return 1;
}

void bindAttribute(int shader, const char* attribute, GLuint location, const char* procedure)
{
    if (ShaderProgram* record = resolveShader(shader, procedure))
        glBindAttribLocation(record->program, location, attribute);
}

// offset + size, kept in range (user code may pass anything).
int rangeEnd(int offset, int size)
{
    return static_cast<int>(std::clamp<int64_t>(int64_t{offset} + size, INT_MIN, INT_MAX));
}

ShaderUniform* registeredUniform(int shader, int index, const char* procedure)
{
    const ShaderProgram* record = resolveShader(shader, procedure);
    if (!record || !record->uniforms || index < 0)
        return nullptr;
    const auto& table = record->uniforms->byIndex[0];
    return static_cast<size_t>(index) < table.size() ? table[static_cast<size_t>(index)] : nullptr;
}

} // namespace

int uniformListOf(int typeCode)
{
    constexpr int kListOfCode[] = {0, 0, 1, 0, 2, 3, 3, 4, 5, 6};
    return typeCode >= 0 && typeCode < 10 ? kListOfCode[typeCode] : -1;
}

core::Registry<ShaderProgram>& shaderRegistry()
{
    return registry;
}

ShaderProgram* resolveShader(int shader, const char* procedure)
{
    ShaderProgram* record = registry.find(shader);
    if (!record)
        log::fail("Fail: Shader not found!", procedure, kShaderUnit);
    return record;
}

unsigned compileStage(unsigned type, std::string_view text, std::string_view name, const char* procedure)
{
    if (text.size() > static_cast<size_t>(INT_MAX))
        return 0;
    const GLuint object = glCreateShader(type);
    if (object == 0)
        return 0;
    // A zero-length source still needs a valid pointer.
    const GLchar* source = text.empty() ? "" : text.data();
    const GLint length = static_cast<GLint>(text.size());
    glShaderSource(object, 1, &source, &length);
    glCompileShader(object);
    log::progress(std::string(name) + stageLabel(type) + KVE_GetShaderCompileLog(object), procedure, kShaderUnit);
    return object;
}

bool linkProgram(unsigned program, std::string_view name, const char* procedure)
{
    glLinkProgram(program);
    GLint status = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status == GL_TRUE)
        return true;
    std::string text(kInfoLogBytes, '\0');
    GLsizei length = 0;
    glGetProgramInfoLog(program, kInfoLogBytes, &length, text.data());
    text.resize(static_cast<size_t>(std::max(length, 0)));
    log::progress(std::string(name) + " [Link]: " + (text.empty() ? "Linking failed!" : text), procedure,
                  kShaderUnit);
    return false;
}

void bindBlock(unsigned program, const char* blockName, int binding)
{
    const GLuint index = glGetUniformBlockIndex(program, blockName);
    if (index != GL_INVALID_INDEX)
        glUniformBlockBinding(program, index, static_cast<GLuint>(binding));
    if (const render::UniformBlockBuffer* block = render::uniformBlockAt(binding))
        glBindBufferBase(GL_UNIFORM_BUFFER, static_cast<GLuint>(binding), block->buffer);
}

void releaseAllShaders()
{
    registry.releaseAll();
}

} // namespace kve::gpu

using kve::gpu::resolveShader;

extern "C" {

ShaderProgram* KVE_CreateShaderListEntry(int* id, int flag, const char* name)
{
    ShaderProgram* record = kve::gpu::registry.create(id, name ? name : "");
    if (!record)
        return nullptr;
    record->flag = flag;
    record->queue = kve::gpu::kNoQueue;
    auto& tables = kve::gpu::uniformTables[record];
    tables = std::make_unique<ShaderUniformTables>();
    record->uniforms = tables.get();
    return record;
}

ShaderProgram* KVE_CreateShader(int id, int flag, const char* name, int withSecondProgram)
{
    ShaderProgram* record = KVE_CreateShaderListEntry(&id, flag, name);
    if (!record)
        return nullptr;
    record->program = glCreateProgram();
    if (withSecondProgram)
        record->secondProgram = glCreateProgram();
    return record;
}

ShaderProgram* KVE_GetShader(int shader)
{
    return kve::gpu::registry.find(shader);
}

int KVE_LoadVertexShader(int shader, const char* fileName)
{
    return kve::gpu::loadStage(shader, GL_VERTEX_SHADER, fileName, "KVE_LoadVertexShader");
}

int KVE_LoadFragmentShader(int shader, const char* fileName)
{
    return kve::gpu::loadStage(shader, GL_FRAGMENT_SHADER, fileName, "KVE_LoadFragmentShader");
}

int KVE_CatchVertexShader(int shader, const char* start, const char* end, int toSecondProgram)
{
    return kve::gpu::catchStage(shader, GL_VERTEX_SHADER, start, end, toSecondProgram, "KVE_CatchVertexShader");
}

int KVE_CatchFragmentShader(int shader, const char* start, const char* end, int toSecondProgram)
{
    return kve::gpu::catchStage(shader, GL_FRAGMENT_SHADER, start, end, toSecondProgram,
                                "KVE_CatchFragmentShader");
}

// Success is reported for an empty info log only when the compile succeeded: a driver may
// answer a length of 0 for an empty log, and a failed compile without a message must not
// read as a success.
const char* KVE_GetShaderCompileLog(unsigned int shaderObject)
{
    static char text[kve::gpu::kInfoLogBytes];
    GLint length = 0;
    GLint status = GL_FALSE;
    // A name that is no shader object has no log, and asking for one is a GL error.
    if (!glIsShader(shaderObject))
        return "Compiling failed!";
    glGetShaderiv(shaderObject, GL_INFO_LOG_LENGTH, &length);
    glGetShaderiv(shaderObject, GL_COMPILE_STATUS, &status);
    if (length <= 1)
        return status == GL_TRUE ? "Compiling successfull!" : "Compiling failed!";
    text[0] = '\0';
    glGetShaderInfoLog(shaderObject, std::min(length, kve::gpu::kInfoLogBytes), nullptr, text);
    return text;
}

int KVE_LinkShader(int shader)
{
    ShaderProgram* record = resolveShader(shader, "KVE_LinkShader");
    if (!record)
        return 0;
    if (record->flag >= 0 && record->flag <= 2) {
        glBindAttribLocation(record->program, 0, "vVertex");
        if (record->flag == 2)
            glBindAttribLocation(record->program, 7, "vPosition");
        glBindFragDataLocation(record->program, 0, "vFragColor");
    }
    kve::gpu::linkProgram(record->program, record->name, "KVE_LinkShader");
    return 0;
}

void KVE_BindShaderNormal(int shader)
{
    kve::gpu::bindAttribute(shader, "vNormal", 1, "KVE_BindShaderNormal");
}

void KVE_BindShaderTexCoord0(int shader)
{
    kve::gpu::bindAttribute(shader, "vTexCoord0", 2, "KVE_BindShaderTexCoord0");
}

void KVE_BindShaderTexCoord1(int shader)
{
    kve::gpu::bindAttribute(shader, "vTexCoord1", 3, "KVE_BindShaderTexCoord1");
}

void KVE_BindShaderColor(int shader)
{
    kve::gpu::bindAttribute(shader, "vColor", 4, "KVE_BindShaderColor");
}

void KVE_BindShaderTangent(int shader)
{
    kve::gpu::bindAttribute(shader, "vTangent", 6, "KVE_BindShaderTangent");
}

void KVE_BindShaderSize(int shader)
{
    kve::gpu::bindAttribute(shader, "fSize", 8, "KVE_BindShaderSize");
}

int KVE_BindShaderBlock(int shader, const char* blockName, int blockNumber)
{
    const ShaderProgram* record = resolveShader(shader, "KVE_BindShaderBlock");
    if (record && blockName && blockNumber >= 0)
        kve::gpu::bindBlock(record->program, blockName, blockNumber);
    return 0;
}

int KVE_AddShaderUniform(int shader, int type, const char* name, int index, int toSecondProgram, int size,
                         int offset, int count)
{
    constexpr const char* kProcedure = "KVE_AddShaderUniform";
    ShaderProgram* record = resolveShader(shader, kProcedure);
    if (!record || !record->uniforms || !name)
        return 0;
    const int list = kve::gpu::uniformListOf(type);
    if (list < 0) {
        kve::log::fail("Fail: Unknown uniform type: " + std::to_string(type), kProcedure, kve::gpu::kShaderUnit);
        return 0;
    }
    if (index < 0 || index > kve::gpu::kMaxUniformIndex) {
        kve::log::fail("Fail: Uniform index out of range: " + std::to_string(index), kProcedure,
                  kve::gpu::kShaderUnit);
        return 0;
    }
    auto& table = record->uniforms->byIndex[toSecondProgram ? 1 : 0];
    if (static_cast<size_t>(index) >= table.size())
        table.resize(static_cast<size_t>(index) + 1, nullptr);
    ShaderUniform& uniform = record->uniforms->lists[static_cast<size_t>(list)].emplace_back();
    uniform.count = count;
    uniform.start = offset;
    uniform.end = kve::gpu::rangeEnd(offset, size);
    uniform.location = glGetUniformLocation(record->program, name);
    table[static_cast<size_t>(index)] = &uniform;
    return uniform.location;
}

int KVE_SetShaderUniformRange(int shader, int index, int size, int offset, int count)
{
    if (ShaderUniform* uniform = kve::gpu::registeredUniform(shader, index, "KVE_SetShaderUniformRange")) {
        uniform->count = count;
        uniform->start = offset;
        uniform->end = kve::gpu::rangeEnd(offset, size);
    }
    return 0;
}

int KVE_GetShaderUniformOffset(int shader, int index)
{
    const ShaderUniform* uniform = kve::gpu::registeredUniform(shader, index, "KVE_GetShaderUniformOffset");
    return uniform ? uniform->start : 0;
}

int KVE_GetShaderUniformSize(int shader, int index)
{
    const ShaderUniform* uniform = kve::gpu::registeredUniform(shader, index, "KVE_GetShaderUniformSize");
    return uniform ? static_cast<int>(int64_t{uniform->end} - uniform->start) : 0;
}

int KVE_GetUniformLocation(unsigned int program, const char* name)
{
    return name ? glGetUniformLocation(program, name) : -1;
}

int KVE_SetShaderKind(int shader, int kind)
{
    if (ShaderProgram* record = resolveShader(shader, "KVE_SetShaderKind"))
        record->kind = kind;
    return 0;
}

int KVE_ReleaseShader(int shader)
{
    if (ShaderProgram* record = resolveShader(shader, "KVE_ReleaseShader"))
        kve::gpu::registry.release(record);
    return 0;
}

} // extern "C"
