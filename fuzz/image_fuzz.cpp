// Fuzzes the PNG and JPEG decoders with arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "gpu/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const kve::gpu::Decoded decoded = kve::gpu::decodeImage(data, size);
    if (decoded.image && decoded.image->height > 0)
        (void)decoded.image->packedPixel(decoded.image->width - 1, decoded.image->height - 1);
    return 0;
}
