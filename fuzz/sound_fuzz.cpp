// Fuzzes the WAV and OGG/Vorbis decoders the playback service uses, without an audio
// device: a clip decoded whole, and the same file streamed in uneven pieces with a rewind
// half-way, as a streaming channel that loops would read it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_file.h"
#include "platform/audio_decode.h"

namespace audio = kve::platform::audio;

namespace {

// Pieces stop at the end, at damage, or after a bound that keeps one run short.
void stream(audio::Decoder& decoder)
{
    const int channels = decoder.format().channels;
    if (channels != 1 && channels != 2)
        std::abort();
    std::vector<int16_t> piece(1021 * static_cast<size_t>(channels));
    for (int i = 0; i < 64; ++i) {
        const long frames = 1 + (i * 397) % 1021;
        const long got = decoder.read(piece.data(), frames);
        if (got > frames)
            std::abort();
        if (got <= 0)
            break;
        if (i == 8 && !decoder.rewind())
            break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = kve::fuzz::writeInput(data, size);
    if (path.empty())
        return 0;
    std::string error;
    const std::optional<audio::Pcm> whole = audio::decodeWhole(path, &error);
    if (whole && (whole->samples.empty() || whole->samples.size() % static_cast<size_t>(whole->format.channels)))
        std::abort();
    if (!whole && error.empty())
        std::abort();
    if (std::unique_ptr<audio::Decoder> decoder = audio::openDecoder(path, &error))
        stream(*decoder);
    return 0;
}
