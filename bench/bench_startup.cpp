// Start-up to the first shown window, and peak memory (the resident set at its
// largest, shared libraries' pages included), of the program against a bare
// Qt Widgets window of the same size (also with one line of text), started in
// turn 20 times each: on the X display when there is one (xvfb-run -a),
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

// The median of each figure on its own: now and then a run peaks up to 2 MB
// above the others, in no order, and the largest peak was that run's.
Run median(std::vector<Run> runs)
{
    std::vector<long> rss;
    for (const Run &r : runs)
        rss.push_back(r.maxRssKb);
    std::sort(rss.begin(), rss.end());
    std::sort(runs.begin(), runs.end(), [](const Run &a, const Run &b) { return a.ms < b.ms; });
    Run m = runs[runs.size() / 2];
    m.maxRssKb = rss[rss.size() / 2];
    return m;
}

void printRow(const char *name, const Run &run)
{
    std::printf("%-34s %8.1f ms %10ld KiB\n", name, run.ms, run.maxRssKb);
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
    // The three in turn, so that a change in the machine's load falls on
    // each alike.
    std::vector<Run> program, bare, labelled;
    for (int i = 0; i < kRuns; ++i) {
        program.push_back(startOnce(programPath, where.constData(), nullptr));
        bare.push_back(startOnce(barePath, where.constData(), nullptr));
        labelled.push_back(startOnce(barePath, where.constData(), "--label"));
    }
    const Run p = median(program), b = median(bare), l = median(labelled);
    std::printf("start-up to the shown window and peak memory (%s, median of %d, in turn)\n",
                onX ? "X" : "offscreen", kRuns);
    printRow("program", p);
    printRow("bare window", b);
    // A window that shows text has loaded fonts and the shaping libraries,
    // as the program's has: the closer anchor.
    printRow("bare window with one line of text", l);
    std::printf("%-34s %8.2fx %12.2fx\n", "program / window with text", p.ms / l.ms,
                double(p.maxRssKb) / double(l.maxRssKb));
    std::printf("%-34s %8.2fx %12.2fx\n", "program / bare window", p.ms / b.ms,
                double(p.maxRssKb) / double(b.maxRssKb));
    return 0;
}
