#pragma once
// What the headers of a media file say: container, video and audio streams, and the H.264 or
// MPEG-4 Part 2 parameters the consoles care about. Filled by ReadMediaFacts (media_probe.h) and
// judged by the console rules (console_rules.h). An absent value was not found in the headers.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrun {

enum class Container { Unknown, Matroska, Mp4, MpegTs, MpegPs, Avi, Asf };

enum class VideoCodec { Other, H264, Mpeg4Part2, Mpeg2, Mpeg1, Vc1, Wmv };

enum class AudioCodec { Other, Aac, Ac3, Eac3, Dts, Mp3, Mp2, Lpcm, Wma, WmaPro, Vorbis };

// The sequence parameter set with the largest decoded picture buffer.
struct H264Facts {
    int profileIdc = 0;
    std::string profileName;  // "High"
    int levelIdc = 0;
    std::string levelName;  // "5.1"
    int macroblocks = 0;    // of one frame
    int dpbFrames = 0;      // max_dec_frame_buffering, else max_num_ref_frames
};

struct VideoFacts {
    VideoCodec codec = VideoCodec::Other;
    std::string codecName;  // as FFmpeg names it
    int width = 0;
    int height = 0;
    std::optional<double> fps;
    std::optional<int64_t> bitRate;  // bit/s, of the video stream or, failing that, the file
    bool bitRateOfWholeFile = false;
    std::optional<H264Facts> h264;    // H.264 only
    std::optional<int> avccLevelIdc;  // H.264 in MP4 or Matroska: the level byte of the avcC record
    std::optional<double> seconds;    // the stream's duration, when its container gives one
    std::optional<bool> gmc;          // MPEG-4 Part 2 only: global motion compensation
    std::optional<bool> qpel;         // MPEG-4 Part 2 only: quarter-pixel motion
    // The number of frames as the headers give it: the MP4 sample table, the AVI index, the
    // NUMBER_OF_FRAMES statistics tag mkvmerge writes. Transport and program streams have none.
    std::optional<int64_t> frames;
};

struct AudioFacts {
    AudioCodec codec = AudioCodec::Other;
    std::string codecName;
    int channels = 0;
    std::optional<bool> aacLowComplexity;  // AAC only
    std::optional<double> seconds;
};

struct MediaFacts {
    std::string path;
    Container container = Container::Unknown;
    std::string containerName;  // as FFmpeg names it
    uint64_t fileSize = 0;
    // The size the file's own headers declare (a Matroska segment, an AVI's RIFF chunks), and
    // what declares it ("the segment"); more than fileSize for a file cut short.
    std::optional<uint64_t> declaredSize;
    std::string declaredBy;
    std::optional<double> seconds;  // the whole file's duration
    std::optional<VideoFacts> video;
    std::vector<AudioFacts> audio;  // in stream order; the first is the one converted
};

}  // namespace kestrun
