// Launch to window shown: from starting a process until its window gets its first Show event,
// for the application (one fixture Acrobat, the real services) and for a bare QMainWindow.
// Both are the same launch_probe program, so loading it costs both sides the same.

#include "tests/support/Fixtures.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

long long monotonicNanoseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

struct Scene {
    QTemporaryDir temp;
    Scene()
    {
        Fixtures::makeAcrobat(temp.filePath(QStringLiteral("Applications/Adobe Acrobat DC/Acrobat.app")),
                              QStringLiteral("15.006"));
        qputenv("FOLDWISE_APPLICATION_DIRS", temp.filePath(QStringLiteral("Applications")).toLocal8Bit());
        qputenv("XDG_DATA_HOME", temp.filePath(QStringLiteral("share")).toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
};

// Starts the probe and waits for it; the time from the start to the Show event it reports, and
// the part of that spent after its main began.
bool launchOnce(const std::vector<std::string>& arguments, double& seconds, double& inProcessSeconds)
{
    static Scene scene;
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    pid_t child = 0;
    const long long startedAt = monotonicNanoseconds();
    const int spawned = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return false;
    }
    std::string output;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, size_t(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    long long shownAt = 0;
    long long sinceMain = 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0
        || std::sscanf(output.c_str(), "%lld %lld", &shownAt, &sinceMain) != 2)
        return false;
    seconds = double(shownAt - startedAt) / 1e9;
    inProcessSeconds = double(sinceMain) / 1e9;
    return true;
}

void runLaunches(benchmark::State& state, const std::vector<std::string>& arguments)
{
    double inProcess = 0;
    for (auto _ : state) {
        double seconds = 0;
        double sinceMain = 0;
        if (!launchOnce(arguments, seconds, sinceMain)) {
            state.SkipWithError("the probe did not report a shown window");
            break;
        }
        state.SetIterationTime(seconds);
        inProcess += sinceMain;
    }
    state.counters["main_to_shown_ms"] = benchmark::Counter(inProcess * 1000, benchmark::Counter::kAvgIterations);
}

void BM_LaunchApplication(benchmark::State& state)
{
    runLaunches(state, {FOLDWISE_LAUNCH_PROBE, "app", FOLDWISE_APP_BUNDLE});
}

void BM_LaunchBareWindow(benchmark::State& state)
{
    runLaunches(state, {FOLDWISE_LAUNCH_PROBE, "bare"});
}

void BM_LaunchBareWindowWithText(benchmark::State& state)
{
    runLaunches(state, {FOLDWISE_LAUNCH_PROBE, "text"});
}

}  // namespace

BENCHMARK(BM_LaunchApplication)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_LaunchBareWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_LaunchBareWindowWithText)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
