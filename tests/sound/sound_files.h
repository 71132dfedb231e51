// Clips the sound tests write for themselves: WAV files byte by byte (so headers can lie)
// and tones encoded as OGG by the tools' writer.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace kve::test {

inline void putLe(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A PCM WAV file around `data`; `claimedDataSize` replaces the data chunk's true size.
inline std::string wavBytes(int rate, int channels, int bits, const std::string& data,
                            int64_t claimedDataSize = -1, int formatTag = 1)
{
    std::string out = "RIFF";
    putLe(out, static_cast<uint32_t>(36 + data.size()), 4);
    out += "WAVE";
    out += "LIST"; // a chunk the reader must step over (odd size, padded)
    putLe(out, 3, 4);
    out += std::string("abc") + '\0';
    out += "fmt ";
    putLe(out, 16, 4);
    putLe(out, static_cast<uint32_t>(formatTag), 2);
    putLe(out, static_cast<uint32_t>(channels), 2);
    putLe(out, static_cast<uint32_t>(rate), 4);
    putLe(out, static_cast<uint32_t>(rate * channels * bits / 8), 4);
    putLe(out, static_cast<uint32_t>(channels * bits / 8), 2);
    putLe(out, static_cast<uint32_t>(bits), 2);
    out += "data";
    putLe(out, static_cast<uint32_t>(claimedDataSize >= 0 ? claimedDataSize : static_cast<int64_t>(data.size())), 4);
    return out + data;
}

// `frames` frames of 16-bit mono silence-free ramp, so that every sample is known.
inline std::string rampSamples(int frames)
{
    std::string data;
    for (int i = 0; i < frames; ++i)
        putLe(data, static_cast<uint16_t>(static_cast<int16_t>(i * 5 - 1000)), 2);
    return data;
}

inline std::vector<float> tone(int rate, int frames, float hz = 440.0f)
{
    std::vector<float> samples(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        samples[static_cast<size_t>(i)] = 0.5f * std::sin(6.2831853f * hz * static_cast<float>(i) / static_cast<float>(rate));
    return samples;
}

} // namespace kve::test
