#include "profiler.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <string>

#include "kve.h"
#include "overlay.h"

namespace {

constexpr int kPanelMaterial = 22;
constexpr int kPanelSprite = 23;
constexpr int kTopLeftOrigin = 1;

// Layout in pixels, from the panel's top-left corner.
constexpr float kPanelWidth = 420.0f, kMargin = 20.0f, kPadding = 10.0f;
constexpr float kLineHeight = 20.0f, kTextSize = 0.8f;
constexpr float kBarLeft = 180.0f, kBarWidth = 160.0f, kBarHeight = 12.0f, kFigureLeft = 348.0f;
constexpr float kGraphHeight = 70.0f;
constexpr float kGraphSeconds = 5.0f;
constexpr float kGraphFloorMs = 33.3f; // the graph's top is never below a 30 Hz frame

// Packed colours: red in the lowest byte, alpha in the highest.
constexpr int kBackground = static_cast<int>(0xE0181818u);
constexpr int kPassBar = static_cast<int>(0xFF40A0FFu);
constexpr int kPhysicsBar = static_cast<int>(0xFF60E040u);
constexpr int kGraphBar = static_cast<int>(0xFF40E0FFu);
constexpr int kText = static_cast<int>(0xFFFFFFFFu);

void fill(float x, float y, float width, float height, int color)
{
    if (width <= 0.0f || height <= 0.0f)
        return;
    KVE_SetMaterialColor(kPanelMaterial, color);
    KVE_SetSpriteSize(kPanelSprite, width, height);
    KVE_DrawSprite(kPanelSprite, x, y);
}

void text(float x, float y, const std::string& line)
{
    KVE_DrawText(kStatisticsFont, x, y, line.c_str(), kText, kTextSize, KVE_DEFAULT_FLOAT);
}

std::string milliseconds(float ms)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f ms", static_cast<double>(ms));
    return buffer;
}

float mean(const std::deque<float>& values)
{
    return values.empty() ? 0.0f
                          : std::accumulate(values.begin(), values.end(), 0.0f) / static_cast<float>(values.size());
}

void keepLast(std::deque<float>& values, float value, size_t count)
{
    values.push_back(value);
    while (values.size() > count)
        values.pop_front();
}

} // namespace

void Profiler::load()
{
    const KVE_TEXTURE* white = KVE_LoadTextureFile(KVE_AUTO_ID, "Panel.png", KVE_DEFAULT, 0, "");
    KVE_CreateMaterial(kPanelMaterial, white ? KVE_GetTextureNumber(white) : KVE_NO_TEXTURE, KVE_SHADER_TEXTURED_SPRITE,
                       "");
    KVE_CreateSprite(kPanelSprite, kPanelMaterial, kTopLeftOrigin, 0);
}

void Profiler::toggle(bool profiling)
{
    shown_ = !shown_;
    if (shown_ && !profiling) {
        KVE_SetRenderPassTiming(1);
        ownsTiming_ = true;
    } else if (!shown_ && ownsTiming_) {
        KVE_SetRenderPassTiming(0);
        ownsTiming_ = false;
    }
    if (shown_) { // figures of an earlier showing are stale
        passes_ = {};
        physicsMs_.clear();
        frameMs_.clear();
    }
}

void Profiler::record(float physicsMs, float frameMs)
{
    if (!shown_)
        return;
    KVE_RENDER_PASS_TIME times[kPassSlots];
    passCount_ = std::clamp(KVE_GetRenderPassTimes(times, kPassSlots), 0, kPassSlots);
    for (int i = 0; i < passCount_; ++i) {
        PassHistory& pass = passes_[static_cast<size_t>(i)];
        pass.name = times[i].name;
        // Results arrive a frame or two late, and not for passes that did not run.
        if (times[i].frames != pass.measured)
            keepLast(pass.recentMs, times[i].lastMs, kFramesAveraged);
        pass.measured = times[i].frames;
    }
    keepLast(physicsMs_, physicsMs, kFramesAveraged);
    frameMs_.push_back(frameMs);
    float seconds = std::accumulate(frameMs_.begin(), frameMs_.end(), 0.0f) / 1000.0f;
    while (frameMs_.size() > static_cast<size_t>(kPanelWidth - 2 * kPadding) ||
           (frameMs_.size() > 1 && seconds > kGraphSeconds)) {
        seconds -= frameMs_.front() / 1000.0f;
        frameMs_.pop_front();
    }
}

void Profiler::draw() const
{
    if (!shown_)
        return;
    const float left = static_cast<float>(KVE_GetScreenWidth()) - kPanelWidth - kMargin;
    int rows = 4; // title, physics, objects, casters
    for (int i = 0; i < passCount_; ++i)
        rows += passes_[static_cast<size_t>(i)].recentMs.empty() ? 0 : 1;
    const float height = kPadding * 3 + kLineHeight * static_cast<float>(rows) + kGraphHeight;
    fill(left, kMargin, kPanelWidth, height, kBackground);

    // Bars share one scale: the recent frame's time fills the bar.
    const float frame = std::max(mean(frameMs_), 0.1f);
    float y = kMargin + kPadding;
    const auto bar = [&](const std::string& label, float ms, int color) {
        text(left + kPadding, y, label);
        fill(left + kBarLeft, y + 3.0f, std::min(kBarWidth, kBarWidth * ms / frame), kBarHeight, color);
        text(left + kFigureLeft, y, milliseconds(ms));
        y += kLineHeight;
    };
    text(left + kPadding, y, "Profiler (F3)   frame " + milliseconds(frame));
    y += kLineHeight;
    for (int i = 0; i < passCount_; ++i) {
        const PassHistory& pass = passes_[static_cast<size_t>(i)];
        if (!pass.recentMs.empty())
            bar(pass.name, mean(pass.recentMs), kPassBar);
    }
    bar("physics step", mean(physicsMs_), kPhysicsBar);

    KVE_FRAME_STATISTICS statistics{};
    KVE_GetFrameStatistics(&statistics, sizeof statistics);
    text(left + kPadding, y,
         "objects drawn " + std::to_string(statistics.objectsDrawn) + ", culled " +
             std::to_string(statistics.objectsCulled));
    y += kLineHeight;
    text(left + kPadding, y,
         "shadow casters drawn " + std::to_string(statistics.shadowCastersDrawn) + ", culled " +
             std::to_string(statistics.shadowCastersCulled));
    y += kLineHeight + kPadding;

    // The frame time graph: one column per frame, newest at the right.
    const float top =
        frameMs_.empty() ? kGraphFloorMs : std::max(kGraphFloorMs, *std::max_element(frameMs_.begin(), frameMs_.end()));
    const float bottom = y + kGraphHeight;
    float x = left + kPanelWidth - kPadding - static_cast<float>(frameMs_.size());
    for (const float ms : frameMs_) {
        const float h = std::max(1.0f, kGraphHeight * ms / top);
        fill(x, bottom - h, 1.0f, h, kGraphBar);
        x += 1.0f;
    }
    text(left + kPadding, y, milliseconds(top));
}
