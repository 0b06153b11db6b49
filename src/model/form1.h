#pragma once
// The main window as a model: every control with its design defaults, the job state the
// conversion stages share, and the option rules between the check boxes. The Qt window and the
// command line are views over this object; the rules live only here.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "model/analysis_state.h"
#include "model/controls.h"

namespace kestrun {

inline constexpr int kAudioFormatCount = 6;  // AC3, DTS, OGG, MP3, AAC, MP2

class Form1 {
public:
    explicit Form1(Analysis& analysis);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // ---- controls that people work with
    TextBox txtFile;
    Button Command1;
    Button cmdFolder;
    TextBox txtTMP;
    Button cmdTargetFolder;
    Button Command2;
    TextBox txtProgress;
    ListControl cmbPlatform;
    ListControl cmdConv;
    ListControl cmbPrio;
    CheckBox chkAVCHD;
    CheckBox chkVob;
    CheckBox chkFF;
    CheckBox chk25;
    CheckBox chkMP2;
    CheckBox chkDVD;
    CheckBox Check1;
    Button cmdSubs;
    Button Command3;
    Frame Frame1;
    Label Label2;
    CheckBox chkSubs;
    ListControl cmbSubs;
    Label lblSRTFound;
    Label lblSubs;
    TextBox txtS1;
    TextBox txtS2;
    Frame Frame2;
    ListControl cmbAudio;
    std::array<OptionButton, kAudioFormatCount> Option1;
    Frame Frame3;
    TextBox txtSFPS;
    Label lblMulti;
    // ---- static labels
    Label Label5_1;  // "Sourcefile"
    Label Label5_0;  // "Output folder"
    Label Label4;
    Label Label1;
    Label Autosplit;
    Label Label3;

    // ---- job state
    bool b360 = false;
    std::string strFilename;
    std::string strFullname;
    std::string strMKV;
    std::string strType;
    std::string strMKVmerge;
    std::string strFF;
    std::string strMP4;
    bool bSplit = false;
    bool bChapters = false;
    std::string strMKVPath;
    std::string strSubBrowse;
    std::string strH264Opts;
    std::string strConvOpts;
    std::string strSubOpts;
    bool bSubs = false;
    std::string strH264Bitrate;
    int intListConv = 0;

    // ---- handlers of the window itself
    void chkAVCHD_Click();
    void chkVob_Click();
    void chkFF_Click();
    void chkMP2_Click();
    void chk25_Click();
    void cmbAudio_Click();

    // Checks the format button `index` (0..5) and unchecks the others.
    void SelectAudioFormat(int index);
    // Index of the checked format button, or -1.
    int SelectedAudioFormat() const;

    // Every control, in declaration order (views iterate over it).
    std::vector<Control*> AllControls();
    Control* Find(const std::string& name);

    // Called where the rules repaint the window.
    std::function<void()> onRepaint;

private:
    void Repaint() {
        if (onRepaint) onRepaint();
    }
    // Clears the box (running its rule when that changes it), then disables it.
    static void ClearAndDisable(CheckBox& box);

    Analysis& analysis_;
};

// The output folder a fresh window offers: the user's videos folder when it exists, else the
// home folder, ending with '/'.
std::string DefaultOutputFolder();

}  // namespace kestrun
