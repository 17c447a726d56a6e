#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A file descriptor's loops, through interrupted calls and short reads and writes, written once.
namespace tessivo::fd_io {

// Writes all of `bytes` to `fd`; false, errno saying why, when it fails or its reader is gone.
// A socket whose peer is gone gives false, never SIGPIPE.
bool WriteAll(int fd, std::string_view bytes);
// The same, dropping what it wrote from the front of `rest`: on a non-blocking `fd` that is
// full for now it stops with false and errno EAGAIN, the rest left for later.
bool Write(int fd, std::string_view& rest);

// Waits at most `timeoutMs` for `fd` to have something to read, or to end; false when nothing
// came in time.
bool WaitReadable(int fd, int timeoutMs);

// Appends to `into` all that arrives on `fd` until its end, each read waiting at most
// `timeoutMs`; false when it did not end in time or held more than `most` bytes. Nothing of it
// is left outside `into`, which may hold a secret: wipe it.
bool ReadToEnd(int fd, std::string& into, std::size_t most, int timeoutMs);

} // namespace tessivo::fd_io
