#include "clip_holder_succession.h"

#include "fd_io.h"
#include "secret.h"

#include <QObject>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tessivo::clip_holder {

namespace {

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
// whether what goes back when the time is up is marked secret, and its text in UTF-32 in this
// machine's byte order; then it waits for the `Done` of its successor.
enum class Reply : unsigned char { NotHolding = 0, Holding = 1 };
constexpr char Done = 'D';

clipboard::ClipboardText beforeIn(const std::string& reply)
{
    clipboard::ClipboardText before{{}, reply[1] != 0};
    const std::size_t bytes = reply.size() - 2;
    if (bytes % sizeof(char32_t) == 0) {
        before.text.resize(bytes / sizeof(char32_t));
        std::memcpy(before.text.data(), reply.data() + 2, bytes);
    }
    return before;
}

} // namespace

Predecessor::Predecessor(clipboard::PasswordClipboard& rules)
    : m_socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0))
{
    const HolderAddress address;
    std::string reply;
    if (m_socket < 0 || connect(m_socket, address.get(), address.length) != 0 ||
        !sameUser(m_socket) ||
        !fd_io::ReadToEnd(m_socket, reply, std::string::npos, SuccessionMs) || reply.empty()) {
        if (m_socket >= 0) {
            close(m_socket);
            m_socket = -1;
        }
        rules.rememberBefore({});
    } else if (static_cast<Reply>(reply[0]) == Reply::Holding && reply.size() >= 2) {
        rules.adoptBefore(beforeIn(reply));
    } else {
        rules.rememberBefore({});
    }
    derivation::Wipe(reply);
}

Predecessor::~Predecessor()
{
    if (m_socket >= 0) {
        close(m_socket);
    }
}

void Predecessor::replace()
{
    if (m_socket >= 0) {
        fd_io::WriteAll(m_socket, std::string_view(&Done, 1));
        close(m_socket);
        m_socket = -1;
    }
}

Successors::Successors(std::function<bool()> holding, const clipboard::PasswordClipboard& rules,
                       std::function<void()> replaced)
    : m_holding(std::move(holding))
    , m_rules(rules)
    , m_replaced(std::move(replaced))
{
}

void Successors::listen()
{
    const HolderAddress address;
    m_listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listener < 0 || bind(m_listener, address.get(), address.length) != 0 ||
        ::listen(m_listener, 4) != 0) {
        stop(); // another holder started at the same moment: this one goes unfound
        return;
    }
    m_listening = std::make_unique<QSocketNotifier>(m_listener, QSocketNotifier::Read);
    QObject::connect(m_listening.get(), &QSocketNotifier::activated, [this] { arrive(); });
}

void Successors::stop()
{
    m_listening.reset();
    if (m_listener >= 0) {
        close(m_listener);
        m_listener = -1;
    }
}

void Successors::arrive()
{
    const int successor = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (successor < 0) {
        return;
    }
    if (!sameUser(successor)) {
        close(successor);
        return;
    }
    stop();
    const bool replaced = handOver(successor);
    close(successor);
    if (replaced) {
        m_replaced();
        return;
    }
    listen();
}

bool Successors::handOver(int successor) const
{
    const timeval most{SuccessionMs / 1000, 0};
    setsockopt(successor, SOL_SOCKET, SO_SNDTIMEO, &most, sizeof most);
    const bool holding = m_holding();
    const clipboard::ClipboardText& before = m_rules.before();
    const std::array<char, 2> head{static_cast<char>(holding ? Reply::Holding : Reply::NotHolding),
                                   static_cast<char>(before.secret ? 1 : 0)};
    const std::string_view text(reinterpret_cast<const char*>(before.text.data()),
                                before.text.size() * sizeof(char32_t));
    (void)(fd_io::WriteAll(successor, std::string_view(head.data(), holding ? 2 : 1)) &&
           (!holding || fd_io::WriteAll(successor, text)));
    shutdown(successor, SHUT_WR);
    char done = 0;
    return fd_io::WaitReadable(successor, SuccessionMs) && read(successor, &done, 1) == 1 &&
           done == Done;
}

} // namespace tessivo::clip_holder
