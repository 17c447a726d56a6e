#include "clip_holder_protocol.h"

#include <cerrno>
#include <sys/socket.h>
#include <sys/types.h>

namespace tessivo::clip_holder {

bool SendAll(int socket, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t sent = send(socket, bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

} // namespace tessivo::clip_holder
