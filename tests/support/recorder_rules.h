#pragma once
// Setting up the recording stand-in (tests/recorder) from a test, and reading what it recorded.
//
// The stand-in is one program installed (as a link) under any tool's path. Each run:
//  1. appends one line to the journal named by the environment variable KESTRUN_JOURNAL: its
//     argv[0] as given and each argument, fields separated by TAB, with \\, \t, \n, \r escaped
//     (tests/recorder/recorder_format.h), so ReadJournal gives the exact argument vectors back;
//  2. plays every rule of the file named by KESTRUN_RECORDER_RULES that applies, in file order.
//
// Rules file: one rule per line in the same field format (lines starting with '#' are comments):
//     <action> TAB <tool> TAB <match> [TAB <value> ...]
//  tool   the file name of argv[0] ("mkvextract"), or "*" for every tool;
//  match  text that must occur in one of the arguments after argv[0]; empty: always applies.
//  Actions and values:
//     write  <target> <bytes>     a file of that many zero bytes
//     text   <target> <content>   a file holding the text
//     copy   <target> <source>    a copy of the source file
//     mkdir  <target>             a folder (its parent must exist)
//     stdout <text>               printed on standard output (for RunCapture readers)
//     stderr <text>               printed on standard error
//     exit   <code>               exit code of the run (the last applying rule wins; default 0)
//  target: "arg:N" is the Nth argument (0 = the tool itself; negative counts from the end, -1 is
//  the last), "after:-o" the argument following the first argument "-o", "cut:2:" the first
//  argument starting with "2:" without that prefix (mkvextract's "2:/work/movie.ac3"); any other
//  text is the path itself. A target that does not resolve or cannot be written makes the run
//  print the reason on standard error and exit 70.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun::test {

// One run of a tool: argv[0] as given, then each argument.
using RecordedRun = std::vector<std::string>;

class RecorderRules {
public:
    // Starts an empty rules file at `path` (replacing an earlier one).
    explicit RecorderRules(std::string path);

    RecorderRules& Write(std::string_view tool, std::string_view target, std::size_t bytes,
                         std::string_view match = {});
    RecorderRules& WriteText(std::string_view tool, std::string_view target,
                             std::string_view content, std::string_view match = {});
    RecorderRules& Copy(std::string_view tool, std::string_view target, std::string_view sourceFile,
                        std::string_view match = {});
    RecorderRules& MakeFolder(std::string_view tool, std::string_view target,
                              std::string_view match = {});
    RecorderRules& Stdout(std::string_view tool, std::string_view text,
                          std::string_view match = {});
    RecorderRules& Stderr(std::string_view tool, std::string_view text,
                          std::string_view match = {});
    RecorderRules& Exit(std::string_view tool, int code, std::string_view match = {});

    const std::string& Path() const { return path_; }

private:
    RecorderRules& Add(std::vector<std::string> fields);

    std::string path_;
};

// Every run recorded in the journal, oldest first; a missing journal gives none.
std::vector<RecordedRun> ReadJournal(const std::string& path);
// The runs whose argv[0] has this file name.
std::vector<RecordedRun> RunsOf(const std::vector<RecordedRun>& runs, std::string_view tool);

// A program folder whose tools are all the recording stand-in. Creates root + "/prog", points
// KESTRUN_JOURNAL and KESTRUN_RECORDER_RULES (environment of this process, so every tool started
// from now on sees them) at root + "/journal.tsv" and root + "/rules.tsv", and clears both.
class RecorderProgramFolder {
public:
    explicit RecorderProgramFolder(const std::string& root);
    ~RecorderProgramFolder();
    RecorderProgramFolder(const RecorderProgramFolder&) = delete;
    RecorderProgramFolder& operator=(const RecorderProgramFolder&) = delete;

    // Links the stand-in at ProgramFolder() + subPath (a tool_table.h sub-path such as
    // "/MKVToolnix/mkvextract"), creating its folder; returns the tool's full path.
    std::string Install(std::string_view subPath);
    void Install(std::initializer_list<std::string_view> subPaths);

    const std::string& ProgramFolder() const { return programFolder_; }
    const std::string& JournalPath() const { return journalPath_; }
    RecorderRules& Rules() { return rules_; }
    std::vector<RecordedRun> Runs() const { return ReadJournal(journalPath_); }

private:
    std::string programFolder_;
    std::string journalPath_;
    RecorderRules rules_;
};

}  // namespace kestrun::test
