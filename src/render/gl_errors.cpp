// The GL error reports: a red log entry per error (the first few per pass, so that an
// error repeated every frame cannot flood the log) and a count the tests read.
#include "render/gl_errors.h"

#include <cstdio>
#include <string>

#include "core/log.h"
#include "kve.h"
#include "platform/gl.h"
#include "render/pass_timer.h"

namespace kve::render {
namespace {

constexpr int kLoggedPerPass = 8;

int errorCount = 0;
bool debugOutput = false;
int logged[kRenderPassCount + 1] = {};

void report(const std::string& message, RenderPass pass)
{
    ++errorCount;
    int& count = logged[static_cast<int>(pass)];
    if (count++ < kLoggedPerPass)
        log::fail("FAIL: GL error (pass: " + std::string(renderPassName(pass)) + "): " + message, "KVE_RenderScene");
}

void APIENTRY onDebugMessage(GLenum source, GLenum type, GLuint, GLenum, GLsizei length, const GLchar* message,
                             const void*)
{
    // Shader compile failures arrive as errors too; they are logged by the shader loader.
    if (type != GL_DEBUG_TYPE_ERROR || source != GL_DEBUG_SOURCE_API)
        return;
    report(length >= 0 ? std::string(message, static_cast<size_t>(length)) : std::string(message),
           currentRenderPass());
}

} // namespace

void installGLErrorReports()
{
#ifdef KVE_GL_ERROR_REPORTS
    debugOutput = glDebugMessageCallback != nullptr && glDebugMessageControl != nullptr;
    if (debugOutput) {
        // Synchronous, so that the report comes inside the call that failed.
        glEnable(GL_DEBUG_OUTPUT);
        glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
        glDebugMessageControl(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, GL_FALSE);
        glDebugMessageControl(GL_DONT_CARE, GL_DEBUG_TYPE_ERROR, GL_DONT_CARE, 0, nullptr, GL_TRUE);
        glDebugMessageCallback(onDebugMessage, nullptr);
    }
#endif
}

void checkGLErrors(RenderPass pass)
{
#ifdef KVE_GL_ERROR_REPORTS
    if (debugOutput)
        return;
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
        char code[32];
        std::snprintf(code, sizeof code, "error 0x%04X", error);
        report(code, pass);
    }
#else
    (void)pass;
#endif
}

void forgetGLErrors()
{
    errorCount = 0;
}

} // namespace kve::render

extern "C" int KVE_GetGLErrorCount(void)
{
    return kve::render::errorCount;
}
