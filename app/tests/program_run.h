#pragma once
// Runs the program in a process of its own, as a user starts it, and keeps what it wrote to its
// standard error for the test to read.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/tests/pump.h"

namespace program_test {

struct Outcome {
    int status;         // the exit status; -1 when it did not end in time, -2 when it did not exit
    std::string errors; // its standard error, when a file was given for it
};

// Runs `program` with `environment` added, for at most `boundMs`; its standard error goes to
// `errorFile` when one is given. A `stackBytes` above 0 bounds the stack of its main thread.
inline Outcome RunProgram(const std::vector<std::string>& environment, int boundMs, const char* program,
                          const std::string& errorFile = {}, size_t stackBytes = 0) {
    pid_t pid = fork();
    if (pid == 0) {
        if (stackBytes > 0) {
            rlimit stack{stackBytes, stackBytes};
            if (setrlimit(RLIMIT_STACK, &stack) != 0) _exit(125);
        }
        for (const std::string& e : environment)
            putenv(const_cast<char*>(e.c_str()));
        if (!errorFile.empty()) {
            int fd = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd < 0 || dup2(fd, 2) < 0) _exit(126);
            close(fd);
        }
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    Outcome outcome{-2, {}};
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    bool timedOut = false;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            timedOut = true;
            break;
        }
        test::PumpFor(10); // this process may be the one the program asks
    }
    if (timedOut)
        outcome.status = -1;
    else if (WIFEXITED(status))
        outcome.status = WEXITSTATUS(status);
    if (!errorFile.empty()) {
        std::stringstream text;
        text << std::ifstream(errorFile).rdbuf();
        outcome.errors = text.str();
    }
    return outcome;
}

// How often `text` occurs in `in`.
inline int Occurrences(const std::string& in, const std::string& text) {
    int count = 0;
    for (size_t at = in.find(text); at != std::string::npos; at = in.find(text, at + text.size()))
        ++count;
    return count;
}

} // namespace program_test
