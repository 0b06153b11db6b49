#pragma once
// A VobSub (DVD subpicture) track of a Matroska file converted to PG:
//   S_VOBSUB, "/path/film.mkv", video-width=1920,video-height=1080, track=5, fps=23.976, lang=eng
// libavcodec decodes every subpicture with the palette of the track's idx header. Its bitmap keeps
// its colours and transparency and is scaled from the DVD's frame size (the idx "size:" line) to
// the video's, so it shows where the DVD placed it. It shows from its start until its end, or,
// without one, until the next subpicture; times follow the MKV's video as its other tracks do.
#include <cstdint>
#include <optional>
#include <string>

#include "pg_stream.h"

namespace standin::ts {

// The largest DVD frame taken (a bigger "size:" is refused).
inline constexpr int kMaxDvdFrameSide = 4096;

// The bitmaps of a decoded subpicture, drawn on a dvdWidth x dvdHeight frame and scaled to
// videoWidth x videoHeight: cut to the drawn pixels, with even sizes inside the frame; empty when
// nothing shows. Pixels outside the DVD frame and indexes beyond a bitmap's colours are not drawn.
RgbaPicture ScaledSubpicture(const AVSubtitle& subpicture, int dvdWidth, int dvdHeight,
                             int videoWidth, int videoHeight);

// When a subpicture shows and goes (ms on the common timeline): from its start, 0 at the earliest,
// until its end; without an end, or when the next one starts first, it stays until the next
// replaces it (no clear of its own). nullopt when it is gone before the film starts.
struct SubpictureSpan {
    int64_t showMs = 0;
    std::optional<int64_t> clearMs;
    bool operator==(const SubpictureSpan&) const = default;
};
std::optional<SubpictureSpan> SpanOfSubpicture(int64_t startMs, std::optional<int64_t> endMs,
                                               std::optional<int64_t> nextStartMs);

class VobSubTrackSource : public PgPictureSource {
public:
    // Opens the track and its decoder; throws std::runtime_error naming the line when the file
    // cannot be read, the track is no VobSub track or its frame size cannot be taken.
    explicit VobSubTrackSource(const MetaTrack& line);
    ~VobSubTrackSource() override;

private:
    struct Subpicture {
        int64_t startMs = 0;
        std::optional<int64_t> endMs;
        RgbaPicture picture;  // empty for one that clears the screen
    };
    std::optional<ScreenChange> NextChange() override;
    std::optional<Subpicture> ReadSubpicture();

    InputPtr input_;
    CodecContextPtr decoder_;
    int stream_ = -1;
    int64_t originMs_ = 0;
    int dvdWidth_ = 0, dvdHeight_ = 0;
    PacketPtr packet_ = NewPacket();
    bool primed_ = false;
    std::optional<Subpicture> next_;
    std::deque<ScreenChange> pending_;
    long undecodable_ = 0;
};

}  // namespace standin::ts
