#include "pipeline_fixture.h"

#include "pipeline/stages.h"
#include "platform/tool_runner.h"
#include "platform/tool_table.h"
#include "support/samples.h"

namespace kestrun::test {

PipelineTest::PipelineTest() {
    prog.Install({tool::kMkvExtract, tool::kMkvMerge, tool::kMkvInfo, tool::kFFmpeg, tool::kFaad,
                  tool::kMP4Box, tool::kMpgtx, tool::kH264Info, tool::kBeSweet, tool::kSoundStretch,
                  tool::kTsMuxer, tool::kAften, tool::kValdec, tool::kMEncoder, tool::kX264Checker,
                  tool::kMmcl});
    ctx.runner.SetObserver([this](const std::string& c) { commands_.push_back(c); });
    source = media.Write("Film.2008.mkv", "not really a film");
    form.txtFile.SetText(source);
    form.strFullname = source;
    form.txtTMP.SetText(work.slash());
    form.txtS1.SetText("1");
    form.txtS2.SetText("2");
    ctx.analysis.strVideoCodec = "avc";
}

void PipelineTest::Prepare(int audioFormat, int platform) {
    form.SelectAudioFormat(audioFormat);
    form.cmbPlatform.SetSelectedIndex(platform);
    form.b360 = platform == 1;
}

Conversion PipelineTest::MakeConversion() {
    Conversion conv;
    GatherConversion(ctx, conv);
    return conv;
}

std::string PipelineTest::T(std::string_view subPath) const {
    return "\"" + ctx.ToolPath(subPath) + "\"";
}

bool PipelineTest::Exists(const std::string& name) const { return FileFound(W(name)); }

const std::string& PipelineTest::SampleMkv() {
    static const std::string path =
        FfmpegSample({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1", "-f", "lavfi",
                      "-i", "sine=frequency=440:duration=1", "-c:v", "libx264", "-preset",
                      "ultrafast", "-c:a", "ac3", "-ac", "2"},
                     "mkv");
    return path;
}

}  // namespace kestrun::test
