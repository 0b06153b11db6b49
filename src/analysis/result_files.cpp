#include "analysis/result_files.h"

#include <libbluray/bluray.h>
#include <libbluray/log_control.h>

#include <algorithm>
#include <cctype>
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

// The clips of a playlist as libbluray reads the folder; nothing, with the reason, when it cannot.
std::optional<std::vector<std::string>> BlurayPlaylistClips(const fs::path& folder,
                                                            const fs::path& playlist,
                                                            std::string* error) {
    const std::string stem = playlist.stem().string();
    if (stem.size() != 5 || !std::all_of(stem.begin(), stem.end(), ::isdigit)) {
        *error = "no five-digit playlist number";
        return std::nullopt;
    }
    bd_set_debug_mask(0);
    BLURAY* disc = bd_open(folder.c_str(), nullptr);
    if (!disc) {
        *error = "libbluray cannot open the folder";
        return std::nullopt;
    }
    BLURAY_TITLE_INFO* info = bd_get_playlist_info(disc, static_cast<uint32_t>(std::stoi(stem)), 0);
    std::optional<std::vector<std::string>> clips;
    if (!info) {
        *error = "libbluray cannot read it";
    } else if (info->clip_count == 0) {
        *error = "no play item";
    } else {
        clips.emplace();
        for (uint32_t i = 0; i < info->clip_count; ++i) clips->push_back(info->clips[i].clip_id);
    }
    if (info) bd_free_title_info(info);
    bd_close(disc);
    return clips;
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
    const bool shortNames = playlist.extension() == ".MPL";
    // libbluray reads a Blu-ray folder, an independent check of our writer; the AVCHD 8.3 names
    // are left to our own reader.
    const auto clips = shortNames ? PlaylistClips(ReadSmallFile(playlist), &error)
                                  : BlurayPlaylistClips(folder, playlist, &error);
    if (!clips) {
        result.layout.push_back(
            LayoutRule(rule, RuleStatus::Fail, name + std::string(msg::kNotAPlaylist) + error));
        return result;
    }
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
