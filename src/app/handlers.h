#pragma once
// The window's buttons: choosing a source, converting it, the subtitle and output-folder
// choosers, the decoder options and the registration script.
#include <string>

namespace kestrun {
struct Context;

void Command1_Click(Context& ctx);  // "File"
// Takes a chosen source path through the same steps as "File" after its dialog.
void ChooseSource(Context& ctx, const std::string& path);
// A file dropped on the window: what "File" does with that file chosen in its dialog.
void DropSource(Context& ctx, const std::string& path);
void Command2_Click(Context& ctx);         // "Convert"
void cmdSubs_Click(Context& ctx);          // "Browse Subs"
void cmdTargetFolder_Click(Context& ctx);  // "Set Output"
void Command3_Click(Context& ctx);         // "AC3Filter Options"
void Form_DblClick(Context& ctx);          // writes the registration script

// True (and a message shown) when the path holds a double quote, which no tool command line
// can carry.
bool RefuseUnquotablePath(Context& ctx, const std::string& path);

}  // namespace kestrun
