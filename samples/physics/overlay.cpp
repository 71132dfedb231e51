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

// A statistics line and its height.
struct Line {
    float y;
    std::string text;
};

// The statistics column, top to bottom; the number of sleeping bodies (when `sleeping`
// is not negative) joins the object counts.
std::vector<Line> statisticsLines(const Statistics& s, int treeSize, float physicsPercent, int sleeping)
{
    std::vector<Line> lines = {{25, "Frames: " + oneDecimal(s.frames)},
                               {50, "Physik: " + oneDecimal(s.physics)},
                               {100, "Gesamtenergie: " + oneDecimal(s.totalEnergy)},
                               {125, "Lage: " + oneDecimal(s.positionEnergy)},
                               {150, "Spannung: " + oneDecimal(s.springEnergy)},
                               {175, "Translation: " + oneDecimal(s.translationEnergy)},
                               {200, "Rotation: " + oneDecimal(s.rotationEnergy)},
                               {250, "Objects: " + std::to_string(s.dynamicObjects) + " (+" +
                                         std::to_string(s.staticObjects) + ")"},
                               {275, "Joints: " + std::to_string(s.joints)},
                               {300, "BinaryTreeSize: " + std::to_string(treeSize)}};
    if (sleeping >= 0)
        lines.push_back({325, "Sleeping: " + std::to_string(sleeping)});
    lines.push_back({350, "Benchmark: " + oneDecimal(physicsPercent) + "%"});
    return lines;
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

void drawOverlay(float physicsPercent, int sleeping)
{
    KVE_DrawSprite(kCrossSprite, static_cast<float>(KVE_GetScreenWidth() / 2),
                   static_cast<float>(KVE_GetScreenHeight() / 2));
    const Statistics s = gather();
    // The world tree is read under the physics lock, held until the last line is drawn.
    KVE_LockPhysics();
    for (const Line& line : statisticsLines(s, KVE_GetPhysicsTreeSize(), physicsPercent, sleeping))
        KVE_DrawText(kStatisticsFont, kLeft, line.y, line.text.c_str(), KVE_DEFAULT, KVE_DEFAULT_FLOAT,
                     KVE_DEFAULT_FLOAT);
    KVE_UnlockPhysics();
}

void printStatistics(float physicsPercent, int sleeping)
{
    const Statistics s = gather();
    KVE_LockPhysics();
    const auto lines = statisticsLines(s, KVE_GetPhysicsTreeSize(), physicsPercent, sleeping);
    KVE_UnlockPhysics();
    for (const Line& line : lines)
        std::printf("%s\n", line.text.c_str());
}
