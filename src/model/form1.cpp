#include "model/form1.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "model/messages.h"

namespace kestrun {
namespace {

constexpr auto kText = ControlKind::TextBox;
constexpr auto kButton = ControlKind::Button;
constexpr auto kLabel = ControlKind::Label;
constexpr auto kFrame = ControlKind::Frame;
constexpr auto kOption = ControlKind::OptionButton;

bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// XDG_VIDEOS_DIR from user-dirs.dirs, with $HOME expanded; empty when not set there.
std::string XdgVideosFolder(const std::string& home) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string dirs =
        (config && *config ? std::string(config) : home + "/.config") + "/user-dirs.dirs";
    std::ifstream in(dirs);
    std::string line;
    const std::string key = "XDG_VIDEOS_DIR=";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        return value;
    }
    return {};
}

}  // namespace

std::string DefaultOutputFolder() {
    const char* homeEnv = std::getenv("HOME");
    std::string home = homeEnv && *homeEnv ? homeEnv : "/";
    std::string folder = XdgVideosFolder(home);
    if (!IsFolder(folder)) folder = home + "/Videos";
    if (!IsFolder(folder)) folder = home;
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

Form1::Form1(Analysis& analysis)
    : txtFile("txtFile", kText, "", {1080, 1200, 3615, 375}, 0),
      Command1("Command1", kButton, "File", {4920, 1200, 495, 375}, 1),
      cmdFolder("cmdFolder", kButton, "Folder", {5520, 1200, 615, 375}, 22),
      txtTMP("txtTMP", kText, DefaultOutputFolder(), {1080, 1680, 3615, 375}, 12),
      cmdTargetFolder("cmdTargetFolder", kButton, "Set Output", {4920, 1680, 1215, 375}, 31),
      Command2("Command2", kButton, "Convert", {1080, 4920, 4935, 495}, 2),
      txtProgress("txtProgress", kText, "progress......", {1080, 4440, 4935, 375}, 15),
      cmbPlatform("cmbPlatform", ControlKind::DropDownList, {"PS3 (5.1)", "Xbox 360", "PS3  (2.0)"},
                  {0, 3720, 1095, 315}, 40),
      cmdConv("cmdConv", ControlKind::ComboBox, {"MPEG2", "H264", "Xvid"}, {1560, 3720, 1095, 315},
              37),
      cmbPrio("cmbPrio", ControlKind::ComboBox, {"Low", "High"}, {0, 3120, 1095, 315}, 43),
      chkAVCHD("chkAVCHD", "AVCHD (BR/PS3)", {4800, 3960, 1695, 375}, 39),
      chkVob("chkVob", "Mux to Vob (PS3)", {4800, 3240, 1575, 375}, 27),
      chkFF("chkFF", std::string(msg::kSafeSync), {4800, 2880, 1455, 375}, 25),
      chk25("chk25", "25 FPS output", {4800, 3600, 1455, 375}, 29),
      chkMP2("chkMP2", "MPEG2 Recode", {1320, 3650, 255, 430}, 28),
      chkDVD("chkDVD", "  Fit to DVD (4.7)", {3000, 4080, 1575, 255}, 35),
      Check1("Check1", "Check1", {3000, 3720, 255, 435}, 19, 1),
      cmdSubs("cmdSubs", kButton, "Browse Subs", {1560, 4080, 1215, 255}, 36),
      Command3("Command3", kButton, "AC3Filter Options", {3000, 3480, 1695, 315}, 16),
      Frame1("Frame1", kFrame, "Streams", {1080, 2160, 1695, 1455}, 5),
      Label2("Label2", kLabel, "Video track", {120, 0, 1335, 255}, 6, "Frame1"),
      chkSubs("chkSubs", "Embed subs", {240, 840, 1335, 255}, 34, 0, "Frame1"),
      cmbSubs("cmbSubs", ControlKind::DropDownList, {}, {240, 1080, 1335, 315}, 18, "Frame1"),
      lblSRTFound("lblSRTFound", kLabel, "SRT Found !", {240, 1080, 1335, 255}, 33, "Frame1"),
      lblSubs("lblSubs", kLabel, "subtitles", {600, 600, 615, 255}, 21, "Frame1"),
      txtS1("txtS1", kText, "1", {1320, 2400, 375, 285}, 4),
      txtS2("txtS2", kText, "2", {2160, 2400, 375, 285}, 3),
      Frame2("Frame2", kFrame, "Audio detected", {3000, 2160, 1695, 1455}, 7),
      cmbAudio("cmbAudio", ControlKind::DropDownList, {}, {120, 240, 1455, 315}, 38, "Frame2"),
      Option1{OptionButton("Option1(0)", kOption, "AC3", {3120, 2760, 735, 255}, 8),
              OptionButton("Option1(1)", kOption, "DTS", {3120, 3000, 735, 255}, 9),
              OptionButton("Option1(2)", kOption, "OGG", {3120, 3240, 735, 255}, 14),
              OptionButton("Option1(3)", kOption, "MP3", {3840, 3000, 735, 255}, 24),
              OptionButton("Option1(4)", kOption, "AAC", {3840, 2760, 735, 255}, 30),
              OptionButton("Option1(5)", kOption, "MP2", {3840, 3240, 735, 255}, 42)},
      Frame3("Frame3", kFrame, "FPS", {4920, 2160, 1095, 615}, 10),
      txtSFPS("txtSFPS", kText, "23.976", {120, 240, 735, 285}, 11, "Frame3"),
      lblMulti("lblMulti", kLabel, "", {0, 4500, 1575, 255}, 23),
      Label5_1("Label5(1)", kLabel, "Sourcefile", {0, 1245, 1695, 255}, 32),
      Label5_0("Label5(0)", kLabel, "Output folder", {0, 1725, 1455, 255}, 13),
      Label4("Label4", kLabel, "Priority:", {0, 2880, 1095, 255}, 44),
      Label1("Label1", kLabel, "Target:", {0, 3480, 1095, 255}, 41),
      Autosplit("Autosplit", kLabel, "Split > 4GB ?", {3360, 3840, 1335, 255}, 20),
      Label3("Label3", kLabel, "3Ivx", {4200, 2760, 495, 255}, 17),
      analysis_(analysis) {
    chkSubs.visible = false;
    cmbSubs.visible = false;
    lblSRTFound.visible = false;
    lblSubs.visible = false;
    txtS1.enabled = false;
    txtS2.enabled = false;
    txtSFPS.enabled = false;
    for (auto& option : Option1) option.enabled = false;

    Frame2.tooltip = "Original Audio format ";
    Frame3.tooltip = "Frames per second in h264";
    Autosplit.tooltip = "Needed for MP4 on PS3, and where you want to store data on a FAT32 disk.";
    chk25.tooltip = "Speed up the video slightly, to play exteremely smooth on 720p50 displays.";
    chkMP2.tooltip = "Encode to mpeg. Used to be able to play otherwise incompatible movies.";
    chkVob.tooltip = "PS3 only method to encode 5.1 audio + h264 video in a m2ts";
    chkFF.tooltip = "Decode ac3 audio with ffmpeg to try to bypass sync issues.";

    chkAVCHD.onClick = [this] { chkAVCHD_Click(); };
    chkVob.onClick = [this] { chkVob_Click(); };
    chkFF.onClick = [this] { chkFF_Click(); };
    chkMP2.onClick = [this] { chkMP2_Click(); };
    chk25.onClick = [this] { chk25_Click(); };
    cmbAudio.onClick = [this] { cmbAudio_Click(); };
}

void Form1::ClearAndDisable(CheckBox& box) {
    box.SetValue(0);
    box.enabled = false;
}

void Form1::chkAVCHD_Click() {
    if (chkAVCHD.value() == 1) {
        chkFF.SetText(std::string(msg::kFastMux));
        chkSubs.enabled = true;
        ClearAndDisable(chkVob);
        ClearAndDisable(chk25);
        intListConv = cmdConv.selectedIndex();
        cmdConv.SetSelectedIndex(1);
    } else {
        chkFF.SetText(std::string(msg::kSafeSync));
        // A remembered index the list cannot take ends the handler here.
        if (!cmdConv.SetSelectedIndex(intListConv)) return;
        chkMP2.enabled = true;
        chkVob.enabled = true;
        chk25.enabled = true;
    }
}

void Form1::chkVob_Click() {
    if (chkVob.value() == 1) {
        chkFF.SetText(std::string(msg::kFastMux));
        ClearAndDisable(chk25);
        ClearAndDisable(chkAVCHD);
    } else {
        chkFF.SetText(std::string(msg::kSafeSync));
        chk25.enabled = true;
        chkAVCHD.enabled = true;
    }
}

void Form1::chkFF_Click() {
    if (chkFF.text() != msg::kSafeSync) return;
    if (chkFF.value() == 1) {
        ClearAndDisable(chkMP2);
        ClearAndDisable(chkVob);
        ClearAndDisable(chk25);
        ClearAndDisable(chkAVCHD);
        Repaint();
    } else {
        chkMP2.enabled = true;
        chkVob.enabled = true;
        chk25.enabled = true;
        chkAVCHD.enabled = true;
    }
}

void Form1::chkMP2_Click() {
    if (chkMP2.value() == 1) {
        chkMP2.enabled = true;
        chk25.enabled = false;
        chkSubs.enabled = true;
    } else {
        chkSubs.enabled = false;
        chkSubs.SetValue(0);
        chkFF.enabled = true;
        chkVob.enabled = true;
        chk25.enabled = true;
    }
    Repaint();
}

void Form1::chk25_Click() {
    bool enable = chk25.value() == 0;
    chkMP2.enabled = enable;
    chkVob.enabled = enable;
    chkFF.enabled = enable;
}

void Form1::cmbAudio_Click() {
    int i = cmbAudio.selectedIndex();
    if (i < 0 || i >= kTrackTableRows) return;
    const TrackRow& row = analysis_.strAudioTracks[i];
    // A track decoded in-process has no button of its own: none stays checked.
    if (row.format == kDecodedAudioFormat) {
        SelectAudioFormat(-1);
        txtS2.SetText(row.track);
        return;
    }
    char* end = nullptr;
    long format = std::strtol(row.format.c_str(), &end, 10);
    // A row without a format number is a failing statement: the handler ends.
    if (row.format.empty() || format < 0 || format >= kAudioFormatCount) return;
    SelectAudioFormat(static_cast<int>(format));
    txtS2.SetText(row.track);
}

void Form1::SelectAudioFormat(int index) {
    for (int i = 0; i < kAudioFormatCount; ++i) Option1[i].SetValueQuietly(i == index);
}

int Form1::SelectedAudioFormat() const {
    for (int i = 0; i < kAudioFormatCount; ++i)
        if (Option1[i].value()) return i;
    return -1;
}

std::vector<Control*> Form1::AllControls() {
    std::vector<Control*> all = {
        &txtFile,     &Command1,    &cmdFolder, &txtTMP,  &cmdTargetFolder, &Command2,
        &txtProgress, &cmbPlatform, &cmdConv,   &cmbPrio, &chkAVCHD,        &chkVob,
        &chkFF,       &chk25,       &chkMP2,    &chkDVD,  &Check1,          &cmdSubs,
        &Command3,    &Frame1,      &Label2,    &chkSubs, &cmbSubs,         &lblSRTFound,
        &lblSubs,     &txtS1,       &txtS2,     &Frame2,  &cmbAudio};
    for (auto& option : Option1) all.push_back(&option);
    for (Control* c : {static_cast<Control*>(&Frame3), static_cast<Control*>(&txtSFPS),
                       static_cast<Control*>(&lblMulti), static_cast<Control*>(&Label5_1),
                       static_cast<Control*>(&Label5_0), static_cast<Control*>(&Label4),
                       static_cast<Control*>(&Label1), static_cast<Control*>(&Autosplit),
                       static_cast<Control*>(&Label3)})
        all.push_back(c);
    return all;
}

Control* Form1::Find(const std::string& name) {
    for (Control* c : AllControls())
        if (c->name() == name) return c;
    return nullptr;
}

}  // namespace kestrun
