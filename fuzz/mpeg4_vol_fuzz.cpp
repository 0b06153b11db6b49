// The MPEG-4 Part 2 header readers: the stand-ins' start codes, visual object, video object
// layer, VOP type and user data, and the analysis's reading of global motion and quarter pixels.
#include <optional>
#include <stdexcept>

#include "fuzz_support.h"
#include "media/mpeg4_vol.h"

namespace mpeg4 = kestrun::media::mpeg4;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    mpeg4::ReadVolFlags(data, size);
    int verid = 1;
    std::optional<mpeg4::VolHeader> vol;
    size_t from = 0;
    for (int count = 0; count < 64; ++count) {
        const auto code = mpeg4::FindStartCode(data, size, from);
        if (!code) break;
        const size_t payload = std::min(code->PayloadOffset(), size);
        const uint8_t* bytes = data + payload;
        const size_t left = size - payload;
        try {
            if (code->code == mpeg4::kVisualObject)
                verid = mpeg4::ReadVisualObjectVerid(bytes, left);
            if (mpeg4::IsVolStartCode(code->code)) {
                vol = mpeg4::ParseVolHeader(bytes, left, verid);
                mpeg4::TimeIncrementBits(vol->timeIncrementResolution);
            }
            if (code->code == mpeg4::kVop && vol) mpeg4::ParseVopType(bytes, left, *vol);
            if (code->code == mpeg4::kUserData) mpeg4::ReadUserData(bytes, left);
        } catch (const mpeg4::Mpeg4Error&) {
        } catch (const std::out_of_range&) {
        }
        from = code->offset + 1;
    }
    return 0;
}
