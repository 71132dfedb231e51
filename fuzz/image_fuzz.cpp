// Fuzzes the image decoders behind textures with arbitrary bytes: PNG and JPEG, and the
// engine's raw ".kvt" texture layout.
#include <cstddef>
#include <cstdint>

#include "gpu/image.h"

namespace {

// Touches the last pixel, so that a decoder that gives fewer pixels than it claims shows.
void touchLastPixel(const kve::gpu::Decoded& decoded)
{
    if (decoded.image && decoded.image->width > 0 && decoded.image->height > 0)
        (void)decoded.image->packedPixel(decoded.image->width - 1, decoded.image->height - 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    touchLastPixel(kve::gpu::decodeImage(data, size));
    touchLastPixel(kve::gpu::decodeRawTexture(data, size));
    return 0;
}
