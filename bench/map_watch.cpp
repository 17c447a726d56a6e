// map_watch PROGRAM [ARGUMENT...]
//
// Starts PROGRAM on the X display in DISPLAY and prints one line:
//   startup_us=N vmhwm_kb=N vmhwm_at_map_kb=N vmrss_kb=N
// startup_us runs from just before exec to the X server's MapNotify for the program's first
// top-level window. Without a window manager (a bare Xvfb) top-level windows are children of
// the root, so watching the root's substructure sees them being mapped. vmhwm_at_map_kb is the
// program's peak resident memory read at that moment; vmhwm_kb and vmrss_kb are read again
// SettleTime later, once the window has had its first paint, which is when a toolkit
// allocates its backing store and loads its fonts. Then the program gets SIGTERM.
// The program's own output goes to stderr, so stdout holds the result line only.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr long SettleTimeMs = 200;
constexpr long long GiveUpUs = 30'000'000;

// steady_clock is CLOCK_MONOTONIC on Linux: one clock for the whole machine, so a time read
// in the child before exec compares with one read here.
long long nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void sleepMs(long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A field of /proc/PID/status in kB, or -1.
long statusKb(pid_t pid, const char* field)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
    std::FILE* status = std::fopen(path, "r");
    if (status == nullptr) {
        return -1;
    }
    long value = -1;
    const std::size_t length = std::strlen(field);
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            value = std::strtol(line + length + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(status);
    return value;
}

void stop(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int waited = 0; waited < 200; ++waited) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            return;
        }
        sleepMs(10);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// Whether `window` says it belongs to `pid`. A window that does not say is taken as the
// program's: on a private server nothing else is running.
bool belongsTo(Display* display, Window window, pid_t pid)
{
    const Atom netWmPid = XInternAtom(display, "_NET_WM_PID", True);
    if (netWmPid == None) {
        return true;
    }
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long left = 0;
    unsigned char* data = nullptr;
    const int got = XGetWindowProperty(display, window, netWmPid, 0, 1, False, XA_CARDINAL, &type,
                                       &format, &items, &left, &data);
    bool ours = true;
    if (got == Success && data != nullptr && format == 32 && items == 1) {
        long owner = 0;
        std::memcpy(&owner, data, sizeof owner); // Xlib hands 32-bit items over as longs
        ours = owner == pid;
    }
    if (data != nullptr) {
        XFree(data);
    }
    return ours;
}

[[noreturn]] void fail(const char* why)
{
    std::fprintf(stderr, "map_watch: %s\n", why);
    std::exit(1);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: map_watch PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        fail("cannot open the X display named in DISPLAY");
    }
    const Window root = XDefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False); // selected before the program can possibly map anything
    const int connection = XConnectionNumber(display);
    fcntl(connection, F_SETFD, FD_CLOEXEC);

    // The child reports its last moment before exec, then (only if exec fails) its errno. The
    // pipe closes on a successful exec.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        fail("pipe2 failed");
    }
    const pid_t pid = fork();
    if (pid < 0) {
        fail("fork failed");
    }
    if (pid == 0) {
        close(report[0]);
        dup2(STDERR_FILENO, STDOUT_FILENO);
        const long long beforeExec = nowUs();
        (void)!write(report[1], &beforeExec, sizeof beforeExec);
        execvp(argv[1], argv + 1);
        const int error = errno;
        (void)!write(report[1], &error, sizeof error);
        _exit(127);
    }
    close(report[1]);
    long long started = 0;
    if (read(report[0], &started, sizeof started) != static_cast<ssize_t>(sizeof started)) {
        stop(pid);
        fail("the child did not report its start");
    }
    int execError = 0;
    if (read(report[0], &execError, sizeof execError) > 0) {
        waitpid(pid, nullptr, 0);
        std::fprintf(stderr, "map_watch: cannot run %s: %s\n", argv[1], std::strerror(execError));
        return 1;
    }
    close(report[0]);

    long long mapped = 0;
    while (mapped == 0) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != MapNotify || event.xmap.event != root) {
                continue;
            }
            const long long at = nowUs(); // before the round trip that asks whose window it is
            if (belongsTo(display, event.xmap.window, pid)) {
                mapped = at;
                break;
            }
        }
        if (mapped != 0) {
            break;
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "map_watch: %s ended before it showed a window (%s %d)\n", argv[1],
                         WIFSIGNALED(status) ? "signal" : "exit status",
                         WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
            return 1;
        }
        if (nowUs() - started > GiveUpUs) {
            stop(pid);
            fail("no window appeared within 30 s");
        }
        pollfd readable{connection, POLLIN, 0};
        poll(&readable, 1, 50);
    }

    const long hwmAtMap = statusKb(pid, "VmHWM");
    sleepMs(SettleTimeMs);
    const long hwm = statusKb(pid, "VmHWM");
    const long rss = statusKb(pid, "VmRSS");
    stop(pid);
    XCloseDisplay(display);
    if (hwmAtMap < 0 || hwm < 0) {
        fail("could not read the program's memory from /proc");
    }
    std::printf("startup_us=%lld vmhwm_kb=%ld vmhwm_at_map_kb=%ld vmrss_kb=%ld\n", mapped - started,
                hwm, hwmAtMap, rss);
    return 0;
}
