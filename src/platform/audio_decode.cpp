// WAV chunks are walked with every size checked against the file's real length, so a
// header that lies about its data is refused instead of read past; OGG/Vorbis goes
// through libvorbisfile, which reports damaged pages as errors rather than crashing.
#include "platform/audio_decode.h"

#include <ogg/ogg.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace kve::platform::audio {
namespace {

constexpr const char* kNotFound = "Fail: Sound file not found!";
constexpr const char* kUnknownFormat = "Fail: Unknown sound format!";
constexpr const char* kDamagedWav = "Fail: Damaged WAV file!";
constexpr const char* kDamagedOgg = "Fail: Damaged OGG file!";
constexpr const char* kUnsupported = "Fail: Only mono and stereo sounds are supported!";
constexpr const char* kEmpty = "Fail: Sound file holds no samples!";
constexpr const char* kTooLarge = "Fail: Sound too large to load whole!";
constexpr int kMaxRate = 768000;
// Consecutive holes (lost pages) tolerated before an OGG stream counts as damaged.
constexpr int kMaxHoles = 64;

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool validFormat(const PcmFormat& format)
{
    return (format.channels == 1 || format.channels == 2) && format.rate > 0 && format.rate <= kMaxRate;
}

uint32_t le32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t le16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

class WavDecoder final : public Decoder {
public:
    // Walks the chunks of a RIFF/WAVE file up to its "data" chunk.
    bool open(File file, long fileSize, std::string* error)
    {
        file_ = std::move(file);
        std::array<unsigned char, 12> riff{};
        if (std::fread(riff.data(), 1, riff.size(), file_.get()) != riff.size())
            return fail(error, kDamagedWav);
        long offset = 12;
        bool haveFormat = false;
        while (offset + 8 <= fileSize) {
            std::array<unsigned char, 8> header{};
            if (std::fseek(file_.get(), offset, SEEK_SET) != 0 ||
                std::fread(header.data(), 1, header.size(), file_.get()) != header.size())
                return fail(error, kDamagedWav);
            const uint32_t size = le32(header.data() + 4);
            const long body = offset + 8;
            if (size > static_cast<uint64_t>(fileSize - body))
                return fail(error, kDamagedWav);
            if (std::memcmp(header.data(), "fmt ", 4) == 0) {
                if (size < 16 || !readFormat())
                    return fail(error, kDamagedWav);
                haveFormat = true;
            } else if (std::memcmp(header.data(), "data", 4) == 0) {
                if (!haveFormat)
                    return fail(error, kDamagedWav);
                if (!validFormat(format_))
                    return fail(error, kUnsupported);
                dataStart_ = body;
                dataFrames_ = static_cast<long>(size / frameBytes());
                return std::fseek(file_.get(), dataStart_, SEEK_SET) == 0 || fail(error, kDamagedWav);
            }
            offset = body + static_cast<long>(size) + (size & 1);
        }
        return fail(error, kDamagedWav);
    }

    long read(int16_t* out, long frames) override
    {
        frames = std::min(frames, dataFrames_ - position_);
        if (frames <= 0)
            return 0;
        const size_t samples = static_cast<size_t>(frames) * static_cast<size_t>(format_.channels);
        if (bits_ == 16) {
            std::vector<unsigned char> bytes(samples * 2);
            if (std::fread(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size())
                return -1;
            for (size_t i = 0; i < samples; ++i)
                out[i] = static_cast<int16_t>(le16(&bytes[i * 2]));
        } else {
            std::vector<unsigned char> bytes(samples);
            if (std::fread(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size())
                return -1;
            // 8-bit WAV samples are unsigned around 128.
            for (size_t i = 0; i < samples; ++i)
                out[i] = static_cast<int16_t>((bytes[i] - 128) * 256);
        }
        position_ += frames;
        return frames;
    }

    bool rewind() override
    {
        position_ = 0;
        return std::fseek(file_.get(), dataStart_, SEEK_SET) == 0;
    }

    int64_t statedFrames() const override { return dataFrames_; }

private:
    static bool fail(std::string* error, const char* message)
    {
        *error = message;
        return false;
    }

    bool readFormat()
    {
        std::array<unsigned char, 16> fmt{};
        if (std::fread(fmt.data(), 1, fmt.size(), file_.get()) != fmt.size())
            return false;
        const int tag = le16(&fmt[0]);
        format_.channels = le16(&fmt[2]);
        format_.rate = static_cast<int>(std::min<uint32_t>(le32(&fmt[4]), kMaxRate + 1));
        bits_ = le16(&fmt[14]);
        return tag == 1 && (bits_ == 8 || bits_ == 16);
    }

    long frameBytes() const { return static_cast<long>(format_.channels) * (bits_ / 8); }

    File file_;
    int bits_ = 0;
    long dataStart_ = 0;
    long dataFrames_ = 0;
    long position_ = 0;
};

// Whether the last page of an OGG file ends its stream. An encoder always closes the
// stream with a page flagged end-of-stream, so a file whose last whole page lacks the flag
// was cut after it, or inside the page that follows. Only the tail is read: a page is at
// most 65307 bytes, so twice that holds at least one whole page when the file has one.
bool endsWithEndOfStream(const std::string& path)
{
    constexpr long kLargestPage = 27 + 255 + 255 * 255;
    File file(std::fopen(path.c_str(), "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0)
        return false;
    const long size = std::ftell(file.get());
    const long start = std::max(0L, size - 2 * kLargestPage);
    if (size <= 0 || std::fseek(file.get(), start, SEEK_SET) != 0)
        return false;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    const long length = size - start;
    char* buffer = ogg_sync_buffer(&sync, length);
    bool ended = false;
    if (buffer && std::fread(buffer, 1, static_cast<size_t>(length), file.get()) == static_cast<size_t>(length)) {
        ogg_sync_wrote(&sync, length);
        ogg_page page;
        for (int result; (result = ogg_sync_pageout(&sync, &page)) != 0;)
            if (result > 0)
                ended = ogg_page_eos(&page) != 0;
    }
    ogg_sync_clear(&sync);
    return ended;
}

class OggDecoder final : public Decoder {
public:
    ~OggDecoder() override
    {
        if (open_)
            ov_clear(&file_);
    }

    bool open(const std::string& path, std::string* error)
    {
        if (ov_fopen(path.c_str(), &file_) != 0) {
            *error = kDamagedOgg;
            return false;
        }
        open_ = true;
        const vorbis_info* info = ov_info(&file_, -1);
        if (!info) {
            *error = kDamagedOgg;
            return false;
        }
        format_ = {info->channels, static_cast<int>(std::min<long>(info->rate, kMaxRate + 1))};
        if (!validFormat(format_)) {
            *error = kUnsupported;
            return false;
        }
        // The stream's own length, from the position its last page states. A file cut
        // inside its audio is refused here, as one cut inside its headers is.
        declaredFrames_ = ov_pcm_total(&file_, -1);
        if (declaredFrames_ < 0 || !endsWithEndOfStream(path)) {
            *error = kDamagedOgg;
            return false;
        }
        return true;
    }

    long read(int16_t* out, long frames) override
    {
        const int frameBytes = 2 * format_.channels;
        auto* bytes = reinterpret_cast<char*>(out);
        long filled = 0;
        int holes = 0;
        while (filled < frames) {
            int section = 0;
            const long got = ov_read(&file_, bytes + filled * frameBytes, static_cast<int>((frames - filled) * frameBytes),
                                     0, 2, 1, &section);
            if (got == 0)
                break;
            if (got == OV_HOLE && ++holes <= kMaxHoles)
                continue;
            if (got < 0)
                return -1;
            // A chained stream that changes its layout cannot go on into the same buffer.
            const vorbis_info* info = ov_info(&file_, section);
            if (!info || info->channels != format_.channels || got % frameBytes != 0)
                return -1;
            filled += got / frameBytes;
            holes = 0;
            // Packets that decode to more than the stream states (a few bytes of silent
            // packets can claim megabytes) are damage, not sound.
            if (position_ + filled > declaredFrames_)
                return -1;
        }
        position_ += filled;
        return filled;
    }

    bool rewind() override
    {
        position_ = 0;
        return ov_raw_seek(&file_, 0) == 0;
    }

    int64_t statedFrames() const override { return declaredFrames_; }

private:
    OggVorbis_File file_{};
    bool open_ = false;
    ogg_int64_t declaredFrames_ = 0;
    ogg_int64_t position_ = 0;
};

} // namespace

std::unique_ptr<Decoder> openDecoder(const std::string& path, std::string* error)
{
    std::string ignored;
    if (!error)
        error = &ignored;
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        *error = kNotFound;
        return nullptr;
    }
    std::array<char, 12> magic{};
    const size_t got = std::fread(magic.data(), 1, magic.size(), file.get());
    if (std::fseek(file.get(), 0, SEEK_END) != 0) {
        *error = kNotFound;
        return nullptr;
    }
    const long size = std::ftell(file.get());
    std::rewind(file.get());
    if (got == magic.size() && std::memcmp(magic.data(), "RIFF", 4) == 0 &&
        std::memcmp(magic.data() + 8, "WAVE", 4) == 0) {
        auto wav = std::make_unique<WavDecoder>();
        return wav->open(std::move(file), size, error) ? std::move(wav) : nullptr;
    }
    if (got >= 4 && std::memcmp(magic.data(), "OggS", 4) == 0) {
        file.reset();
        auto ogg = std::make_unique<OggDecoder>();
        return ogg->open(path, error) ? std::move(ogg) : nullptr;
    }
    *error = kUnknownFormat;
    return nullptr;
}

bool isNotFound(std::string_view message)
{
    return message == kNotFound;
}

std::string failureReason(std::string_view message)
{
    if (message.starts_with("Fail: "))
        message.remove_prefix(6);
    if (message.ends_with('!'))
        message.remove_suffix(1);
    std::string reason(message);
    if (!reason.empty())
        reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
    return reason;
}

std::optional<Pcm> decodeWhole(const std::string& path, std::string* error)
{
    std::string ignored;
    if (!error)
        error = &ignored;
    std::unique_ptr<Decoder> decoder = openDecoder(path, error);
    if (!decoder)
        return std::nullopt;
    constexpr long kPieceFrames = 4096;
    Pcm pcm;
    pcm.format = decoder->format();
    const size_t channels = static_cast<size_t>(pcm.format.channels);
    const auto stated = static_cast<uint64_t>(decoder->statedFrames());
    if (stated > kMaxWholeClipBytes / sizeof(int16_t) / channels) {
        *error = kTooLarge;
        return std::nullopt;
    }
    pcm.samples.reserve((static_cast<size_t>(stated) + kPieceFrames) * channels); // the last read asks past the end
    for (;;) {
        const size_t used = pcm.samples.size();
        if ((used + kPieceFrames * channels) * sizeof(int16_t) > kMaxWholeClipBytes) {
            *error = kTooLarge;
            return std::nullopt;
        }
        pcm.samples.resize(used + kPieceFrames * channels);
        const long got = decoder->read(pcm.samples.data() + used, kPieceFrames);
        if (got < 0) {
            *error = dynamic_cast<WavDecoder*>(decoder.get()) ? kDamagedWav : kDamagedOgg;
            return std::nullopt;
        }
        pcm.samples.resize(used + static_cast<size_t>(got) * channels);
        if (got == 0)
            break;
    }
    if (pcm.samples.empty()) {
        *error = kEmpty;
        return std::nullopt;
    }
    pcm.samples.shrink_to_fit();
    return pcm;
}

} // namespace kve::platform::audio
