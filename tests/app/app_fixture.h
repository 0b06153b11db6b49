#pragma once
#include <gtest/gtest.h>

#include "model/context.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"

namespace kestrun::test {

// A window model over a temporary program folder, with a scripted person in front of it.
class AppTest : public ::testing::Test {
protected:
    TempFolder prog{"kestrun-prog"};
    ScriptedHost host;
    Context ctx{host, prog.path().string()};
    Form1& form = ctx.form;

    std::string ConfigPath() const { return prog / "Kestrun.conf"; }
};

}  // namespace kestrun::test
