// Sprite records and drawing. A sprite's transform is translation * rotation * scale in
// screen pixels (y down), so a positive angle turns it clockwise on the screen.
#include "render/sprite.h"

#include <cmath>

#include "core/engine.h"
#include "core/math.h"
#include "core/registry_kinds.h"
#include "gpu/texture.h"
#include "render/font.h"
#include "platform/gl.h"
#include "render/uniform_blocks.h"

namespace kve::render {
namespace {

void uploadVertices(const KVE_SPRITE& sprite)
{
    glBindBuffer(GL_ARRAY_BUFFER, sprite.vertexBuffer);
    glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof sprite.vertices, sprite.vertices);
}

void rebuildTransform(KVE_SPRITE& sprite)
{
    const float radians = sprite.angle * math::kDegreesToRadians;
    const float c = std::cos(radians), s = std::sin(radians);
    KVE_Matrix& m = sprite.transform;
    m.c[0] = {c * sprite.scale.x, s * sprite.scale.x, 0, 0};
    m.c[1] = {-s * sprite.scale.y, c * sprite.scale.y, 0, 0};
    m.c[2] = {0, 0, sprite.scale.z, 0};
    m.c[3] = {sprite.position.x, sprite.position.y, sprite.position.z, 1};
}

void releaseSprite(KVE_SPRITE& sprite)
{
    if (sprite.vertexArray)
        glDeleteVertexArrays(1, &sprite.vertexArray);
    if (sprite.vertexBuffer)
        glDeleteBuffers(1, &sprite.vertexBuffer);
    sprite.vertexArray = sprite.vertexBuffer = 0;
}

// Uniform locations of a sprite program, looked up once per GL program object.
struct SpriteUniforms {
    unsigned program = 0;
    GLint colorMap = -1, maskMap = -1, color = -1;
};

// By sprite kind: textured, masked. Forgotten at shutdown with the programs.
SpriteUniforms cachedUniforms[2];

const SpriteUniforms& spriteUniforms(const ShaderProgram& program)
{
    SpriteUniforms& entry = cachedUniforms[program.kind == KVE_SHADER_MASKED_SPRITE ? 1 : 0];
    if (entry.program != program.program) {
        entry.program = program.program;
        entry.colorMap = glGetUniformLocation(program.program, "ColorMap");
        entry.maskMap = glGetUniformLocation(program.program, "MaskMap");
        entry.color = glGetUniformLocation(program.program, "vColor");
    }
    return entry;
}

void bindTexture(int unit, int texture)
{
    const KVE_TEXTURE* record = gpu::findTexture(texture);
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glBindTexture(GL_TEXTURE_2D, record && record->target == GL_TEXTURE_2D ? record->texture : 0);
}

} // namespace

core::Registry<KVE_SPRITE>& sprites()
{
    static core::Registry<KVE_SPRITE> registry(core::kinds::kSilent, releaseSprite);
    return registry;
}

KVE_SPRITE* findSprite(int sprite)
{
    return sprites().find(sprite);
}

bool bindSpriteMaterial(const gpu::MaterialRecord& material, const KVE_Matrix& model)
{
    const ShaderProgram* program = material.program;
    if (!program || (program->kind != KVE_SHADER_TEXTURED_SPRITE && program->kind != KVE_SHADER_MASKED_SPRITE))
        return false;
    const bool masked = program->kind == KVE_SHADER_MASKED_SPRITE;
    bindTexture(0, material.textures[0]);
    if (masked)
        bindTexture(1, material.textures[1]);
    glActiveTexture(GL_TEXTURE0);
    glUseProgram(program->program);
    writeModelMatrix(model);
    const SpriteUniforms& uniforms = spriteUniforms(*program);
    glUniform1i(uniforms.colorMap, 0);
    if (masked)
        glUniform1i(uniforms.maskMap, 1);
    glUniform4fv(uniforms.color, 1, material.color);
    return true;
}

Overlay2DState::Overlay2DState()
    : depthTest_(glIsEnabled(GL_DEPTH_TEST) == GL_TRUE), cullFace_(glIsEnabled(GL_CULL_FACE) == GL_TRUE)
{
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
}

Overlay2DState::~Overlay2DState()
{
    if (depthTest_)
        glEnable(GL_DEPTH_TEST);
    if (cullFace_)
        glEnable(GL_CULL_FACE);
}

void releaseFontsAndSprites()
{
    fonts().releaseAll();
    forgetDefaultFonts();
    sprites().releaseAll();
    cachedUniforms[0] = cachedUniforms[1] = SpriteUniforms{};
}

void createLogoSprite()
{
    auto& engine = engine::state();
    KVE_MATERIAL* material = KVE_CreateMaterial(-1, engine.logoTexture, KVE_SHADER_TEXTURED_SPRITE, "");
    if (!material)
        return;
    engine.logoMaterial = material->number;
    KVE_SetMaterialColor(engine.logoMaterial, static_cast<int>(0x80FFFFFF));
    if (const KVE_SPRITE* sprite = KVE_CreateSprite(-1, engine.logoMaterial, 0, 0)) {
        engine.logoSprite = sprite->number;
        KVE_SetSpriteSize(engine.logoSprite, 102.0f, 102.0f);
    }
}

void drawLogoBadge()
{
    const auto& engine = engine::state();
    if (!engine.logoSwitch)
        return;
    KVE_SetBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    KVE_DrawSprite(engine.logoSprite, static_cast<float>(engine.screenWidth - 52),
                   static_cast<float>(engine.screenHeight - 52));
}

} // namespace kve::render

using kve::render::findSprite;
namespace render = kve::render;

extern "C" {

KVE_SPRITE* KVE_CreateSprite(int id, int material, int topLeftOrigin, int flip)
{
    KVE_SPRITE* sprite = render::sprites().create(&id);
    if (!sprite)
        return nullptr;
    sprite->material = material;
    const KVE_MATERIAL* record = kve::gpu::findMaterial(material);
    const KVE_TEXTURE* texture = record ? kve::gpu::findTexture(record->textures[0]) : nullptr;
    sprite->width = texture ? static_cast<float>(texture->width) : 1.0f;
    sprite->height = texture ? static_cast<float>(texture->height) : 1.0f;
    sprite->scale = {sprite->width, sprite->height, 1, 0};
    const float lower = topLeftOrigin ? 0.0f : -0.5f, upper = lower + 1.0f;
    static constexpr float kCorners[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
    for (int i = 0; i < 4; ++i) {
        const float u = kCorners[i][0], v = flip ? 1.0f - kCorners[i][1] : kCorners[i][1];
        sprite->vertices[i] = {u ? upper : lower, kCorners[i][1] ? upper : lower, 0, 1, u, v, u, v};
    }
    render::rebuildTransform(*sprite);
    glGenVertexArrays(1, &sprite->vertexArray);
    glBindVertexArray(sprite->vertexArray);
    glGenBuffers(1, &sprite->vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, sprite->vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof sprite->vertices, sprite->vertices, GL_STATIC_DRAW);
    constexpr GLsizei kStride = sizeof(render::SpriteVertex);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, kStride, nullptr);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, kStride, reinterpret_cast<const void*>(16));
    glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, kStride, reinterpret_cast<const void*>(24));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(2);
    glEnableVertexAttribArray(3);
    glBindVertexArray(0);
    return sprite;
}

int KVE_GetSpriteNumber(const KVE_SPRITE* sprite)
{
    return sprite ? sprite->number : -1;
}

int KVE_DrawSprite(int sprite, float x, float y)
{
    KVE_SPRITE* record = findSprite(sprite);
    if (!record)
        return 0;
    record->position = {x, y, 0, 1};
    render::rebuildTransform(*record);
    const KVE_MATERIAL* material = kve::gpu::findMaterial(record->material);
    render::Overlay2DState overlay;
    if (!material || !render::bindSpriteMaterial(*material, record->transform))
        return 0;
    glBindVertexArray(record->vertexArray);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBindVertexArray(0);
    return 1;
}

void KVE_SetSpriteSize(int sprite, float width, float height)
{
    if (KVE_SPRITE* record = findSprite(sprite)) {
        record->width = width;
        record->height = height;
        record->scale = {width, height, 1, 0};
        render::rebuildTransform(*record);
    }
}

void KVE_RotateSprite(int sprite, float angle, int relative)
{
    if (KVE_SPRITE* record = findSprite(sprite)) {
        record->angle = relative ? record->angle + angle : angle;
        render::rebuildTransform(*record);
    }
}

void KVE_SetSpriteCorners(int sprite, float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3)
{
    KVE_SPRITE* record = findSprite(sprite);
    if (!record)
        return;
    const float corners[4][2] = {{x0, y0}, {x1, y1}, {x2, y2}, {x3, y3}};
    for (int i = 0; i < 4; ++i) {
        record->vertices[i].x = corners[i][0];
        record->vertices[i].y = corners[i][1];
    }
    record->scale = {1, 1, 1, 0};
    render::rebuildTransform(*record);
    render::uploadVertices(*record);
}

void KVE_SetSpriteRect(int sprite, float u, float v, float width, float height, int set)
{
    KVE_SPRITE* record = findSprite(sprite);
    if (!record || (set != 0 && set != 1))
        return;
    const float coordinates[4][2] = {{u, v}, {u, v + height}, {u + width, v}, {u + width, v + height}};
    for (int i = 0; i < 4; ++i) {
        float* target = set == 0 ? &record->vertices[i].u0 : &record->vertices[i].u1;
        target[0] = coordinates[i][0];
        target[1] = coordinates[i][1];
    }
    render::uploadVertices(*record);
}

int KVE_ReleaseSprite(int sprite)
{
    render::sprites().release(findSprite(sprite));
    return 0;
}

} // extern "C"
