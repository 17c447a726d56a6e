#pragma once

#include <string_view>

// A file descriptor's two loops, through interrupted calls and short writes, written once.
namespace tessivo::fd_io {

// Writes all of `bytes` to `fd`; false, errno saying why, when it fails or its reader is gone.
// A socket whose peer is gone gives false, never SIGPIPE.
bool WriteAll(int fd, std::string_view bytes);

// Waits at most `timeoutMs` for `fd` to have something to read, or to end; false when nothing
// came in time.
bool WaitReadable(int fd, int timeoutMs);

} // namespace tessivo::fd_io
