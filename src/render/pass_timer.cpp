// The pass timer. On a driver whose timer queries can be trusted, one GL_TIME_ELAPSED
// query per stretch of a pass (a pass may run in several stretches, as the point lights
// do between shadow maps), filed per frame and read only when the frame's last query
// reports its result available; timer queries cannot nest, so opening a pass always
// closes the previous one. A frame whose query results add up to more than the wall time
// from its first pass to the moment they were read cannot be true: it is never filed,
// and the timer goes over to the CPU method. On a software rasteriser the queries measure
// the rasteriser's own bookkeeping rather than the pass, so the CPU method is used from
// the start: glFinish at every pass boundary, and the CPU clock between them.
#include "render/pass_timer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <utility>
#include <vector>

#include "core/engine.h"
#include "core/log.h"
#include "kve.h"
#include "platform/gl.h"
#include "render/gl_errors.h"

namespace kve::render {
namespace {

using Clock = std::chrono::steady_clock;

// Frames whose results are not read yet; beyond this the oldest is given up rather
// than waited for.
constexpr size_t kMaxPendingFrames = 6;

struct PassFigures {
    int frames = 0;
    double lastMs = 0, totalMs = 0, maxMs = 0;
};

struct PendingFrame {
    std::vector<std::pair<RenderPass, unsigned>> queries; // in issue order
    Clock::time_point start{};                            // when the frame's first pass opened
};

int method = KVE_PASS_TIMING_OFF;
RenderPass current = RenderPass::None;
bool queryOpen = false;
PendingFrame building;
std::deque<PendingFrame> pending;
std::vector<unsigned> spareQueries;
PassFigures figures[kRenderPassCount];
// CPU method: the running pass's start and the frame's sums so far.
Clock::time_point cpuPassStart{};
double cpuSums[kRenderPassCount] = {};
bool cpuRan[kRenderPassCount] = {};

double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// KVE_GPU_TIMER_QUERIES=1 asks for the queries on a software rasteriser too (with their
// results still checked), to compare the two methods there.
bool softwareRasterizer()
{
    if (const char* forced = std::getenv("KVE_GPU_TIMER_QUERIES"); forced && std::strcmp(forced, "1") == 0)
        return false;
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (!renderer)
        return true;
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "SWR"})
        if (std::strstr(renderer, name))
            return true;
    return false;
}

bool timerQueriesUsable()
{
    if (!glGenQueries || !glBeginQuery || !glGetQueryiv || !glGetQueryObjectui64v)
        return false;
    GLint bits = 0;
    glGetQueryiv(GL_TIME_ELAPSED, GL_QUERY_COUNTER_BITS, &bits);
    return bits > 0;
}

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

void fileFrame(const double (&sums)[kRenderPassCount], const bool (&ran)[kRenderPassCount])
{
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

void releaseQueries()
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
}

void resetCpuFrame()
{
    std::fill(std::begin(cpuSums), std::end(cpuSums), 0.0);
    std::fill(std::begin(cpuRan), std::end(cpuRan), false);
}

void useCpuMethod()
{
    releaseQueries();
    for (auto& f : figures)
        f = PassFigures{};
    resetCpuFrame();
    method = KVE_PASS_TIMING_CPU;
}

// Files a frame whose results are all available; false when they cannot be true.
bool fileQueries(const PendingFrame& frame, Clock::time_point readAt)
{
    double sums[kRenderPassCount] = {};
    bool ran[kRenderPassCount] = {};
    double total = 0;
    for (const auto& [pass, query] : frame.queries) {
        GLuint64 nanoseconds = 0;
        glGetQueryObjectui64v(query, GL_QUERY_RESULT, &nanoseconds);
        const double ms = static_cast<double>(nanoseconds) * 1e-6;
        sums[static_cast<int>(pass)] += ms;
        ran[static_cast<int>(pass)] = true;
        total += ms;
        spareQueries.push_back(query);
    }
    if (total > millisecondsBetween(frame.start, readAt))
        return false;
    fileFrame(sums, ran);
    return true;
}

void beginQueryPass(RenderPass pass)
{
    closeQuery();
    if (pass == RenderPass::None)
        return;
    if (building.queries.empty())
        building.start = Clock::now();
    const unsigned query = takeQuery();
    glBeginQuery(GL_TIME_ELAPSED, query);
    queryOpen = true;
    building.queries.emplace_back(pass, query);
}

void beginCpuPass(RenderPass closing)
{
    // The finish charges the GPU work queued so far to the pass that queued it.
    glFinish();
    const Clock::time_point now = Clock::now();
    if (closing != RenderPass::None) {
        cpuSums[static_cast<int>(closing)] += millisecondsBetween(cpuPassStart, now);
        cpuRan[static_cast<int>(closing)] = true;
    }
    cpuPassStart = now;
}

// Every query of the frame, not only its last: a driver need not finish them in order.
bool resultsAvailable(const PendingFrame& frame)
{
    for (const auto& entry : frame.queries) {
        GLint available = 0;
        glGetQueryObjectiv(entry.second, GL_QUERY_RESULT_AVAILABLE, &available);
        if (!available)
            return false;
    }
    return true;
}

void endQueryFrame()
{
    if (!building.queries.empty())
        pending.push_back(std::move(building));
    building = PendingFrame{};
    while (!pending.empty() && resultsAvailable(pending.front())) {
        const PendingFrame frame = std::move(pending.front());
        pending.pop_front();
        if (!fileQueries(frame, Clock::now())) {
            log::warn("GPU timer queries gave a pass longer than its frame; render passes are timed on "
                      "the CPU from now on",
                      "KVE_RenderScene");
            useCpuMethod();
            return;
        }
    }
    while (pending.size() > kMaxPendingFrames) {
        forget(pending.front());
        pending.pop_front();
    }
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
    const RenderPass closing = current;
    current = pass;
    if (method == KVE_PASS_TIMING_GPU)
        beginQueryPass(pass);
    else if (method == KVE_PASS_TIMING_CPU && (closing != RenderPass::None || pass != RenderPass::None))
        beginCpuPass(closing);
}

void endFrameTiming()
{
    beginRenderPass(RenderPass::None);
    if (method == KVE_PASS_TIMING_GPU) {
        endQueryFrame();
    } else if (method == KVE_PASS_TIMING_CPU) {
        fileFrame(cpuSums, cpuRan);
        resetCpuFrame();
    }
}

void deletePassTimers()
{
    releaseQueries();
    resetCpuFrame();
    method = KVE_PASS_TIMING_OFF;
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
    if (enabled == 0)
        return;
    const bool queries = timerQueriesUsable() && !softwareRasterizer();
    method = enabled == KVE_PASS_TIMING_CPU || !queries ? KVE_PASS_TIMING_CPU : KVE_PASS_TIMING_GPU;
}

int KVE_GetRenderPassTimingMethod(void)
{
    return kve::render::method;
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
