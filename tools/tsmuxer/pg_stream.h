#pragma once
// A subtitle line of the meta file as a presentation graphics stream:
//   S_TEXT/UTF8, "FILE" ,font-name="Arial",font-size=42,font-color=0x00FFFFFF,font-charset=1,
//       bottom-offset=50,font-border=1,text-align=center,video-width=1920,video-height=800,
//       track=3, fps=23.976, lang=eng
// FILE is an SRT or SSA/ASS file, or with `track=` a Matroska file whose text track that is.
// Whenever the set of cues on screen changes, one display set shows the new picture (every cue
// on screen at once) or clears the screen (unless the next cue comes within a frame); each
// segment is one packet, at the change's time on the timeline where the first video frame is at
// 0.
#include <deque>
#include <memory>
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

class PgSubtitleSource : public PacketSource {
public:
    // Reads the cues; throws std::runtime_error naming the line when they cannot be read.
    explicit PgSubtitleSource(const MetaTrack& line);

    void AddStreams(AVFormatContext& output) override;
    bool Next(AVPacket& packet) override;
    const std::string& Path() const override { return path_; }
    std::optional<double> DurationSeconds() const override { return std::nullopt; }
    std::vector<std::pair<int, double>> ExpectedPackets(double) const override { return {}; }

private:
    void MakeNextDisplaySet();

    std::string path_;
    std::string language_;
    SubtitleStyle style_;
    PgComposition composition_;
    double frameMs_ = 0;
    std::vector<SubtitleCue> cues_;
    std::vector<int64_t> changes_;  // ms, ascending
    size_t nextChange_ = 0;
    std::unique_ptr<SubtitleRenderer> renderer_;
    PgPicture shown_;  // the window on screen; empty when clear
    std::deque<std::pair<int64_t, PgSegment>> waiting_;
    int outputIndex_ = -1;
};

}  // namespace standin::ts
