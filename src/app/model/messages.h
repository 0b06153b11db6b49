#pragma once
// The texts the program shows to people: captions, titles, messages. One place for each.
#include <string_view>

namespace kestrun::msg {

inline constexpr std::string_view kAppTitle = "Kestrun";
inline constexpr std::string_view kWindowCaption = "Kestrun 0.24 B3";

// Captions that rules switch between.
inline constexpr std::string_view kSafeSync = "Safe Sync";
inline constexpr std::string_view kFastMux = "Fast Mux";

// Dialogs.
inline constexpr std::string_view kSelectMkvTitle = "Select the MKV";
inline constexpr std::string_view kSelectSubtitleTitle = "Select the Subtitle file";
inline constexpr std::string_view kSelectOutputFolder =
    "Please select a folder where the converted file is stored.";
inline constexpr std::string_view kSelectBatchFolder =
    "Please select a folder with MKV files to be converted.";
inline constexpr std::string_view kStoreInSourceFolder = "Store resulting files in source folder ?";

// Paths that the tools' command lines cannot carry.
inline constexpr std::string_view kQuoteInPath =
    "This path holds a double quote (\"), which the tools' command lines cannot carry. "
    "Please rename it: ";

// Shown by outputs that this build does not make yet.
inline constexpr std::string_view kNotAvailableYet = "This output is not available yet.";

}  // namespace kestrun::msg
