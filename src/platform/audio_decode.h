// Sound file decoding for the playback service: WAV (PCM, 8 or 16 bits, mono or stereo)
// read directly and OGG/Vorbis through libvorbisfile, both delivered as interleaved
// signed 16-bit samples, either in pieces (streams) or whole.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kve::platform::audio {

struct PcmFormat {
    int channels = 0; // 1 or 2
    int rate = 0;     // frames per second
};

// Clips loaded whole are limited so that a file claiming an absurd length cannot take all
// memory; longer material is meant to be streamed.
inline constexpr size_t kMaxWholeClipBytes = size_t{256} << 20;

class Decoder {
public:
    virtual ~Decoder() = default;
    const PcmFormat& format() const { return format_; }
    // Up to `frames` frames into `out` (room for frames x channels samples): the number
    // read, 0 at the end of the data, -1 when the data is damaged.
    virtual long read(int16_t* out, long frames) = 0;
    // Back to the first frame; false when the file cannot be read again.
    virtual bool rewind() = 0;
    // The number of frames the file states it holds; read() never gives more.
    virtual int64_t statedFrames() const = 0;

protected:
    PcmFormat format_;
};

// Opens a WAV or OGG file, told apart by its first bytes. Null, with `error` set to the
// log message, when the file is missing, of another kind or damaged in its header.
std::unique_ptr<Decoder> openDecoder(const std::string& path, std::string* error);

struct Pcm {
    PcmFormat format;
    std::vector<int16_t> samples; // interleaved
    long frames() const { return format.channels ? static_cast<long>(samples.size()) / format.channels : 0; }
};

// The whole file decoded; nothing, with `error` set, when it cannot be opened, holds no
// samples, is damaged anywhere, or states more than kMaxWholeClipBytes (refused before
// decoding).
std::optional<Pcm> decodeWhole(const std::string& path, std::string* error);

// Whether a failure message says the file could not be opened.
bool isNotFound(std::string_view message);
// A failure message of this unit as the reason in an entry naming the file: without its
// "Fail: " and "!", starting in lower case ("damaged OGG file").
std::string failureReason(std::string_view message);

} // namespace kve::platform::audio
