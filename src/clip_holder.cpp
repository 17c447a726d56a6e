#include "clip_holder.h"

#include "clip_holder_succession.h"
#include "fd_io.h"
#include "holder_channel.h"
#include "password_clipboard.h"
#include "qt_clipboard.h"
#include "quit_signals.h"
#include "secret.h"

#include <QGuiApplication>
#include <QTimer>

#include <optional>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace tessivo::clip_holder {

namespace {

namespace channel = clipboard::channel;
using clipboard::PasswordClipboard;
using clipboard::Text;

// The holder's side of the channel: one byte back to tessivo-cli, then nothing more.
void tellLauncher(channel::Status status)
{
    const auto byte = static_cast<unsigned char>(status);
    (void)send(channel::Descriptor, &byte, 1, MSG_NOSIGNAL);
    close(channel::Descriptor);
}

// The request from tessivo-cli, or none when the window could not have made it.
std::optional<channel::Request> receiveRequest()
{
    std::string message;
    if (!fd_io::ReadToEnd(channel::Descriptor, message, channel::MostBytes, SuccessionMs)) {
        derivation::Wipe(message);
        return std::nullopt;
    }
    return channel::Decode(message);
}

// Holds a password on the clipboard for its time, then takes it back as END does, unless a
// newer holder takes over first. What goes back in its place would go with this process (on
// X11 a clipboard goes with its owner), so it stays to serve that until another program takes
// the clipboard, for a day at most.
class Holder {
public:
    Holder(clipboard::QtClipboard& clipboard, Text password, int seconds)
        : m_clipboard(clipboard)
        , m_password(std::move(password))
        , m_seconds(seconds)
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { end(); });
        QObject::connect(&m_signals, &forms::QuitSignals::requested, [this] { end(); });
    }
    Q_DISABLE_COPY_MOVE(Holder)
    ~Holder() { derivation::Wipe(m_password); }

    // Puts the password on. False when it could not.
    bool start()
    {
        Predecessor predecessor(m_rules);
        m_clipboard.setText(m_password);
        if (!holding()) {
            return false;
        }
        predecessor.replace();
        m_successors.listen();
        m_timer.start(m_seconds * 1000);
        return true;
    }

private:
    // Longer than any working day: a text from before is not kept for ever.
    static constexpr int ServeBeforeMs = 24 * 60 * 60 * 1000;

    enum class Stage { Holding, ServingBefore };

    [[nodiscard]] bool holding() const
    {
        return m_clipboard.holds(m_password, clipboard::Board::Clipboard);
    }

    // A successor put its own password on: this holder ends, the clipboard untouched.
    void replaced()
    {
        m_timer.stop();
        QCoreApplication::exit(0);
    }

    // Time is up, or a signal came: what END does. Once the password is gone, a signal or the
    // end of the day ends the holder.
    void end()
    {
        if (m_stage == Stage::ServingBefore) {
            QCoreApplication::exit(0);
            return;
        }
        m_successors.stop();
        m_timer.stop();
        const clipboard::ClipboardText& before = m_rules.before();
        const bool restoring = !before.text.empty() && before.text != m_password;
        const bool changed = m_rules.takeBack(m_password);
        if (changed) {
            m_rules.settle(m_password);
        }
        derivation::Wipe(m_password);
        m_stage = Stage::ServingBefore;
        if (!changed || !restoring) {
            QCoreApplication::exit(0);
            return;
        }
        // A clipboard manager that took it over serves it from now on: the holder ends at once.
        m_timer.start(ServeBeforeMs);
        m_clipboard.whenServingEnds([] { QCoreApplication::exit(0); });
    }

    clipboard::QtClipboard& m_clipboard;
    PasswordClipboard m_rules{m_clipboard, PasswordClipboard::Reach::ClipboardOnly};
    Text m_password;
    int m_seconds;
    QTimer m_timer;
    Stage m_stage = Stage::Holding;
    Successors m_successors{[this] { return holding(); }, m_rules, [this] { replaced(); }};
    // A signal ends the holder as its time would: the password taken back.
    forms::QuitSignals m_signals;
};

} // namespace

int Run(int argc, char* argv[])
{
    if (argc != 2) {
        return 2; // started by hand: there is no one to answer
    }
    auto request = receiveRequest();
    if (!request) {
        tellLauncher(channel::Status::BadRequest);
        return 2;
    }

    // Where what it put on would outlive it, nothing goes on.
    if (clipboard::WaylandClipboardOutOfReach()) {
        derivation::Wipe(request->password);
        tellLauncher(channel::Status::OutOfReach);
        return 1;
    }
    // The window's own choice: X11, through XWayland under a Wayland compositor. Only X11 lets
    // a program without a window own the clipboard.
    clipboard::ChoosePlatform(clipboard::PlatformUse::WindowlessClipboard);
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    if (QGuiApplication::platformName() != u"xcb") {
        derivation::Wipe(request->password);
        tellLauncher(channel::Status::NoClipboard);
        return 1;
    }
    QGuiApplication::setApplicationName(QStringLiteral("Tessivo"));
    QGuiApplication::setQuitOnLastWindowClosed(false);

    clipboard::QtClipboard clipboard(clipboard::QtClipboard::User::Windowless);
    Holder holder(clipboard, std::move(request->password), request->seconds);
    derivation::Wipe(request->password); // what the move left behind
    if (!holder.start()) {
        tellLauncher(channel::Status::NoClipboard);
        return 1;
    }
    tellLauncher(channel::Status::OnClipboard);
    return QGuiApplication::exec();
}

} // namespace tessivo::clip_holder
