#include "common/sps_aspect_filter.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <stdexcept>
#include <string>

#include "common/lib_names.h"
#include "media/libav_handles.h"

namespace standin {

SpsAspectFilter::SpsAspectFilter(const std::vector<uint8_t>& headerBlock, AVRational sampleAspect) {
    const AVBitStreamFilter* filter = av_bsf_get_by_name("h264_metadata");
    if (!filter || av_bsf_alloc(filter, &context_) < 0)
        throw std::runtime_error("FFmpeg's h264_metadata filter is not available");
    context_->par_in->codec_type = AVMEDIA_TYPE_VIDEO;
    context_->par_in->codec_id = AV_CODEC_ID_H264;
    SetExtradata(*context_->par_in, headerBlock.data(), headerBlock.size());
    av_opt_set_q(context_->priv_data, "sample_aspect_ratio", sampleAspect, 0);
    const int rc = av_bsf_init(context_);
    if (rc < 0) {
        av_bsf_free(&context_);
        throw std::runtime_error("cannot rewrite the pixel aspect of the H.264 headers: " +
                                 LibavErrorText(rc));
    }
}

SpsAspectFilter::~SpsAspectFilter() { av_bsf_free(&context_); }

std::vector<uint8_t> SpsAspectFilter::HeaderBlock() const {
    const AVCodecParameters& out = *context_->par_out;
    return std::vector<uint8_t>(out.extradata, out.extradata + out.extradata_size);
}

void SpsAspectFilter::Filter(AVPacket& packet) {
    int rc = av_bsf_send_packet(context_, &packet);  // takes the packet's data
    if (rc >= 0) rc = av_bsf_receive_packet(context_, &packet);
    if (rc < 0)
        throw std::runtime_error("cannot rewrite the pixel aspect of an H.264 frame: " +
                                 LibavErrorText(rc));
}

}  // namespace standin
