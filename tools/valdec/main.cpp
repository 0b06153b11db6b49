// ac3filter/valdec: decodes AC-3, DTS or MPEG audio to a WAV file, "valdec INPUT -wav OUT.wav
// [-spk:N] [-fmt:N] [-drc+] [-gain:dB] [-drc_power:dB]", done with FFmpeg's decoders and filters.
#include "common/conversion_main.h"
#include "valdec_options.h"

int main(int argc, char** argv) {
    return standin::RunConversionMain("valdec", argc, argv, standin::ParseValdecArgs,
                                      standin::FfmpegDecodeArgs, "decoding");
}
