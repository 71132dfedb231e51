// The ".tf" bitmap font reader and the kerning table. Every size and count in a file is
// checked against the bytes that are really there before it is used.
#include "render/font.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace kve::render {
namespace {

constexpr size_t kGlyphRecordBytes = 18;
constexpr size_t kKerningRecordBytes = 6;

uint32_t readU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

int readI16(const uint8_t* p)
{
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}

// Reads the records of a glyph or kerning chunk one by one; `take` returns false for a
// record that may not be used, which ends the font there.
template <class Take>
bool readRecords(const uint8_t* payload, size_t size, size_t recordBytes, const char* what, std::string* problem,
                 Take take)
{
    if (size < 4) {
        *problem = std::string(what) + " chunk has no count";
        return false;
    }
    const uint32_t count = readU32(payload);
    const size_t present = (size - 4) / recordBytes;
    for (size_t i = 0; i < count; ++i) {
        if (i >= present) {
            *problem = std::string(what) + " count " + std::to_string(count) + " runs past its chunk";
            return false;
        }
        if (!take(payload + 4 + i * recordBytes)) {
            *problem = std::string(what) + " record " + std::to_string(i) + " is out of range";
            return false;
        }
    }
    return true;
}

bool glyphFits(const Glyph& g, const std::optional<gpu::Image>& atlas)
{
    if (g.width < 0 || g.height < 0 || g.atlasX < 0 || g.atlasY < 0)
        return false;
    return !atlas || (g.atlasX + g.width <= atlas->width && g.atlasY + g.height <= atlas->height);
}

// One chunk's payload (after its type); false ends the font.
bool readChunk(uint32_t type, const uint8_t* payload, size_t size, FontFile& font)
{
    switch (type) {
    case 1: {
        gpu::Decoded atlas = gpu::decodeImage(payload, size);
        if (!atlas.image) {
            font.problem = "atlas: " + atlas.error;
            return false;
        }
        font.atlas = std::move(atlas.image);
        // Glyphs read before their atlas are checked against it now.
        const auto outside = std::find_if(font.glyphs.begin(), font.glyphs.end(),
                                          [&](const Glyph& g) { return !glyphFits(g, font.atlas); });
        if (outside == font.glyphs.end())
            return true;
        font.problem = "glyph " + std::to_string(outside->code) + " lies outside the atlas";
        font.glyphs.erase(outside, font.glyphs.end());
        return false;
    }
    case 2:
        return readRecords(payload, size, kGlyphRecordBytes, "glyph", &font.problem, [&](const uint8_t* r) {
            const int code = r[0] | r[1] << 8;
            Glyph g{code, readI16(r + 2), readI16(r + 4), readI16(r + 6), readI16(r + 8),
                    readI16(r + 10), readI16(r + 12), readI16(r + 14), readI16(r + 16)};
            if (!glyphFits(g, font.atlas))
                return false;
            if (code < 256)
                font.glyphs.push_back(g);
            return true;
        });
    case 3:
        return readRecords(payload, size, kKerningRecordBytes, "kerning", &font.problem, [&](const uint8_t* r) {
            font.kerning.push_back({readI16(r) & 0xFF, readI16(r + 2) & 0xFF, readI16(r + 4)});
            return true;
        });
    default:
        return true; // chunk types this reader does not know are passed over
    }
}

} // namespace

void KerningTable::set(int first, int second, int amount)
{
    const uint32_t key = static_cast<uint32_t>(first) << 16 | static_cast<uint32_t>(second);
    auto& bucket = buckets_[key % kBuckets];
    for (Entry& entry : bucket)
        if (entry.key == key) {
            entry.amount = amount;
            return;
        }
    bucket.push_back({key, amount});
    ++count_;
}

int KerningTable::find(int first, int second) const
{
    const uint32_t key = static_cast<uint32_t>(first) << 16 | static_cast<uint32_t>(second);
    for (const Entry& entry : buckets_[key % kBuckets])
        if (entry.key == key)
            return entry.amount;
    return 0;
}

std::optional<FontFile> parseFontFile(const uint8_t* data, size_t size)
{
    if (!data || size < sizeof kFontMagic || std::memcmp(data, kFontMagic, sizeof kFontMagic) != 0)
        return std::nullopt;
    FontFile font;
    size_t at = sizeof kFontMagic;
    while (size - at >= 8) {
        const size_t length = readU32(data + at);
        const uint32_t checksum = readU32(data + at + 4);
        const uint8_t* body = data + at + 8;
        if (length < 4 || length > size - at - 8) {
            font.problem = "chunk at byte " + std::to_string(at) + " runs past the file";
            break;
        }
        if (crc32(0, body, static_cast<uInt>(length)) != checksum) {
            font.problem = "chunk at byte " + std::to_string(at) + " fails its checksum";
            break;
        }
        const uint32_t type = readU32(body);
        if (type == 0 || !readChunk(type, body + 4, length - 4, font))
            break;
        at += length + 8;
    }
    return font;
}

void fillGlyphSet(GlyphSet& set, FontFile& file)
{
    if (file.atlas) {
        set.atlasWidth = file.atlas->width;
        set.atlasHeight = file.atlas->height;
    }
    set.glyphs = std::move(file.glyphs);
    set.glyphByCode.fill(-1);
    for (size_t i = 0; i < set.glyphs.size(); ++i)
        set.glyphByCode[static_cast<size_t>(set.glyphs[i].code)] = static_cast<int>(i);
    for (const KerningPair& pair : file.kerning)
        set.kerning.set(pair.first, pair.second, pair.amount);
}

} // namespace kve::render
