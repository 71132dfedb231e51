// The usual libvorbisenc sequence: variable bit rate set up, one header packet triple,
// then analysis blocks flushed page by page until the stream's end-of-stream page.
#include "ogg_write.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace kve::tools {
namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

bool writePage(FILE* file, const ogg_page& page)
{
    return std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), file) ==
               static_cast<size_t>(page.header_len) &&
           std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), file) == static_cast<size_t>(page.body_len);
}

} // namespace

bool writeOgg(const std::string& path, const std::vector<float>& samples, int rate, float quality)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, 1, rate, quality) != 0) {
        vorbis_info_clear(&info);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x4B56);

    ogg_packet header, commentPacket, codeBook;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codeBook);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentPacket);
    ogg_stream_packetin(&stream, &codeBook);
    bool ok = true;
    ogg_page page;
    while (ok && ogg_stream_flush(&stream, &page) != 0)
        ok = writePage(file.get(), page);

    constexpr size_t kPiece = 1024;
    size_t done = 0;
    bool ended = false;
    while (ok && !ended) {
        const size_t count = std::min(kPiece, samples.size() - done);
        if (count == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
            std::copy(samples.begin() + static_cast<long>(done), samples.begin() + static_cast<long>(done + count),
                      buffer[0]);
            vorbis_analysis_wrote(&dsp, static_cast<int>(count));
            done += count;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
                ogg_stream_packetin(&stream, &packet);
                while (ok && ogg_stream_pageout(&stream, &page) != 0) {
                    ok = writePage(file.get(), page);
                    ended = ended || ogg_page_eos(&page);
                }
            }
        }
        if (count == 0 && !ended) {
            while (ok && ogg_stream_flush(&stream, &page) != 0) {
                ok = writePage(file.get(), page);
                ended = ended || ogg_page_eos(&page);
            }
            ended = true;
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return ok;
}

} // namespace kve::tools
