#include "mux_script.h"

#include <algorithm>
#include <sstream>

namespace standin {
namespace {

const char* const kJobOptions[] = {
    "OPENDML",      "LEGACY",   "RECLISTS", "PRELOAD",   "AUDIO",     "ALL",        "DONEDLG",
    "OVERWRITEDLG", "CLOSEAPP", "MAXFILES", "NUMBERING", "ADD_IMMED", "UNBUFFERED", "OVERLAPPED"};

// Far longer than any line a script needs, with the prefixes of its WITH blocks.
constexpr size_t kMaxLineBytes = 64 * 1024;

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// The text after the first word.
std::string RestAfterFirstWord(const std::string& line) {
    const size_t start = line.find_first_not_of(' ');
    const size_t gap = line.find(' ', start);
    if (gap == std::string::npos) return {};
    const size_t rest = line.find_first_not_of(' ', gap);
    return rest == std::string::npos ? std::string() : line.substr(rest);
}

class Interpreter {
public:
    explicit Interpreter(std::string folder) : folder_(std::move(folder)) {}

    // Empty when the line was understood.
    std::string Take(const std::string& rawLine) {
        const std::vector<std::string> raw = Words(rawLine);
        if (raw.empty() || raw[0] == "REM") return {};
        if (raw[0] == "END" && raw.size() == 2 && raw[1] == "WITH") {
            if (prefixes_.empty()) return "END WITH without WITH";
            prefixes_.pop_back();
            return {};
        }
        std::string line = rawLine.substr(rawLine.find_first_not_of(' '));
        for (auto it = prefixes_.rbegin(); it != prefixes_.rend(); ++it) {
            // A WITH inside WITH blocks takes the outer prefixes into its own: nested without
            // end, the lines would double at each level.
            if (line.size() + it->size() >= kMaxLineBytes) return "the line is too long";
            line = *it + " " + line;
        }
        const std::vector<std::string> w = Words(line);
        const std::string& command = w[0];
        if (command == "WITH" && w.size() > 1) {
            prefixes_.push_back(RestAfterFirstWord(line));
        } else if (command == "CLEAR") {
            job_.files.clear();
        } else if (command == "LANGUAGE") {
        } else if (command == "LOAD" && w.size() > 1) {
            std::string path = RestAfterFirstWord(line);
            if (path[0] != '/') path = folder_ + "/" + path;
            job_.files.push_back(path);
        } else if ((command == "SELECT" || command == "DESELECT") && w.size() == 3) {
        } else if (command == "ADD" && w.size() == 2 &&
                   (w[1] == "VIDEOSOURCE" || w[1] == "MMSOURCE")) {
        } else if (command == "SET" && w.size() == 3 && w[2] == "OPTIONS" &&
                   (w[1] == "INPUT" || w[1] == "OUTPUT")) {
        } else if (command == "SET" && w.size() >= 4 && w[1] == "OPTION") {
            return Option(w);
        } else if (command == "START" && w.size() > 1) {
            job_.output = RestAfterFirstWord(line);
            if (job_.output[0] != '/') job_.output = folder_ + "/" + job_.output;
            jobs_.push_back(job_);
        } else {
            return "not understood: " + line;
        }
        return {};
    }

    std::vector<MuxJob> Jobs() const { return jobs_; }

private:
    std::string Option(const std::vector<std::string>& w) {
        const std::string& name = w[2];
        if (name == "MAXFILESIZE") {
            if (w[3] == "OFF")
                sizeOn_ = false;
            else if (w[3] == "ON")
                sizeOn_ = true;
            else if (w[3].find_first_not_of("0123456789") == std::string::npos && w[3].size() < 10)
                size_ = std::stoll(w[3]), sizeOn_ = true;
            else
                return "MAXFILESIZE takes ON, OFF or a size in MiB: " + w[3];
            job_.maxFileMiB = sizeOn_ && size_ > 0 ? std::optional<long long>(size_) : std::nullopt;
            return {};
        }
        if (std::find(std::begin(kJobOptions), std::end(kJobOptions), name) ==
            std::end(kJobOptions))
            return "unknown option " + name;
        return {};
    }

    std::string folder_;
    std::vector<std::string> prefixes_;
    MuxJob job_;
    bool sizeOn_ = false;
    long long size_ = 0;
    std::vector<MuxJob> jobs_;
};

}  // namespace

ScriptResult InterpretMuxScript(const std::string& text, const std::string& scriptFolder) {
    Interpreter interpreter(scriptFolder);
    ScriptResult result;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        if (auto problem = interpreter.Take(line); !problem.empty()) {
            result.error = "line " + std::to_string(number) + ": " + problem;
            return result;
        }
    }
    result.jobs = interpreter.Jobs();
    if (result.jobs.empty()) result.error = "the script has no START line";
    return result;
}

}  // namespace standin
