#include "fd_io.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessivo::fd_io {

bool WriteAll(int fd, std::string_view bytes) { return Write(fd, bytes); }

bool Write(int fd, std::string_view& rest)
{
    // A socket is written with send, the one call that can be told not to raise SIGPIPE.
    struct stat status {};
    const bool socket = fstat(fd, &status) == 0 && S_ISSOCK(status.st_mode);
    while (!rest.empty()) {
        const ssize_t written = socket ? ::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL)
                                       : ::write(fd, rest.data(), rest.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool WaitReadable(int fd, int timeoutMs)
{
    pollfd wanted{fd, POLLIN, 0};
    int ready = 0;
    while ((ready = ::poll(&wanted, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    return ready > 0;
}

bool ReadToEnd(int fd, std::string& into, std::size_t most, int timeoutMs)
{
    constexpr std::size_t Chunk = 256;
    // Room enough up front that a password is never moved, leaving a copy behind; read straight
    // into it, so no buffer of its own holds any.
    into.reserve(std::min<std::size_t>(most, 4096) + Chunk);
    while (WaitReadable(fd, timeoutMs)) {
        const std::size_t held = into.size();
        into.resize(held + Chunk);
        const ssize_t got = ::read(fd, into.data() + held, Chunk);
        into.resize(held + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
        if (got == 0 || into.size() > most || (got < 0 && errno != EINTR)) {
            return got == 0;
        }
    }
    return false;
}

} // namespace tessivo::fd_io
