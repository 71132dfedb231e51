// Program building shared by the reflecting builder and the explicit built-in recipes.
#include "gpu/shader_build.h"

#include "gpu/shader.h"
#include "platform/gl.h"
#include "render/builtin_programs.h"

namespace kve::gpu {

ShaderProgram* buildProgram(int kind, int flag, int queue, std::string_view vertex, std::string_view fragment,
                            const char* name, const ProgramInterface& interface, const char* procedure)
{
    ShaderProgram* record = KVE_CreateShader(core::kAutomaticNumber, flag, name, 0);
    if (!record)
        return nullptr;
    render::setBuiltinProgram(kind, record);
    KVE_CatchVertexShader(record->number, vertex.data(), vertex.data() + vertex.size(), 0);
    KVE_CatchFragmentShader(record->number, fragment.data(), fragment.data() + fragment.size(), 0);
    for (const LocationBinding& attribute : interface.attributes)
        glBindAttribLocation(record->program, static_cast<GLuint>(attribute.location), attribute.name.c_str());
    for (const LocationBinding& output : interface.outputs)
        glBindFragDataLocation(record->program, static_cast<GLuint>(output.location), output.name.c_str());
    linkProgram(record->program, record->name, procedure);
    for (const BlockBinding& block : interface.blocks)
        bindBlock(record->program, block.name.c_str(), block.binding);
    int index = 0;
    for (const UniformDeclaration& uniform : interface.uniforms)
        KVE_AddShaderUniform(record->number, uniform.code, uniform.name.c_str(), index++, 0, 0, 0, 1);
    KVE_SetShaderKind(record->number, kind);
    if (queue >= 0)
        KVE_QueueShader(queue, record);
    return record;
}

} // namespace kve::gpu
