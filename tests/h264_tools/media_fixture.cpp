#include "h264_tools/media_fixture.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "common/lib_names.h"
#include "media/h264_parameter_sets.h"

namespace kestrun::test {
void EncodeH264(const std::string& output, int width, int height, int frames,
                const std::vector<std::string>& x264, const std::string& rate) {
    const std::string extension = std::filesystem::path(output).extension().string().substr(1);
    std::filesystem::copy_file(H264Sample(width, height, frames, x264, rate, extension), output,
                               std::filesystem::copy_options::overwrite_existing);
}

std::map<std::string, std::string> ProbeStream(const std::string& path, const std::string& stream) {
    return ProbeFields(path, stream,
                       "stream=codec_name,profile,level,width,height,nb_read_frames,r_frame_rate,"
                       "sample_aspect_ratio,sample_rate,channels,start_time,duration",
                       true);
}

std::vector<std::string> DecodedFrameHashes(const std::string& path) {
    const ProgramRun result = RunProgram({"/usr/bin/ffmpeg", "-nostdin", "-loglevel", "error", "-i",
                                          path, "-map", "0:v:0", "-f", "framemd5", "-"});
    std::vector<std::string> hashes;
    std::istringstream lines(result.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] != '#') hashes.push_back(line.substr(line.rfind(',') + 1));
    }
    return hashes;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::vector<uint8_t>> SpsUnitsOf(const std::string& rawStream) {
    const auto bytes = ReadBytes(rawStream);
    return standin::h264::ParameterSetsInAnnexB(bytes.data(), bytes.size()).sps;
}

}  // namespace kestrun::test
