#include "clip_holder.h"

#include "fd_io.h"
#include "holder_channel.h"
#include "password_clipboard.h"
#include "qt_clipboard.h"
#include "qt_platform.h"
#include "secret.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tessivo::clip_holder {

namespace {

namespace channel = clipboard::channel;
using clipboard::PasswordClipboard;
using clipboard::Text;

// How long one holder waits on another that replaces it or is replaced: both are this
// program, so only a hung one takes this long.
constexpr int SuccessionMs = 3000;

// The holder's side of the channel: one byte back to tessivo-cli, then nothing more.
void answer(channel::Status status)
{
    const auto byte = static_cast<unsigned char>(status);
    (void)send(channel::Descriptor, &byte, 1, MSG_NOSIGNAL);
    close(channel::Descriptor);
}

// All that arrives on `fd` until its end, at most `most` bytes, each read waiting `ms` at most;
// false when it did not end in time or held more.
bool readToEnd(int fd, std::string& into, std::size_t most, int ms)
{
    std::array<char, 256> chunk{};
    // Room enough up front that a password is never moved, leaving a copy behind.
    into.reserve(std::min<std::size_t>(most, 4096) + chunk.size());
    bool whole = false;
    while (fd_io::WaitReadable(fd, ms)) {
        const ssize_t got = read(fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            whole = got == 0;
            break;
        }
        into.append(chunk.data(), static_cast<std::size_t>(got));
        if (into.size() > most) {
            break;
        }
    }
    derivation::Wipe(std::span<char>(chunk));
    return whole;
}

// UTF-32 in this machine's byte order, as both sides of a channel write it; the bytes are
// wiped.
std::optional<Text> fromBytes(std::string& bytes)
{
    std::optional<Text> text;
    if (bytes.size() % sizeof(char32_t) == 0) {
        text.emplace(bytes.size() / sizeof(char32_t), U'\0');
        std::memcpy(text->data(), bytes.data(), bytes.size());
    }
    derivation::Wipe(bytes);
    return text;
}

// The password from tessivo-cli: one the window could have made, or none.
std::optional<Text> receivePassword()
{
    std::string bytes;
    if (!readToEnd(channel::Descriptor, bytes, channel::MostCharacters * sizeof(char32_t),
                   SuccessionMs)) {
        derivation::Wipe(bytes);
        return std::nullopt;
    }
    auto password = fromBytes(bytes);
    const auto isCharacter = [](char32_t c) {
        return c != U'\0' && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    };
    if (!password || password->empty() ||
        !std::all_of(password->begin(), password->end(), isCharacter)) {
        if (password) {
            derivation::Wipe(*password);
        }
        return std::nullopt;
    }
    return password;
}

std::optional<int> parseSeconds(const char* text)
{
    char* end = nullptr;
    errno = 0;
    const long seconds = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || seconds < channel::FewestSeconds ||
        seconds > channel::MostSeconds) {
        return std::nullopt;
    }
    return static_cast<int>(seconds);
}

// A holder is found by the next one under a name of its user and display, in the abstract
// socket namespace: nothing on disk to go stale when a holder is killed.
struct HolderAddress {
    sockaddr_un address{};
    socklen_t length = 0;

    HolderAddress()
    {
        const char* display = std::getenv("DISPLAY");
        const std::string name = "tessivo-clip-holder:" + std::to_string(getuid()) + ':' +
                                 (display != nullptr ? display : "");
        address.sun_family = AF_UNIX;
        const std::size_t size = std::min(name.size(), sizeof(address.sun_path) - 1);
        std::memcpy(address.sun_path + 1, name.data(), size); // sun_path[0] stays '\0'
        length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + size);
    }

    [[nodiscard]] const sockaddr* get() const
    {
        return reinterpret_cast<const sockaddr*>(&address);
    }
};

// Anyone may bind a name in the abstract namespace: only a holder of this user is talked to.
bool sameUser(int socket)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    return getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
}

// What an earlier holder answers: whether its password is still on the clipboard, and if so
// what goes back when the time is up; then it waits for the `Done` of its successor.
enum class Reply : unsigned char { NotHolding = 0, Holding = 1 };
constexpr unsigned char Done = 'D';

// Signals that end the holder early end it as the time would: the password is taken back.
int& signalPipeEnd()
{
    static int writeEnd = -1;
    return writeEnd;
}

void onSignal(int /*signal*/)
{
    const int saved = errno;
    const char byte = 0;
    (void)write(signalPipeEnd(), &byte, 1);
    errno = saved;
}

class Holder {
public:
    Holder(clipboard::QtClipboard& clipboard, Text password, int seconds)
        : m_clipboard(clipboard)
        , m_password(std::move(password))
        , m_seconds(seconds)
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { end(); });
    }
    Q_DISABLE_COPY_MOVE(Holder)
    ~Holder()
    {
        stopListening();
        derivation::Wipe(m_password);
    }

    // Puts the password on; answers tessivo-cli. False when it could not.
    bool start()
    {
        catchSignals();
        const int predecessor = takeOverFromPredecessor();
        m_clipboard.setText(m_password);
        if (!m_clipboard.holds(m_password, clipboard::Board::Clipboard)) {
            if (predecessor >= 0) {
                close(predecessor); // without Done: it carries on
            }
            return false;
        }
        if (predecessor >= 0) {
            (void)send(predecessor, &Done, 1, MSG_NOSIGNAL);
            close(predecessor);
        }
        listen();
        m_timer.start(m_seconds * 1000);
        return true;
    }

private:
    // The clipboard held before, as an earlier holder still holding its password remembers it,
    // or as it is now. Returns the connection to that holder, which ends once this one's
    // password is on; -1 without one.
    int takeOverFromPredecessor()
    {
        const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const HolderAddress address;
        std::string reply;
        if (socket < 0 || connect(socket, address.get(), address.length) != 0 ||
            !sameUser(socket) || !readToEnd(socket, reply, std::string::npos, SuccessionMs) ||
            reply.empty()) {
            derivation::Wipe(reply);
            if (socket >= 0) {
                close(socket);
            }
            m_rules.rememberBefore({});
            return -1;
        }
        if (static_cast<Reply>(reply[0]) == Reply::Holding && reply.size() >= 2) {
            const bool secret = reply[1] != 0;
            std::string text = reply.substr(2);
            derivation::Wipe(reply);
            auto before = fromBytes(text);
            m_rules.adoptBefore({before ? std::move(*before) : Text(), secret});
        } else {
            derivation::Wipe(reply);
            m_rules.rememberBefore({});
        }
        return socket;
    }

    void listen()
    {
        const HolderAddress address;
        m_listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (m_listener < 0 || bind(m_listener, address.get(), address.length) != 0 ||
            ::listen(m_listener, 4) != 0) {
            stopListening(); // another holder started at the same moment: this one goes unfound
            return;
        }
        m_listening = std::make_unique<QSocketNotifier>(m_listener, QSocketNotifier::Read);
        QObject::connect(m_listening.get(), &QSocketNotifier::activated,
                         [this] { successorArrives(); });
    }

    void stopListening()
    {
        m_listening.reset();
        if (m_listener >= 0) {
            close(m_listener);
            m_listener = -1;
        }
    }

    // A newer holder takes over: it learns what goes back, puts its own password on and says
    // Done; this one then ends without touching the clipboard. Should the newer one fail, this
    // one carries on.
    void successorArrives()
    {
        const int successor = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (successor < 0) {
            return;
        }
        if (!sameUser(successor)) {
            close(successor);
            return;
        }
        stopListening();
        const timeval most{SuccessionMs / 1000, 0};
        setsockopt(successor, SOL_SOCKET, SO_SNDTIMEO, &most, sizeof most);
        const bool holding = m_clipboard.holds(m_password, clipboard::Board::Clipboard);
        const clipboard::ClipboardText& before = m_rules.before();
        const std::array<char, 2> head{
            static_cast<char>(holding ? Reply::Holding : Reply::NotHolding),
            static_cast<char>(before.secret ? 1 : 0)};
        (void)(fd_io::WriteAll(successor, std::string_view(head.data(), holding ? 2 : 1)) &&
               (!holding ||
                fd_io::WriteAll(successor,
                                std::string_view(reinterpret_cast<const char*>(before.text.data()),
                                                 before.text.size() * sizeof(char32_t)))));
        shutdown(successor, SHUT_WR);
        unsigned char done = 0;
        const bool replaced = fd_io::WaitReadable(successor, SuccessionMs) &&
                              read(successor, &done, 1) == 1 && done == Done;
        close(successor);
        if (replaced) {
            m_timer.stop();
            QCoreApplication::exit(0);
            return;
        }
        listen();
    }

    // Time is up, or a signal came: what END does.
    void end()
    {
        if (m_ending) {
            return; // a signal while the clipboard managers are waited for
        }
        m_ending = true;
        stopListening();
        m_timer.stop();
        if (m_rules.takeBack(m_password)) {
            m_rules.settle(m_password);
        }
        derivation::Wipe(m_password);
        QCoreApplication::exit(0);
    }

    void catchSignals()
    {
        std::array<int, 2> ends{};
        if (pipe2(ends.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
            return;
        }
        signalPipeEnd() = ends[1];
        m_signalled = std::make_unique<QSocketNotifier>(ends[0], QSocketNotifier::Read);
        QObject::connect(m_signalled.get(), &QSocketNotifier::activated, [this] {
            m_signalled->setEnabled(false);
            end();
        });
        struct sigaction action {};
        action.sa_handler = &onSignal;
        sigemptyset(&action.sa_mask);
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            sigaction(signal, &action, nullptr);
        }
    }

    clipboard::QtClipboard& m_clipboard;
    PasswordClipboard m_rules{m_clipboard, PasswordClipboard::Reach::ClipboardOnly};
    Text m_password;
    int m_seconds;
    QTimer m_timer;
    int m_listener = -1;
    bool m_ending = false;
    std::unique_ptr<QSocketNotifier> m_listening;
    std::unique_ptr<QSocketNotifier> m_signalled;
};

} // namespace

int Run(int argc, char* argv[])
{
    if (argc != 3) {
        return 2; // started by hand: there is no one to answer
    }
    const auto seconds = parseSeconds(argv[2]);
    auto password = seconds ? receivePassword() : std::nullopt;
    if (!password) {
        answer(channel::Status::BadRequest);
        return 2;
    }

    // The window's own choice: X11, through XWayland under a Wayland compositor. Only X11 lets
    // a program without a window own the clipboard.
    clipboard::ChoosePlatform(clipboard::PlatformUse::WindowlessClipboard);
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    if (QGuiApplication::platformName() != u"xcb") {
        derivation::Wipe(*password);
        answer(channel::Status::NoClipboard);
        return 1;
    }
    QGuiApplication::setApplicationName(QStringLiteral("Tessivo"));
    QGuiApplication::setQuitOnLastWindowClosed(false);

    clipboard::QtClipboard clipboard;
    Holder holder(clipboard, std::move(*password), *seconds);
    if (!holder.start()) {
        answer(channel::Status::NoClipboard);
        return 1;
    }
    answer(channel::Status::OnClipboard);
    return QGuiApplication::exec();
}

} // namespace tessivo::clip_holder
