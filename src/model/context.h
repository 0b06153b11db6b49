#pragma once
// Everything one running program shares: the window model, the analysis of the current source,
// the person on the other side (Host), the program folder and the tool runner. Handlers and
// conversion stages take it by reference.
#include <functional>
#include <optional>
#include <string>

#include "model/analysis_state.h"
#include "model/form1.h"
#include "model/host.h"
#include "platform/tool_runner.h"

namespace kestrun {

struct Context {
    Context(Host& host, std::string programFolder);
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    Analysis analysis;
    Form1 form{analysis};
    Host& host;
    std::string programFolder;  // no trailing separator
    ToolRunner runner;

    // The final file of the last conversion that reached its success text; empty otherwise.
    std::string finishedOutput;
    // Whether finishedOutput passed the console rules after the conversion; unset when it was
    // not checked.
    std::optional<bool> finishedOutputPlays;

    // Whether Convert saves the settings file (the window); the command line never writes it.
    bool saveSettings = true;

    // A conversion holds the work folder's lock (the pieces of a split source run inside it).
    bool workFolderLocked = false;

    // Convert, as the batch loops and the piece loop of a split source call it again.
    std::function<void()> command2Click;

    // programFolder followed by a sub-path of the tool table.
    std::string ToolPath(std::string_view subPath) const {
        return programFolder + std::string(subPath);
    }
    // The work folder (txtTMP's text) followed by an intermediate file name.
    std::string WorkPath(std::string_view name) const {
        return form.txtTMP.text() + std::string(name);
    }
    // Priority index for RunWait: the selection of cmbPrio.
    int Priority() const { return form.cmbPrio.selectedIndex(); }

    // Shows a text in the progress line and repaints.
    void Progress(const std::string& text);
    // Appends one entry to debug.log in the program folder.
    void Log(const std::string& text) const;
};

}  // namespace kestrun
