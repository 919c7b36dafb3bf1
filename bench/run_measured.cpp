// Runs a command with its standard output sent to a file and prints its wall time, CPU time
// and peak resident memory, from the kernel's own accounting of that one child:
//   run_measured OUTPUT COMMAND [ARGUMENTS...]
//   -> "wall_seconds user_seconds system_seconds peak_rss_kib"
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: run_measured OUTPUT COMMAND [ARGUMENTS...]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) return 1;
    if (child == 0) {
        const int out = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || dup2(out, STDOUT_FILENO) < 0) _exit(127);
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    rusage usage = {};
    if (wait4(child, &status, 0, &usage) != child) return 1;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto seconds = [](timeval t) { return t.tv_sec + t.tv_usec / 1e6; };
    std::printf("%.4f %.4f %.4f %ld\n", wall, seconds(usage.ru_utime), seconds(usage.ru_stime),
                usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
