// Start-up to the first shown window, and peak memory (the resident set at its
// largest, shared libraries' pages included), of the program against
// a bare Qt Widgets window of the same size (also with one line of text),
// each started 20 times: on the X display when there is one (xvfb-run -a),
// offscreen otherwise.
#include <QByteArray>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr int kRuns = 20;

struct Run
{
    double ms = 0;
    long maxRssKb = 0;
};

// Starts the program, asks "page" once it listens, and times the answer.
Run startOnce(const char *path, const char *folder, const char *argument)
{
    int toChild[2];
    int fromChild[2];
    (void)!pipe(toChild);
    (void)!pipe(fromChild);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder);
    char *argv[] = {const_cast<char *>(path), const_cast<char *>(argument), nullptr};
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    posix_spawn(&pid, path, &actions, nullptr, argv, environ);
    close(toChild[0]);
    close(fromChild[1]);
    (void)!write(toChild[1], "page\n", 5);
    char buffer[64];
    (void)!read(fromChild[0], buffer, sizeof buffer);
    Run run;
    run.ms = double(clock.nsecsElapsed()) / 1e6;
    kill(pid, SIGKILL);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.maxRssKb = usage.ru_maxrss;
    close(toChild[1]);
    close(fromChild[0]);
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

Run median(const char *path, const char *folder, const char *argument = nullptr)
{
    std::vector<Run> runs;
    for (int i = 0; i < kRuns; ++i)
        runs.push_back(startOnce(path, folder, argument));
    // The median of each figure on its own: now and then a run peaks up to
    // 2 MB above the others, in no order, and the largest peak was that run's.
    std::vector<long> rss;
    for (const Run &r : runs)
        rss.push_back(r.maxRssKb);
    std::sort(rss.begin(), rss.end());
    std::sort(runs.begin(), runs.end(), [](const Run &a, const Run &b) { return a.ms < b.ms; });
    Run m = runs[runs.size() / 2];
    m.maxRssKb = rss[rss.size() / 2];
    return m;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_startup PROGRAM BARE_WINDOW\n");
        return 2;
    }
    const bool onX = getenv("DISPLAY") != nullptr;
    if (!onX)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("KROMAGLEN_TEST_PORT", "0", 1);
    setenv("KROMAGLEN_REGISTRY", "/nonexistent", 1);
    signal(SIGPIPE, SIG_IGN);
    QTemporaryDir folder;
    const QByteArray where = folder.path().toLocal8Bit();
    char programPath[PATH_MAX];
    char barePath[PATH_MAX];
    if (!realpath(argv[1], programPath) || !realpath(argv[2], barePath))
        return 2;
    const Run program = median(programPath, where.constData());
    const Run bare = median(barePath, where.constData());
    const Run labelled = median(barePath, where.constData(), "--label");
    std::printf("start-up to shown window (%s, median of %d): program %.1f ms, bare window "
                "%.1f ms (%.2fx)\n",
                onX ? "X" : "offscreen", kRuns, program.ms, bare.ms, program.ms / bare.ms);
    std::printf("peak memory (median): program %ld KiB, bare window %ld KiB (%.2fx)\n",
                program.maxRssKb, bare.maxRssKb, double(program.maxRssKb) / double(bare.maxRssKb));
    // A window that shows text has loaded fonts and the shaping libraries,
    // as the program's has: the closer anchor for its memory.
    std::printf("bare window with one line of text: %.1f ms, %ld KiB (program %.2fx)\n",
                labelled.ms, labelled.maxRssKb,
                double(program.maxRssKb) / double(labelled.maxRssKb));
    return 0;
}
