// Fuzzes the ".tf" bitmap font reader, then lays text out with whatever it read. Every
// chunk carries a checksum, which random changes almost never keep right; the harness
// fixes the checksums of the chunks it finds so that the inputs reach the chunk readers.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/font.h"
#include "render/text.h"

namespace {

uint32_t readU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// Walks the chunks as the reader does (length, checksum, body) and writes each checksum.
void fixChecksums(std::vector<uint8_t>& bytes)
{
    size_t at = sizeof kve::render::kFontMagic;
    while (bytes.size() >= at + 8) {
        const size_t length = readU32(&bytes[at]);
        if (length > bytes.size() - at - 8)
            return;
        const uint32_t checksum = static_cast<uint32_t>(crc32(0, &bytes[at + 8], static_cast<uInt>(length)));
        for (int k = 0; k < 4; ++k)
            bytes[at + 4 + static_cast<size_t>(k)] = static_cast<uint8_t>(checksum >> (8 * k));
        at += length + 8;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    fixChecksums(bytes);
    auto file = kve::render::parseFontFile(bytes.data(), bytes.size());
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
