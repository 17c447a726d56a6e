#include "process_hardening.h"

#if defined(__linux__)
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/prctl.h>
#include <sys/resource.h>
#endif

namespace tessivo::derivation {

#if defined(__linux__)

namespace {

void report(const char* program, const char* what)
{
    std::fprintf(stderr, "%s: could not %s: %s\n", program, what, std::strerror(errno));
}

} // namespace

void HardenProcess(const char* program) noexcept
{
    const rlimit noCore{0, 0};
    if (setrlimit(RLIMIT_CORE, &noCore) != 0) {
        report(program, "switch off core files");
    }
    // Also makes /proc/PID/mem and ptrace refuse other processes of the same user.
    if (prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0) {
        report(program, "make the process undumpable");
    }
}

#else

void HardenProcess(const char* /*program*/) noexcept {}

#endif

} // namespace tessivo::derivation
