#include "pipeline/result_names.h"

#include <algorithm>

#include "model/form1.h"
#include "pipeline/conversion.h"
#include "platform/tool_runner.h"

namespace kestrun {
namespace {

constexpr int kRecodeMpeg2 = 0, kRecodeXvid = 2;  // places in the re-encode format list

}  // namespace

std::string ResultBaseName(const std::string& sourcePath) {
    const std::string name = FileNameOf(sourcePath);
    return name.size() >= 4 ? name.substr(0, name.size() - 4) : std::string();
}

std::string ResultName(ResultKind kind, const std::string& baseName) {
    switch (kind) {
        case ResultKind::Mp4: {
            std::string name = baseName;
            std::replace(name.begin(), name.end(), '.', '_');
            return name + ".mp4";
        }
        case ResultKind::AvchdFolder:
            return baseName;
        case ResultKind::Mpg:
            return baseName + ".mpg";
        case ResultKind::Avi:
            return baseName + ".avi";
    }
    return baseName;
}

ResultKind ChosenResultKind(const Form1& f) {
    if (ReencodesVideo(f) && f.cmdConv.selectedIndex() == kRecodeMpeg2) return ResultKind::Mpg;
    if (ReencodesVideo(f) && f.cmdConv.selectedIndex() == kRecodeXvid) return ResultKind::Avi;
    if (f.chkAVCHD.value() == 1) return ResultKind::AvchdFolder;
    if (f.chkVob.value() == 1) return ResultKind::Mpg;
    return ResultKind::Mp4;
}

std::string SourceResultName(const Form1& f, const std::string& videoCodec,
                             const std::string& sourcePath) {
    const std::string base = ResultBaseName(sourcePath);
    if (base.empty()) return {};
    if (videoCodec == "mpeg2") return ResultName(ResultKind::Mpg, base);
    if (videoCodec == "vc1" && f.chkMP2.value() != 1 && f.chkAVCHD.value() != 1) return {};
    return ResultName(ChosenResultKind(f), base);
}

}  // namespace kestrun
