#include "quit_signals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tessivo::forms {

namespace {

constexpr std::array Signals{SIGTERM, SIGINT, SIGHUP};

// The handler reaches nothing but these.
int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_received = 0;

extern "C" void onQuitSignal(int signal)
{
    if (g_received != 0) {
        _exit(128 + signal); // asked again while the password is taken back: gone at once
    }
    g_received = 1;
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

QuitSignals::QuitSignals()
{
    if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // the signals keep their default action: the program ends as before
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::drain);
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : Signals) {
        struct sigaction before {};
        // A signal ignored on purpose (nohup, a script's background job) stays ignored.
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) {
            sigaction(signal, &action, nullptr);
        }
    }
}

QuitSignals::~QuitSignals()
{
    for (const int signal : Signals) {
        struct sigaction now {};
        if (sigaction(signal, nullptr, &now) == 0 && now.sa_handler == onQuitSignal) {
            std::signal(signal, SIG_DFL);
        }
    }
    if (g_pipe[0] >= 0) {
        close(g_pipe[0]);
        close(g_pipe[1]);
        g_pipe[0] = g_pipe[1] = -1;
    }
}

void QuitSignals::drain()
{
    char byte = 0;
    while (read(g_pipe[0], &byte, 1) == 1) {
    }
    m_notifier->setEnabled(false); // one request is enough; a second signal ends at once
    emit requested();
}

} // namespace tessivo::forms
