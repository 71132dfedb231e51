// Measuring and laying out text in a bitmap font. Measuring and layout walk the bytes with
// the same advance rule, so an aligned line lands exactly where its measure says.
#include "render/text.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "render/quad_batch.h"

namespace kve::render {
namespace {

constexpr float kDegreesToRadians = 0.017453292519943295f;

// The pen advance after byte `at` of `text`: advance and letter spacing, plus the
// kerning with the following byte when the font kerns.
float advanceAfter(const KVE_FONT& font, const Glyph& glyph, std::string_view text, size_t at, float size)
{
    float advance = (static_cast<float>(glyph.advance) + font.settings.spacing) * size;
    if (font.settings.kerning && at + 1 < text.size())
        advance += static_cast<float>(font.glyphs->kerning.find(static_cast<unsigned char>(text[at]),
                                                                static_cast<unsigned char>(text[at + 1]))) *
                   size;
    return advance;
}

} // namespace

LineMeasure measureLine(const KVE_FONT& font, std::string_view text, float size)
{
    LineMeasure line;
    if (!font.glyphs)
        return {text.size(), 0.0f};
    const float limit = font.settings.lineWidth;
    float width = 0.0f;
    bool spaceSeen = false;
    LineMeasure atSpace;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n')
            return {i + 1, width};
        const Glyph* glyph = font.glyphs->glyph(byte);
        const float before = width;
        if (glyph)
            width += advanceAfter(font, *glyph, text, i, size);
        if (limit > 0.0f && width > limit) {
            if (spaceSeen)
                return atSpace;
            if (i > 0)
                return {i, before};
            return {1, width};
        }
        if (byte == ' ') {
            spaceSeen = true;
            atSpace = {i + 1, width};
        }
    }
    line.consumed = text.size();
    line.width = width;
    return line;
}

float lineHeight(const KVE_FONT& font, float size)
{
    const Glyph* metrics = font.glyphs ? font.glyphs->glyph(kLineMetricsCode) : nullptr;
    return metrics ? static_cast<float>(metrics->base) * size : 0.0f;
}

TextExtent measureText(const KVE_FONT& font, std::string_view text, float size)
{
    TextExtent extent;
    for (size_t at = 0; at < text.size();) {
        const LineMeasure line = measureLine(font, text.substr(at), size);
        extent.width = std::max(extent.width, line.width);
        ++extent.lines;
        at += line.consumed;
    }
    extent.height = static_cast<float>(extent.lines) * lineHeight(font, size);
    return extent;
}

void layoutText(const KVE_FONT& font, float x, float y, std::string_view text, float size, float angle,
                const QuadSink& sink)
{
    if (!font.glyphs || text.empty())
        return;
    const GlyphSet& set = *font.glyphs;
    const float shear = std::tan(angle * kDegreesToRadians);
    const float texelU = set.atlasWidth > 0 ? 1.0f / static_cast<float>(set.atlasWidth) : 0.0f;
    const float texelV = set.atlasHeight > 0 ? 1.0f / static_cast<float>(set.atlasHeight) : 0.0f;
    const bool aligned = font.settings.alignX != 0.0f || font.settings.alignY != 0.0f;
    float top = y;
    if (aligned)
        top -= std::round(font.settings.alignY * measureText(font, text, size).height);
    const float advanceDown = lineHeight(font, size);

    std::array<QuadVertex, kQuadBatchQuads * 4> vertices{};
    int glyphs = 0;
    auto flush = [&] {
        if (glyphs > 0)
            sink(vertices.data(), glyphs);
        glyphs = 0;
    };
    for (size_t start = 0; start < text.size(); top += advanceDown) {
        const std::string_view rest = text.substr(start);
        const LineMeasure line = measureLine(font, rest, size);
        float penX = x;
        if (aligned)
            penX -= std::round(font.settings.alignX * line.width);
        for (size_t i = 0; i < line.consumed; ++i) {
            const Glyph* g = set.glyph(static_cast<unsigned char>(rest[i]));
            if (!g)
                continue;
            const float width = static_cast<float>(g->width) * size, height = static_cast<float>(g->height) * size;
            const float left = penX + (static_cast<float>(g->xOffset) +
                                       static_cast<float>(g->base - g->yOffset) * shear) * size;
            const float upper = top + static_cast<float>(g->yOffset) * size;
            const float u0 = static_cast<float>(g->atlasX) * texelU, u1 = static_cast<float>(g->atlasX + g->width) * texelU;
            const float v0 = static_cast<float>(g->atlasY) * texelV, v1 = static_cast<float>(g->atlasY + g->height) * texelV;
            QuadVertex* quad = &vertices[static_cast<size_t>(glyphs) * 4];
            quad[0] = {left, upper, 0, 1, u0, v0};
            quad[1] = {left + width, upper, 0, 1, u1, v0};
            quad[2] = {left + width - height * shear, upper + height, 0, 1, u1, v1};
            quad[3] = {left - height * shear, upper + height, 0, 1, u0, v1};
            penX += advanceAfter(font, *g, rest, i, size);
            if (++glyphs == kQuadBatchQuads)
                flush();
        }
        flush();
        start += line.consumed;
    }
}

} // namespace kve::render
