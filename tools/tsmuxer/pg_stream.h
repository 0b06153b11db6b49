#pragma once
// Subtitle lines of the meta file as presentation graphics streams. Every segment is one packet, at
// its display set's time on the timeline where the first video frame is at 0.
//   S_TEXT/UTF8, "FILE" ,font-name="Arial",font-size=42,font-color=0x00FFFFFF,font-charset=1,
//       bottom-offset=50,font-border=1,text-align=center,video-width=1920,video-height=800,
//       track=3, fps=23.976, lang=eng
// FILE is an SRT or SSA/ASS file, or with `track=` a Matroska file whose text track that is.
// Pictures (drawn text, decoded bitmaps) become display sets whenever what is on screen changes:
// one shows the new picture, or one clears the screen (unless the next picture comes within a
// frame and replaces it).
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/lib_names.h"
#include "common/packet_source.h"
#include "media/libav_handles.h"
#include "meta_file.h"
#include "pg_segments.h"
#include "subtitle_renderer.h"

namespace standin::ts {

// The font pieces and the canvas of the line; throws std::runtime_error naming the line for a
// value it cannot take or a missing canvas size.
SubtitleStyle StyleOfLine(const MetaTrack& line);

// The PCS frame rate code for "23.976", "25", "29.97", ... (23.976 when unknown).
uint8_t PgFrameRateCode(const std::string& fps);

// The line's `lang=` as a 3-letter code (a leading space is taken), "und" for anything else.
std::string LanguageOfLine(const MetaTrack& line);

// The line's `track=`: a number from 1; 0 when the line has none. Throws std::runtime_error
// naming the line for anything else.
int64_t TrackNumberOfLine(const MetaTrack& line);

// std::runtime_error "meta file line N: WHAT".
std::runtime_error MetaLineError(const MetaTrack& line, const std::string& what);

// The file of a picture subtitle line opened with only the track its `track=` names read, which
// must be a `kind` ("PGS", "VobSub") track of `codec`; throws MetaLineError naming the line.
struct SubtitleTrackInput {
    InputPtr input;
    int stream = -1;
};
SubtitleTrackInput OpenSubtitleTrackOfLine(const MetaTrack& line, AVCodecID codec,
                                           const std::string& kind);

// Reads on to the next packet of `stream` that holds data and a time, and gives that time in the
// stream's own time base; nullopt at the end of the file. Throws MetaLineError naming the line
// when the file cannot be read.
std::optional<int64_t> NextTimedPacket(AVFormatContext& input, int stream, AVPacket& packet,
                                       const MetaTrack& line);

// One PG stream (PID from 0x1200 on, the line's language) whose segments a subclass makes.
class PgSegmentSource : public PacketSource {
public:
    void AddStreams(AVFormatContext& output) override;
    bool Next(AVPacket& packet) override;
    const std::string& Path() const override { return path_; }
    std::optional<double> DurationSeconds() const override { return std::nullopt; }
    std::vector<std::pair<int, double>> ExpectedPackets(double) const override { return {}; }

protected:
    explicit PgSegmentSource(const MetaTrack& line);
    // Queues at least one more segment; false when the stream has ended.
    virtual bool QueueMore() = 0;
    // A segment at `pts` (90 kHz, on the common timeline).
    void Queue(int64_t pts, PgSegment segment);

    const MetaTrack line_;
    const SubtitleStyle canvas_;  // the video's size

private:
    std::string path_;
    std::string language_;
    std::deque<std::pair<int64_t, PgSegment>> waiting_;
    int outputIndex_ = -1;
};

// A PG stream made from the pictures a subclass hands out, each reduced to a PG palette.
class PgPictureSource : public PgSegmentSource {
protected:
    explicit PgPictureSource(const MetaTrack& line);

    // What the screen shows from `ms` on (common timeline); an empty picture shows nothing.
    struct ScreenChange {
        int64_t ms = 0;
        RgbaPicture picture;
    };
    // The next change, in time order; nullopt after the last.
    virtual std::optional<ScreenChange> NextChange() = 0;

private:
    bool QueueMore() override;

    PgComposition composition_;
    double frameMs_ = 0;
    PgPicture shown_;  // the window on screen; empty when clear
    std::deque<ScreenChange> ahead_;
};

// A text subtitle line, drawn with libass.
class PgSubtitleSource : public PgPictureSource {
public:
    // Reads the cues; throws std::runtime_error naming the line when they cannot be read.
    explicit PgSubtitleSource(const MetaTrack& line);

private:
    std::optional<ScreenChange> NextChange() override;

    std::vector<SubtitleCue> cues_;
    std::vector<int64_t> changes_;  // ms, ascending
    size_t nextChange_ = 0;
    std::unique_ptr<SubtitleRenderer> renderer_;
};

}  // namespace standin::ts
