// The profiler overlay that F3 shows and hides: where the frame's time goes, drawn with
// the engine's sprites and text at the top right. One bar per render pass (its GPU time
// over the last frames, the same figures --profile prints), one for the physics step,
// the objects drawn and culled, and the frame time of the last seconds as a graph.
#pragma once

#include <array>
#include <deque>

class Profiler {
public:
    // The white panel texture, its material and sprite; after the statistics font.
    void load();
    // Shows or hides the overlay. Pass timing runs only while it is shown, unless
    // `profiling` (--profile) keeps it on for the whole run.
    void toggle(bool profiling);
    bool shown() const { return shown_; }
    // Takes one frame's figures; does nothing while hidden.
    void record(float physicsMs, float frameMs);
    void draw() const;

private:
    static constexpr int kPassSlots = 32;
    static constexpr int kFramesAveraged = 30;

    struct PassHistory {
        const char* name = "";
        int measured = 0;           // frames the engine had measured when last read
        std::deque<float> recentMs; // the last kFramesAveraged measured frames
    };

    bool shown_ = false;
    bool ownsTiming_ = false;
    std::array<PassHistory, kPassSlots> passes_{};
    int passCount_ = 0;
    std::deque<float> physicsMs_;
    std::deque<float> frameMs_; // the last few seconds, oldest first
};
