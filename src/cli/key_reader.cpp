#include "key_reader.h"

#include "fd_io.h"
#include "secret.h"

#include <cerrno>
#include <csignal>
#include <span>
#include <termios.h>
#include <unistd.h>

namespace tessivo::cli {

namespace {

constexpr std::string_view Prompt = "Key: ";

// The signals that end a program waiting at a prompt; each would otherwise leave the
// terminal without echo for the shell that comes back.
constexpr std::array<int, 4> EndingSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// What the signal handler puts back and wipes, set before it is installed: a handler reaches
// nothing but globals.
struct {
    int terminal = -1;
    termios echoing{};
    std::span<char> line;
} g_beforePrompt;

void restoreAndDie(int signal)
{
    tcsetattr(g_beforePrompt.terminal, TCSANOW, &g_beforePrompt.echoing);
    [[maybe_unused]] const auto written = write(g_beforePrompt.terminal, "\n", 1);
    derivation::Wipe(g_beforePrompt.line);
    // The handler was reset on entry: once it returns, the signal does what it would have.
    raise(signal);
}

template <typename Call> int retryInterrupted(Call call)
{
    int result = 0;
    do {
        result = call();
    } while (result != 0 && errno == EINTR);
    return result;
}

using SignalActions = std::array<struct sigaction, EndingSignals.size()>;

// Until the returned actions are put back, a signal that ends the program first sets the
// terminal back to `echoing` and wipes `line`. An ignored hang-up (nohup) stays ignored.
SignalActions restoreTerminalOnSignal(int fd, const termios& echoing, std::span<char> line)
{
    g_beforePrompt.terminal = fd;
    g_beforePrompt.echoing = echoing;
    g_beforePrompt.line = line;

    struct sigaction restoring {};
    restoring.sa_handler = restoreAndDie;
    restoring.sa_flags = static_cast<int>(SA_RESETHAND);
    sigemptyset(&restoring.sa_mask);
    for (const int signal : EndingSignals) {
        sigaddset(&restoring.sa_mask, signal);
    }
    SignalActions previous{};
    for (std::size_t i = 0; i < EndingSignals.size(); ++i) {
        sigaction(EndingSignals[i], nullptr, &previous[i]);
        if (previous[i].sa_handler != SIG_IGN) {
            sigaction(EndingSignals[i], &restoring, nullptr);
        }
    }
    return previous;
}

void putBack(const SignalActions& previous)
{
    for (std::size_t i = 0; i < EndingSignals.size(); ++i) {
        sigaction(EndingSignals[i], &previous[i], nullptr);
    }
}

// Echo off, and checked to be off. Flushing drops anything typed ahead of the prompt: it was
// shown as it was typed.
bool switchEchoOff(int fd, const termios& echoing)
{
    termios quiet = echoing;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
    termios check{};
    return retryInterrupted([&] { return tcsetattr(fd, TCSAFLUSH, &quiet); }) == 0 &&
           tcgetattr(fd, &check) == 0 && (check.c_lflag & ECHO) == 0;
}

// To the terminal the key is typed on; standard error only when that was opened for reading
// alone.
void writeToTerminal(int fd, std::string_view text)
{
    if (!fd_io::WriteAll(fd, text)) {
        fd_io::WriteAll(STDERR_FILENO, text);
    }
}

} // namespace

KeyLine::~KeyLine() { derivation::Wipe(m_buffer); }

// Friend of KeyLine: fills it byte by byte.
class KeyReading {
public:
    // One byte at a time, so that nothing past the line is taken from a shared input.
    static KeyRead readLine(int fd, KeyLine& line)
    {
        bool anything = false;
        bool lineEnd = false;
        char c = 0;
        for (;;) {
            const ssize_t got = read(fd, &c, 1);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                return KeyRead::Failed;
            }
            if (got == 0) {
                break;
            }
            anything = true;
            if (c == '\n') {
                lineEnd = true;
                break;
            }
            if (line.m_size == line.m_buffer.size()) {
                line.m_tooLong = true;
                break;
            }
            line.m_buffer[line.m_size++] = c;
        }
        c = 0;
        if (!anything) {
            return KeyRead::NoLine;
        }
        if (lineEnd && line.m_size > 0 && line.m_buffer[line.m_size - 1] == '\r') {
            line.m_buffer[--line.m_size] = 0;
        }
        return KeyRead::Line;
    }

    static KeyRead readFromTerminal(int fd, KeyLine& line)
    {
        termios echoing{};
        if (tcgetattr(fd, &echoing) != 0) {
            return KeyRead::Failed;
        }
        const SignalActions previous = restoreTerminalOnSignal(fd, echoing, line.m_buffer);
        if (!switchEchoOff(fd, echoing)) {
            tcsetattr(fd, TCSANOW, &echoing);
            putBack(previous);
            return KeyRead::Failed;
        }

        writeToTerminal(fd, Prompt);
        const KeyRead result = readLine(fd, line);
        const int readError = errno;
        if (line.m_tooLong) {
            tcflush(fd, TCIFLUSH); // the rest of the line must not reach the shell
        }
        retryInterrupted([&] { return tcsetattr(fd, TCSANOW, &echoing); });
        writeToTerminal(fd, "\n"); // the Enter that ended the line was not echoed either
        putBack(previous);
        errno = readError;
        return result;
    }
};

KeyRead ReadKey(KeyLine& line)
{
    if (isatty(STDIN_FILENO) == 0) {
        return KeyReading::readLine(STDIN_FILENO, line);
    }
    return KeyReading::readFromTerminal(STDIN_FILENO, line);
}

} // namespace tessivo::cli
