// KVE_DrawText and KVE_MeasureText: text laid out in the font's glyph quads and drawn
// through the shared quad batch with the font material, at most 256 glyphs per draw.
#include "render/text.h"

#include <cstring>

#include "gpu/material.h"
#include "platform/gl.h"
#include "render/quad_batch.h"
#include "render/sprite.h"

using kve::render::findFont;
namespace render = kve::render;

extern "C" {

int KVE_DrawText(int font, float x, float y, const char* text, int color, float size, float angle)
{
    const KVE_FONT* record = findFont(font);
    if (!record || !record->glyphs || !text || !*text)
        return 0;
    const render::FontSettings& settings = record->settings;
    if (color == KVE_DEFAULT)
        color = static_cast<int>(settings.color);
    if (size == KVE_DEFAULT_FLOAT)
        size = settings.size;
    if (angle == KVE_DEFAULT_FLOAT)
        angle = settings.angle;
    KVE_MATERIAL* material = kve::gpu::findMaterial(record->glyphs->material);
    if (!material)
        return 0;
    KVE_SetMaterialColor(material->number, color);
    KVE_Matrix model{};
    model.c[0].x = model.c[1].y = model.c[2].z = 1.0f;
    model.c[3] = {x, y, 0, 1};
    render::Overlay2DState overlay;
    if (!render::bindSpriteMaterial(*material, model))
        return 0;
    const render::QuadBatch& batch = render::quadBatch();
    glBindVertexArray(batch.vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, batch.vertexBuffer);
    render::layoutText(*record, 0, 0, text, size, angle, [](const render::QuadVertex* vertices, int glyphs) {
        glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(glyphs) * 4 * sizeof(render::QuadVertex),
                        vertices);
        glDrawElements(GL_TRIANGLES, glyphs * 6, GL_UNSIGNED_INT, nullptr);
    });
    glBindVertexArray(0);
    return 1;
}

int KVE_MeasureText(int font, const char* text, float size, float* width, float* height)
{
    const KVE_FONT* record = findFont(font);
    if (!record || !text)
        return 0;
    const auto extent =
        render::measureText(*record, text, size == KVE_DEFAULT_FLOAT ? record->settings.size : size);
    if (width)
        *width = extent.width;
    if (height)
        *height = extent.height;
    return extent.lines;
}

} // extern "C"
