// Bitmap fonts: the ".tf" reader, glyph sets shared between fonts that copy one another,
// the 701-bucket kerning table, and the font registry.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/registry.h"
#include "gpu/image.h"

namespace kve::render {

inline constexpr const char* kFontsUnit = "KVE Fonts";

struct Glyph {
    int code = 0;
    int xOffset = 0, yOffset = 0; // from the pen's line top to the bitmap's top-left
    int advance = 0;
    int base = 0; // from the line top to the baseline
    int atlasX = 0, atlasY = 0, width = 0, height = 0;
};

struct KerningPair {
    int first = 0, second = 0, amount = 0;
};

// Kerning amounts keyed by (first << 16) | second in 701 buckets.
class KerningTable {
public:
    static constexpr size_t kBuckets = 701;
    void set(int first, int second, int amount);
    int find(int first, int second) const; // 0 when the pair is not in the table
    size_t size() const { return count_; }

private:
    struct Entry {
        uint32_t key;
        int amount;
    };
    std::array<std::vector<Entry>, kBuckets> buckets_;
    size_t count_ = 0;
};

// What a ".tf" file holds, read chunk by chunk. A damaged chunk or record ends the font
// there; what was read before it stays and `problem` says what stopped the reading.
struct FontFile {
    std::optional<gpu::Image> atlas;
    std::vector<Glyph> glyphs;
    std::vector<KerningPair> kerning;
    std::string problem;
};

inline constexpr uint8_t kFontMagic[8] = {0x54, 0x83, 0x7C, 0x31, 0x2E, 0x34, 0x30, 0x7C};
inline constexpr int kLineMetricsCode = 128; // its glyph's base is the line height

// Null when the magic is missing.
std::optional<FontFile> parseFontFile(const uint8_t* data, size_t size);

// The glyphs, atlas and kerning that fonts copied from one another share. The atlas
// texture and the font material are released with the last font that uses the set.
struct GlyphSet {
    int texture = -1;  // the atlas texture's number
    int material = -1; // the font material (textured sprite program, the atlas in slot 0)
    int atlasWidth = 0, atlasHeight = 0;
    std::vector<Glyph> glyphs;
    std::array<int, 256> glyphByCode{}; // index into glyphs, -1 when the code has none
    KerningTable kerning;

    GlyphSet() { glyphByCode.fill(-1); }
    GlyphSet(const GlyphSet&) = delete;
    GlyphSet& operator=(const GlyphSet&) = delete;
    GlyphSet(GlyphSet&&) = default;
    GlyphSet& operator=(GlyphSet&&) = default;

    const Glyph* glyph(unsigned char code) const
    {
        const int index = glyphByCode[code];
        return index < 0 ? nullptr : &glyphs[static_cast<size_t>(index)];
    }
};

// Moves the glyphs and kerning of a parsed file into a set (atlas size included; the
// atlas texture and material are the caller's).
void fillGlyphSet(GlyphSet& set, FontFile& file);

struct FontSettings {
    float size = 1.0f;
    uint32_t color = 0xFFFFFFFF;
    float alignX = 0.0f, alignY = 0.0f; // 0.5 centres, 1 right/bottom-aligns
    float angle = 0.0f;                 // slant in degrees
    float spacing = 0.0f;               // extra pixels after every glyph
    float lineWidth = 0.0f;             // wrap beyond this many pixels; 0: no wrapping
    bool kerning = true;
};

} // namespace kve::render

struct KVE_FONT {
    int number = 0;
    const char* name = "";
    std::shared_ptr<kve::render::GlyphSet> glyphs;
    kve::render::FontSettings settings;
};

namespace kve::render {

core::Registry<KVE_FONT>& fonts();
KVE_FONT* findFont(int font);

// A reload's last step: the staged font's glyph set moves, whole, into the live font's
// set, so that every font sharing it (copies) follows; the atlas texture and the font
// material keep their numbers, the atlas texture taking the new image. The live font's
// own settings stay. The staged font is released with the old contents.
void adoptReloadedFont(KVE_FONT& live, KVE_FONT& staged);

// The built-in font (from the embedded data) and its variants, made by KVE_Init.
void createDefaultFonts();
void forgetDefaultFonts();

} // namespace kve::render
