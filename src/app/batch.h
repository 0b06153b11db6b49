#pragma once
// Converting without the "File" button: a file or folder named on the command line, and the
// "Folder" button's batch over every MKV file of a folder.
#include <functional>
#include <string>
#include <vector>

namespace kestrun {
struct Context;
class Form1;

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
// What became of one file of a batch.
enum class BatchStep {
    Dispatched,   // handed to Convert, which tells its own outcome
    Skipped,      // its result exists and verifies
    KeptResult,   // its result exists but does not verify or cannot be read: left as it is
    RefusedPath,  // its path cannot be handed to a tool
    RefusedName,  // its result name is that of an earlier source of the batch
};
struct BatchFileDone {
    std::string source;
    BatchStep step = BatchStep::Dispatched;
    std::string result;  // the result found in the output folder (Skipped, KeptResult)
    std::string reason;  // the verdict on that result, or why the source was refused
};

struct BatchPass {
    std::string folder;                // where the sources are
    std::vector<std::string> names;    // their names, in conversion order
    std::string outputFolder;          // where the skip test looks for results
    bool restoreRecodeChoice = false;  // "Folder" batch: chkMP2 back to intListConv per file
    // Told after each file.
    std::function<void(const BatchFileDone&)> onFileDone;
};
// Converts each file of the pass in turn, showing "n of m" in lblMulti; lblMulti is hidden
// again at the end. Each file is analysed first, which decides the name of its result. A source
// whose result is already in the output folder is not converted: it is skipped when the result
// verifies against the window's console and its video is as long as the source's, and otherwise
// reported in the progress line and the log, its result left untouched. A source whose result
// name is that of an earlier source of the pass is refused, both named.
void RunBatch(Context& ctx, const BatchPass& pass);

}  // namespace kestrun
