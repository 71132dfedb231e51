#include <gtest/gtest.h>

#include <algorithm>

#include "core/engine.h"
#include "gpu/image_samples.h"
#include "gpu/material.h"
#include "gpu/texture.h"
#include "kve.h"
#include "platform/gl.h"
#include "render/builtin_programs.h"
#include "render/shader_queues.h"
#include "support/test_files.h"

namespace {

using kve::test::countOccurrences;
using kve::test::readLog;

// Parses a definition text whose files live in `directory` and returns its root.
DefinitionNode* parse(const std::string& text, const std::string& directory = "")
{
    DefinitionNode* root = KVE_ParseDefinitionText(text.c_str(), directory.c_str());
    EXPECT_NE(root, nullptr);
    return root;
}

KVE_MATERIAL* loadMaterial(const std::string& text, const std::string& name)
{
    return KVE_LoadMaterialDefinition(-1, parse(text), name.c_str());
}

// Whether the material is listed under its program in the queue the program names.
bool listed(const KVE_MATERIAL* material)
{
    if (!material->program)
        return false;
    for (const auto& element : kve::render::shaderQueue(material->program->queue))
        if (element.program == material->program)
            for (const auto& entry : element.materials)
                if (entry.material == material)
                    return true;
    return false;
}

class MaterialTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (int number : made_)
            KVE_ReleaseMaterial(number);
    }
    KVE_MATERIAL* keep(KVE_MATERIAL* material)
    {
        if (material)
            made_.push_back(material->number);
        return material;
    }
    std::vector<int> made_;
};

TEST_F(MaterialTest, EmptyBlockGivesTheDefaultsAndJoinsTheDefaultProgram)
{
    const std::string before = readLog();
    KVE_MATERIAL* m = keep(loadMaterial("Material: Plain { }", "Plain"));
    ASSERT_NE(m, nullptr);
    const std::string added = readLog().substr(before.size());
    EXPECT_NE(added.find("Material: Plain"), std::string::npos);
    EXPECT_NE(added.find(">OK<"), std::string::npos);
    EXPECT_EQ(m->program, kve::render::builtinProgram(KVE_SHADER_DEFAULT));
    EXPECT_TRUE(listed(m));
    EXPECT_EQ(static_cast<uint32_t>(KVE_GetMaterialColor(m->number)), 0xFFFFFFFFu);
    EXPECT_EQ(static_cast<uint32_t>(KVE_GetMaterialShineColor(m->number)), 0xFFFFFFFFu);
    for (int slot = 0; slot < 4; ++slot)
        EXPECT_EQ(KVE_GetMaterialTexture(m->number, slot), -1);
    EXPECT_EQ(KVE_GetMaterialCubeMap(m->number), kve::engine::state().defaultCubeMap);
    EXPECT_EQ(m->blendSource, GL_SRC_ALPHA);
    EXPECT_EQ(m->blendDestination, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(m->shine, 1.0f);
    EXPECT_EQ(m->hardness, 1.0f);
    EXPECT_EQ(m->reflection, 0.0f);
    EXPECT_FLOAT_EQ(m->refraction, 0.05f);
    EXPECT_EQ(m->surfaceScattering, 0.0f);
    EXPECT_EQ(m->depthMask, 1);
    EXPECT_EQ(m->backFaceCulling, 1);
    EXPECT_EQ(m->wireframe, 0);
    EXPECT_STREQ(KVE_GetMaterialName(m->number), "Plain");
    EXPECT_EQ(KVE_FindMaterial("Plain"), m->number);
    EXPECT_EQ(KVE_FindMaterial("plain"), -1) << "names compare exactly";
    EXPECT_EQ(KVE_FindMaterial(""), -1);
    EXPECT_EQ(KVE_FindMaterial(nullptr), -1);
    EXPECT_EQ(KVE_GetMaterialShader(m->number), kve::render::builtinProgram(KVE_SHADER_DEFAULT)->number);

    const std::string mark = readLog();
    EXPECT_EQ(loadMaterial("Material: Plain { }", "Other"), nullptr);
    const std::string failure = readLog().substr(mark.size());
    EXPECT_NE(failure.find("Material: Other"), std::string::npos);
    EXPECT_NE(failure.find("FAIL: Material Node Not found!"), std::string::npos);
}

TEST_F(MaterialTest, KeysSelectProgramHardnessBlendingRefractionAndSwitches)
{
    KVE_MATERIAL* soft = keep(loadMaterial("Material: Soft { Shader: SOFTPARTICLE; Hardness: 7; }", "Soft"));
    ASSERT_NE(soft, nullptr);
    EXPECT_EQ(soft->hardness, 300.0f);
    EXPECT_EQ(soft->program, kve::render::builtinProgram(KVE_SHADER_SOFT_PARTICLE));
    KVE_MATERIAL* blended = keep(loadMaterial("Material: Soft2 { Shader: SOFTPARTICLE; Blend: 12; }", "Soft2"));
    EXPECT_EQ(blended->hardness, 12.0f);

    KVE_MATERIAL* lower = keep(loadMaterial("Material: Lower { Shader: normalmap; Hardness: 7; }", "Lower"));
    EXPECT_EQ(lower->program, kve::render::builtinProgram(KVE_SHADER_DEFAULT));
    EXPECT_EQ(lower->hardness, 7.0f);
    KVE_MATERIAL* refraction = keep(loadMaterial("Material: R { Shader: REFRACTION; }", "R"));
    EXPECT_EQ(refraction->program, nullptr); // kind 14 has no program
    EXPECT_EQ(KVE_RegisterMaterial(refraction->number), 0);

    KVE_MATERIAL* additive = keep(loadMaterial("Material: Add { BlendingMode: ONE, ONE; }", "Add"));
    EXPECT_EQ(additive->blendSource, GL_ONE);
    EXPECT_EQ(additive->blendDestination, GL_ONE);
    KVE_MATERIAL* single = keep(loadMaterial("Material: One { BlendingMode: ONE; }", "One"));
    EXPECT_EQ(single->blendSource, GL_SRC_ALPHA);
    EXPECT_EQ(single->blendDestination, GL_SRC_ALPHA);
    KVE_MATERIAL* unknown = keep(loadMaterial("Material: Bad { BlendingMode: DST_COLOR, PLUS; }", "Bad"));
    EXPECT_EQ(unknown->blendSource, GL_DST_COLOR);
    EXPECT_EQ(unknown->blendDestination, GL_ZERO);

    KVE_MATERIAL* keyed = keep(loadMaterial("Material: Keys { Refraction: 10; Reflection: 0.25; Shine: 2.5;"
                                            " ShineColor: 255, 0, 0; Color: $0000FF; SurfaceScattering: 0.5;"
                                            " DepthMask: false; BackFaceCulling: disable; Wireframe: true; }",
                                            "Keys"));
    EXPECT_FLOAT_EQ(keyed->refraction, 0.1f);
    EXPECT_FLOAT_EQ(KVE_GetMaterialRefraction(keyed->number), 10.0f);
    EXPECT_EQ(keyed->reflection, 0.25f);
    EXPECT_EQ(keyed->shine, 2.5f);
    EXPECT_EQ(static_cast<uint32_t>(KVE_GetMaterialShineColor(keyed->number)), 0xFF0000FFu);
    EXPECT_EQ(static_cast<uint32_t>(KVE_GetMaterialColor(keyed->number)), 0xFF0000FFu); // alpha 0 reads opaque
    EXPECT_EQ(keyed->surfaceScattering, 0.5f);
    EXPECT_EQ(keyed->depthMask, 0);
    EXPECT_EQ(keyed->backFaceCulling, 0);
    EXPECT_EQ(keyed->wireframe, 1);
}

TEST_F(MaterialTest, TextureSlotsTakeNamedTexturesAndInlineBlocksInFileOrder)
{
    kve::test::TempDir dir("material_textures");
    kve::test::writeFile(dir / "wood.png", kve::test::pngOf(4, 4, 3, kve::test::rampPixels(4, 4, 3)));
    const std::string text = "Texture: Wood { File: wood.png; }\n"
                             "Material: Early { Texture[0]: Later; Texture[1]: Wood; Texture[4]: Wood; }\n"
                             "Texture: Later { File: wood.png; }\n"
                             "Material: Inline { Texture[2]: { File: wood.png; Filter: LINEAR; } }\n";
    kve::test::writeFile(dir / "Materials.kvd", text);
    const std::string before = readLog();
    KVE_ParseDefinitionFiles((dir / "Materials.kvd").string().c_str(), KVE_DEFINITION_ALL);
    const std::string added = readLog().substr(before.size());
    EXPECT_EQ(countOccurrences(added, "Texture[0] not found: Later"), 1);
    EXPECT_EQ(countOccurrences(added, "not found"), 1); // Texture[4] is never read

    KVE_MATERIAL* early = keep(kve::gpu::materials().findByName("Early"));
    KVE_MATERIAL* inlined = keep(kve::gpu::materials().findByName("Inline"));
    ASSERT_TRUE(early && inlined);
    const KVE_TEXTURE* wood = kve::gpu::textures().findByName("Wood");
    ASSERT_NE(wood, nullptr);
    EXPECT_EQ(KVE_GetMaterialTexture(early->number, 0), -1);
    EXPECT_EQ(KVE_GetMaterialTexture(early->number, 1), wood->number);
    EXPECT_EQ(KVE_GetMaterialTexture(early->number, 3), -1);
    const KVE_TEXTURE* block = KVE_GetTexture(KVE_GetMaterialTexture(inlined->number, 2));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block->name, "");
    EXPECT_EQ(block->width, 4);

    // Releasing a texture empties the slots (and cube maps) that name it.
    KVE_SetMaterialCubeMap(early->number, wood->number);
    KVE_ReleaseTexture(wood->number);
    EXPECT_EQ(KVE_GetMaterialTexture(early->number, 1), -1);
    EXPECT_EQ(KVE_GetMaterialCubeMap(early->number), -1);
    KVE_ReleaseTexture(block->number);
    KVE_ReleaseTexture(kve::gpu::textures().findByName("Later")->number);
}

TEST_F(MaterialTest, CreatedCopiedAndRetargetedMaterialsStayListedOnce)
{
    const auto& engine = kve::engine::state();
    KVE_MATERIAL* made = keep(KVE_CreateMaterial(-1, -1, KVE_SHADER_NORMAL_MAPPING, "made"));
    ASSERT_NE(made, nullptr);
    for (int slot = 0; slot < 3; ++slot)
        EXPECT_EQ(KVE_GetMaterialTexture(made->number, slot), engine.defaultTextures[slot]);
    EXPECT_EQ(KVE_GetMaterialTexture(made->number, 3), -1);
    EXPECT_TRUE(listed(made));
    EXPECT_EQ(KVE_RegisterMaterial(made->number), 0);
    EXPECT_EQ(KVE_UnregisterMaterial(made->number), 1);
    EXPECT_EQ(KVE_UnregisterMaterial(made->number), 0);
    EXPECT_EQ(KVE_RegisterMaterial(made->number), 1);

    KVE_MATERIAL* single = keep(KVE_CreateMaterial(-1, engine.logoTexture, KVE_SHADER_TEXTURED_SPRITE, ""));
    EXPECT_EQ(KVE_GetMaterialTexture(single->number, 0), engine.logoTexture);
    EXPECT_EQ(KVE_GetMaterialTexture(single->number, 1), -1);

    KVE_SetMaterialHardness(made->number, 9);
    KVE_SetMaterialColor(made->number, static_cast<int>(0x80FFFFFF));
    KVE_MATERIAL* copy = keep(KVE_CopyMaterial(made->number, -1, "copy"));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->hardness, 9.0f);
    EXPECT_EQ(static_cast<uint32_t>(KVE_GetMaterialColor(copy->number)), 0x80FFFFFFu);
    EXPECT_STREQ(copy->name, "copy");
    EXPECT_TRUE(listed(copy));
    // Copying under the source's own name replaces the source; the copy keeps its fields.
    KVE_MATERIAL* again = keep(KVE_CopyMaterial(copy->number, -1, "copy"));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->hardness, 9.0f);
    EXPECT_EQ(KVE_GetMaterial(made_[made_.size() - 2]), nullptr);

    KVE_MATERIAL* target = keep(KVE_CreateMaterial(-1, -1, KVE_SHADER_DEFAULT, "target"));
    EXPECT_EQ(KVE_CopyMaterialInto(made->number, target->number), 1);
    EXPECT_EQ(target->program, made->program);
    EXPECT_STREQ(target->name, "target");
    EXPECT_TRUE(listed(target));

    // A new program: out of the old list, into the new one, exactly once.
    ShaderProgram* old = made->program;
    KVE_SetMaterialKind(made->number, KVE_SHADER_TEXTURES);
    EXPECT_EQ(made->program, kve::render::builtinProgram(KVE_SHADER_TEXTURES));
    EXPECT_TRUE(listed(made));
    int underOld = 0;
    for (const auto& element : kve::render::shaderQueue(old->queue))
        for (const auto& entry : element.materials)
            underOld += entry.material == made;
    EXPECT_EQ(underOld, 0);
    KVE_SetMaterialShader(made->number, old->number);
    EXPECT_EQ(made->program, old);
    EXPECT_TRUE(listed(made));

    // Released materials leave the queues.
    KVE_MATERIAL* gone = KVE_CreateMaterial(-1, -1, KVE_SHADER_DEFAULT, "");
    const int goneNumber = gone->number;
    ASSERT_TRUE(listed(gone));
    KVE_ReleaseMaterial(goneNumber);
    int stale = 0;
    for (const auto& element : kve::render::shaderQueue(1))
        for (const auto& entry : element.materials)
            stale += entry.material->number == goneNumber;
    EXPECT_EQ(stale, 0);
}

TEST(MaterialDefaults, StartUpMadeTheDefaultAndLogoMaterials)
{
    const auto& engine = kve::engine::state();
    const KVE_MATERIAL* fallback = KVE_GetMaterial(engine.defaultMaterial);
    ASSERT_NE(fallback, nullptr);
    EXPECT_EQ(fallback->program, kve::render::builtinProgram(KVE_SHADER_DEFAULT));
    EXPECT_EQ(KVE_GetMaterialTexture(engine.defaultMaterial, 0), -1);
    const KVE_MATERIAL* logo = KVE_GetMaterial(engine.logoMaterial);
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->program, kve::render::builtinProgram(KVE_SHADER_TEXTURED_SPRITE));
    EXPECT_EQ(static_cast<uint32_t>(KVE_GetMaterialColor(engine.logoMaterial)), 0x80FFFFFFu);
    EXPECT_EQ(KVE_GetMaterialTexture(engine.logoMaterial, 0), engine.logoTexture);
}

TEST(TextureDefinitions, FilterMipmapsFilesAndRawTextures)
{
    kve::test::TempDir dir("texture_definitions");
    std::filesystem::create_directories(dir / "maps");
    kve::test::writeFile(dir / "maps/ramp.png", kve::test::pngOf(4, 4, 4, kve::test::rampPixels(4, 4, 4)));
    std::string raw;
    for (int32_t value : {2, 1, 0})
        raw += std::string(reinterpret_cast<const char*>(&value), 4);
    raw += std::string("\x11\x22\x33\x44\x55\x66", 6);
    kve::test::writeFile(dir / "tiny.kvt", raw);
    kve::test::writeFile(dir / "upper.KVT", raw);
    kve::test::writeFile(dir / "lying.kvt", raw.substr(0, 15));
    const std::string directory = dir.path().string() + "/";
    auto load = [&](const std::string& block, const std::string& name) {
        return KVE_LoadTextureDefinition(-1, parse(block, directory), name.c_str());
    };
    auto parameter = [](GLenum name) {
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
        return value;
    };

    const KVE_TEXTURE* nearest = load("Texture: N { File: 'maps\\ramp.png'; }", "N");
    ASSERT_NE(nearest, nullptr);
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(nearest->width, 4);
    EXPECT_EQ(nearest->rectangle[3], 4);
    ASSERT_NE(load("Texture: L { File: maps/ramp.png; Filter: linear; }", "L"), nullptr);
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    ASSERT_NE(load("Texture: X { File: maps/ramp.png; Filter: NONE; }", "X"), nullptr);
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    for (const auto& [value, level] : {std::pair<std::string, int>{"true", 1}, {"4", 4}}) {
        const KVE_TEXTURE* t = load("Texture: M { File: maps/ramp.png; Filter: NONE; Mipmaps: " + value + "; }", "M");
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->mipmaps, level);
        EXPECT_EQ(parameter(GL_TEXTURE_MAX_LEVEL), level);
        EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
        EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    }

    // A 2 x 1 raw texture: its first three pixel bytes are the texel at (0, 0).
    const KVE_TEXTURE* tiny = load("Texture: Tiny { File: tiny.kvt; }", "Tiny");
    ASSERT_NE(tiny, nullptr);
    EXPECT_EQ(tiny->width, 2);
    unsigned char* pixels = KVE_CopyTexturePixels(tiny->number);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 0x11);
    EXPECT_EQ(pixels[1], 0x22);
    EXPECT_EQ(pixels[2], 0x33);
    EXPECT_EQ(pixels[3], 0xFF);
    EXPECT_EQ(pixels[4], 0x44);
    std::free(pixels);

    // Upper-case KVT is decoded as an image (and fails); a raw file shorter than its
    // header claims fails; both leave nothing registered.
    const size_t count = kve::gpu::textures().size();
    for (const std::string file : {"upper.KVT", "lying.kvt", "missing.kvt"}) {
        const std::string mark = readLog();
        EXPECT_EQ(load("Texture: Bad { File: " + file + "; }", "Bad"), nullptr) << file;
        const std::string added = readLog().substr(mark.size());
        EXPECT_NE(added.find("Texture: Bad"), std::string::npos);
        EXPECT_EQ(countOccurrences(added, "Fail: Image not found!"), 1) << file;
    }
    EXPECT_EQ(kve::gpu::textures().size(), count);
    EXPECT_NE(readLog().find("File: " + directory + "upper.KVT"), std::string::npos);

    const std::string mark = readLog();
    EXPECT_EQ(KVE_LoadTextureDefinition(-1, nullptr, "Nothing"), nullptr);
    EXPECT_NE(readLog().find("FAIL: Texture Node not found!", mark.size()), std::string::npos);
    for (const char* name : {"N", "L", "X", "M", "Tiny"})
        KVE_ReleaseTexture(kve::gpu::textures().findByName(name)->number);
}

} // namespace
