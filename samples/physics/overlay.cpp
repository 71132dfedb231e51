#include "overlay.h"

#include <cstdio>
#include <string>
#include <vector>

#include "kve.h"

namespace {

constexpr int kCrossMaterial = 20;
constexpr int kCrossSprite = 19;
constexpr float kLeft = 20.0f;

// What the statistics show: frame and step rates, the energy sums and the set sizes.
struct Statistics {
    float frames = 0, physics = 0;
    float totalEnergy = 0, positionEnergy = 0, springEnergy = 0, translationEnergy = 0, rotationEnergy = 0;
    int dynamicObjects = 0, staticObjects = 0, joints = 0;
};

Statistics gather()
{
    Statistics s;
    s.frames = KVE_GetFPS();
    s.physics = KVE_GetPhysicsStepRate();
    s.totalEnergy = KVE_GetPhysicsEnergy(KVE_ENERGY_TRANSLATION | KVE_ENERGY_ROTATION | KVE_ENERGY_POSITION |
                                         KVE_ENERGY_TENSION);
    s.positionEnergy = KVE_GetPhysicsEnergy(KVE_ENERGY_POSITION);
    s.springEnergy = KVE_GetPhysicsEnergy(KVE_ENERGY_TENSION);
    s.translationEnergy = KVE_GetPhysicsEnergy(KVE_ENERGY_TRANSLATION);
    s.rotationEnergy = KVE_GetPhysicsEnergy(KVE_ENERGY_ROTATION);
    s.dynamicObjects = KVE_GetPhysicsObjectCount(1);
    s.staticObjects = KVE_GetPhysicsObjectCount(0);
    s.joints = KVE_GetJointCount();
    return s;
}

std::string oneDecimal(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(value));
    return text;
}

// The statistics column, top to bottom, at the heights of kLineY.
constexpr float kLineY[] = {25, 50, 100, 125, 150, 175, 200, 250, 275, 300, 350};

std::vector<std::string> statisticsLines(const Statistics& s, int treeSize, float physicsPercent)
{
    return {"Frames: " + oneDecimal(s.frames),
            "Physik: " + oneDecimal(s.physics),
            "Gesamtenergie: " + oneDecimal(s.totalEnergy),
            "Lage: " + oneDecimal(s.positionEnergy),
            "Spannung: " + oneDecimal(s.springEnergy),
            "Translation: " + oneDecimal(s.translationEnergy),
            "Rotation: " + oneDecimal(s.rotationEnergy),
            "Objects: " + std::to_string(s.dynamicObjects) + " (+" + std::to_string(s.staticObjects) + ")",
            "Joints: " + std::to_string(s.joints),
            "BinaryTreeSize: " + std::to_string(treeSize),
            "Benchmark: " + oneDecimal(physicsPercent) + "%"};
}

} // namespace

void loadOverlay()
{
    KVE_LoadFont(kStatisticsFont, "Arial.tf");
    const KVE_TEXTURE* cross = KVE_LoadTextureFile(KVE_AUTO_ID, "Cross.png", KVE_DEFAULT, 0, "");
    KVE_CreateMaterial(kCrossMaterial, cross ? KVE_GetTextureNumber(cross) : KVE_NO_TEXTURE,
                       KVE_SHADER_TEXTURED_SPRITE, "");
    KVE_CreateSprite(kCrossSprite, kCrossMaterial, 0, 0);
}

void drawOverlay(float physicsPercent)
{
    KVE_DrawSprite(kCrossSprite, static_cast<float>(KVE_GetScreenWidth() / 2),
                   static_cast<float>(KVE_GetScreenHeight() / 2));
    const Statistics s = gather();
    // The world tree is read under the physics lock, held until the last line is drawn.
    KVE_LockPhysics();
    const auto texts = statisticsLines(s, KVE_GetPhysicsTreeSize(), physicsPercent);
    for (size_t i = 0; i < texts.size(); ++i)
        KVE_DrawText(kStatisticsFont, kLeft, kLineY[i], texts[i].c_str(), KVE_DEFAULT, KVE_DEFAULT_FLOAT,
                     KVE_DEFAULT_FLOAT);
    KVE_UnlockPhysics();
}

void printStatistics(float physicsPercent)
{
    const Statistics s = gather();
    KVE_LockPhysics();
    const auto texts = statisticsLines(s, KVE_GetPhysicsTreeSize(), physicsPercent);
    KVE_UnlockPhysics();
    for (const std::string& text : texts)
        std::printf("%s\n", text.c_str());
}
