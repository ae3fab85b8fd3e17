// Timing a peer tool beside our own code: the command runs as a child
// process once per iteration, and its user + system CPU time is reported as
// the iteration's time (its wall time as the "wall_s" counter), so the
// figures compare with benchmarks measured with MeasureProcessCPUTime().
#pragma once

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

extern char** environ;

/** Runs `args` (args[0] looked up on the PATH) once per iteration of a
 *  UseManualTime() benchmark; a command that cannot start or fails skips the
 *  benchmark with that reason. */
inline void TimeChildProcess(benchmark::State& state, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    double wallSeconds = 0;
    for (auto _ : state) {
        const auto started = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError(
                (args[0] + " could not be started: no figure to compare with").c_str());
            break;
        }
        int status = 0;
        rusage usage{};
        if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            state.SkipWithError((args[0] + " failed (is it installed?)").c_str());
            break;
        }
        wallSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        auto seconds = [](const timeval& tv) { return tv.tv_sec + tv.tv_usec / 1e6; };
        state.SetIterationTime(seconds(usage.ru_utime) + seconds(usage.ru_stime));
    }
    if (state.iterations() > 0)
        state.counters["wall_s"] = wallSeconds / static_cast<double>(state.iterations());
}
