// besweet/BeSweet: the WAV to WAV conversion of the 25-frames stage, "BeSweet -core( -input IN
// -2ch -output OUT ) -ota( -r FROM TO )": a resample speed-up (the pitch rises with the tempo)
// and an optional stereo downmix, done with FFmpeg's filters.
#include "besweet_options.h"
#include "common/conversion_main.h"

int main(int argc, char** argv) {
    return standin::RunConversionMain("BeSweet", argc, argv, standin::ParseBeSweetArgs,
                                      standin::FfmpegTempoArgs, "conversion");
}
