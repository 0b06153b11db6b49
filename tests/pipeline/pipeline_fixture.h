#pragma once
// The MKV conversion against a program folder whose tools are all the recording stand-in: the
// tests see every command line exactly as it was built, and the stand-in writes the files a
// test asks for.
#include <gtest/gtest.h>

#include "model/context.h"
#include "pipeline/conversion.h"
#include "support/recorder_rules.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"

namespace kestrun::test {

class PipelineTest : public ::testing::Test {
protected:
    PipelineTest();

    // Picks the audio format button (0 AC3 ... 5 MP2) and the platform; analysis says H.264.
    void Prepare(int audioFormat, int platform);
    // A Conversion as the driver's prologue makes it.
    Conversion MakeConversion();
    // The command lines run so far, exactly as built.
    const std::vector<std::string>& Commands() const { return commands_; }
    std::string W(const std::string& name) const { return work.slash() + name; }
    // Q tool Q, with the tool's path in the program folder.
    std::string T(std::string_view subPath) const;
    bool Exists(const std::string& name) const;
    // A real small MKV (H.264 + AC-3 stereo), made once for the whole suite.
    static const std::string& SampleMkv();

    TempFolder root{"kestrun-pipe"};
    RecorderProgramFolder prog{root.path().string()};
    TempFolder work{"kestrun-work"};
    TempFolder media{"kestrun-media"};
    ScriptedHost host;
    Context ctx{host, prog.ProgramFolder()};
    Form1& form = ctx.form;
    std::string source;

private:
    std::vector<std::string> commands_;
};

}  // namespace kestrun::test
