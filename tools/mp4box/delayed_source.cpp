#include "delayed_source.h"

#include "common/lib_names.h"
#include "media/libav_handles.h"

namespace standin {

bool DelayedSource::Next(AVPacket& packet) {
    if (!inner_->Next(packet)) return false;
    const int64_t shift = av_rescale_q(delayMs_, AVRational{1, 1000}, packet.time_base);
    if (packet.dts != AV_NOPTS_VALUE) packet.dts += shift;
    if (packet.pts != AV_NOPTS_VALUE) packet.pts += shift;
    return true;
}

}  // namespace standin
