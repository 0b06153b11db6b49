#include "app/ui/unattended_log.h"

#include <fstream>

namespace kestrun::ui {

std::string UnattendedLog::Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += c;
        }
    }
    return out;
}

void UnattendedLog::Write(std::string_view what, std::string_view text) const {
    if (!active()) return;
    std::ofstream out(path_, std::ios::binary | std::ios::app);
    out << what << '\t' << Escape(text) << '\n';
}

}  // namespace kestrun::ui
