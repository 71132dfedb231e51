// The screen-copy program: draws a texture through the 2D matrix (the frame's composition
// and glow addition). A bare GL program kept here, not a shader registry entry.
#pragma once

namespace kve::render {

struct ScreenProgram {
    unsigned program = 0;
    int colorMapLocation = -1;
};

const ScreenProgram& screenProgram();
void deleteScreenProgram();

} // namespace kve::render
