// Font files for the font and text tests: the baked default font from the build, and
// ".tf" files assembled chunk by chunk (with correct or deliberately wrong sizes and
// checksums).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "render/font.h"
#include "support/test_files.h"

namespace kve::test {

// The engine's default font as the build baked it.
inline std::string bakedDefaultFont()
{
    const char* binary = std::getenv("KVE_BINARY_DIR");
    return readFile(std::string(binary ? binary : ".") + "/generated/data/default_font.tf");
}

class FontBytes {
public:
    FontBytes() { bytes.assign(reinterpret_cast<const char*>(render::kFontMagic), 8); }

    static std::string u32(uint32_t value)
    {
        std::string out;
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>(value >> (8 * i));
        return out;
    }
    static std::string i16s(std::initializer_list<int> values)
    {
        std::string out;
        for (int v : values) {
            out += static_cast<char>(v & 0xFF);
            out += static_cast<char>((v >> 8) & 0xFF);
        }
        return out;
    }

    // A chunk whose size field is the payload's (plus `sizeError`) and whose checksum is
    // right unless `breakChecksum`.
    FontBytes& chunk(uint32_t type, const std::string& payload, int sizeError = 0, bool breakChecksum = false)
    {
        const std::string body = u32(type) + payload;
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
        if (breakChecksum)
            crc ^= 1;
        bytes += u32(static_cast<uint32_t>(static_cast<int>(body.size()) + sizeError)) + u32(static_cast<uint32_t>(crc)) + body;
        return *this;
    }
    // Glyph records: code, x offset, y offset, advance, base, atlas x, atlas y, width, height.
    FontBytes& glyphs(std::initializer_list<std::initializer_list<int>> records, uint32_t count = UINT32_MAX)
    {
        std::string payload = u32(count == UINT32_MAX ? static_cast<uint32_t>(records.size()) : count);
        for (const auto& r : records)
            payload += i16s(r);
        return chunk(2, payload);
    }
    FontBytes& kerning(std::initializer_list<std::initializer_list<int>> pairs)
    {
        std::string payload = u32(static_cast<uint32_t>(pairs.size()));
        for (const auto& p : pairs)
            payload += i16s(p);
        return chunk(3, payload);
    }

    std::string bytes;
};

inline std::optional<render::FontFile> parse(const std::string& bytes)
{
    return render::parseFontFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

} // namespace kve::test
