// Writing PNG files with libpng.
#pragma once

#include <cstdint>
#include <string>

namespace kve::gpu {

// Writes `height` rows of `width` pixels, the top row first, each pixel `channels`
// bytes (3 = RGB, 4 = RGBA). False (nothing useful written) when the file cannot be made.
bool writePng(const std::string& path, int width, int height, int channels, const uint8_t* pixels);

} // namespace kve::gpu
