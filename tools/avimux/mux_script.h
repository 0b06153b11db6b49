#pragma once
// The AVI-Mux GUI script language, as far as muxing one AVI from loaded files needs it:
//   REM ..., CLEAR, LANGUAGE x, LOAD path, SELECT|DESELECT FILE|AUDIO|VIDEO|SUBTITLE n,
//   ADD VIDEOSOURCE|MMSOURCE, SET INPUT OPTIONS, SET OUTPUT OPTIONS, SET OPTION name value...,
//   WITH prefix ... END WITH (every line between is prefixed), START path.
// MAXFILESIZE ON|OFF|n (n in MiB) decides whether and where the AVI is cut into pieces; the
// other options of a muxing job are accepted and need nothing here.
#include <optional>
#include <string>
#include <vector>

namespace standin {

struct MuxJob {
    std::vector<std::string> files;       // LOADed, in order, relative paths resolved
    std::optional<long long> maxFileMiB;  // set and enabled
    std::string output;                   // START
};

struct ScriptResult {
    std::vector<MuxJob> jobs;  // one per START
    std::string error;         // names the line that could not be understood
};

// `scriptFolder` resolves relative paths.
ScriptResult InterpretMuxScript(const std::string& text, const std::string& scriptFolder);

}  // namespace standin
