// kestrun: the window. The whole argument text, joined by blanks, is one path: an MKV file is
// converted at once, a folder's MKV files one after another; then the window stays open.
//
// Environment, for runs without a person (tests, scripts):
//   KESTRUN_QUIT_AFTER_COMMAND_LINE=1  the program ends once the command line's conversions are
//                                      done, instead of staying open;
//   KESTRUN_UNATTENDED_LOG=FILE        message boxes are not shown but written to FILE (answered
//                                      OK, or No), dialogs count as cancelled, and the source
//                                      path, the batch counter and the progress line are
//                                      written there as they change (see unattended_log.h);
//   KESTRUN_SCREENSHOT=FILE.png        the window saves a picture of itself after the command
//                                      line.
#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "app/ui/main_window.h"
#include "app/ui/qt_host.h"
#include "decoder/decoder_settings.h"
#include "model/context.h"
#include "platform/program_folder.h"

namespace {

std::string JoinedArguments(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    return text;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

int main(int argc, char** argv) {
    // Taken before Qt reads its own options out of argv: the text is the person's path.
    const std::string commandLineText = JoinedArguments(argc, argv);
    // Answered before the window's toolkit starts, so that it needs no display.
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::cout << "kestrun " << KESTRUN_VERSION << "\n";
        return 0;
    }
    QApplication app(argc, argv);

    const kestrun::ProgramFiles files = kestrun::ProgramFilesOfThisProgram();
    const kestrun::ui::UnattendedLog log(Environment("KESTRUN_UNATTENDED_LOG"));
    kestrun::ui::QtHost host(files.StatePath("/" + std::string(kestrun::kDecoderSettingsFile)),
                             log);
    kestrun::Context ctx(host, files);
    kestrun::ui::MainWindow window(ctx, host, log);

    window.LoadSettings();
    window.show();
    QTimer::singleShot(0, &window, [&] {
        window.RunCommandLine(commandLineText);
        if (const std::string shot = Environment("KESTRUN_SCREENSHOT"); !shot.empty())
            window.grab().save(QString::fromStdString(shot));
        if (Environment("KESTRUN_QUIT_AFTER_COMMAND_LINE") == "1") QApplication::quit();
    });
    return QApplication::exec();
}
