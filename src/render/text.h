// Text in bitmap fonts: the line measure (line feeds, wrapping at the font's line width),
// the layout of glyph quads with slant and alignment, and their drawing in batches.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "render/font.h"

namespace kve::render {

// One vertex of the shared quad batch: position (z 0, w 1) and texture coordinate.
struct QuadVertex {
    float x, y, z, w;
    float u, v;
};
static_assert(sizeof(QuadVertex) == 24);

struct LineMeasure {
    size_t consumed = 0; // bytes of the line, its line feed included
    float width = 0.0f;  // pixels up to the break
};

// Measures the line that starts the text, at `size`. A line ends at the end of the text,
// after a line feed, or, when the font wraps and the width passes its line width, after
// the last space (before the byte that passed it when there was none). A line is never
// empty, so a glyph wider than the line width still gets one of its own.
LineMeasure measureLine(const KVE_FONT& font, std::string_view text, float size);
// Line height at `size`: the base of the line-metrics glyph (code 128); 0 without it.
float lineHeight(const KVE_FONT& font, float size);

struct TextExtent {
    float width = 0.0f; // the widest line
    float height = 0.0f;
    int lines = 0;
};
TextExtent measureText(const KVE_FONT& font, std::string_view text, float size);

// Called with the quads of at most 256 glyphs (four vertices each: top-left, top-right,
// bottom-right, bottom-left), at least once per line that has glyphs.
using QuadSink = std::function<void(const QuadVertex* vertices, int glyphs)>;

// Lays the text out with the pen's first line top at (x, y), aligned by the font's
// alignment factors and slanted by `angle` degrees about each glyph's baseline, and hands
// the glyph quads to `sink`. Texture coordinates are the atlas rectangle in 0..1.
void layoutText(const KVE_FONT& font, float x, float y, std::string_view text, float size, float angle,
                const QuadSink& sink);

} // namespace kve::render
