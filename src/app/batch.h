#pragma once
// Converting without the "File" button: a file or folder named on the command line, and the
// "Folder" button's batch over every MKV file of a folder.
#include <functional>
#include <string>
#include <vector>

namespace kestrun {
struct Context;

// The whole argument text of the process, taken as one path: an existing ".mkv" file is
// converted, an existing folder's MKV files are converted in turn; anything else is ignored.
void cmdLine(Context& ctx, const std::string& commandLineText);
void cmdlineFile(Context& ctx, const std::string& path);
// Converts the folder's MKV files into the current output folder, without questions.
void cmdlineFolder(Context& ctx, const std::string& strpath);
void cmdFolder_Click(Context& ctx);  // "Folder"

// The names of the folder's "*.mkv" files in the listing's order; empty when there are none.
std::vector<std::string> MkvFilesIn(const std::string& folder);
// folder + '/' + name, without doubling a separator the folder already ends with.
std::string JoinPath(const std::string& folder, const std::string& name);
// True when the output folder already holds the source's ".mp4" or ".mpg" result (the source's
// name with its last three characters replaced); other results are not looked for.
bool HasResultInFolder(const std::string& outputFolder, const std::string& sourceName);

struct BatchPass {
    std::string folder;                // where the sources are
    std::vector<std::string> names;    // their names, in conversion order
    std::string outputFolder;          // where the skip test looks for results
    bool restoreRecodeChoice = false;  // "Folder" batch: chkMP2 back to intListConv per file
    // Told after each file: converted (dispatched to Convert) or skipped for its result.
    std::function<void(const std::string& source, bool converted)> onFileDone;
};
// Converts each file of the pass in turn, showing "n of m" in lblMulti; lblMulti is hidden
// again at the end.
void RunBatch(Context& ctx, const BatchPass& pass);

}  // namespace kestrun
