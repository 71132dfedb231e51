#include "overlay.h"

#include <cstdio>
#include <string>

#include "kve.h"

namespace {

constexpr int kFont = 18;
constexpr int kCrossMaterial = 20;
constexpr int kCrossSprite = 19;
constexpr float kLeft = 20.0f;

// What the statistics show. The physics step, its energies, the object and joint sets
// and the world tree report nothing yet, so their values read 0; the benchmark share is
// computed by nothing and reads 0 as well.
struct Statistics {
    float frames = 0, physics = 0;
    float totalEnergy = 0, positionEnergy = 0, springEnergy = 0, translationEnergy = 0, rotationEnergy = 0;
    int dynamicObjects = 0, staticObjects = 0, joints = 0, treeSize = 0;
    int benchmarkPercent = 0;
};

Statistics gather()
{
    Statistics s;
    s.frames = KVE_GetFPS();
    return s;
}

std::string oneDecimal(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(value));
    return text;
}

void line(float y, const std::string& text)
{
    KVE_DrawText(kFont, kLeft, y, text.c_str(), KVE_DEFAULT, KVE_DEFAULT_FLOAT, KVE_DEFAULT_FLOAT);
}

} // namespace

void loadOverlay()
{
    KVE_LoadFont(kFont, "Arial.tf");
    const KVE_TEXTURE* cross = KVE_LoadTextureFile(KVE_AUTO_ID, "Cross.png", KVE_DEFAULT, 0, "");
    KVE_CreateMaterial(kCrossMaterial, cross ? KVE_GetTextureNumber(cross) : KVE_NO_TEXTURE,
                       KVE_SHADER_TEXTURED_SPRITE, "");
    KVE_CreateSprite(kCrossSprite, kCrossMaterial, 0, 0);
}

void drawOverlay()
{
    KVE_DrawSprite(kCrossSprite, static_cast<float>(KVE_GetScreenWidth() / 2),
                   static_cast<float>(KVE_GetScreenHeight() / 2));
    const Statistics s = gather();
    line(25, "Frames: " + oneDecimal(s.frames));
    line(50, "Physik: " + oneDecimal(s.physics));
    line(100, "Gesamtenergie: " + oneDecimal(s.totalEnergy));
    line(125, "Lage: " + oneDecimal(s.positionEnergy));
    line(150, "Spannung: " + oneDecimal(s.springEnergy));
    line(175, "Translation: " + oneDecimal(s.translationEnergy));
    line(200, "Rotation: " + oneDecimal(s.rotationEnergy));
    line(250, "Objects: " + std::to_string(s.dynamicObjects) + " (+" + std::to_string(s.staticObjects) + ")");
    line(275, "Joints: " + std::to_string(s.joints));
    line(300, "BinaryTreeSize: " + std::to_string(s.treeSize));
    line(350, "Benchmark: " + std::to_string(s.benchmarkPercent) + "%");
}
