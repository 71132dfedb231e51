// The font registry: fonts built from ".tf" files or memory, copies sharing a glyph set,
// the settings operations and the built-in default fonts.
#include "render/font.h"

#include "core/log.h"
#include "core/registry_kinds.h"
#include "core/resource_sources.h"
#include "data.h"
#include "defs/definition_node.h"
#include "gpu/material.h"
#include "gpu/texture.h"
#include "kve.h"

namespace kve::render {
namespace {

void releaseGlyphSetIfLast(KVE_FONT& font)
{
    if (font.glyphs && font.glyphs.use_count() == 1) {
        KVE_ReleaseMaterial(font.glyphs->material);
        KVE_ReleaseTexture(font.glyphs->texture);
    }
    font.glyphs.reset();
}

// Builds the font's glyph set on the GPU side: atlas texture, material, glyph table.
std::shared_ptr<GlyphSet> makeGlyphSet(FontFile& file)
{
    auto set = std::make_shared<GlyphSet>();
    if (file.atlas) {
        if (const KVE_TEXTURE* texture = gpu::makeTexture(-1, *file.atlas, KVE_DEFAULT, "")) {
            set->texture = texture->number;
            if (const KVE_MATERIAL* material = KVE_CreateMaterial(-1, set->texture, KVE_SHADER_TEXTURED_SPRITE, ""))
                set->material = material->number;
        }
    }
    fillGlyphSet(*set, file);
    return set;
}

// `source` names the file (or "font in memory") in the entries about damage.
KVE_FONT* buildFont(int id, const uint8_t* data, size_t size, std::string_view source, const char* procedure)
{
    std::optional<FontFile> file = parseFontFile(data, size);
    if (!file) {
        log::fail("Fail: Not a font file!", procedure, kFontsUnit);
        log::failFile(source, "no font signature at its start", procedure);
        return nullptr;
    }
    // A font without glyphs or without its atlas would draw every text as nothing.
    if (file->glyphs.empty() || !file->atlas) {
        if (!file->problem.empty())
            log::fail("Fail: Font damaged: " + file->problem, procedure, kFontsUnit);
        log::failFile(source, file->glyphs.empty() ? "no glyphs" : "no atlas image", procedure);
        return nullptr;
    }
    // What was read before the damage is used.
    if (!file->problem.empty())
        log::warnFile(source, file->problem + ", read up to the damage", procedure);
    KVE_FONT* font = fonts().create(&id);
    if (!font)
        return nullptr;
    font->glyphs = makeGlyphSet(*file);
    return font;
}

std::array<int, KVE_FONT_VARIANTS> defaultFontNumbers = {-1, -1, -1, -1};

// Runs `set` on the settings of the font of a number; nothing when there is none.
template <class Set>
void changeSettings(int font, Set set)
{
    if (KVE_FONT* record = findFont(font))
        set(record->settings);
}

} // namespace

core::Registry<KVE_FONT>& fonts()
{
    static core::Registry<KVE_FONT> registry(core::kinds::kFont, releaseGlyphSetIfLast);
    return registry;
}

KVE_FONT* findFont(int font)
{
    return fonts().find(font);
}

void adoptReloadedFont(KVE_FONT& live, KVE_FONT& staged)
{
    if (live.glyphs && staged.glyphs) {
        GlyphSet& kept = *live.glyphs;
        GlyphSet& fresh = *staged.glyphs;
        std::swap(kept, fresh);
        std::swap(kept.texture, fresh.texture);
        std::swap(kept.material, fresh.material);
        KVE_TEXTURE* atlas = gpu::findTexture(kept.texture);
        KVE_TEXTURE* newAtlas = gpu::findTexture(fresh.texture);
        if (atlas && newAtlas && atlas != newAtlas)
            gpu::adoptReloadedTexture(*atlas, *newAtlas);
    } else {
        std::swap(live.glyphs, staged.glyphs);
    }
    fonts().release(&staged);
}

void createDefaultFonts()
{
    const KVE_FONT* font = buildFont(-1, data::kDefaultFont, data::kDefaultFontSize, "built-in font", "KVE_Init");
    if (!font)
        return;
    defaultFontNumbers.fill(font->number);
    struct Variant {
        int index;
        void (*style)(FontSettings&);
    };
    static constexpr Variant kVariants[] = {
        {KVE_FONT_LARGE, [](FontSettings& s) { s.size = 2.0f; }},
        {KVE_FONT_SLANTED, [](FontSettings& s) { s.angle = 12.0f; }},
        {KVE_FONT_CENTRED, [](FontSettings& s) { s.alignX = s.alignY = 0.5f; }},
    };
    for (const Variant& variant : kVariants)
        if (KVE_FONT* copy = KVE_CopyFont(font->number, -1)) {
            variant.style(copy->settings);
            defaultFontNumbers[static_cast<size_t>(variant.index)] = copy->number;
        }
}

void forgetDefaultFonts()
{
    defaultFontNumbers.fill(-1);
}

} // namespace kve::render

using kve::render::findFont;
namespace render = kve::render;

extern "C" {

KVE_FONT* KVE_LoadFont(int id, const char* fileName)
{
    constexpr const char* kProcedure = "KVE_LoadFont";
    const std::string file = fileName ? fileName : "";
    kve::log::progress("Load Font: " + file, kProcedure, render::kFontsUnit);
    const auto bytes = kve::gpu::readWholeFile(file);
    if (!bytes) {
        kve::log::fail("Fail: Font file not found!", kProcedure, render::kFontsUnit);
        kve::log::failFile(file, kve::defs::unreadableReason(file), kProcedure);
        return nullptr;
    }
    KVE_FONT* font = render::buildFont(id, bytes->data(), bytes->size(), file, kProcedure);
    if (font) {
        kve::log::ok(kProcedure, render::kFontsUnit);
        kve::core::recordResourceSource(kve::core::ResourceLoader::Font, font->number, file);
    }
    return font;
}

KVE_FONT* KVE_CatchFont(int id, const void* data, int size)
{
    return render::buildFont(id, static_cast<const uint8_t*>(data), size > 0 ? static_cast<size_t>(size) : 0,
                             "font in memory", "KVE_CatchFont");
}

KVE_FONT* KVE_CopyFont(int font, int id)
{
    const KVE_FONT* source = findFont(font);
    if (!source)
        return nullptr;
    // Held before the new entry is made, which may release the source (same number).
    const std::shared_ptr<render::GlyphSet> glyphs = source->glyphs;
    const render::FontSettings settings = source->settings;
    KVE_FONT* copy = render::fonts().create(&id);
    if (!copy)
        return nullptr;
    copy->glyphs = glyphs;
    copy->settings = settings;
    return copy;
}

int KVE_GetFontNumber(const KVE_FONT* font)
{
    return font ? font->number : -1;
}

int KVE_GetDefaultFont(int variant)
{
    return variant >= 0 && variant < KVE_FONT_VARIANTS ? render::defaultFontNumbers[static_cast<size_t>(variant)] : -1;
}

void KVE_SetFontSize(int font, float size)
{
    render::changeSettings(font, [&](render::FontSettings& s) { s.size = size; });
}

void KVE_SetFontColor(int font, int color)
{
    render::changeSettings(font, [&](render::FontSettings& s) { s.color = static_cast<uint32_t>(color); });
}

void KVE_SetFontAlignment(int font, float horizontal, float vertical)
{
    render::changeSettings(font, [&](render::FontSettings& s) {
        s.alignX = horizontal;
        s.alignY = vertical;
    });
}

void KVE_SetFontAngle(int font, float degrees)
{
    render::changeSettings(font, [&](render::FontSettings& s) { s.angle = degrees; });
}

void KVE_SetFontSpacing(int font, float pixels)
{
    render::changeSettings(font, [&](render::FontSettings& s) { s.spacing = pixels; });
}

void KVE_SetFontLineWidth(int font, float pixels)
{
    render::changeSettings(font, [&](render::FontSettings& s) { s.lineWidth = pixels; });
}

void KVE_SetFontKerning(int font, int on)
{
    render::changeSettings(font, [&](render::FontSettings& s) { s.kerning = on != 0; });
}

int KVE_ReleaseFont(int font)
{
    render::fonts().release(findFont(font));
    return 0;
}

} // extern "C"
