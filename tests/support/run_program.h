#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>
#include <string>
#include <vector>

extern char** environ;

namespace numtrail::test {

struct ProgramRun {
    int status = -1;  // the exit code; -1 when the program could not run or did not exit
    std::string out;
    std::string err;
};

// Runs a program directly (no shell, so arguments go through exactly as given), feeds it
// `stdin_text` and returns its exit code, standard output and standard error.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::string& stdin_text = {}) {
    ProgramRun run;
    const auto close_all = [](std::initializer_list<int> fds) {
        for (const int fd : fds)
            if (fd >= 0) ::close(fd);
    };
    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0) {
        close_all({in[0], in[1], out[0], out[1], err[0], err[1]});
        return run;
    }

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    // The child gets the default SIGPIPE even though this process ignores it below.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t default_signals;
    sigemptyset(&default_signals);
    sigaddset(&default_signals, SIGPIPE);
    ::posix_spawnattr_setsigdefault(&attributes, &default_signals);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    // A program that exits without reading its input must not end the test with SIGPIPE.
    struct sigaction ignore = {};
    struct sigaction previous = {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);

    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    close_all({in[0], out[1], err[1]});
    if (spawned != 0) {
        close_all({in[1], out[0], err[0]});
        ::sigaction(SIGPIPE, &previous, nullptr);
        return run;
    }

    // Feed standard input and drain both outputs together, so that no pipe fills up.
    std::size_t written = 0;
    int stdin_fd = in[1];
    if (stdin_text.empty()) {
        ::close(stdin_fd);
        stdin_fd = -1;
    } else {
        ::fcntl(stdin_fd, F_SETFL, O_NONBLOCK);  // a full pipe must not stop the reading
    }
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {stdin_fd, POLLOUT, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    while (fds[0].fd >= 0 || fds[1].fd >= 0 || fds[2].fd >= 0) {
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
            }
        }
        if (fds[2].fd >= 0 && fds[2].revents != 0) {
            const ssize_t n =
                ::write(fds[2].fd, stdin_text.data() + written, stdin_text.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if ((n < 0 && errno != EINTR && errno != EAGAIN) || written == stdin_text.size()) {
                ::close(fds[2].fd);
                fds[2].fd = -1;
            }
        }
    }
    close_all({fds[0].fd, fds[1].fd, fds[2].fd});
    ::sigaction(SIGPIPE, &previous, nullptr);

    int raw = 0;
    while (::waitpid(pid, &raw, 0) < 0)
        if (errno != EINTR) return run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

}  // namespace numtrail::test
