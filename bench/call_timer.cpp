// Times whole calls of command-line programs, exec to exit, with no shell in between. Each
// call gets standard input opened anew from a file and standard output to /dev/null; the
// programs take turns, so a busy moment of the machine hits them alike.
//   tessivo_call_timer RUNS INPUT-FILE PROGRAM [ARG...] -- PROGRAM [ARG...] ...
// Prints one line per program: name=... median_us=... mean_us=... min_us=...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

struct Program {
    std::vector<char*> argv;
    std::vector<double> microseconds;
};

double callOnce(Program& program, const char* input)
{
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, input, O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, program.argv[0], &files, nullptr, program.argv.data(), environ) != 0) {
        std::perror(program.argv[0]);
        std::exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&files);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s did not succeed (wait status %d)\n", program.argv[0], status);
        std::exit(1);
    }
    return std::chrono::duration<double, std::micro>(end - start).count();
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 4) {
        std::fputs("usage: tessivo_call_timer RUNS INPUT-FILE PROGRAM [ARG...] -- ...\n", stderr);
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    const char* input = argv[2];
    std::vector<Program> programs(1);
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            programs.emplace_back();
        } else {
            programs.back().argv.push_back(argv[i]);
        }
    }
    for (auto& program : programs) {
        program.argv.push_back(nullptr);
        for (int i = 0; i < runs / 20 + 1; ++i) {
            callOnce(program, input); // not counted: page cache and loader warm
        }
    }
    for (int i = 0; i < runs; ++i) {
        for (auto& program : programs) {
            program.microseconds.push_back(callOnce(program, input));
        }
    }
    for (auto& program : programs) {
        auto& times = program.microseconds;
        std::sort(times.begin(), times.end());
        const double median = times.size() % 2 != 0
                                  ? times[times.size() / 2]
                                  : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
        const double mean =
            std::accumulate(times.begin(), times.end(), 0.0) / static_cast<double>(times.size());
        std::printf("name=%s median_us=%.1f mean_us=%.1f min_us=%.1f\n", program.argv[0], median,
                    mean, times.front());
    }
    return 0;
}
