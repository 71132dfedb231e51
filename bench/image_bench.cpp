// Image decoding: the engine's decoders against libpng's simplified reading API on the
// same bytes, and JPEG decoding at the size of the engine's default textures.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "gpu/image.h"
#include "gpu/image_write.h"

namespace {

// A 512 x 512 picture with smooth gradients and some noise, like a texture.
std::vector<uint8_t> picture(int channels)
{
    std::vector<uint8_t> pixels;
    uint32_t seed = 1;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>(seed >> 28);
            pixels.push_back(static_cast<uint8_t>((x / 2 + noise) & 0xFF));
            pixels.push_back(static_cast<uint8_t>((y / 2 + noise) & 0xFF));
            pixels.push_back(static_cast<uint8_t>(128 + 100 * std::sin(x * 0.05) * std::cos(y * 0.05)));
            if (channels == 4)
                pixels.push_back(static_cast<uint8_t>(255 - noise));
        }
    return pixels;
}

const std::vector<uint8_t>& pngFile()
{
    static const std::vector<uint8_t> bytes = kve::gpu::encodePng(512, 512, 4, picture(4).data());
    return bytes;
}

const std::vector<uint8_t>& jpegFile()
{
    static const std::vector<uint8_t> bytes = kve::gpu::encodeJpeg(512, 512, picture(3).data(), 90);
    return bytes;
}

void engineDecodePng(benchmark::State& state)
{
    const auto& bytes = pngFile();
    for (auto _ : state) {
        auto decoded = kve::gpu::decodeImage(bytes.data(), bytes.size());
        benchmark::DoNotOptimize(decoded.image->pixels.data());
    }
    state.SetBytesProcessed(state.iterations() * 512 * 512 * 4);
}
BENCHMARK(engineDecodePng)->Unit(benchmark::kMillisecond);

void libpngSimplifiedDecodePng(benchmark::State& state)
{
    const auto& bytes = pngFile();
    std::vector<uint8_t> pixels(512 * 512 * 4);
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_memory(&image, bytes.data(), bytes.size());
        image.format = PNG_FORMAT_RGBA;
        png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(state.iterations() * 512 * 512 * 4);
}
BENCHMARK(libpngSimplifiedDecodePng)->Unit(benchmark::kMillisecond);

void engineDecodeJpeg(benchmark::State& state)
{
    const auto& bytes = jpegFile();
    for (auto _ : state) {
        auto decoded = kve::gpu::decodeImage(bytes.data(), bytes.size());
        benchmark::DoNotOptimize(decoded.image->pixels.data());
    }
    state.SetBytesProcessed(state.iterations() * 512 * 512 * 3);
}
BENCHMARK(engineDecodeJpeg)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
