#include "analysis/result_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "analysis/bdmv_playlist.h"
#include "model/messages.h"

namespace kestrun {
namespace {
namespace fs = std::filesystem;

// A playlist holds a few hundred bytes per play item; anything larger is not one.
constexpr std::uintmax_t kLargestPlaylist = 1 << 20;

RuleResult LayoutRule(const char* rule, RuleStatus status, std::string measured) {
    return {rule, status, std::move(measured), Fix::None};
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& n : names) text += (text.empty() ? "" : ", ") + n;
    return text;
}

bool HasExtension(const fs::path& path, const char* lower, const char* upper) {
    const std::string extension = path.extension().string();
    return extension == lower || extension == upper;
}

// The Blu-ray names (".mpls", ".m2ts") or the AVCHD 8.3 ones (".MPL", ".MTS").
std::vector<fs::path> Playlists(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder / "BDMV" / "PLAYLIST", error))
        if (entry.is_regular_file(error) && HasExtension(entry.path(), ".mpls", ".MPL"))
            found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

std::string ReadSmallFile(const fs::path& path) {
    std::error_code error;
    if (fs::file_size(path, error) > kLargestPlaylist || error) return {};
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

fs::path ClipFile(const fs::path& folder, const std::string& clip, bool shortNames) {
    return folder / "BDMV" / "STREAM" / (clip + (shortNames ? ".MTS" : ".m2ts"));
}

// The first playlist in name order is the title; its clips are the result.
ResultFiles AvchdFiles(const fs::path& folder) {
    ResultFiles result;
    result.kind = Target::Avchd;
    const char* rule = "AVCHD playlist";
    const auto playlists = Playlists(folder);
    if (playlists.empty()) {
        result.layout.push_back(LayoutRule(rule, RuleStatus::Fail, std::string(msg::kNoPlaylist)));
        return result;
    }
    const fs::path& playlist = playlists.front();
    const std::string name = playlist.filename().string();
    std::string error;
    const auto clips = PlaylistClips(ReadSmallFile(playlist), &error);
    if (!clips) {
        result.layout.push_back(
            LayoutRule(rule, RuleStatus::Fail, name + std::string(msg::kNotAPlaylist) + error));
        return result;
    }
    const bool shortNames = playlist.extension() == ".MPL";
    std::vector<std::string> named, missing;
    for (const std::string& clip : *clips) {
        const fs::path file = ClipFile(folder, clip, shortNames);
        named.push_back(file.filename().string());
        std::error_code statError;
        if (fs::is_regular_file(file, statError))
            result.files.push_back(file.string());
        else
            missing.push_back(named.back());
    }
    if (missing.empty())
        result.layout.push_back(LayoutRule(rule, RuleStatus::Pass, name + ": " + Joined(named)));
    else
        result.layout.push_back(
            LayoutRule(rule, RuleStatus::Fail,
                       name + " names " + Joined(missing) + std::string(msg::kClipsMissing)));
    return result;
}

// "NAME-2.avi", "NAME-3.avi", ... for as long as they follow on.
std::vector<std::string> AviPieces(const fs::path& first) {
    std::vector<std::string> pieces{first.string()};
    for (int n = 2;; ++n) {
        const fs::path next =
            first.parent_path() /
            (first.stem().string() + "-" + std::to_string(n) + first.extension().string());
        std::error_code error;
        if (!fs::is_regular_file(next, error)) return pieces;
        pieces.push_back(next.string());
    }
}

}  // namespace

ResultFiles FindResultFiles(const std::string& result, bool aviPieces) {
    std::error_code error;
    if (fs::is_directory(result, error)) return AvchdFiles(result);
    ResultFiles files;
    const fs::path path(result);
    files.files = aviPieces && HasExtension(path, ".avi", ".AVI")
                      ? AviPieces(path)
                      : std::vector<std::string>{result};
    if (files.files.size() > 1) {
        std::vector<std::string> names;
        for (const auto& piece : files.files) names.push_back(fs::path(piece).filename().string());
        files.layout.push_back(LayoutRule("AVI pieces", RuleStatus::Pass, Joined(names)));
    }
    return files;
}

}  // namespace kestrun
