// The image subtitle readers of the transport-stream muxer: a block of a PGS track split into its
// segments, a VobSub subpicture decoded with the palette of an idx header, and the subpicture's
// bitmaps (placed anywhere, any palette) scaled to a video frame and reduced to a PG palette.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "fuzz_support.h"
#include "media/libav_handles.h"
#include "tsmuxer/pg_canvas_fit.h"
#include "tsmuxer/pg_copy.h"
#include "tsmuxer/vobsub_source.h"

namespace {

using namespace standin::ts;

constexpr char kIdx[] =
    "size: 720x480\npalette: 000000, 0000ff, 00ff00, ff0000, ffff00, ff00ff, 00ffff, ffffff, "
    "808000, 8080ff, 800080, 80ff80, 008080, ff8080, 555555, aaaaaa\n";

AVCodecContext* VobSubDecoder() {
    static AVCodecContext* decoder = [] {
        av_log_set_level(AV_LOG_QUIET);
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_DVD_SUBTITLE);
        AVCodecContext* context = avcodec_alloc_context3(codec);
        context->extradata = static_cast<uint8_t*>(av_mallocz(sizeof kIdx + 64));
        std::memcpy(context->extradata, kIdx, sizeof kIdx - 1);
        context->extradata_size = sizeof kIdx - 1;
        if (avcodec_open2(context, codec, nullptr) < 0) std::abort();
        return context;
    }();
    return decoder;
}

void ToPg(const RgbaPicture& picture, bool hd) {
    if (picture.Empty()) return;
    const IndexedPicture indexed = ToPalette(picture, hd);
    PgShowSet({1920, 1080, 1, 0}, indexed.picture, indexed.palette);
}

// One bitmap from the input: x, y (signed 16-bit), width and height (1-64), colours (1-16) as
// ARGB, then the indexes.
void SyntheticSubpicture(const uint8_t* data, size_t size) {
    if (size < 8) return;
    AVSubtitleRect rect{};
    rect.type = SUBTITLE_BITMAP;
    rect.x = static_cast<int16_t>((data[0] << 8) | data[1]);
    rect.y = static_cast<int16_t>((data[2] << 8) | data[3]);
    rect.w = 1 + data[4] % 64;
    rect.h = 1 + data[5] % 64;
    rect.nb_colors = 1 + data[6] % 16;
    const int video = data[7];
    data += 8;
    size -= 8;
    std::vector<uint32_t> palette(16, 0);
    for (int i = 0; i < rect.nb_colors && size >= 4; ++i, data += 4, size -= 4)
        std::memcpy(&palette[i], data, 4);
    std::vector<uint8_t> indexes(size_t(rect.w) * rect.h, 0);
    std::memcpy(indexes.data(), data, std::min(size, indexes.size()));
    rect.data[0] = indexes.data();
    rect.linesize[0] = rect.w;
    rect.data[1] = reinterpret_cast<uint8_t*>(palette.data());
    AVSubtitleRect* rects[] = {&rect};
    AVSubtitle subtitle{};
    subtitle.num_rects = 1;
    subtitle.rects = rects;
    const int width = 16 + video * 8, height = 16 + (255 - video) * 4;
    ToPg(ScaledSubpicture(subtitle, 720, 576, width, height), height > 576);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        std::vector<PgSegment> set = SplitPgSegments(data, size);
        PgCanvasFit(1920, 800).Apply(set);
        PgCanvasFit(720, 1080).Apply(set);
    } catch (const std::invalid_argument&) {
    }

    AVCodecContext* decoder = VobSubDecoder();
    kestrun::media::PacketPtr packet = kestrun::media::NewPacket();
    if (av_new_packet(packet.get(), static_cast<int>(size)) == 0) {
        if (size) std::memcpy(packet->data, data, size);
        AVSubtitle subtitle{};
        int got = 0;
        if (avcodec_decode_subtitle2(decoder, &subtitle, &got, packet.get()) >= 0 && got) {
            ToPg(ScaledSubpicture(subtitle, 720, 480, 1920, 1080), true);
            ToPg(ScaledSubpicture(subtitle, 720, 480, 320, 240), false);
        }
        avsubtitle_free(&subtitle);
    }

    SyntheticSubpicture(data, size);
    return 0;
}
