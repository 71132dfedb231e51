// Bakes a scalable font into the engine's bitmap font format (".tf") with FreeType:
// glyphs for the Latin-1 codes 32..255 rendered white on transparency into one atlas,
// their metrics, and the kerning pairs of the font's kern table.
//
// Usage: kve_bake_font <out.tf> <pixel height> <font file> [fallback font file...]
//
// File layout (little-endian): the magic 54 83 7C 31 2E 34 30 7C, then chunks of
// [size n][CRC-32 of the n bytes][n bytes starting with a 4-byte type]:
// type 1 the atlas as PNG, type 2 glyph records, type 3 kerning pairs, type 0 the end.
// A glyph record is the code (u16) and x offset, y offset, x advance, base, atlas x,
// atlas y, width, height (i16); y offset and base count down from the top of the line.
// Code 128 (a control code without a glyph) carries the line height as its base.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gpu/image_write.h"

namespace {

constexpr uint8_t kMagic[8] = {0x54, 0x83, 0x7C, 0x31, 0x2E, 0x34, 0x30, 0x7C};
constexpr int kLineMetricsCode = 128;
constexpr int kPadding = 1;

struct Glyph {
    int code = 0;
    int xOffset = 0, yOffset = 0, advance = 0, base = 0;
    int atlasX = 0, atlasY = 0, width = 0, height = 0;
    FT_UInt index = 0;
    std::vector<uint8_t> coverage; // width * height
};

struct Kerning {
    int first, second, amount;
};

class Writer {
public:
    void u16(int value) { put(static_cast<uint32_t>(value), 2); }
    void u32(uint32_t value) { put(value, 4); }
    void bytes(const std::vector<uint8_t>& data) { out.insert(out.end(), data.begin(), data.end()); }
    std::vector<uint8_t> out;

private:
    void put(uint32_t value, int count)
    {
        for (int i = 0; i < count; ++i)
            out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
};

void chunk(Writer& file, uint32_t type, const std::vector<uint8_t>& payload)
{
    Writer body;
    body.u32(type);
    body.bytes(payload);
    file.u32(static_cast<uint32_t>(body.out.size()));
    file.u32(static_cast<uint32_t>(crc32(0, body.out.data(), static_cast<uInt>(body.out.size()))));
    file.bytes(body.out);
}

int pixels(FT_Pos value26dot6)
{
    return static_cast<int>(std::lround(static_cast<double>(value26dot6) / 64.0));
}

// Shelf packing, glyphs sorted by height; the atlas is `width` wide and as high as needed,
// rounded up to a power of two.
int pack(std::vector<Glyph>& glyphs, int width)
{
    std::vector<Glyph*> order;
    for (Glyph& g : glyphs)
        order.push_back(&g);
    std::stable_sort(order.begin(), order.end(), [](const Glyph* a, const Glyph* b) { return a->height > b->height; });
    int x = kPadding, y = kPadding, shelf = 0;
    for (Glyph* g : order) {
        if (x + g->width + kPadding > width) {
            x = kPadding;
            y += shelf + kPadding;
            shelf = 0;
        }
        g->atlasX = x;
        g->atlasY = y;
        x += g->width + kPadding;
        shelf = std::max(shelf, g->height);
    }
    int height = 1;
    while (height < y + shelf + kPadding)
        height *= 2;
    return height;
}

bool bake(FT_Face face, int pixelHeight, const std::string& output)
{
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0 || FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelHeight)) != 0)
        return false;
    const int ascender = pixels(face->size->metrics.ascender);
    const int lineHeight = pixels(face->size->metrics.height);

    std::vector<Glyph> glyphs;
    for (int code = 32; code < 256; ++code) {
        if (code >= 127 && code < 160)
            continue; // DEL and the C1 control codes have no glyphs in Latin-1
        const FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(code));
        if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0 ||
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0)
            continue;
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.rows > 0)
            continue;
        Glyph g;
        g.code = code;
        g.index = index;
        g.xOffset = face->glyph->bitmap_left;
        g.yOffset = ascender - face->glyph->bitmap_top;
        g.advance = pixels(face->glyph->advance.x);
        g.base = ascender;
        g.width = static_cast<int>(bitmap.width);
        g.height = static_cast<int>(bitmap.rows);
        for (int row = 0; row < g.height; ++row)
            for (int column = 0; column < g.width; ++column)
                g.coverage.push_back(bitmap.buffer[row * bitmap.pitch + column]);
        glyphs.push_back(std::move(g));
    }
    if (glyphs.empty())
        return false;

    const int atlasWidth = pixelHeight > 24 ? 512 : 256;
    const int atlasHeight = pack(glyphs, atlasWidth);
    std::vector<uint8_t> atlas(static_cast<size_t>(atlasWidth) * atlasHeight * 4, 0);
    for (size_t i = 0; i < atlas.size(); i += 4)
        atlas[i] = atlas[i + 1] = atlas[i + 2] = 255;
    for (const Glyph& g : glyphs)
        for (int row = 0; row < g.height; ++row)
            for (int column = 0; column < g.width; ++column)
                atlas[(static_cast<size_t>(g.atlasY + row) * atlasWidth + g.atlasX + column) * 4 + 3] =
                    g.coverage[static_cast<size_t>(row) * g.width + column];

    std::vector<Kerning> pairs;
    if (FT_HAS_KERNING(face))
        for (const Glyph& left : glyphs)
            for (const Glyph& right : glyphs) {
                FT_Vector delta{};
                if (FT_Get_Kerning(face, left.index, right.index, FT_KERNING_DEFAULT, &delta) == 0 &&
                    pixels(delta.x) != 0)
                    pairs.push_back({left.code, right.code, pixels(delta.x)});
            }

    Glyph metrics;
    metrics.code = kLineMetricsCode;
    metrics.base = lineHeight;
    glyphs.push_back(metrics);

    Writer file;
    file.bytes(std::vector<uint8_t>(kMagic, kMagic + 8));
    chunk(file, 1, kve::gpu::encodePng(atlasWidth, atlasHeight, 4, atlas.data()));
    Writer records;
    records.u32(static_cast<uint32_t>(glyphs.size()));
    for (const Glyph& g : glyphs)
        for (int value : {g.code, g.xOffset, g.yOffset, g.advance, g.base, g.atlasX, g.atlasY, g.width, g.height})
            records.u16(value);
    chunk(file, 2, records.out);
    Writer kerning;
    kerning.u32(static_cast<uint32_t>(pairs.size()));
    for (const Kerning& k : pairs)
        for (int value : {k.first, k.second, k.amount})
            kerning.u16(value);
    chunk(file, 3, kerning.out);
    chunk(file, 0, {});
    if (!kve::gpu::writeBytes(output, file.out))
        return false;
    std::printf("%s: %zu glyphs, %zu kerning pairs, atlas %dx%d, line height %d\n", output.c_str(), glyphs.size() - 1,
                pairs.size(), atlasWidth, atlasHeight, lineHeight);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: kve_bake_font <out.tf> <pixel height> <font file> [fallback...]\n");
        return 2;
    }
    const int pixelHeight = std::atoi(argv[2]);
    if (pixelHeight < 4 || pixelHeight > 128) {
        std::fprintf(stderr, "kve_bake_font: pixel height %s out of range 4..128\n", argv[2]);
        return 2;
    }
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return 1;
    bool baked = false;
    for (int i = 3; i < argc && !baked; ++i) {
        FT_Face face = nullptr;
        if (FT_New_Face(library, argv[i], 0, &face) != 0)
            continue;
        baked = bake(face, pixelHeight, argv[1]);
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    if (!baked)
        std::fprintf(stderr, "kve_bake_font: none of the fonts could be baked into %s\n", argv[1]);
    return baked ? 0 : 1;
}
