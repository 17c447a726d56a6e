#include "clip_holder.h"
#include "form1_window.h"
#include "form2_window.h"
#include "form_names.h"
#include "holder_channel.h"
#include "message_service.h"
#include "process_hardening.h"
#include "qt_application.h"
#include "qt_clipboard.h"
#include "qt_forms.h"
#include "quit_signals.h"

#include <QApplication>
#include <QSessionManager>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr const char* Usage =
    "Usage: tessivo [--help | --version]\n"
    "\n"
    "Opens Tessivo's window, which makes a site's password from the site's name, your user\n"
    "name on it and a master key of at most six characters. The same inputs always give the\n"
    "same password; nothing is stored. The password is put on the clipboard; END and the\n"
    "close box empty it again.\n"
    "\n"
    "  --help      show this text and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "See tessivo(1); tessivo-cli(1) makes the same passwords in a terminal.\n";

// Answered before Qt is started, so that they work over SSH and without a display.
bool answeredWithoutWindow(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(Usage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("tessivo " TESSIVO_VERSION);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    tessivo::derivation::HardenProcess("tessivo");
    // Any program may ask for what this one serves on the clipboard and hang up: a write into
    // its pipe then fails for that reader alone instead of ending this program.
    std::signal(SIGPIPE, SIG_IGN);
    // Not in the help: only tessivo-cli starts it, and hands it the password on a channel.
    if (argc > 1 && std::strcmp(argv[1], tessivo::clipboard::channel::Option) == 0) {
        return tessivo::clip_holder::Run(argc, argv);
    }
    if (answeredWithoutWindow(argc, argv)) {
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    tessivo::clipboard::ChoosePlatform();
    QApplication application(argc, argv);
    tessivo::forms::SetUpApplication(application);

    // The windows go first, then the clipboard, then the application.
    tessivo::clipboard::QtClipboard clipboard;
    tessivo::forms::MessageBoxService messages;
    tessivo::forms::QtForms forms;
    forms.define(tessivo::forms::Form1Name.name, [&forms, &messages, &clipboard] {
        return std::make_unique<tessivo::main_window::Form1Window>(forms, messages, clipboard);
    });
    forms.define(tessivo::forms::Form2Name.name, [&forms, &messages] {
        return std::make_unique<tessivo::info_window::Form2Window>(forms, messages);
    });
    QObject::connect(&forms, &tessivo::forms::QtForms::ended, &application,
                     [] { QCoreApplication::exit(0); });
    // A logout, Ctrl+C, a closed terminal or a session manager's quit end the program the way
    // the close box does, the password taken back first.
    tessivo::forms::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &tessivo::forms::QuitSignals::requested, &forms,
                     &tessivo::forms::QtForms::unloadAll);
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &forms,
                     [&forms](QSessionManager& /*manager*/) { forms.unloadAll(); });

    forms.show(tessivo::forms::Form1Name.name);
    return QApplication::exec();
}
