#include "holder_launcher.h"

#include "fd_io.h"
#include "holder_channel.h"
#include "secret.h"

#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessivo::cli {

namespace {

namespace channel = clipboard::channel;

// The holder starts Qt and takes the clipboard in well under a second; a display that does not
// answer for this long is as good as none.
constexpr int AnswerMs = 10000;

bool hasValue(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// Where this program itself lies: the build tree and an installation both put the window
// program beside it. Never looked up along PATH, which anyone's folder may lead.
std::string ownDirectory()
{
    std::array<char, PATH_MAX> path{};
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) {
        return {};
    }
    const std::string_view self(path.data(), static_cast<std::size_t>(length));
    const auto slash = self.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(self.substr(0, slash));
}

bool isProgram(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

// The holder's one status byte, or -1 when it ended or fell silent without one.
int answerOf(int socket)
{
    unsigned char status = 0;
    if (!fd_io::WaitReadable(socket, AnswerMs) || read(socket, &status, 1) != 1) {
        return -1;
    }
    return status;
}

// In the child, between fork and exec: only async-signal-safe calls. Its own session, so that
// closing the terminal does not end it; standard streams on /dev/null, so that a caller reading
// this program's output (`x=$(tessivo-cli --clip ...)`) is not kept waiting for the holder.
[[noreturn]] void becomeHolder(const char* program, char* const arguments[], int holderEnd)
{
    setsid();
    // Out of the way of the descriptors set below first, whichever number it got.
    holderEnd = fcntl(holderEnd, F_DUPFD_CLOEXEC, channel::Descriptor + 1);
    const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (holderEnd < 0 || nothing < 0 || dup2(nothing, STDIN_FILENO) < 0 ||
        dup2(nothing, STDOUT_FILENO) < 0 || dup2(nothing, STDERR_FILENO) < 0 ||
        dup2(holderEnd, channel::Descriptor) < 0) {
        _exit(127);
    }
    // Nothing else this program holds open reaches the holder.
    close_range(channel::Descriptor + 1, ~0U, 0);
    execv(program, arguments);
    _exit(127);
}

// Ends the holder `child`, which answered `status` instead of saying the password is on: it must
// not put the password up later. Says why it failed, in a sentence.
std::string endFailed(pid_t child, int status, const std::string& program)
{
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    if (status == static_cast<int>(channel::Status::NoClipboard)) {
        return "no X11 clipboard could be reached: the X server named by DISPLAY did not answer, "
               "or QT_QPA_PLATFORM names a platform other than xcb";
    }
    if (status == static_cast<int>(channel::Status::OutOfReach)) {
        return "this Wayland compositor keeps its own copy of what X11 programs copy and offers "
               "no way to take it back (no data-control), so the password would stay behind; "
               "leave out --clip and pipe the password into wl-copy -n, or use the window "
               "(tessivo)";
    }
    return "the clipboard holder (" + program + ") failed; is DISPLAY's X server reachable?";
}

} // namespace

HolderLauncher HolderLauncher::Find()
{
    HolderLauncher launcher;
    if (!hasValue("DISPLAY")) {
        launcher.m_problem =
            hasValue("WAYLAND_DISPLAY")
                ? "--clip holds the clipboard through X11, and this Wayland session has no X "
                  "server (XWayland); leave out --clip and pipe the password into wl-copy -n"
                : "--clip needs a desktop's clipboard, and there is no display here (DISPLAY is "
                  "not set); leave out --clip to print the password";
        return launcher;
    }
    const std::string beside = ownDirectory() + "/tessivo";
    if (isProgram(beside)) {
        launcher.m_program = beside;
    } else if (isProgram(TESSIVO_INSTALLED_PROGRAM)) {
        launcher.m_program = TESSIVO_INSTALLED_PROGRAM;
    } else {
        launcher.m_problem = "--clip needs Tessivo's window program, found neither beside this "
                             "program nor as " TESSIVO_INSTALLED_PROGRAM;
    }
    return launcher;
}

bool HolderLauncher::launch(std::u32string_view password, int seconds)
{
    std::array<int, 2> ends{};
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends.data()) != 0) {
        m_problem = std::string("could not start the clipboard holder: ") + std::strerror(errno);
        return false;
    }
    // Made before the fork: the child may only exec.
    std::string name = m_program;
    std::string option = channel::Option;
    char* const arguments[] = {name.data(), option.data(), nullptr};

    const pid_t child = fork();
    if (child == 0) {
        becomeHolder(m_program.c_str(), arguments, ends[1]);
    }
    close(ends[1]);
    if (child < 0) {
        m_problem = std::string("could not start the clipboard holder: ") + std::strerror(errno);
        close(ends[0]);
        return false;
    }
    std::string message = channel::Encode(password, seconds);
    const bool sent = fd_io::WriteAll(ends[0], message) && shutdown(ends[0], SHUT_WR) == 0;
    derivation::Wipe(message);
    const int status = sent ? answerOf(ends[0]) : -1;
    close(ends[0]);

    if (status == static_cast<int>(channel::Status::OnClipboard)) {
        return true;
    }
    m_problem = endFailed(child, status, m_program);
    return false;
}

} // namespace tessivo::cli
