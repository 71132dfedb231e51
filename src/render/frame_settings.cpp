#include "render/frame_settings.h"

namespace kve::render {

FrameSettings& frameSettings()
{
    static FrameSettings settings;
    return settings;
}

} // namespace kve::render
