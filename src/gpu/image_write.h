// Encoding pixel buffers as PNG (libpng) or JPEG (libjpeg) in memory. Used by the engine
// and by the build's data tools, so it depends on nothing but the two libraries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kve::gpu {

// `height` rows of `width` pixels, top row first, `channels` bytes each (3 = RGB,
// 4 = RGBA). Empty when the arguments are unusable or the library fails.
std::vector<uint8_t> encodePng(int width, int height, int channels, const uint8_t* pixels);
// RGB pixels (3 bytes each), top row first; quality 1..100.
std::vector<uint8_t> encodeJpeg(int width, int height, const uint8_t* pixels, int quality);

// Writes the bytes as a whole file; false when the file cannot be made or the bytes are empty.
bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace kve::gpu
