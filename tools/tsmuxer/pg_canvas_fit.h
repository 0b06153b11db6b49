#pragma once
// A PGS track drawn for another frame than the film's, most often a Blu-ray's 1920x1080
// subtitles beside a film cropped to 1920x800: carried as they are, they would be placed for the
// frame the film no longer has, and the ones the disc put in its black bars would fall outside
// the picture. The composition takes the film's size; every window, and the objects shown in it,
// moves by half the difference in each direction (a crop takes as much from each side), and then
// into the frame where that still leaves it outside. The pictures themselves stay as they are.
#include <cstdint>
#include <map>
#include <vector>

#include "pg_segments.h"

namespace standin::ts {

class PgCanvasFit {
public:
    PgCanvasFit(int videoWidth, int videoHeight)
        : videoWidth_(videoWidth), videoHeight_(videoHeight) {}

    // Rewrites the composition and window segments of one display set in place; a set drawn for
    // the film's own size, and segments too short for what they declare, stay as they are.
    void Apply(std::vector<PgSegment>& set);

private:
    struct Shift {
        int dx = 0, dy = 0;
    };
    Shift FitWindow(int x, int y, int width, int height) const;

    int videoWidth_, videoHeight_;
    int canvasWidth_ = 0, canvasHeight_ = 0;  // of the epoch's compositions
    std::map<uint8_t, Shift> windows_;        // by window id, for the epoch
};

}  // namespace standin::ts
