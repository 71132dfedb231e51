// The pass timer: one GL_TIME_ELAPSED query per stretch of a pass (a pass may run in
// several stretches, as the point lights do between shadow maps), filed per frame and
// read only when the frame's last query reports its result available. Timer queries
// cannot nest, so opening a pass always closes the previous one.
#include "render/pass_timer.h"

#include <algorithm>
#include <deque>
#include <utility>
#include <vector>

#include "core/engine.h"
#include "kve.h"
#include "platform/gl.h"
#include "render/gl_errors.h"

namespace kve::render {
namespace {

// Frames whose results are not read yet; beyond this the oldest is given up rather
// than waited for.
constexpr size_t kMaxPendingFrames = 6;

struct PassFigures {
    int frames = 0;
    double lastMs = 0, totalMs = 0, maxMs = 0;
};

struct PendingFrame {
    std::vector<std::pair<RenderPass, unsigned>> queries; // in issue order
};

bool timing = false;
RenderPass current = RenderPass::None;
bool queryOpen = false;
PendingFrame building;
std::deque<PendingFrame> pending;
std::vector<unsigned> spareQueries;
PassFigures figures[kRenderPassCount];

unsigned takeQuery()
{
    if (spareQueries.empty()) {
        unsigned query = 0;
        glGenQueries(1, &query);
        return query;
    }
    const unsigned query = spareQueries.back();
    spareQueries.pop_back();
    return query;
}

void closeQuery()
{
    if (queryOpen)
        glEndQuery(GL_TIME_ELAPSED);
    queryOpen = false;
}

void file(const PendingFrame& frame)
{
    double sums[kRenderPassCount] = {};
    bool ran[kRenderPassCount] = {};
    for (const auto& [pass, query] : frame.queries) {
        GLuint64 nanoseconds = 0;
        glGetQueryObjectui64v(query, GL_QUERY_RESULT, &nanoseconds);
        sums[static_cast<int>(pass)] += static_cast<double>(nanoseconds) * 1e-6;
        ran[static_cast<int>(pass)] = true;
        spareQueries.push_back(query);
    }
    for (int pass = 0; pass < kRenderPassCount; ++pass) {
        if (!ran[pass])
            continue;
        PassFigures& f = figures[pass];
        ++f.frames;
        f.lastMs = sums[pass];
        f.totalMs += sums[pass];
        f.maxMs = std::max(f.maxMs, sums[pass]);
    }
}

void forget(const PendingFrame& frame)
{
    for (const auto& entry : frame.queries)
        glDeleteQueries(1, &entry.second);
}

} // namespace

const char* renderPassName(RenderPass pass)
{
    static const char* const names[kRenderPassCount + 1] = {
        "directional shadow map", "G-buffer", "sky box",     "direct light", "point shadow maps",
        "point lights",           "forward",  "debug lines", "linear depth", "glow",
        "composition",            "over-image", "particles", "billboards",  "between frames"};
    const int index = static_cast<int>(pass);
    return index >= 0 && index <= kRenderPassCount ? names[index] : names[kRenderPassCount];
}

RenderPass currentRenderPass()
{
    return current;
}

void beginRenderPass(RenderPass pass)
{
    checkGLErrors(current);
    current = pass;
    if (!timing)
        return;
    closeQuery();
    if (pass == RenderPass::None)
        return;
    const unsigned query = takeQuery();
    glBeginQuery(GL_TIME_ELAPSED, query);
    queryOpen = true;
    building.queries.emplace_back(pass, query);
}

void endFrameTiming()
{
    beginRenderPass(RenderPass::None);
    if (!timing)
        return;
    if (!building.queries.empty())
        pending.push_back(std::move(building));
    building = PendingFrame{};
    // Queries finish in order: a frame is ready when its last one is.
    while (!pending.empty()) {
        GLint available = 0;
        glGetQueryObjectiv(pending.front().queries.back().second, GL_QUERY_RESULT_AVAILABLE, &available);
        if (!available)
            break;
        file(pending.front());
        pending.pop_front();
    }
    while (pending.size() > kMaxPendingFrames) {
        forget(pending.front());
        pending.pop_front();
    }
}

void deletePassTimers()
{
    closeQuery();
    for (const PendingFrame& frame : pending)
        forget(frame);
    forget(building);
    pending.clear();
    building = PendingFrame{};
    for (const unsigned query : spareQueries)
        glDeleteQueries(1, &query);
    spareQueries.clear();
    timing = false;
    current = RenderPass::None;
}

} // namespace kve::render

extern "C" {

void KVE_SetRenderPassTiming(int enabled)
{
    using namespace kve::render;
    if (!kve::engine::state().running)
        return;
    deletePassTimers();
    for (auto& f : figures)
        f = PassFigures{};
    timing = enabled != 0;
}

int KVE_GetRenderPassTimes(KVE_RENDER_PASS_TIME* times, int capacity)
{
    using namespace kve::render;
    for (int pass = 0; times && pass < std::min(capacity, kRenderPassCount); ++pass) {
        const PassFigures& f = figures[pass];
        times[pass].name = renderPassName(static_cast<RenderPass>(pass));
        times[pass].frames = f.frames;
        times[pass].lastMs = static_cast<float>(f.lastMs);
        times[pass].averageMs = f.frames ? static_cast<float>(f.totalMs / f.frames) : 0.0f;
        times[pass].maxMs = static_cast<float>(f.maxMs);
    }
    return kRenderPassCount;
}

} // extern "C"
