// The decoders: WAV and OGG clips come out at their own rate and length with the right
// samples, and damaged, lying or foreign files fail with their message.
#include <gtest/gtest.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>

#include "ogg_write.h"
#include "platform/audio_decode.h"
#include "sound/sound_files.h"

namespace kve::test {
namespace {

using platform::audio::decodeWhole;
using platform::audio::openDecoder;

void appendPage(std::string& out, const ogg_page& page)
{
    out.append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
    out.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
}

// An OGG/Vorbis stream of libvorbisenc's headers for mono at `rate`, then `repeats` copies
// of one of its packets for silence, their positions rising evenly to `statedFrames` at the
// last, which ends the stream.
std::string silentPacketOgg(int rate, int repeats, int64_t statedFrames)
{
    vorbis_info info;
    vorbis_info_init(&info);
    vorbis_encode_init_vbr(&info, 1, rate, 0.1f);
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 7);
    ogg_packet headers[3];
    vorbis_analysis_headerout(&dsp, &comment, &headers[0], &headers[1], &headers[2]);
    std::string out;
    ogg_page page;
    for (ogg_packet& header : headers)
        ogg_stream_packetin(&stream, &header);
    while (ogg_stream_flush(&stream, &page))
        appendPage(out, page);

    std::vector<std::string> packets;
    float** buffer = vorbis_analysis_buffer(&dsp, rate);
    std::fill(buffer[0], buffer[0] + rate, 0.0f);
    vorbis_analysis_wrote(&dsp, rate);
    vorbis_analysis_wrote(&dsp, 0);
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
        vorbis_analysis(&block, nullptr);
        vorbis_bitrate_addblock(&block);
        ogg_packet packet;
        while (vorbis_bitrate_flushpacket(&dsp, &packet))
            packets.emplace_back(reinterpret_cast<const char*>(packet.packet), static_cast<size_t>(packet.bytes));
    }
    std::string silent = packets.at(packets.size() / 2);
    for (int i = 0; i < repeats; ++i) {
        ogg_packet packet{};
        packet.packet = reinterpret_cast<unsigned char*>(silent.data());
        packet.bytes = static_cast<long>(silent.size());
        packet.e_o_s = i == repeats - 1;
        packet.granulepos = statedFrames * (i + 1) / repeats;
        packet.packetno = 3 + i;
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page))
            appendPage(out, page);
    }
    while (ogg_stream_flush(&stream, &page))
        appendPage(out, page);
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

class AudioDecode : public ::testing::Test {
protected:
    TempDir dir{"audio_decode"};
    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::string write(const std::string& name, const std::string& bytes) const
    {
        writeFile(dir / name, bytes);
        return path(name);
    }
    std::string failureOf(const std::string& file) const
    {
        std::string error;
        EXPECT_FALSE(decodeWhole(file, &error).has_value());
        return error;
    }
};

TEST_F(AudioDecode, WavSamplesKeepTheirRateLengthAndValues)
{
    const auto mono16 = decodeWhole(write("mono16.wav", wavBytes(22050, 1, 16, rampSamples(5000))), nullptr);
    ASSERT_TRUE(mono16.has_value());
    EXPECT_EQ(mono16->format.rate, 22050);
    EXPECT_EQ(mono16->format.channels, 1);
    ASSERT_EQ(mono16->frames(), 5000);
    EXPECT_EQ(mono16->samples[0], -1000);
    EXPECT_EQ(mono16->samples[4999], 4999 * 5 - 1000);

    // 8-bit samples are unsigned around 128; a stray odd byte at the end is no frame.
    const std::string bytes8 = {'\x00', '\x80', '\xff', '\x40', '\x41'};
    const auto stereo8 = decodeWhole(write("stereo8.wav", wavBytes(8000, 2, 8, bytes8)), nullptr);
    ASSERT_TRUE(stereo8.has_value());
    EXPECT_EQ(stereo8->format.channels, 2);
    ASSERT_EQ(stereo8->frames(), 2);
    EXPECT_EQ(stereo8->samples, (std::vector<int16_t>{-32768, 0, 127 * 256, -64 * 256}));
}

TEST_F(AudioDecode, OggKeepsItsRateAndExactLength)
{
    ASSERT_TRUE(tools::writeOgg(path("tone.ogg"), tone(32000, 12345), 32000));
    const auto pcm = decodeWhole(path("tone.ogg"), nullptr);
    ASSERT_TRUE(pcm.has_value());
    EXPECT_EQ(pcm->format.rate, 32000);
    EXPECT_EQ(pcm->format.channels, 1);
    EXPECT_EQ(pcm->frames(), 12345);

    // Streaming gives the same frames piece by piece, and again after a rewind.
    std::string error;
    auto decoder = openDecoder(path("tone.ogg"), &error);
    ASSERT_TRUE(decoder) << error;
    std::vector<int16_t> piece(1000);
    long total = 0;
    for (long got; (got = decoder->read(piece.data(), 1000)) > 0;)
        total += got;
    EXPECT_EQ(total, 12345);
    ASSERT_TRUE(decoder->rewind());
    ASSERT_EQ(decoder->read(piece.data(), 1000), 1000);
    EXPECT_EQ(std::vector<int16_t>(piece.begin(), piece.begin() + 1000),
              std::vector<int16_t>(pcm->samples.begin(), pcm->samples.begin() + 1000));
}

TEST_F(AudioDecode, BadFilesFailCleanlyWithTheirReason)
{
    EXPECT_EQ(failureOf(path("missing.ogg")), "Fail: Sound file not found!");
    EXPECT_EQ(failureOf(write("text.ogg", "just some text, no sound")), "Fail: Unknown sound format!");
    EXPECT_EQ(failureOf(write("empty.wav", wavBytes(8000, 1, 16, ""))), "Fail: Sound file holds no samples!");

    // A data size beyond the end of the file, a chunk running past it, a header cut short.
    const std::string data = rampSamples(100);
    EXPECT_EQ(failureOf(write("lying.wav", wavBytes(8000, 1, 16, data, 0x7FFFFFF0))), "Fail: Damaged WAV file!");
    EXPECT_EQ(failureOf(write("lying1.wav", wavBytes(8000, 1, 16, data, data.size() + 1))), "Fail: Damaged WAV file!");
    const std::string good = wavBytes(8000, 1, 16, data);
    EXPECT_EQ(failureOf(write("cut.wav", good.substr(0, 30))), "Fail: Damaged WAV file!");
    EXPECT_EQ(failureOf(write("float.wav", wavBytes(8000, 1, 32, data, -1, 3))), "Fail: Damaged WAV file!");
    EXPECT_EQ(failureOf(write("six.wav", wavBytes(8000, 6, 16, data))),
              "Fail: Only mono and stereo sounds are supported!");
    EXPECT_EQ(failureOf(write("norate.wav", wavBytes(0, 1, 16, data))),
              "Fail: Only mono and stereo sounds are supported!");

    // An OGG cut inside its headers, inside its audio, or just before its last page is
    // refused: its stream never ends.
    ASSERT_TRUE(tools::writeOgg(path("whole.ogg"), tone(44100, 44100), 44100));
    const std::string ogg = readFile(dir / "whole.ogg");
    EXPECT_EQ(failureOf(write("head.ogg", ogg.substr(0, 200))), "Fail: Damaged OGG file!");
    EXPECT_EQ(failureOf(write("half.ogg", ogg.substr(0, ogg.size() / 2))), "Fail: Damaged OGG file!");
    EXPECT_EQ(failureOf(write("last.ogg", ogg.substr(0, ogg.rfind("OggS")))), "Fail: Damaged OGG file!");
    EXPECT_EQ(failureOf(write("byte.ogg", ogg.substr(0, ogg.size() - 1))), "Fail: Damaged OGG file!");
    std::string error;
    EXPECT_FALSE(openDecoder(path("half.ogg"), &error)) << "a stream is refused at its opening too";
    std::string garbled = ogg;
    for (size_t i = ogg.size() / 3; i < ogg.size(); i += 97)
        garbled[i] = static_cast<char>(garbled[i] ^ 0x5A);
    const auto noisy = decodeWhole(write("garbled.ogg", garbled), &error);
    if (noisy) {
        EXPECT_LE(noisy->frames(), 44100 * 2);
    }
}

// A few kilobytes of one silent packet repeated, in a stream that states 1000 frames: the
// packets would decode to megabytes (a longer file of them to the whole-clip limit).
// Loaded whole it is refused; streamed, it stops as damaged within the frames it states.
TEST_F(AudioDecode, SilentPacketsBeyondTheStatedLengthAreDamageNotSound)
{
    const std::string bytes = silentPacketOgg(8000, 20000, 1000);
    ASSERT_LT(bytes.size(), 64u * 1024);
    const std::string file = write("silence.ogg", bytes);
    EXPECT_EQ(failureOf(file), "Fail: Damaged OGG file!");
    std::string error;
    auto decoder = openDecoder(file, &error);
    ASSERT_TRUE(decoder) << error;
    EXPECT_EQ(decoder->statedFrames(), 1000);
    std::vector<int16_t> piece(4096);
    long total = 0, got = 0;
    while ((got = decoder->read(piece.data(), 4096)) > 0)
        total += got;
    EXPECT_EQ(got, -1);
    EXPECT_LE(total, 1000);
}

} // namespace
} // namespace kve::test
