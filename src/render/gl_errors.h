// GL errors reported into the log with the render pass they happened in: through the
// driver's debug output where it has one, else by glGetError at every pass boundary.
// Built into test and debug builds (KVE_GL_ERROR_REPORTS); elsewhere nothing is checked.
#pragma once

#include "render/pass_timer.h"

namespace kve::render {

// Installs the debug-output callback (start-up, after the function table is filled).
void installGLErrorReports();
// Drains glGetError when the driver has no debug output; `pass` is the pass just ended.
void checkGLErrors(RenderPass pass);
// Sets the count back to 0 (tests that raise an error on purpose).
void forgetGLErrors();

} // namespace kve::render
