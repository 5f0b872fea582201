// The program's whole start as a person waits for it: from the process's start (exec, loading and
// relocating its libraries, static initialisers, fonts, the toolkit, the first scene) to its first
// painted frame, the sign-in screen, in a headless window against the demo service on loopback. The
// program says when its loop first sleeps, everything painted (TANDU_FIRST_FRAME_FD); it is stopped
// outside the timer. Run it pinned to one core (taskset) and read the medians of the repetitions.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_smoke.h"
#include "platform/tests/test_service.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSignalFd = 3; // where the program finds the pipe's end

std::vector<std::string> environment;
std::string runtimeFolder;

// Starts the program with the pipe's write end as descriptor 3; the time to the byte it writes
// there, or a negative time when it ended without writing.
double TimeToFirstFrame() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], kSignalFd); // dup2 clears close-on-exec
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> env;
    for (std::string& e : environment)
        env.push_back(e.data());
    env.push_back(nullptr);
    char program[] = TANDU_PROGRAM;
    char* argv[] = {program, nullptr};
    pid_t pid = -1;
    const Clock::time_point start = Clock::now();
    const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv, env.data());
    close(fds[1]);
    char byte = 0;
    const bool signalled = spawned == 0 && read(fds[0], &byte, 1) == 1;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    close(fds[0]);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        // What its normal end would remove, so that the next start finds no stale window list.
        unlink((runtimeFolder + "/windows-" + std::to_string(pid) + ".sock").c_str());
    }
    return signalled ? seconds : -1;
}

void BM_ProcessStartToFirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        const double seconds = TimeToFirstFrame();
        if (seconds < 0) return state.SkipWithError("the program ended before its first frame");
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_ProcessStartToFirstFrame)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(bench_support::Iterations(20))
    ->Repetitions(bench_support::Repetitions(5))
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    test::TestService service(DEMO_SERVICE_SCRIPT, {"--control", "--reply-delay", "0"});
    if (!service.HttpsReady()) return 1;
    char folder[] = "/tmp/tandu-startup-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    const std::string scratch = folder;
    runtimeFolder = scratch;
    // The program's own settings; the rest of this process's environment (PATH, HOME, ...) as is.
    const char* const own[] = {"TANDU_", "DISPLAY=", "WAYLAND_DISPLAY="};
    for (char** e = environ; *e; ++e) {
        bool skip = false;
        for (const char* prefix : own)
            skip = skip || std::string(*e).rfind(prefix, 0) == 0;
        if (!skip) environment.push_back(*e);
    }
    for (const std::string& e :
         {std::string("TANDU_HEADLESS=1"), "TANDU_CA_FILE=" + service.CaFile(),
          "TANDU_LOGIN_URL=" + service.Https("/auth/"), "TANDU_REGISTRY=" + scratch + "/registry.sqlite3",
          "TANDU_RUNTIME_DIR=" + scratch, "TANDU_FIRST_FRAME_FD=" + std::to_string(kSignalFd)})
        environment.push_back(e);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(scratch);
    return 0;
}
