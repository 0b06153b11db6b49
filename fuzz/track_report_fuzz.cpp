// The track report of the Matroska reader (the legacy mkvinfo layout), read into the analysis
// and the window's track controls.
#include "analysis/track_report_parser.h"
#include "fuzz_support.h"
#include "model/context.h"
#include "quiet_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kestrun::fuzz::QuietHost host;
    kestrun::Context ctx(host, kestrun::fuzz::ScratchFolder());
    const std::vector<std::string> lines =
        kestrun::SplitReportLines(kestrun::fuzz::Text(data, size));
    kestrun::ParseTrackReport(lines, ctx.analysis, ctx.form, [](const std::string&) {});
    for (const std::string& line : lines) kestrun::FrameRateText(line);
    return 0;
}
