#include "bdmv_index.h"

#include "bdmv_types.h"
#include "byte_writer.h"

namespace standin::ts {
namespace {

constexpr uint32_t kHdmvMovieObject = 0x40000000;  // object_type 1 (HDMV), then reserved bits
constexpr uint16_t kNoObject = 0xFFFF;

// FirstPlayback / TopMenu entry: object type, playback type (movie or interactive), movie
// object id.
void HdmvObject(ByteWriter& w, uint16_t objectId, bool interactive) {
    w.U32(kHdmvMovieObject);
    w.U16(interactive ? 0x4000 : 0);
    w.U16(objectId);
    w.U32(0);
}

}  // namespace

std::vector<uint8_t> IndexBdmv() {
    ByteWriter w;
    w.Text("INDX");
    w.Text(kBdmvVersion);
    const size_t indexesAddress = w.Size();
    w.U32(0);  // Indexes_start_address
    w.U32(0);  // no extension data
    w.Zeros(24);
    const size_t appInfo = w.OpenLength32();
    w.U8(0);  // 2D output, SDR
    w.U8(0);  // video format and frame rate: left to the clips
    w.Zeros(32);
    w.CloseLength32(appInfo);
    w.PutU32At(indexesAddress, static_cast<uint32_t>(w.Size()));
    const size_t indexes = w.OpenLength32();
    HdmvObject(w, 0, false);         // First Play
    HdmvObject(w, kNoObject, true);  // Top Menu: none
    w.U16(1);                        // number of titles
    w.U32(kHdmvMovieObject);         // title 1: HDMV, jumps permitted
    w.U16(0);
    w.U16(0);
    w.U32(0);
    w.CloseLength32(indexes);
    return w.Bytes();
}

std::vector<uint8_t> MovieObjectBdmv() {
    ByteWriter w;
    w.Text("MOBJ");
    w.Text(kBdmvVersion);
    w.U32(0);  // no extension data
    w.Zeros(28);
    const size_t objects = w.OpenLength32();
    w.U32(0);
    w.U16(1);       // one movie object
    w.U16(0x8000);  // resume intention
    w.U16(1);       // one navigation command: Play PlayList 0
    w.U32(0x22800000);
    w.U32(0);
    w.U32(0);
    w.CloseLength32(objects);
    return w.Bytes();
}

}  // namespace standin::ts
