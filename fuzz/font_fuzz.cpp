// Fuzzes the ".tf" bitmap font reader, then lays text out with whatever it read.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "render/font.h"
#include "render/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto file = kve::render::parseFontFile(data, size);
    if (!file)
        return 0;
    KVE_FONT font;
    font.glyphs = std::make_shared<kve::render::GlyphSet>();
    kve::render::fillGlyphSet(*font.glyphs, *file);
    font.settings.lineWidth = 50;
    font.settings.alignX = 0.5f;
    kve::render::layoutText(font, 0, 0, "Kerning AV Wa\nline two \xE9\x80", 1.5f, 20.0f,
                            [](const kve::render::QuadVertex*, int) {});
    return 0;
}
