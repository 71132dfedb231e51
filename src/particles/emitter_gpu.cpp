// The GL side of the emitters: one vertex array per emitter with a static corner quad
// (mesh vertex layout, corners with w = 0 so they spread in view space) and three
// per-instance stream buffers, and the instanced draw the frame calls.
#include <cstddef>

#include "core/engine.h"
#include "gpu/material.h"
#include "gpu/texture.h"
#include "particles/emitter.h"
#include "platform/gl.h"
#include "render/builtin_programs.h"
#include "render/uniform_blocks.h"
#include "scene/item.h"

namespace kve::particles {
namespace {

constexpr GLsizei kVertexStride = sizeof(KVE_MESH_VERTEX);
static_assert(sizeof(KVE_MESH_VERTEX) == 52);

// Corners (-0.5, -0.5), (0.5, -0.5), (-0.5, 0.5), (0.5, 0.5) as a triangle strip.
constexpr KVE_MESH_VERTEX kQuad[4] = {
    {{-0.5f, -0.5f, 0, 0}, {0, 0, 1}, {0, 0, 0}, {0, 0}, 0},
    {{0.5f, -0.5f, 0, 0}, {0, 0, 1}, {0, 0, 0}, {0, 1}, 0},
    {{-0.5f, 0.5f, 0, 0}, {0, 0, 1}, {0, 0, 0}, {1, 0}, 0},
    {{0.5f, 0.5f, 0, 0}, {0, 0, 1}, {0, 0, 0}, {1, 1}, 0},
};

void vertexAttribute(GLuint location, GLint components, size_t offset)
{
    glEnableVertexAttribArray(location);
    glVertexAttribPointer(location, components, GL_FLOAT, GL_FALSE, kVertexStride,
                          reinterpret_cast<const void*>(offset));
}

GLuint instanceBuffer(GLuint location, GLint components, int capacity)
{
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    const auto entryBytes = static_cast<GLsizeiptr>(components * sizeof(float));
    glBufferData(GL_ARRAY_BUFFER, entryBytes * (capacity > 0 ? capacity : 1), nullptr, GL_STREAM_DRAW);
    glEnableVertexAttribArray(location);
    glVertexAttribPointer(location, components, GL_FLOAT, GL_FALSE, 0, nullptr);
    glVertexAttribDivisor(location, 1);
    return buffer;
}

void upload(GLuint buffer, const void* data, size_t bytes)
{
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), data);
}

// Sampler and blend uniform locations, looked up once per GL program object.
struct ParticleUniforms {
    GLuint program = 0;
    GLint colorMap = -1;
    GLint depthMap = -1;
    GLint blend = -1;
};

const ParticleUniforms& uniformsOf(GLuint program, bool soft)
{
    static ParticleUniforms cached[2];
    ParticleUniforms& entry = cached[soft ? 1 : 0];
    if (entry.program != program) {
        entry.program = program;
        entry.colorMap = glGetUniformLocation(program, "ColorMap");
        entry.depthMap = glGetUniformLocation(program, "DepthMap");
        entry.blend = glGetUniformLocation(program, "fBlend");
    }
    return entry;
}

void bindTexture(GLenum unit, GLuint texture)
{
    glActiveTexture(unit);
    glBindTexture(GL_TEXTURE_2D, texture);
}

} // namespace

void createEmitterGpu(EmitterRecord& emitter)
{
    EmitterGpu& gpu = emitter.gpu;
    glGenVertexArrays(1, &gpu.vertexArray);
    glBindVertexArray(gpu.vertexArray);
    glGenBuffers(1, &gpu.quadBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, gpu.quadBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(kQuad), kQuad, GL_STATIC_DRAW);
    vertexAttribute(0, 4, offsetof(KVE_MESH_VERTEX, position));
    vertexAttribute(1, 3, offsetof(KVE_MESH_VERTEX, normal));
    vertexAttribute(2, 2, offsetof(KVE_MESH_VERTEX, texCoord));
    vertexAttribute(6, 3, offsetof(KVE_MESH_VERTEX, tangent));
    gpu.positionBuffer = instanceBuffer(7, 4, emitter.maxParticles);
    gpu.sizeBuffer = instanceBuffer(8, 1, emitter.maxParticles);
    gpu.colorBuffer = instanceBuffer(4, 4, emitter.maxParticles);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void uploadInstances(const EmitterRecord& emitter)
{
    if (emitter.visibleCount <= 0 || !emitter.gpu.vertexArray)
        return;
    const auto count = static_cast<size_t>(emitter.visibleCount);
    upload(emitter.gpu.positionBuffer, emitter.instancePositions.data(), count * sizeof(KVE_Vector));
    upload(emitter.gpu.sizeBuffer, emitter.instanceSizes.data(), count * sizeof(float));
    upload(emitter.gpu.colorBuffer, emitter.instanceColors.data(), count * sizeof(KVE_Vector));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void deleteEmitterGpu(EmitterRecord& emitter)
{
    EmitterGpu& gpu = emitter.gpu;
    if (gpu.vertexArray && engine::state().running) {
        const GLuint buffers[4] = {gpu.quadBuffer, gpu.positionBuffer, gpu.sizeBuffer, gpu.colorBuffer};
        glDeleteBuffers(4, buffers);
        glDeleteVertexArrays(1, &gpu.vertexArray);
    }
    gpu = EmitterGpu{};
}

void drawParticleEmitters(const KVE_Matrix& view, unsigned depthTexture, unsigned linearDepthTexture)
{
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    emitters().forEach([&](EmitterRecord& emitter) {
        const KVE_MATERIAL* material = emitterMaterial(emitter);
        if (!material || emitter.visibleCount <= 0 || !emitter.gpu.vertexArray)
            return;
        // A material made for another program still draws as particles.
        const ShaderProgram* program = material->program;
        if (!program || (program->kind != KVE_SHADER_PARTICLE && program->kind != KVE_SHADER_SOFT_PARTICLE))
            program = render::builtinProgram(KVE_SHADER_PARTICLE);
        if (!program)
            return;
        const bool soft = program->kind == KVE_SHADER_SOFT_PARTICLE;
        if (emitter.mode == KVE_EMITTER_LOCAL) {
            KVE_Matrix modelView;
            const KVE_Matrix world = scene::worldMatrix(emitter.item);
            render::writeModelBlock(*KVE_MultiplyMatrix(&modelView, &view, &world));
        } else {
            render::writeModelBlock(view);
        }
        KVE_SetBlendFunc(material->blendSource, material->blendDestination);
        const KVE_TEXTURE* texture = gpu::findTexture(material->textures[0]);
        bindTexture(GL_TEXTURE0, texture && texture->target == GL_TEXTURE_2D ? texture->texture : 0);
        bindTexture(GL_TEXTURE1, soft ? linearDepthTexture : depthTexture);
        glUseProgram(program->program);
        const ParticleUniforms& uniforms = uniformsOf(program->program, soft);
        glUniform1i(uniforms.colorMap, 0);
        glUniform1i(uniforms.depthMap, 1);
        if (soft)
            glUniform1f(uniforms.blend, material->hardness);
        glBindVertexArray(emitter.gpu.vertexArray);
        glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, emitter.visibleCount);
    });
    glBindVertexArray(0);
    glActiveTexture(GL_TEXTURE0);
    glDepthMask(GL_TRUE);
}

} // namespace kve::particles
